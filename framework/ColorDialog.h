#pragma once
// The colour choice dialog. Tests answer it through a responder, as they
// answer message boxes.
#include <functional>

#include "framework/Controls.h"

class TColorDialog : public TComponent {
 public:
  // Gets the initial colour in color; returns true (confirmed, with the
  // chosen colour in color) or false (cancelled).
  using Responder = std::function<bool(TColor& color)>;

  explicit TColorDialog(TComponent* owner) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TColorDialog"; }

  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  // Shows the dialog modally; true when the user confirmed a colour.
  bool Execute();

  // Returns the responder that was installed before.
  static Responder SetResponder(Responder responder);

 private:
  TColor color_ = clBlack;
};
