#include "framework/RadioGroup.h"

#include "framework/RadioButton.h"

class TRadioGroupItems : public TStringList {
 public:
  explicit TRadioGroupItems(TRadioGroup* group) : group_(group) {}
  void Insert(int index, const AnsiString& text) override {
    TStringList::Insert(index, text);
    group_->RebuildButtons();
  }
  void Delete(int index) override {
    TStringList::Delete(index);
    group_->RebuildButtons();
  }
  void Clear() override {
    TStringList::Clear();
    group_->RebuildButtons();
  }

 private:
  TRadioGroup* group_;
};

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner), items_(new TRadioGroupItems(this)) {}

TRadioGroup::~TRadioGroup() {
  // The buttons are children: the base destructor deletes them.
  buttons_.clear();
}

void TRadioGroup::RebuildButtons() {
  int checked = ItemIndex();
  // The buttons belong to the group alone (no owner), as child controls.
  for (TRadioButton* b : buttons_) delete b;
  buttons_.clear();
  for (int i = 0; i < items_->Count(); ++i) {
    auto* b = new TRadioButton(nullptr);
    b->SetParent(this);
    b->SetCaption(items_->Strings(i));
    b->OnClick = [this](TComponent*) {
      if (OnClick) OnClick(this);
    };
    buttons_.push_back(b);
  }
  ArrangeButtons();
  if (checked >= 0 && checked < static_cast<int>(buttons_.size())) SetItemIndex(checked);
}

void TRadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  TRect r = AlignRect();
  int rowHeight = r.Height() / static_cast<int>(buttons_.size());
  for (size_t i = 0; i < buttons_.size(); ++i)
    buttons_[i]->SetBounds(r.Left + 6, r.Top + static_cast<int>(i) * rowHeight, r.Width() - 8, rowHeight);
}

int TRadioGroup::ItemIndex() const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i]->Checked()) return static_cast<int>(i);
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->SetChecked(static_cast<int>(i) == index);
}

LRESULT TRadioGroup::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT r = TGroupBox::WndProc(msg, wParam, lParam);
  if (msg == WM_SIZE) ArrangeButtons();
  return r;
}
