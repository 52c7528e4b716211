#include "framework/BitBtn.h"

#include "framework/Unicode.h"

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner, BS_OWNERDRAW) {}

TBitBtn::~TBitBtn() {
  if (glyph_) DeleteObject(glyph_);
}

bool TBitBtn::LoadGlyph(HINSTANCE module, const wchar_t* resourceName) {
  HANDLE bmp = LoadImageW(module, resourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (!bmp) return false;
  SetGlyph(static_cast<HBITMAP>(bmp));
  return true;
}

void TBitBtn::SetGlyph(HBITMAP bitmap) {
  if (glyph_ && glyph_ != bitmap) DeleteObject(glyph_);
  glyph_ = bitmap;
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int n) {
  numGlyphs_ = n < 1 ? 1 : n;
  Invalidate();
}

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  Invalidate();
}

void TBitBtn::SetCaption(const AnsiString& text) {
  TButton::SetCaption(text);
  Invalidate();
}

void TBitBtn::DrawGlyph(HDC dc, int x, int y, int w, int h, bool enabled) {
  if (glyph_) {
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, glyph_);
    COLORREF transparent = GetPixel(mem, 0, h - 1);
    int picture = (!enabled && numGlyphs_ > 1) ? 1 : 0;
    // Draw pixel rows through a mask of the transparent colour.
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px) {
        COLORREF c = GetPixel(mem, picture * w + px, py);
        if (c != transparent) SetPixel(dc, x + px, y + py, c);
      }
    SelectObject(mem, old);
    DeleteDC(mem);
  } else if (kind_ == bkAbort) {
    HPEN pen = CreatePen(PS_SOLID, 2, enabled ? RGB(192, 0, 0) : RGB(128, 128, 128));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x + 3, y + 3, nullptr);
    LineTo(dc, x + w - 3, y + h - 3);
    MoveToEx(dc, x + w - 3, y + 3, nullptr);
    LineTo(dc, x + 3, y + h - 3);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

bool TBitBtn::DrawItem(DRAWITEMSTRUCT* dis) {
  HDC dc = dis->hDC;
  RECT r = dis->rcItem;
  bool pressed = (dis->itemState & ODS_SELECTED) != 0;
  bool enabled = (dis->itemState & ODS_DISABLED) == 0;
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

  int gw = 0, gh = 0;
  if (glyph_) {
    BITMAP bm{};
    GetObjectW(glyph_, sizeof(bm), &bm);
    gw = bm.bmWidth / numGlyphs_;
    gh = bm.bmHeight;
  } else if (kind_ == bkAbort) {
    gw = gh = 16;
  }
  std::wstring text = AnsiToWide(Caption());
  HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
  SIZE ts{0, 0};
  if (!text.empty()) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &ts);
  const int spacing = (gw > 0 && !text.empty()) ? 4 : 0;
  int total = gw + spacing + ts.cx;
  int x = r.left + (r.right - r.left - total) / 2 + (pressed ? 1 : 0);
  int cy = (r.top + r.bottom) / 2 + (pressed ? 1 : 0);
  if (gw > 0) DrawGlyph(dc, x, cy - gh / 2, gw, gh, enabled);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, enabled ? ColorToRGB(Font().Color()) : GetSysColor(COLOR_GRAYTEXT));
  if (!text.empty()) TextOutW(dc, x + gw + spacing, cy - ts.cy / 2, text.c_str(), static_cast<int>(text.size()));
  SelectObject(dc, oldFont);
  if (dis->itemState & ODS_FOCUS) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
  return true;
}
