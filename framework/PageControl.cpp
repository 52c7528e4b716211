#include "framework/PageControl.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/Unicode.h"

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  CreateHandle(WC_TABCONTROLW, WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, TRect{0, 0, 289, 193});
}

TPageControl::~TPageControl() {
  for (TTabSheet* s : pages_) s->pageControl_ = nullptr;
}

int TPageControl::ActivePageIndex() const {
  // TCM_GETCURSEL: the selected tab, or -1 when none is selected.
  return static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0));
}

void TPageControl::SetActivePageIndex(int index) {
  if (index < -1 || index >= PageCount()) return;
  SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  LayoutPages();
}

TTabSheet* TPageControl::ActivePage() const {
  int i = ActivePageIndex();
  return i >= 0 && i < PageCount() ? pages_[static_cast<size_t>(i)] : nullptr;
}

void TPageControl::InsertPage(TTabSheet* sheet) {
  std::wstring text = AnsiToWide(sheet->Caption());
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = &text[0];
  SendMessageW(Handle(), TCM_INSERTITEMW, pages_.size(), reinterpret_cast<LPARAM>(&item));
  pages_.push_back(sheet);
  if (ActivePageIndex() < 0) SendMessageW(Handle(), TCM_SETCURSEL, 0, 0);
  LayoutPages();
}

void TPageControl::RemovePage(TTabSheet* sheet) {
  auto it = std::find(pages_.begin(), pages_.end(), sheet);
  if (it == pages_.end()) return;
  SendMessageW(Handle(), TCM_DELETEITEM, static_cast<WPARAM>(it - pages_.begin()), 0);
  pages_.erase(it);
  if (ActivePageIndex() < 0 && !pages_.empty()) SendMessageW(Handle(), TCM_SETCURSEL, 0, 0);
  LayoutPages();
}

void TPageControl::UpdateTab(TTabSheet* sheet) {
  auto it = std::find(pages_.begin(), pages_.end(), sheet);
  if (it == pages_.end()) return;
  std::wstring text = AnsiToWide(sheet->Caption());
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = &text[0];
  SendMessageW(Handle(), TCM_SETITEMW, static_cast<WPARAM>(it - pages_.begin()), reinterpret_cast<LPARAM>(&item));
  LayoutPages();
}

void TPageControl::LayoutPages() {
  RECT r{};
  GetClientRect(Handle(), &r);
  // TCM_ADJUSTRECT with FALSE: the display area inside the tabs.
  SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  int active = ActivePageIndex();
  for (size_t i = 0; i < pages_.size(); ++i) {
    TTabSheet* s = pages_[i];
    s->SetBoundsRaw(r.left, r.top, r.right - r.left, r.bottom - r.top);
    ShowWindow(s->Handle(), static_cast<int>(i) == active ? SW_SHOW : SW_HIDE);
  }
}

LRESULT TPageControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) {
    LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
    LayoutPages();
    return r;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

bool TPageControl::Notify(NMHDR* header, LRESULT& result) {
  if (header->code == TCN_SELCHANGE) {
    LayoutPages();
    if (OnChange) OnChange(this);
    result = 0;
    return true;
  }
  return false;
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  RegisterOwnClass(L"X2ZTabSheet");
  CreateHandle(L"X2ZTabSheet", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
}

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* control) {
  if (pageControl_ == control) return;
  if (pageControl_) pageControl_->RemovePage(this);
  pageControl_ = control;
  SetParent(control);
  if (control) control->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  for (int i = 0; i < pageControl_->PageCount(); ++i)
    if (pageControl_->Pages(i) == this) return i;
  return -1;
}

void TTabSheet::SetCaption(const AnsiString& text) {
  TWinControl::SetCaption(text);
  if (pageControl_) pageControl_->UpdateTab(this);
}

LRESULT TTabSheet::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) {
    RECT r{};
    GetClientRect(Handle(), &r);
    FillRect(reinterpret_cast<HDC>(wParam), &r, ColorBrush());
    return 1;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
