#pragma once
// The prefix grid as the settings-variant storage sees it.
#include "framework/StringGrid.h"
#include "settings/TemplateOptions.h"

class TPrefixGridAdapter : public TemplateOptions::IPrefixGrid {
 public:
  explicit TPrefixGridAdapter(TStringGrid* grid) : grid_(grid) {}
  AnsiString GridName() const override { return grid_->Name(); }
  int FixedRows() const override { return grid_->FixedRows(); }
  int FixedCols() const override { return grid_->FixedCols(); }
  int ColCount() const override { return grid_->ColCount(); }
  int RowCount() const override { return grid_->RowCount(); }
  void SetRowCount(int count) override { grid_->SetRowCount(count); }
  AnsiString Cell(int col, int row) const override { return grid_->Cells(col, row); }
  void SetCell(int col, int row, const AnsiString& text) override { grid_->SetCells(col, row, text); }

 private:
  TStringGrid* grid_;
};
