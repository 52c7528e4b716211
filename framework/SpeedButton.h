#pragma once
// A flat button that can stay down (BUTTON with BS_PUSHLIKE | BS_AUTOCHECKBOX:
// the check state is the pressed state).
#include "framework/Controls.h"

class TSpeedButton : public TWinControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  AnsiString ClassName() const override { return "TSpeedButton"; }
  bool Down() const;
  void SetDown(bool value);

 protected:
  void CommandNotify(WORD code) override;
};
