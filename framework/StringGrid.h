#pragma once
// A grid of text cells. Windows has no such control: this one is a window
// of its own that draws fixed and normal cells with grid lines, keeps a
// current cell and a selected range, scrolls, and edits a cell in place.
#include <vector>

#include "framework/Canvas.h"
#include "framework/Controls.h"

enum TGridOption : unsigned {
  goFixedVertLine = 1,
  goFixedHorzLine = 2,
  goVertLine = 4,
  goHorzLine = 8,
  goRangeSelect = 16,
  goEditing = 32,
  goTabs = 64,
};
using TGridOptions = unsigned;
enum TGridDrawStateBit : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

// Columns Left..Right and rows Top..Bottom, inclusive.
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TInplaceEdit;

class TStringGrid : public TWinControl {
 public:
  explicit TStringGrid(TComponent* owner);
  ~TStringGrid() override;
  AnsiString ClassName() const override { return "TStringGrid"; }

  // Empty outside the grid.
  AnsiString Cells(int col, int row) const;
  // Throws Exception outside the grid.
  void SetCells(int col, int row, const AnsiString& text);

  int ColCount() const { return colCount_; }
  void SetColCount(int count);
  int RowCount() const { return rowCount_; }
  // Keeps the texts of the remaining rows; the current row moves up if its row went.
  void SetRowCount(int count);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int count);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int count);

  // The current cell; setting it collapses the selection onto it.
  int Col() const { return col_; }
  void SetCol(int col);
  int Row() const { return row_; }
  void SetRow(int row);
  TGridRect Selection() const;

  // True while the in-place editor is open. Setting true opens it on the
  // current cell (with goEditing); false commits and closes it.
  bool EditorMode() const { return editing_; }
  void SetEditorMode(bool value);

  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int height);
  TColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor color);
  TGridOptions Options() const { return options_; }
  void SetOptions(TGridOptions options);

  int TopRow() const { return topRow_; }
  void SetTopRow(int row);
  // Non-fixed rows that fit fully into the view (at least 1).
  int VisibleRowCount() const;
  // The cell's rectangle in client coordinates, without its grid lines;
  // empty when the cell is scrolled out of view.
  TRect CellRect(int col, int row) const;
  // The cell at a client point, false outside every cell.
  bool MouseToCell(int x, int y, int& col, int& row) const;

  TCanvas* Canvas() { return &canvas_; }

  // Raised after the grid drew a cell, with the canvas set to the cell's
  // font and background brush.
  std::function<void(TComponent* sender, int col, int row, const TRect& rect, TGridDrawState state)> OnDrawCell;
  // Raised when the editor put a new text into a cell.
  std::function<void(TComponent* sender, int col, int row, const AnsiString& value)> OnSetEditText;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void FontChanged() override;

 private:
  friend class TInplaceEdit;
  int ColX(int col) const;
  int RowY(int row) const;
  int FixedWidth() const;
  int FixedHeight() const;
  void Paint(HDC dc);
  void DrawCell(HDC dc, int col, int row, const TRect& rect);
  void MoveCurrent(int col, int row, bool keepAnchor);
  void ScrollIntoView();
  void UpdateScrollBars();
  void OnKeyDown(WPARAM key);
  void OnScroll(int bar, WORD code);
  void ShowEditor(bool replace, wchar_t firstChar);
  void HideEditor(bool commit);
  void PlaceEditor();
  void ClampState();

  std::vector<std::vector<AnsiString>> cells_;  // [row][col]
  std::vector<int> colWidths_;
  int colCount_ = 5, rowCount_ = 5, fixedCols_ = 1, fixedRows_ = 1;
  int col_ = 1, row_ = 1, anchorCol_ = 1, anchorRow_ = 1;
  int topRow_ = 1, leftCol_ = 1;
  int defaultColWidth_ = 64, rowHeight_ = 24;
  TColor fixedColor_ = clBtnFace;
  TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
  bool selecting_ = false;
  bool editing_ = false;
  TInplaceEdit* editor_ = nullptr;
  TCanvas canvas_;
};
