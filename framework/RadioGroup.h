#pragma once
// A group box holding one radio button per item, stacked in one column.
#include <memory>
#include <vector>

#include "framework/GroupBox.h"
#include "framework/Strings.h"

class TRadioButton;

class TRadioGroup : public TGroupBox {
 public:
  explicit TRadioGroup(TComponent* owner);
  ~TRadioGroup() override;
  AnsiString ClassName() const override { return "TRadioGroup"; }

  TStrings& Items() { return *items_; }
  // -1 when no button is checked.
  int ItemIndex() const;
  void SetItemIndex(int index);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class TRadioGroupItems;
  void RebuildButtons();
  void ArrangeButtons();

  std::unique_ptr<TStrings> items_;
  std::vector<TRadioButton*> buttons_;
};
