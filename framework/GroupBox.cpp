#include "framework/GroupBox.h"

#include <cstdlib>

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
  parentColor_ = true;
  CreateHandle(L"BUTTON", WS_VISIBLE | BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, TRect{0, 0, 185, 105});
}

void TGroupBox::SetCaption(const AnsiString& text) {
  TWinControl::SetCaption(text);
  Invalidate();
}

TRect TGroupBox::AlignRect() const {
  TRect r = TWinControl::AlignRect();
  HDC dc = MeasuringDC();
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  r.Top += tm.tmHeight;
  r.Left += 2;
  r.Top += 2;
  r.Right -= 2;
  r.Bottom -= 2;
  return r;
}

HBRUSH TGroupBox::CtlColor(HDC dc) {
  HBRUSH brush = TWinControl::CtlColor(dc);
  SetBkMode(dc, OPAQUE);
  return brush;
}

LRESULT TGroupBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: {
      // The button class leaves a group box's inside unpainted.
      RECT r{};
      GetClientRect(Handle(), &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, ColorBrush());
      return 1;
    }
    case WM_NCHITTEST:
      // A group box normally lets clicks fall through to its parent; this
      // one is a container, so it keeps them.
      return HTCLIENT;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
