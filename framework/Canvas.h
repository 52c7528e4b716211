#pragma once
// A drawing surface over a device context: font, brush and the text
// operations a cell-drawing handler needs. Outside painting it measures on
// a memory context compatible with the screen.
#include <windows.h>

#include "framework/Controls.h"

struct TBrush {
  TColor Color = clWhite;
};

class TCanvas {
 public:
  TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TFont& Font() { return font_; }
  TBrush& Brush() { return brush_; }
  HDC Handle() const { return dc_; }

  int TextWidth(const AnsiString& text);
  int TextHeight(const AnsiString& text);
  // Fills the rectangle with the brush, then draws the text at (x, y)
  // clipped to the rectangle, in the font and its colour.
  void TextRect(const TRect& rect, int x, int y, const AnsiString& text);
  void FillRect(const TRect& rect);

  // Set by the owner around painting.
  void SetHandle(HDC dc) { dc_ = dc; }

 private:
  SIZE Measure(const AnsiString& text);

  HDC dc_ = nullptr;
  TFont font_;
  TBrush brush_;
};
