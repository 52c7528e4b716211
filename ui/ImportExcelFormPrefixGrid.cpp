// Editing of the prefix-replacement grid: adding and deleting rows, and the
// centred header.
#include "ui/ImportExcelForm.h"

void TImportExcelForm::bbtnAddPrefixCodeReplaceClick(TComponent*) {
  TStringGrid* g = sgridPrefixCodeReplace;
  g->SetRowCount(g->RowCount() + 1);
  g->SetRow(g->RowCount() - 1);
  g->SetEditorMode(true);
  g->SetFocus();
}

void TImportExcelForm::bbtnDelPrefixCodeReplaceClick(TComponent*) {
  TStringGrid* g = sgridPrefixCodeReplace;
  const int fixedRows = g->FixedRows(), fixedCols = g->FixedCols(), colCount = g->ColCount();
  if (g->RowCount() - fixedRows - 1 == 0) {
    // The grid keeps at least one data row: the last one is only cleared.
    for (int c = fixedCols; c < colCount; ++c) g->SetCells(c, fixedRows, "");
    return;
  }
  // The rows below the current one move up; the last row goes.
  for (int r = g->Row(); r < g->RowCount() - 1; ++r)
    for (int c = fixedCols; c < colCount; ++c) g->SetCells(c, r, g->Cells(c, r + 1));
  g->SetRowCount(g->RowCount() - 1);
}

void TImportExcelForm::sgridPrefixCodeReplaceDrawCell(TComponent*, int ACol, int ARow, const TRect& Rect,
                                                      TGridDrawState) {
  if (ARow != 0) return;
  TCanvas* canvas = sgridPrefixCodeReplace->Canvas();
  const AnsiString text = sgridPrefixCodeReplace->Cells(ACol, 0);
  const int x = Rect.Left + (Rect.Right - Rect.Left) / 2 - canvas->TextWidth(text) / 2;
  const int y = Rect.Top + (Rect.Bottom - Rect.Top) / 2 - canvas->TextHeight(text) / 2;
  canvas->Font().SetColor(gboxPrefixCode->Font().Color());
  canvas->TextRect(Rect, x, y, text);
}
