#pragma once
// A push button (BUTTON). OnClick follows a click, Space or Enter on it.
#include "framework/Controls.h"

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  AnsiString ClassName() const override { return "TButton"; }
  // Raises OnClick as a click of the user does.
  virtual void Click();

 protected:
  // For buttons drawn by their subclass.
  TButton(TComponent* owner, DWORD style);
  void CommandNotify(WORD code) override;
};
