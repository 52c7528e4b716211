#include "framework/Edit.h"

TEdit::TEdit(TComponent* owner) : TEdit(owner, 0) {}

TEdit::TEdit(TComponent* owner, DWORD style) : TWinControl(owner) {
  color_ = clWindow;
  CreateHandle(L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | style, WS_EX_CLIENTEDGE, TRect{0, 0, 121, 21});
}

void TEdit::CommandNotify(WORD code) {
  if (code == EN_CHANGE && OnChange) OnChange(this);
}
