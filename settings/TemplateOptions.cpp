#include "settings/TemplateOptions.h"

namespace TemplateOptions {

AnsiString SectionName(int index) { return "TemplateOptions" + IntToStr(index); }

AnsiString CellKey(const AnsiString& gridName, int col, int row) {
  return gridName + "_Cell_" + IntToStr(col) + "_" + IntToStr(row);
}

AnsiString RowCountKey(const AnsiString& gridName) { return gridName + "_RowCount"; }

std::vector<AnsiString> ReadNames(const TIniFile& ini) {
  std::vector<AnsiString> names;
  for (int i = 0; i < kMaxNames; ++i) {
    AnsiString name = ini.ReadString(kCommonSection, SectionName(i), "");
    if (name.empty()) break;
    names.push_back(name);
  }
  return names;
}

int ReadStartIndex(const TIniFile& ini, const AnsiString& startKey) {
  return StrToIntLoose(ini.ReadString(kCommonSection, startKey, "0"));
}

void LoadPrefixTable(const TIniFile& ini, const AnsiString& section, IPrefixGrid& grid) {
  const int fixedRows = grid.FixedRows(), fixedCols = grid.FixedCols(), colCount = grid.ColCount();
  const AnsiString name = grid.GridName();
  grid.SetRowCount(fixedRows + 1);
  for (int c = fixedCols; c < colCount; ++c) grid.SetCell(c, fixedRows, "");

  const int count = StrToIntLoose(ini.ReadString(section, RowCountKey(name), IntToStr(grid.RowCount())));
  const long long end = static_cast<long long>(count) + fixedRows;
  for (long long r = fixedRows; r < end; ++r) {
    const int row = static_cast<int>(r);
    for (int c = fixedCols; c < colCount; ++c) {
      AnsiString text = ini.ReadString(section, CellKey(name, c, row), "");
      if (text.empty()) break;
      if (row >= grid.RowCount()) grid.SetRowCount(row + 1);
      grid.SetCell(c, row, text);
    }
  }
}

void SavePrefixTable(TIniFile& ini, const AnsiString& section, const IPrefixGrid& grid) {
  const int fixedRows = grid.FixedRows(), fixedCols = grid.FixedCols(), colCount = grid.ColCount();
  const AnsiString name = grid.GridName();
  // The previous save's cells, up to the first absent key.
  bool removing = true;
  for (int r = fixedRows; removing; ++r) {
    for (int c = fixedCols; c < colCount; ++c) {
      const AnsiString key = CellKey(name, c, r);
      if (!ini.ValueExists(section, key)) {
        removing = false;
        break;
      }
      ini.DeleteKey(section, key);
    }
    if (colCount <= fixedCols) removing = false;
  }
  const int rowCount = grid.RowCount();
  for (int r = fixedRows; r < rowCount; ++r)
    for (int c = fixedCols; c < colCount; ++c) ini.WriteString(section, CellKey(name, c, r), grid.Cell(c, r));
  ini.WriteString(section, RowCountKey(name), IntToStr(rowCount - fixedRows));
}

void SaveNames(TIniFile& ini, const std::vector<AnsiString>& names, int index, const AnsiString& currentText) {
  // A negative index (no entry selected) keeps its own key and fills no gap.
  const int first = index < 0 ? index : 0;
  for (int i = first; i <= index; ++i) {
    const AnsiString key = SectionName(i);
    if (ini.ValueExists(kCommonSection, key)) continue;
    const bool hasEntry = i >= 0 && static_cast<size_t>(i) < names.size();
    ini.WriteString(kCommonSection, key, (i == index || !hasEntry) ? currentText : names[static_cast<size_t>(i)]);
  }
}

}  // namespace TemplateOptions
