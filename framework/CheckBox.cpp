#include "framework/CheckBox.h"

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  parentColor_ = true;
  CreateHandle(L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, TRect{0, 0, 97, 17});
}

// BM_GETCHECK: BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
bool TCheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TCheckBox::SetChecked(bool value) {
  SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::CommandNotify(WORD code) {
  if (code == BN_CLICKED && OnClick) OnClick(this);
}
