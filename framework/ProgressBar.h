#pragma once
// A progress bar (msctls_progress32).
#include "framework/Controls.h"

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* owner);
  AnsiString ClassName() const override { return "TProgressBar"; }

  int Min() const;
  int Max() const;
  void SetMin(int value);
  void SetMax(int value);
  int Position() const;
  // The bar clamps the position to the range.
  void SetPosition(int value);
};
