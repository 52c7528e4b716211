#pragma once
// A list box whose items carry check marks (an owner-drawn LISTBOX; the
// check state is each item's data). A click on the box or Space toggles it.
#include <memory>

#include "framework/Controls.h"
#include "framework/Strings.h"

class TCheckListBox : public TWinControl {
 public:
  explicit TCheckListBox(TComponent* owner);
  AnsiString ClassName() const override { return "TCheckListBox"; }

  TStrings& Items() { return *items_; }
  bool Checked(int index) const;
  void SetChecked(int index, bool value);
  // -1 when no item is selected.
  int ItemIndex() const;
  void SetItemIndex(int index);

  // Raised when the user toggled a check mark.
  std::function<void(TComponent* sender)> OnClickCheck;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool DrawItem(DRAWITEMSTRUCT* dis) override;

 private:
  void Toggle(int index);
  int ItemHeight() const;

  std::unique_ptr<TStrings> items_;
};
