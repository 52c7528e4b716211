// The string grid driven through real window messages: keys, mouse, typing
// into its in-place editor, painting read back as pixels.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/StringGrid.h"
#include "tests/support/FormTest.h"
#include "tests/support/TestSupport.h"

namespace {
class GridTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    grid = new TStringGrid(form);
    grid->SetParent(form);
    grid->SetBounds(0, 0, 400, 200);
    grid->SetColCount(3);
    grid->SetRowCount(4);
    grid->SetFixedCols(0);
    grid->SetFixedRows(1);
    grid->SetOptions(grid->Options() | goEditing | goTabs);
    grid->SetFocus();
    Pump();
  }
  void Key(WPARAM key, bool shift = false) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
    Pump();
  }
  void Type(const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p) {
      PostMessageW(GetFocus(), WM_CHAR, *p, 1);
      Pump();
    }
  }
  LPARAM CellPoint(int col, int row) {
    TRect r = grid->CellRect(col, row);
    return MAKELPARAM(r.Left + 5, r.Top + 5);
  }
  void Click(int col, int row, WPARAM keys = 0) {
    PostMessageW(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | keys, CellPoint(col, row));
    PostMessageW(grid->Handle(), WM_LBUTTONUP, keys, CellPoint(col, row));
    Pump();
  }
  TStringGrid* grid = nullptr;
};
}  // namespace

TEST_F(GridTest, CellsFollowRowAndColumnCounts) {
  grid->SetCells(0, 0, "Префикс");
  grid->SetCells(1, 0, "Заменить на");
  grid->SetCells(2, 3, "x");
  EXPECT_EQ(grid->Cells(0, 0), "Префикс");
  EXPECT_EQ(grid->Cells(5, 0), "");
  EXPECT_THROW(grid->SetCells(3, 0, "вне"), Exception);
  EXPECT_THROW(grid->SetCells(0, 4, "вне"), Exception);
  grid->SetRowCount(3);
  EXPECT_EQ(grid->Cells(2, 3), "");
  grid->SetRowCount(5);
  EXPECT_EQ(grid->Cells(2, 3), "") << "a dropped row comes back empty";
  EXPECT_EQ(grid->Cells(1, 0), "Заменить на");
  grid->SetRow(4);
  grid->SetRowCount(2);
  EXPECT_EQ(grid->Row(), 1) << "the current row follows a shrinking grid";
  EXPECT_THROW(grid->SetFixedRows(2), Exception);
  grid->SetColWidths(0, 276);
  grid->SetColWidths(1, 286);
  EXPECT_EQ(grid->ColWidths(1), 286);
  EXPECT_EQ(grid->CellRect(1, 0).Left, 277);
}

TEST_F(GridTest, KeyboardMovesTheCurrentCell) {
  grid->SetRowCount(30);
  grid->SetCol(0);
  grid->SetRow(1);
  int page = grid->VisibleRowCount();
  struct Step {
    WPARAM key;
    int col, row;
  } steps[] = {
      {VK_RIGHT, 1, 1}, {VK_RIGHT, 2, 1}, {VK_RIGHT, 2, 1}, {VK_DOWN, 2, 2},  {VK_HOME, 0, 2},
      {VK_END, 2, 2},   {VK_TAB, 0, 3},   {VK_LEFT, 0, 3},  {VK_UP, 0, 2},    {VK_UP, 0, 1},
      {VK_UP, 0, 1},    {VK_NEXT, 0, 1 + page}, {VK_PRIOR, 0, 1}, {VK_NEXT, 0, 1 + page},
  };
  for (const Step& s : steps) {
    Key(s.key);
    EXPECT_EQ(grid->Col(), s.col) << "key " << s.key;
    EXPECT_EQ(grid->Row(), s.row) << "key " << s.key;
  }
  for (int i = 0; i < 5; ++i) Key(VK_NEXT);
  EXPECT_EQ(grid->Row(), 29);
  EXPECT_GT(grid->TopRow(), 1) << "the view scrolled";
  EXPECT_GT(grid->CellRect(0, 29).Height(), 0);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(grid->Handle(), SB_VERT, &si));
  EXPECT_EQ(si.nPos, grid->TopRow());
  SendMessageW(grid->Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(grid->TopRow(), 1);
  EXPECT_EQ(grid->CellRect(0, 29).Height(), 0);
}

TEST_F(GridTest, ShiftExtendsTheSelectionWithKeysAndMouse) {
  grid->SetRowCount(6);
  Click(0, 1);
  Key(VK_DOWN, true);
  Key(VK_RIGHT, true);
  TGridRect s = grid->Selection();
  EXPECT_EQ(s.Left, 0);
  EXPECT_EQ(s.Top, 1);
  EXPECT_EQ(s.Right, 1);
  EXPECT_EQ(s.Bottom, 2);
  Click(2, 4, MK_SHIFT);
  s = grid->Selection();
  EXPECT_EQ(s.Right, 2);
  EXPECT_EQ(s.Bottom, 4);
  EXPECT_EQ(s.Top, 1);
  // A drag from (0,2) to (1,3).
  PostMessageW(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, CellPoint(0, 2));
  PostMessageW(grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, CellPoint(1, 3));
  PostMessageW(grid->Handle(), WM_LBUTTONUP, 0, CellPoint(1, 3));
  Pump();
  s = grid->Selection();
  EXPECT_EQ(s.Left, 0);
  EXPECT_EQ(s.Top, 2);
  EXPECT_EQ(s.Right, 1);
  EXPECT_EQ(s.Bottom, 3);
  EXPECT_EQ(grid->Col(), 1);
  EXPECT_EQ(grid->Row(), 3);
  // A plain click collapses it; a click on the header row selects nothing.
  Click(2, 2);
  s = grid->Selection();
  EXPECT_EQ(s.Left, 2);
  EXPECT_EQ(s.Right, 2);
  Click(0, 0);
  EXPECT_EQ(grid->Row(), 2);
}

TEST_F(GridTest, TypingOpensTheEditorAndEnterCommits) {
  grid->SetCells(1, 2, "старое");
  grid->SetCol(1);
  grid->SetRow(2);
  std::vector<AnsiString> edits;
  grid->OnSetEditText = [&](TComponent*, int c, int r, const AnsiString& v) {
    EXPECT_EQ(c, 1);
    EXPECT_EQ(r, 2);
    edits.push_back(v);
  };
  Type(L"\u0416\u0425");  // typing replaces the cell's text
  EXPECT_TRUE(grid->EditorMode());
  EXPECT_EQ(grid->Cells(1, 2), "старое") << "the cell changes only on commit";
  Type(L"-1");
  Key(VK_RETURN);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->Cells(1, 2), "ЖХ-1");
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(GetFocus(), grid->Handle());
}

TEST_F(GridTest, EscapeCancelsAndF2EditsTheExistingText) {
  grid->SetCells(0, 1, "01");
  grid->SetCol(0);
  grid->SetRow(1);
  Key(VK_F2);
  ASSERT_TRUE(grid->EditorMode());
  Key(VK_END);  // in the editor: caret to the end, the text kept
  Type(L"23");
  Key(VK_ESCAPE);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->Cells(0, 1), "01");
  Key(VK_F2);
  Key(VK_END);
  Type(L"23");
  Key(VK_DOWN);  // leaving the cell commits
  EXPECT_EQ(grid->Cells(0, 1), "0123");
  EXPECT_EQ(grid->Row(), 2);
  EXPECT_FALSE(grid->EditorMode());
}

TEST_F(GridTest, EditorOpensFromCodeAndByDoubleClickAndCommitsWhenTheCellIsLeft) {
  grid->SetRow(3);
  grid->SetCol(1);
  grid->SetEditorMode(true);
  ASSERT_TRUE(grid->EditorMode());
  Type(L"abc");
  Click(0, 1);  // another cell
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->Cells(1, 3), "abc");
  EXPECT_EQ(grid->Row(), 1);

  // Focusing the grid while it edits keeps the editor open (the add-row command does so).
  grid->SetRowCount(grid->RowCount() + 1);
  grid->SetRow(grid->RowCount() - 1);
  grid->SetEditorMode(true);
  grid->SetFocus();
  Pump();
  EXPECT_TRUE(grid->EditorMode());
  Type(L"new");
  Key(VK_RETURN);
  EXPECT_EQ(grid->Cells(0, 4), "new");

  Click(0, 1);  // a double click starts as a click
  PostMessageW(grid->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, CellPoint(0, 1));
  Pump();
  EXPECT_TRUE(grid->EditorMode());
  grid->SetEditorMode(false);

  // Without goEditing the grid is read-only.
  grid->SetOptions(grid->Options() & ~goEditing);
  Type(L"z");
  Key(VK_F2);
  EXPECT_FALSE(grid->EditorMode());
  EXPECT_EQ(grid->Cells(0, 1), "");
}

TEST_F(GridTest, OnDrawCellPaintsOverTheGridsOwnDrawing) {
  grid->SetFixedColor(clTeal);
  grid->SetColWidths(0, 120);
  grid->SetCells(0, 0, "Префикс");
  grid->SetCells(0, 1, "данные");
  std::vector<std::pair<int, int>> drawn;
  grid->OnDrawCell = [&](TComponent* sender, int col, int row, const TRect& rect, TGridDrawState state) {
    EXPECT_EQ(sender, grid);
    drawn.emplace_back(col, row);
    if (row != 0) return;
    EXPECT_TRUE(state & gdFixed);
    TCanvas* canvas = grid->Canvas();
    EXPECT_EQ(canvas->Brush().Color, clTeal);
    AnsiString text = grid->Cells(col, 0);
    int x = rect.Left + rect.Width() / 2 - canvas->TextWidth(text) / 2;
    int y = rect.Top + rect.Height() / 2 - canvas->TextHeight(text) / 2;
    canvas->Font().SetColor(clWhite);
    canvas->TextRect(rect, x, y, text);
  };
  InvalidateRect(grid->Handle(), nullptr, TRUE);
  UpdateWindow(grid->Handle());
  EXPECT_FALSE(drawn.empty());
  EXPECT_GT(grid->Canvas()->TextWidth("Префикс"), 20);

  auto count = [&](TRect r, COLORREF color) {
    HDC dc = GetDC(grid->Handle());
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) n += GetPixel(dc, x, y) == color;
    ReleaseDC(grid->Handle(), dc);
    return n;
  };
  TRect header = grid->CellRect(0, 0);
  TRect data = grid->CellRect(0, 1);
  EXPECT_GT(count(header, clWhite), 10) << "white header text";
  EXPECT_GT(count(header, clTeal), header.Width() * header.Height() / 2) << "teal fixed cell";
  EXPECT_EQ(count(data, clTeal), 0);
  EXPECT_GT(count(data, ColorToRGB(clWindowText)), 5) << "data text in the grid's own drawing";
  // The grid line right of the header cell.
  HDC dc = GetDC(grid->Handle());
  EXPECT_EQ(GetPixel(dc, header.Right, header.Top + 3), RGB(0, 0, 0));
  ReleaseDC(grid->Handle(), dc);
}
