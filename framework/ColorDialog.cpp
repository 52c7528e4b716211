#include "framework/ColorDialog.h"

#include <commdlg.h>

namespace {
TColorDialog::Responder& TheResponder() {
  static TColorDialog::Responder responder;
  return responder;
}
}  // namespace

TColorDialog::Responder TColorDialog::SetResponder(Responder responder) {
  Responder old = std::move(TheResponder());
  TheResponder() = std::move(responder);
  return old;
}

bool TColorDialog::Execute() {
  if (TheResponder()) {
    TColor c = color_;
    if (!TheResponder()(c)) return false;
    color_ = c;
    return true;
  }
  static COLORREF custom[16] = {};
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = GetActiveWindow();
  cc.rgbResult = ColorToRGB(color_);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
  if (!ChooseColorW(&cc)) return false;
  color_ = static_cast<TColor>(cc.rgbResult);
  return true;
}
