#pragma once
// A one-line edit field (EDIT).
#include "framework/Controls.h"

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  AnsiString ClassName() const override { return "TEdit"; }
  AnsiString Text() const { return Caption(); }
  void SetText(const AnsiString& text) { SetCaption(text); }
  // Raised on every change of the text, by the user or by code.
  std::function<void(TComponent* sender)> OnChange;

 protected:
  // For the spin edit, which adds its own styles.
  TEdit(TComponent* owner, DWORD style);
  void CommandNotify(WORD code) override;
};
