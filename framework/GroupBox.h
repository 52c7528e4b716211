#pragma once
// A group box (BUTTON with BS_GROUPBOX) that can hold child controls; its
// caption is drawn in its font colour on its (parent's) colour.
#include "framework/Controls.h"

class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* owner);
  AnsiString ClassName() const override { return "TGroupBox"; }
  void SetCaption(const AnsiString& text) override;

  // Aligned children stay below the caption and inside the frame.
  TRect AlignRect() const override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  HBRUSH CtlColor(HDC dc) override;
};
