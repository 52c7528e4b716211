// The sheet view as a real window: its tabs choose the active sheet that
// automation then reports, and it scrolls a long sheet to its end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "spreadsheet/Spreadsheet.h"
#include "tests/spreadsheet/DispatchHelpers.h"

namespace {

std::string FixturePath(const std::string& name) {
  const char* dir = std::getenv("X2Z_BINARY_DIR");
  std::string path = std::string(dir ? dir : ".") + "/fixtures/spreadsheet/" + name;
  if (path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void Flush() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LONG ActiveIndex(IDispatch* workbook) {
  TVar sheet, index;
  EXPECT_EQ(S_OK, Get(workbook, L"ActiveSheet", {}, sheet).hr);
  EXPECT_EQ(S_OK, Get(sheet.Dispatch(), L"Index", {}, index).hr);
  return V_I4(&index.Get());
}

class SheetView : public testing::Test {
 protected:
  void Open(const char* file) {
    AnsiString reason;
    ASSERT_EQ(S_OK, SpreadsheetOpenWorkbook(FixturePath(file), workbook_.Out(), reason)) << reason;
    parent_ = CreateWindowW(L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 500, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_NE(nullptr, parent_);
    RECT rc = {0, 0, 780, 460};
    view_ = SpreadsheetCreateView(parent_, workbook_.Get(), rc);
    ASSERT_NE(nullptr, view_);
    UpdateWindow(view_);
    Flush();
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    Flush();
  }
  TComPtr<IDispatch> workbook_;
  HWND parent_ = nullptr;
  HWND view_ = nullptr;
};

TEST_F(SheetView, ClickingTabsActivatesSheetsInOrder) {
  Open("types.xlsx");
  if (HasFatalFailure()) return;  // no window: nothing to drive
  EXPECT_EQ(3, ActiveIndex(workbook_.Get()));
  RECT rc;
  GetClientRect(view_, &rc);
  int y = rc.bottom - 10;
  std::vector<LONG> seen;
  for (int x = 45; x < rc.right; x += 4) {
    SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    LONG index = ActiveIndex(workbook_.Get());
    if (seen.empty() || seen.back() != index) seen.push_back(index);
  }
  EXPECT_EQ((std::vector<LONG>{1, 2, 3, 4}), seen);
  // A click on the grid leaves the sheet alone.
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 100));
  EXPECT_EQ(4, ActiveIndex(workbook_.Get()));
}

TEST_F(SheetView, ScrollsALongSheetToItsEnd) {
  Open("big100000.xlsx");
  if (HasFatalFailure()) return;  // no window: nothing to drive
  SendMessageW(view_, WM_VSCROLL, SB_BOTTOM, 0);
  UpdateWindow(view_);
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(view_, SB_VERT, &si));
  EXPECT_GT(si.nPos, 100000 - static_cast<int>(si.nPage));
  EXPECT_LE(si.nMax, 1048576);
  SendMessageW(view_, WM_KEYDOWN, VK_HOME, 0);
  si.fMask = SIF_POS;
  GetScrollInfo(view_, SB_VERT, &si);
  EXPECT_EQ(1, si.nPos);
}

TEST_F(SheetView, FollowsAutomationAndOutlivesNothing) {
  Open("types.xls");
  if (HasFatalFailure()) return;  // no window: nothing to drive
  TVar sheets, sheet;
  ASSERT_EQ(S_OK, Get(workbook_.Get(), L"WorkSheets", {}, sheets).hr);
  ASSERT_EQ(S_OK, Get(sheets.Dispatch(), L"Item", {I4(1)}, sheet).hr);
  EXPECT_EQ(S_OK, Call(sheet.Dispatch(), L"Activate", DISPATCH_METHOD, {}, nullptr).hr);
  UpdateWindow(view_);
  DestroyWindow(view_);
  Flush();
  // With the view gone, activation still works and tells nobody.
  ASSERT_EQ(S_OK, Get(sheets.Dispatch(), L"Item", {I4(2)}, sheet).hr);
  EXPECT_EQ(S_OK, Call(sheet.Dispatch(), L"Activate", DISPATCH_METHOD, {}, nullptr).hr);
  EXPECT_EQ(2, ActiveIndex(workbook_.Get()));
}

TEST(SheetViewCreate, RefusesForeignObjects) {
  RECT rc = {0, 0, 100, 100};
  EXPECT_EQ(nullptr, SpreadsheetCreateView(nullptr, nullptr, rc));
}

}  // namespace
