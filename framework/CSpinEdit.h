#pragma once
// An integer edit field with up and down arrows (EDIT with an attached
// msctls_updown32 in the same parent).
#include "framework/Edit.h"

class TCSpinEdit : public TEdit {
 public:
  explicit TCSpinEdit(TComponent* owner);
  ~TCSpinEdit() override;
  AnsiString ClassName() const override { return "TCSpinEdit"; }

  // The number in the field; text without digits counts as 0.
  int Value() const;
  // Clamped to MinValue..MaxValue when MaxValue > MinValue.
  void SetValue(int value);
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  void SetMinValue(int v);
  void SetMaxValue(int v);
  void SetParent(TWinControl* parent) override;

 protected:
  void SetBoundsRaw(int left, int top, int width, int height) override;

 private:
  void UpdateRange();

  HWND updown_ = nullptr;
  int min_ = 0, max_ = 0;
};
