#pragma once
// Storage of the named settings variants in the INI file: the names listed in
// "Common", one section per variant with the prefix table's cells and row count.
// The controls reach it through small interfaces, so the layout is tested
// without a window.
#include <vector>

#include "framework/AnsiString.h"
#include "framework/IniFiles.h"

namespace TemplateOptions {

constexpr const char* kCommonSection = "Common";
constexpr const char* kDefaultName = "По умолчанию";
constexpr int kMaxNames = 65535;

// "TemplateOptions" + index: the variant's section, and its name key in "Common".
AnsiString SectionName(int index);
// gridName + "_Cell_" + col + "_" + row, column first.
AnsiString CellKey(const AnsiString& gridName, int col, int row);
AnsiString RowCountKey(const AnsiString& gridName);

// Names stored in "Common", in position order up to the first missing or
// empty one.
std::vector<AnsiString> ReadNames(const TIniFile& ini);
// The stored start index ("Common" / startKey, default 0), as the loose
// decimal conversion reads it.
int ReadStartIndex(const TIniFile& ini, const AnsiString& startKey);

// What the storage needs of the prefix grid.
class IPrefixGrid {
 public:
  virtual ~IPrefixGrid() = default;
  virtual AnsiString GridName() const = 0;
  virtual int FixedRows() const = 0;
  virtual int FixedCols() const = 0;
  virtual int ColCount() const = 0;
  virtual int RowCount() const = 0;
  virtual void SetRowCount(int count) = 0;
  virtual AnsiString Cell(int col, int row) const = 0;
  virtual void SetCell(int col, int row, const AnsiString& text) = 0;
};

// Resets the grid to one empty data row, then loads the section's rows: a
// row ends at its first empty cell, so a row with an empty prefix is skipped.
void LoadPrefixTable(const TIniFile& ini, const AnsiString& section, IPrefixGrid& grid);
// Removes the cells of the previous save, then writes every cell of every
// data row and the row count. Raises what the INI layer raises.
void SavePrefixTable(TIniFile& ini, const AnsiString& section, const IPrefixGrid& grid);
// Writes the name key of the variant at `index` when it has none, and of every
// position below it that has none yet, so that the saved variant is listed at
// the next start (names are read only up to the first gap). `names` are the
// list's entries; a position without an entry gets `currentText`.
void SaveNames(TIniFile& ini, const std::vector<AnsiString>& names, int index, const AnsiString& currentText);

}  // namespace TemplateOptions
