#pragma once
// A panel: a plain container window with bevels, a colour and a caption.
// Windows has no such control; it is drawn here.
#include "framework/Controls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  AnsiString ClassName() const override { return "TPanel"; }

  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut cut);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut cut);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  void SetCaption(const AnsiString& text) override;

  // Aligned children stay inside the bevels.
  TRect AlignRect() const override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);

  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  TAlignment alignment_ = taCenter;
  bool pressed_ = false;
};
