// The sheet view as a real window: its tabs choose the active sheet that
// automation then reports, and it scrolls a long sheet to its end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "spreadsheet/Spreadsheet.h"
#include "tests/spreadsheet/CraftedBooks.h"
#include "tests/spreadsheet/DispatchHelpers.h"
#include "tests/support/TestSupport.h"

namespace {

std::string FixturePath(const std::string& name) { return FixtureFile("spreadsheet/" + name); }

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
  void Open(const char* file) { OpenPath(FixturePath(file)); }
  void OpenPath(const std::string& path) {
    AnsiString reason;
    ASSERT_EQ(S_OK, SpreadsheetOpenWorkbook(path, workbook_.Out(), reason)) << reason;
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

namespace {

// Keys as the user presses them: the modifier state the view reads, then the key.
void Key(HWND to, WPARAM vk, bool ctrl = false, bool shift = false) {
  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE saved[256];
  std::memcpy(saved, keys, sizeof keys);
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  SendMessageW(to, WM_KEYDOWN, vk, 0);
  SetKeyboardState(saved);
  Flush();
}
HWND Editor(HWND view) { return FindWindowExW(view, nullptr, L"EDIT", nullptr); }
// What the in-place editor opens with on the current cell (F2, then Escape).
std::wstring EditorText(HWND view) {
  Key(view, VK_F2);
  wchar_t text[256] = {};
  GetWindowTextW(Editor(view), text, 256);
  Key(Editor(view), VK_ESCAPE);
  return text;
}
// Typing over the current cell: the first key opens the editor, which takes the rest.
void Type(HWND view, const wchar_t* text) {
  for (const wchar_t* p = text; *p; ++p) SendMessageW(p == text || !Editor(view) ? view : Editor(view), WM_CHAR, *p, 0);
  Flush();
}

std::wstring ValueText(IDispatch* workbook, LONG row, LONG col, VARTYPE* type = nullptr) {
  TVar sheet, cell, value;
  EXPECT_EQ(S_OK, Get(workbook, L"ActiveSheet", {}, sheet).hr);
  EXPECT_EQ(S_OK, Get(sheet.Dispatch(), L"Cells", {I4(row), I4(col)}, cell).hr);
  EXPECT_EQ(S_OK, Get(cell.Dispatch(), L"Value", {}, value).hr);
  if (type) *type = value.Type();
  VARIANT t;
  VariantInit(&t);
  std::wstring out;
  if (value.Type() != VT_EMPTY && SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(&value.Get()), 0, VT_BSTR)))
    out.assign(V_BSTR(&t), SysStringLen(V_BSTR(&t)));
  VariantClear(&t);
  return out;
}

HRESULT EditProbe(IDispatch* workbook) {
  TVar sheet, cells, last;
  EXPECT_EQ(S_OK, Get(workbook, L"ActiveSheet", {}, sheet).hr);
  EXPECT_EQ(S_OK, Get(sheet.Dispatch(), L"Cells", {}, cells).hr);
  return Get(cells.Dispatch(), L"SpecialCells", {I4(11)}, last).hr;
}

bool IsSaved(IDispatch* workbook) {
  TVar v;
  EXPECT_EQ(S_OK, Get(workbook, L"Saved", {}, v).hr);
  return V_BOOL(&v.Get()) != VARIANT_FALSE;
}

}  // namespace

// The active sheet of types.xlsx is "Третий", with A1 = "Третий лист".
TEST_F(SheetView, TypingOverCommitsWithEnterAndMovesDown) {
  Open("types.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Type(view_, L"12,5");
  HWND editor = Editor(view_);
  ASSERT_NE(nullptr, editor);
  EXPECT_EQ(RPC_E_CALL_REJECTED, EditProbe(workbook_.Get()));  // edit mode, as in Excel
  EXPECT_TRUE(IsSaved(workbook_.Get()));
  Key(editor, VK_RETURN);
  EXPECT_EQ(nullptr, Editor(view_));
  EXPECT_EQ(S_OK, EditProbe(workbook_.Get()));
  VARTYPE type;
  EXPECT_EQ(std::wstring(L"12,5"), ValueText(workbook_.Get(), 1, 1, &type));
  EXPECT_EQ(VT_R8, type);
  EXPECT_FALSE(IsSaved(workbook_.Get()));
  // The current cell moved down: the next typing lands in A2, Tab moves right.
  Type(view_, L"'007");
  Key(Editor(view_), VK_TAB);
  Type(view_, L"ЕНиР");
  Key(Editor(view_), VK_RIGHT);  // typing mode: an arrow commits and moves
  EXPECT_EQ(std::wstring(L"007"), ValueText(workbook_.Get(), 2, 1, &type));
  EXPECT_EQ(VT_BSTR, type);
  EXPECT_EQ(std::wstring(L"ЕНиР"), ValueText(workbook_.Get(), 2, 2));
  // Escape throws the typing away.
  Type(view_, L"прочь");
  Key(Editor(view_), VK_ESCAPE);
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 2, 3));
  EXPECT_EQ(nullptr, Editor(view_));
  // A character typed with AltGr (Ctrl and Alt held, as Windows reports it) starts typing too.
  BYTE keys[256], saved[256];
  GetKeyboardState(keys);
  std::memcpy(saved, keys, sizeof keys);
  keys[VK_CONTROL] = keys[VK_MENU] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(view_, WM_CHAR, L'@', 0);
  SetKeyboardState(saved);
  Flush();
  wchar_t typed[8] = {};
  GetWindowTextW(Editor(view_), typed, 8);
  EXPECT_EQ(std::wstring(L"@"), typed);
  Key(Editor(view_), VK_ESCAPE);
}

TEST_F(SheetView, F2AndDoubleClickEditInPlace) {
  Open("types.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Key(view_, VK_F2);
  HWND editor = Editor(view_);
  ASSERT_NE(nullptr, editor);
  wchar_t text[64] = {};
  GetWindowTextW(editor, text, 64);
  EXPECT_EQ(std::wstring(L"Третий лист"), text);
  Key(editor, VK_LEFT);  // edit mode: arrows move the caret and keep editing
  ASSERT_EQ(editor, Editor(view_));
  SendMessageW(editor, WM_CHAR, L'!', 0);
  Key(editor, VK_RETURN);
  EXPECT_EQ(std::wstring(L"Третий лис!т"), ValueText(workbook_.Get(), 1, 1));
  // Enter without a change changes nothing.
  Key(view_, VK_UP);
  Key(view_, VK_F2);
  Key(Editor(view_), VK_RETURN);
  EXPECT_EQ(1u, workbook_ ? 1u : 0u);
  // A double click on B3 edits that cell.
  RECT cell = {};
  Key(view_, VK_HOME, true);
  Key(view_, VK_F2);
  GetWindowRect(Editor(view_), &cell);
  Key(Editor(view_), VK_ESCAPE);
  MapWindowPoints(nullptr, view_, reinterpret_cast<POINT*>(&cell), 2);
  int w = cell.right - cell.left, h = cell.bottom - cell.top;
  SendMessageW(view_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(cell.left + w + w / 2, cell.top + 2 * h + h / 2));
  Flush();
  ASSERT_NE(nullptr, Editor(view_));
  SendMessageW(Editor(view_), WM_CHAR, L'5', 0);
  Key(Editor(view_), VK_RETURN);
  EXPECT_EQ(std::wstring(L"5"), ValueText(workbook_.Get(), 3, 2));
}

TEST_F(SheetView, DeleteUndoRedoCopyPaste) {
  Open("types.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  // A1:B2 filled, then copied and pasted at D5.
  const wchar_t* typed[] = {L"a", L"1", L"c", L"2,5"};
  for (int i = 0; i < 4; ++i) {
    Type(view_, typed[i]);
    Key(Editor(view_), i % 2 == 0 ? VK_TAB : VK_RETURN);
    if (i % 2 == 1) Key(view_, VK_LEFT);
  }
  EXPECT_EQ(std::wstring(L"2,5"), ValueText(workbook_.Get(), 2, 2));
  Key(view_, VK_HOME, true);
  Key(view_, VK_DOWN, false, true);
  Key(view_, VK_RIGHT, false, true);
  Key(view_, 'C', true);
  Key(view_, VK_HOME, true);
  for (int i = 0; i < 4; ++i) Key(view_, VK_DOWN);
  for (int i = 0; i < 3; ++i) Key(view_, VK_RIGHT);
  Key(view_, 'V', true);
  EXPECT_EQ(std::wstring(L"a"), ValueText(workbook_.Get(), 5, 4));
  EXPECT_EQ(std::wstring(L"1"), ValueText(workbook_.Get(), 5, 5));
  EXPECT_EQ(std::wstring(L"2,5"), ValueText(workbook_.Get(), 6, 5));
  // The paste is selected: Delete clears it all, undo brings it back.
  Key(view_, VK_DELETE);
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 5, 4));
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 6, 5));
  Key(view_, 'Z', true);
  EXPECT_EQ(std::wstring(L"2,5"), ValueText(workbook_.Get(), 6, 5));
  Key(view_, 'Z', true);  // the paste undone
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 5, 4));
  Key(view_, 'Y', true);
  EXPECT_EQ(std::wstring(L"a"), ValueText(workbook_.Get(), 5, 4));
  // Undo all the way back to the file's A1.
  for (int i = 0; i < 10; ++i) Key(view_, 'Z', true);
  EXPECT_EQ(std::wstring(L"Третий лист"), ValueText(workbook_.Get(), 1, 1));
}

TEST_F(SheetView, FormulaStaysTextAndMovesOnPastTheLastRow) {
  Open("types.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Type(view_, L"=A1*2");
  Key(Editor(view_), VK_RETURN);
  VARTYPE type;
  EXPECT_EQ(std::wstring(L"=A1*2"), ValueText(workbook_.Get(), 1, 1, &type));
  EXPECT_EQ(VT_BSTR, type);
  // Ctrl+End goes to the last used cell; typing below it grows the used range.
  Key(view_, VK_END, true);
  Key(view_, VK_DOWN);
  Key(view_, VK_DOWN);
  Type(view_, L"ниже");
  Key(Editor(view_), VK_RETURN);
  TVar sheet, cells, last, row;
  ASSERT_EQ(S_OK, Get(workbook_.Get(), L"ActiveSheet", {}, sheet).hr);
  ASSERT_EQ(S_OK, Get(sheet.Dispatch(), L"Cells", {}, cells).hr);
  ASSERT_EQ(S_OK, Get(cells.Dispatch(), L"SpecialCells", {I4(11)}, last).hr);
  ASSERT_EQ(S_OK, Get(last.Dispatch(), L"Row", {}, row).hr);
  EXPECT_EQ(3, V_I4(&row.Get()));
}

TEST_F(SheetView, DraggedColumnBorderWidensTheEditor) {
  Open("types.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Key(view_, VK_DOWN);
  Key(view_, VK_RIGHT);  // B2: empty, so the editor is as wide as the cell
  Key(view_, VK_F2);
  RECT before;
  GetWindowRect(Editor(view_), &before);
  Key(Editor(view_), VK_ESCAPE);
  MapWindowPoints(nullptr, view_, reinterpret_cast<POINT*>(&before), 2);
  int border = before.right - 1;  // the editor reaches one pixel past the cell
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(border, 5));
  SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(border + 50, 5));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(border + 50, 5));
  Flush();
  Key(view_, VK_F2);
  RECT after;
  GetWindowRect(Editor(view_), &after);
  EXPECT_EQ((before.right - before.left) + 50, after.right - after.left);
  // Typing past the cell's edge widens the editor further.
  for (int i = 0; i < 40; ++i) SendMessageW(Editor(view_), WM_CHAR, L'Ж', 0);
  Flush();
  RECT typed;
  GetWindowRect(Editor(view_), &typed);
  EXPECT_GT(typed.right - typed.left, after.right - after.left);
  Key(Editor(view_), VK_ESCAPE);
  EXPECT_TRUE(IsSaved(workbook_.Get()));  // a width is the view's, not the book's
}

// layout.xlsx: column B and row 3 hidden, A1:C1 merged.
TEST_F(SheetView, MovesOverHiddenColumnsAndRows) {
  Open("layout.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Key(view_, VK_DOWN);
  Key(view_, VK_RIGHT);  // B is hidden: C2
  EXPECT_EQ(std::wstring(L"12,5"), EditorText(view_));
  Key(view_, VK_HOME);
  Key(view_, VK_DOWN);  // row 3 is hidden: A4
  EXPECT_EQ(std::wstring(L"после скрытой"), EditorText(view_));
}

// layout.xlsx: A1:C1 is one merged cell holding the title.
TEST_F(SheetView, MergedAreaIsOneCell) {
  Open("layout.xlsx");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Key(view_, VK_RIGHT);  // from the merged A1:C1 on to D1
  Type(view_, L"D");
  Key(Editor(view_), VK_RETURN);
  EXPECT_EQ(std::wstring(L"D"), ValueText(workbook_.Get(), 1, 4));
  Key(view_, VK_UP);    // D2 up to D1
  Key(view_, VK_LEFT);  // into the merged area: its first cell
  EXPECT_EQ(std::wstring(L"Заголовок на три столбца"), EditorText(view_));
}

TEST_F(SheetView, MouseSelectsAndDeleteClearsTheSelection) {
  Open("types.xls");
  if (HasFatalFailure()) return;
  SetFocus(view_);
  // Sheet "Третий" holds A1 only: fill B1 and A2 first.
  Key(view_, VK_RIGHT);
  Type(view_, L"b1");
  Key(Editor(view_), VK_RETURN);
  Key(view_, VK_HOME, true);
  Key(view_, VK_DOWN);
  Type(view_, L"a2");
  Key(Editor(view_), VK_RETURN);
  // The cell rectangles, from the editor over A1.
  Key(view_, VK_HOME, true);
  Key(view_, VK_F2);
  RECT a1 = {};
  GetWindowRect(Editor(view_), &a1);
  Key(Editor(view_), VK_ESCAPE);
  MapWindowPoints(nullptr, view_, reinterpret_cast<POINT*>(&a1), 2);
  int w = a1.right - a1.left - 1, h = a1.bottom - a1.top - 1;
  // Press on A1, drag to B2, release; then Delete.
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a1.left + w / 2, a1.top + h / 2));
  SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(a1.left + w + w / 2, a1.top + h + h / 2));
  SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(a1.left + w + w / 2, a1.top + h + h / 2));
  Flush();
  Key(view_, VK_DELETE);
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 1, 1));
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 1, 2));
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 2, 1));
  // One undo brings the three back; a shift click then selects from the current cell.
  Key(view_, 'Z', true);
  EXPECT_EQ(std::wstring(L"Третий лист"), ValueText(workbook_.Get(), 1, 1));
  EXPECT_EQ(std::wstring(L"b1"), ValueText(workbook_.Get(), 1, 2));
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a1.left + w + w / 2, a1.top + h / 2));  // B1
  SendMessageW(view_, WM_LBUTTONUP, 0, 0);
  SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(a1.left + w + w / 2, a1.top + h + h / 2));
  SendMessageW(view_, WM_LBUTTONUP, 0, 0);
  Flush();
  Key(view_, VK_DELETE);
  EXPECT_EQ(std::wstring(L"Третий лист"), ValueText(workbook_.Get(), 1, 1));
  EXPECT_EQ(std::wstring(), ValueText(workbook_.Get(), 1, 2));
  EXPECT_EQ(std::wstring(L"a2"), ValueText(workbook_.Get(), 2, 1));
}

// A merged area is drawn as one cell wherever it lies: no grid line crosses
// it, far down the sheet too.
TEST_F(SheetView, MergedAreaFarDownHasNoInnerGridLine) {
  TempDir dir;
  crafted::XlsxBook b;
  b.sheets = {{"S", "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
                    "<row r=\"200000\"><c r=\"D200000\"><v>1</v></c></row></sheetData>"
                    "<mergeCells count=\"1\"><mergeCell ref=\"A200000:C200000\"/></mergeCells></worksheet>"}};
  WriteFileBytes(dir.File("merged.xlsx"), crafted::MakeXlsx(b));
  OpenPath(dir.File("merged.xlsx"));
  if (HasFatalFailure()) return;
  SetFocus(view_);
  Key(view_, VK_END, true);  // D200000
  Key(view_, VK_HOME);       // into the merged area
  // The editor over A200000 reaches one pixel past the cell: its right edge
  // is where a grid line between A and B would be.
  Key(view_, VK_F2);
  RECT a = {};
  GetWindowRect(Editor(view_), &a);
  Key(Editor(view_), VK_ESCAPE);
  Key(view_, VK_END, true);  // the current cell's frame away from the area
  MapWindowPoints(nullptr, view_, reinterpret_cast<POINT*>(&a), 2);
  InvalidateRect(view_, nullptr, TRUE);
  UpdateWindow(view_);
  HDC dc = GetDC(view_);
  const COLORREF inside = GetPixel(dc, a.right - 1, (a.top + a.bottom) / 2);
  ReleaseDC(view_, dc);
  EXPECT_EQ(RGB(255, 255, 255), inside);
}
