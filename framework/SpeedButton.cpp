#include "framework/SpeedButton.h"

TSpeedButton::TSpeedButton(TComponent* owner) : TWinControl(owner) {
  CreateHandle(L"BUTTON", WS_VISIBLE | BS_PUSHLIKE | BS_AUTOCHECKBOX, 0, TRect{0, 0, 23, 22});
}

bool TSpeedButton::Down() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TSpeedButton::SetDown(bool value) {
  SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TSpeedButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED && OnClick) OnClick(this);
}
