#pragma once
// A push button with a glyph left of its caption (an owner-drawn BUTTON).
// The glyph bitmap holds NumGlyphs pictures side by side: normal, then
// disabled; its bottom-left pixel's colour is transparent.
#include "framework/Button.h"

enum TBitBtnKind { bkCustom, bkAbort };

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  AnsiString ClassName() const override { return "TBitBtn"; }

  // Takes a bitmap resource of the module; false when it is missing.
  bool LoadGlyph(HINSTANCE module, const wchar_t* resourceName);
  // Takes ownership of the bitmap.
  void SetGlyph(HBITMAP bitmap);
  HBITMAP Glyph() const { return glyph_; }
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);
  TBitBtnKind Kind() const { return kind_; }
  // bkAbort draws a red cross when no glyph is given.
  void SetKind(TBitBtnKind kind);
  void SetCaption(const AnsiString& text) override;

 protected:
  bool DrawItem(DRAWITEMSTRUCT* dis) override;

 private:
  void DrawGlyph(HDC dc, int x, int y, int w, int h, bool enabled);

  HBITMAP glyph_ = nullptr;
  int numGlyphs_ = 2;
  TBitBtnKind kind_ = bkCustom;
};
