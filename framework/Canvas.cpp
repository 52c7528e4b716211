#include "framework/Canvas.h"

#include "framework/Unicode.h"

SIZE TCanvas::Measure(const AnsiString& text) {
  HDC dc = dc_ ? dc_ : MeasuringDC();
  HGDIOBJ old = SelectObject(dc, font_.Handle());
  std::wstring w = AnsiToWide(text);
  SIZE size{0, 0};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  if (w.empty()) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    size.cy = tm.tmHeight;
  }
  SelectObject(dc, old);
  return size;
}

int TCanvas::TextWidth(const AnsiString& text) { return Measure(text).cx; }
int TCanvas::TextHeight(const AnsiString& text) { return Measure(text).cy; }

void TCanvas::FillRect(const TRect& rect) {
  if (!dc_) return;
  RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  HBRUSH b = CreateSolidBrush(ColorToRGB(brush_.Color));
  ::FillRect(dc_, &r, b);
  DeleteObject(b);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const AnsiString& text) {
  if (!dc_) return;
  RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  std::wstring w = AnsiToWide(text);
  HGDIOBJ old = SelectObject(dc_, font_.Handle());
  SetTextColor(dc_, ColorToRGB(font_.Color()));
  SetBkColor(dc_, ColorToRGB(brush_.Color));
  SetBkMode(dc_, OPAQUE);
  ExtTextOutW(dc_, x, y, ETO_OPAQUE | ETO_CLIPPED, &r, w.c_str(), static_cast<UINT>(w.size()), nullptr);
  SelectObject(dc_, old);
}
