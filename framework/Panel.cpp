#include "framework/Panel.h"

#include "framework/Unicode.h"

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
  RegisterOwnClass(L"X2ZPanel");
  CreateHandle(L"X2ZPanel", WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, TRect{0, 0, 185, 41});
}

void TPanel::SetBevelOuter(TBevelCut cut) {
  bevelOuter_ = cut;
  Invalidate();
  Realign();
}
void TPanel::SetBevelInner(TBevelCut cut) {
  bevelInner_ = cut;
  Invalidate();
  Realign();
}
void TPanel::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  Invalidate();
}
void TPanel::SetCaption(const AnsiString& text) {
  TWinControl::SetCaption(text);
  Invalidate();
}

TRect TPanel::AlignRect() const {
  TRect r = TWinControl::AlignRect();
  int inset = (bevelOuter_ != bvNone ? 1 : 0) + (bevelInner_ != bvNone ? 1 : 0);
  r.Left += inset;
  r.Top += inset;
  r.Right -= inset;
  r.Bottom -= inset;
  return r;
}

void TPanel::Paint(HDC dc) {
  RECT r{};
  GetClientRect(Handle(), &r);
  FillRect(dc, &r, ColorBrush());
  for (TBevelCut cut : {bevelOuter_, bevelInner_}) {
    if (cut == bvNone) continue;
    DrawEdge(dc, &r, cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
    InflateRect(&r, -1, -1);
  }
  std::wstring text = AnsiToWide(Caption());
  if (text.empty()) return;
  InflateRect(&r, -2, 0);
  HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font().Color()));
  UINT align = alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, align | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      Paint(dc);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      pressed_ = true;
      break;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (OnClick) OnClick(this);
      }
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
