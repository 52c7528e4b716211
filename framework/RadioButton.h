#pragma once
// A radio button (BUTTON with BS_AUTORADIOBUTTON); the buttons of one
// parent form a group.
#include "framework/Controls.h"

class TRadioButton : public TWinControl {
 public:
  explicit TRadioButton(TComponent* owner);
  AnsiString ClassName() const override { return "TRadioButton"; }
  bool Checked() const;
  // Checking one unchecks its siblings, as a click would.
  void SetChecked(bool value);

 protected:
  void CommandNotify(WORD code) override;
};
