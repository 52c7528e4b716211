#pragma once
// How the files lay a sheet out and how its cells look: column widths, row
// heights, hidden rows and columns, merged areas, bold and italic fonts and
// horizontal alignment. The readers hand the records and elements here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/Model.h"

namespace Spreadsheet {

// "B12" (either case) to 1-based column and row; false when malformed or
// past the sheet's last row or column.
bool ParseCellRef(const std::string& ref, uint32_t& row, uint32_t& col);

// BIFF: a FONT record's look bits (bold, italic).
uint8_t LookOfBiffFont(const uint8_t* data, size_t size);
// BIFF: an XF record's look: its font's bits and its horizontal alignment.
uint8_t LookOfBiffXf(const uint8_t* data, size_t size, const std::vector<uint8_t>& fontLooks);
// BIFF: COLINFO, DEFCOLWIDTH, ROW, DEFAULTROWHEIGHT, MERGEDCELLS of a sheet; other records are ignored.
void ReadBiffLayoutRecord(uint16_t type, const uint8_t* data, size_t size, Sheet& sheet);

using XmlAttributes = std::vector<std::pair<std::string, std::string>>;

// .xlsx styles part: the fonts and cell formats, element by element.
class XlsxLooks {
 public:
  void Element(const std::string& name, const XmlAttributes& attrs, bool empty);
  void End(const std::string& name);
  uint8_t Look(size_t xf) const { return xf < xfs_.size() ? xfs_[xf] : 0; }

 private:
  std::vector<uint8_t> fonts_, xfs_;
  bool inFonts_ = false, inFont_ = false, inCellXfs_ = false, inXf_ = false;
};

// .xlsx sheet part: <sheetFormatPr>, <col>, <mergeCell>; and <row> at row.
void ReadXlsxLayoutElement(const std::string& name, const XmlAttributes& attrs, uint32_t row, Sheet& sheet);

}  // namespace Spreadsheet
