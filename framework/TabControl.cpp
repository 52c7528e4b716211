#include "framework/TabControl.h"

#include <commctrl.h>

#include "framework/Exception.h"
#include "framework/Unicode.h"

namespace {
class TTabStrings : public TStrings {
 public:
  explicit TTabStrings(TTabControl* tabs) : tabs_(tabs) {}
  int Count() const override { return static_cast<int>(SendMessageW(tabs_->Handle(), TCM_GETITEMCOUNT, 0, 0)); }
  AnsiString Strings(int index) const override {
    Check(index, Count());
    wchar_t buf[512] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buf;
    item.cchTextMax = 512;
    SendMessageW(tabs_->Handle(), TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return WideToAnsi(std::wstring(item.pszText ? item.pszText : L""));
  }
  void Insert(int index, const AnsiString& text) override {
    Check(index, Count() + 1);
    std::wstring w = AnsiToWide(text);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = &w[0];
    SendMessageW(tabs_->Handle(), TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  void Delete(int index) override {
    Check(index, Count());
    SendMessageW(tabs_->Handle(), TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
  }
  void Clear() override { SendMessageW(tabs_->Handle(), TCM_DELETEALLITEMS, 0, 0); }

 private:
  static void Check(int index, int limit) {
    if (index < 0 || index >= limit) throw Exception("Индекс вкладки вне списка: " + IntToStr(index));
  }
  TTabControl* tabs_;
};
}  // namespace

TTabControl::TTabControl(TComponent* owner) : TWinControl(owner), tabs_(new TTabStrings(this)) {
  CreateHandle(WC_TABCONTROLW, WS_VISIBLE | WS_TABSTOP, 0, TRect{0, 0, 289, 193});
}

// TCM_GETCURSEL: the selected tab, or -1.
int TTabControl::TabIndex() const { return static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0)); }
void TTabControl::SetTabIndex(int index) { SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(index), 0); }

bool TTabControl::Notify(NMHDR* header, LRESULT& result) {
  if (header->code != TCN_SELCHANGE) return false;
  if (OnChange) OnChange(this);
  result = 0;
  return true;
}
