#include "framework/Label.h"

#include "framework/Unicode.h"

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {
  parentColor_ = true;
  CreateHandle(L"STATIC", WS_VISIBLE | SS_LEFT, 0);
  AdjustSize();
}

void TLabel::SetCaption(const AnsiString& text) {
  TWinControl::SetCaption(text);
  AdjustSize();
  Invalidate();
}

void TLabel::SetAutoSize(bool value) {
  autoSize_ = value;
  AdjustSize();
}

void TLabel::SetTransparent(bool value) {
  transparent_ = value;
  Invalidate();
}

void TLabel::FontChanged() {
  TWinControl::FontChanged();
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!autoSize_ || !Handle()) return;
  std::wstring text = AnsiToWide(Caption());
  if (text.empty()) text = L" ";
  HDC dc = MeasuringDC();
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_LEFT);
  SelectObject(dc, old);
  TRect b = BoundsRect();
  SetBoundsRaw(b.Left, b.Top, r.right, r.bottom);
}

HBRUSH TLabel::CtlColor(HDC dc) {
  HBRUSH brush = TWinControl::CtlColor(dc);
  // On a coloured parent the label's background is the parent's colour
  // (the label takes it over), and the text is drawn without a box.
  if (transparent_) SetBkMode(dc, TRANSPARENT);
  return brush;
}
