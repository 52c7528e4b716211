#include "framework/CSpinEdit.h"

#include <commctrl.h>

#include <algorithm>

TCSpinEdit::TCSpinEdit(TComponent* owner) : TEdit(owner, 0) {
  updown_ = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                            WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_NOTHOUSANDS, 0, 0, 16, 21,
                            GetParent(Handle()), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(updown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
  UpdateRange();
  SetValue(0);
}

TCSpinEdit::~TCSpinEdit() {
  if (updown_) DestroyWindow(updown_);
}

void TCSpinEdit::SetParent(TWinControl* parent) {
  TEdit::SetParent(parent);
  ::SetParent(updown_, GetParent(Handle()));
  TRect b = BoundsRect();
  SetBoundsRaw(b.Left, b.Top, b.Width(), b.Height());
}

void TCSpinEdit::SetBoundsRaw(int left, int top, int width, int height) {
  TEdit::SetBoundsRaw(left, top, width, height);
  if (updown_) SetWindowPos(updown_, nullptr, left + width, top, 16, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCSpinEdit::UpdateRange() {
  int lo = max_ > min_ ? min_ : -2147483647 - 1;
  int hi = max_ > min_ ? max_ : 2147483647;
  SendMessageW(updown_, UDM_SETRANGE32, static_cast<WPARAM>(lo), hi);
}

void TCSpinEdit::SetMinValue(int v) {
  min_ = v;
  UpdateRange();
  SetValue(Value());
}
void TCSpinEdit::SetMaxValue(int v) {
  max_ = v;
  UpdateRange();
  SetValue(Value());
}

int TCSpinEdit::Value() const { return StrToIntLoose(Text()); }

void TCSpinEdit::SetValue(int value) {
  if (max_ > min_) value = std::min(std::max(value, min_), max_);
  SetText(IntToStr(value));
}
