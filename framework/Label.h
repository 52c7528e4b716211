#pragma once
// A text label (STATIC window). It takes its parent's colour and by default
// sizes itself to its text.
#include "framework/Controls.h"

class TLabel : public TWinControl {
 public:
  explicit TLabel(TComponent* owner);
  AnsiString ClassName() const override { return "TLabel"; }

  void SetCaption(const AnsiString& text) override;
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

 protected:
  HBRUSH CtlColor(HDC dc) override;
  void FontChanged() override;

 private:
  void AdjustSize();

  bool autoSize_ = true;
  bool transparent_ = true;
};
