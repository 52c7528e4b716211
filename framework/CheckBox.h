#pragma once
// A check box (BUTTON with BS_AUTOCHECKBOX).
#include "framework/Controls.h"

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  AnsiString ClassName() const override { return "TCheckBox"; }
  bool Checked() const;
  // Setting it from code raises no OnClick.
  void SetChecked(bool value);

 protected:
  void CommandNotify(WORD code) override;
};
