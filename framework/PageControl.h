#pragma once
// A page control (SysTabControl32) whose pages are TTabSheet windows laid
// over its display area; only the active page is shown.
#include <vector>

#include "framework/Controls.h"

class TTabSheet;

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  AnsiString ClassName() const override { return "TPageControl"; }

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(static_cast<size_t>(index)); }
  // -1 without pages.
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  TTabSheet* ActivePage() const;

  // Raised after the user switched pages.
  std::function<void(TComponent* sender)> OnChange;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool Notify(NMHDR* header, LRESULT& result) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* sheet);
  void RemovePage(TTabSheet* sheet);
  void UpdateTab(TTabSheet* sheet);
  void LayoutPages();

  std::vector<TTabSheet*> pages_;
};

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  AnsiString ClassName() const override { return "TTabSheet"; }

  TPageControl* PageControl() const { return pageControl_; }
  // Adds the sheet as the last page of the control (and makes it its parent).
  void SetPageControl(TPageControl* control);
  int PageIndex() const;
  void SetCaption(const AnsiString& text) override;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
};
