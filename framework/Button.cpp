#include "framework/Button.h"

TButton::TButton(TComponent* owner) : TButton(owner, BS_PUSHBUTTON) {}

TButton::TButton(TComponent* owner, DWORD style) : TWinControl(owner) {
  CreateHandle(L"BUTTON", WS_VISIBLE | WS_TABSTOP | style, 0, TRect{0, 0, 75, 25});
}

void TButton::Click() {
  if (OnClick) OnClick(this);
}

void TButton::CommandNotify(WORD code) {
  // A drawn button reports a quick second click as a double click.
  if (code == BN_CLICKED || code == BN_DOUBLECLICKED) Click();
}
