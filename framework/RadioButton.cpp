#include "framework/RadioButton.h"

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
  parentColor_ = true;
  CreateHandle(L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON, 0, TRect{0, 0, 113, 17});
}

bool TRadioButton::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TRadioButton::SetChecked(bool value) {
  if (value && Parent()) {
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i));
      if (other && other != this) SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
  SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED && OnClick) OnClick(this);
}
