#pragma once
// The workbook model: what Excel's Range.Value would give for every cell of
// every sheet, stored compactly (one 16-byte record per recorded cell, text
// pooled) so that a sheet of 100,000 rows loads fast and small. No Win32 here.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Spreadsheet {

enum class CellKind : uint8_t { Empty, Text, Number, Boolean, Error, Date, Currency };

// Excel's error numbers (CVErr / xlErr); VT_ERROR carries 0x800A0000 + number.
enum ExcelError : int32_t {
  kErrNull = 2000,
  kErrDiv0 = 2007,
  kErrValue = 2015,
  kErrRef = 2023,
  kErrName = 2029,
  kErrNum = 2036,
  kErrNA = 2042,
};
// BIFF error byte (0x00, 0x07, ...) to Excel's number; unknown bytes give #N/A.
int32_t ErrorFromBiffCode(uint8_t code);
// "#DIV/0!" etc. to Excel's number; 0 when the text is no error literal.
int32_t ErrorFromText(const std::wstring& text);
const wchar_t* ErrorText(int32_t error);

// How a number shows: a date-time or currency format changes the Value type.
enum class NumberStyle : uint8_t { Plain, Date, Currency };
NumberStyle StyleOfBuiltinFormat(unsigned id);
NumberStyle StyleOfFormatCode(const std::wstring& code);

class StringPool {
 public:
  uint32_t Add(const wchar_t* text, size_t length);
  uint32_t Add(const std::wstring& text) { return Add(text.data(), text.size()); }
  std::wstring Get(uint32_t index) const;
  const wchar_t* Data(uint32_t index, size_t& length) const;
  size_t Count() const { return starts_.size(); }
  size_t Bytes() const { return chars_.capacity() * sizeof(wchar_t) + starts_.capacity() * sizeof(uint32_t); }

 private:
  std::vector<wchar_t> chars_;
  std::vector<uint32_t> starts_;
};

// How a cell's text is drawn, from its format: Cell::look holds these bits.
enum CellLook : uint8_t {
  kLookBold = 1,
  kLookItalic = 2,
  kLookAlignMask = 0x0C,  // horizontal alignment; none: numbers right, text left
  kLookAlignLeft = 0x04,
  kLookAlignCenter = 0x08,
  kLookAlignRight = 0x0C,
};

struct Cell {
  uint32_t row = 0;  // 1-based
  uint16_t col = 0;  // 1-based
  CellKind kind = CellKind::Empty;
  uint8_t look = 0;  // CellLook bits
  union {
    double number;   // Number, Date, Currency
    uint32_t text;   // Text: index into the workbook's pool
    int32_t error;   // Error: Excel's number
    uint32_t boolean;
  };
  Cell() : number(0) {}
};
static_assert(sizeof(Cell) == 16, "cells stay 16 bytes");

enum class SheetKind : uint8_t { Worksheet, MacroSheet, Chart, Dialog };

// How the file lays a sheet out; zero or absent: the defaults.
struct SheetLayout {
  double defaultColWidth = 0;   // in characters of the default font's digits
  double defaultRowHeight = 0;  // in points
  std::map<uint32_t, double> colWidths;
  std::map<uint32_t, double> rowHeights;
  std::set<uint32_t> hiddenCols, hiddenRows;
  struct Merge {
    uint32_t row1, col1, row2, col2;
  };
  std::vector<Merge> merges;
  uint32_t columnEntries = 0;  // columns set by column records so far
};

class Sheet {
 public:
  std::wstring name;
  SheetKind kind = SheetKind::Worksheet;
  std::string part;  // .xlsx: the package part that holds the sheet
  SheetLayout layout;

  bool HasCells() const { return kind == SheetKind::Worksheet || kind == SheetKind::MacroSheet; }
  // Records one cell; a later record for the same position wins. An Empty cell
  // (a formatted blank) holds no value but extends the used range.
  void Put(const Cell& cell);
  // Sorts and deduplicates; call once after the last Put.
  void Finish();
  // An edit of a finished sheet: replaces, adds or (an Empty cell) removes the
  // value at the cell's position, keeping the order. The used range grows but
  // never shrinks, as Excel's does until the book is saved.
  void Set(const Cell& cell);
  // Null when the file records nothing at that position.
  const Cell* Find(uint32_t row, uint32_t col) const;
  // Excel's last used cell: the bottom-right corner of everything recorded; A1 when empty.
  uint32_t LastRow() const { return lastRow_ ? lastRow_ : 1; }
  uint32_t LastCol() const { return lastCol_ ? lastCol_ : 1; }
  size_t CellCount() const { return cells_.size(); }
  const std::vector<Cell>& Cells() const { return cells_; }
  size_t Bytes() const { return cells_.capacity() * sizeof(Cell); }

 private:
  std::vector<Cell> cells_;  // by row, then column, once Finish has run
  uint32_t lastRow_ = 0, lastCol_ = 0;
  bool sorted_ = true;
};

enum class FileFormat : uint8_t { Xls, Xlsx };

struct Workbook {
  std::vector<Sheet> sheets;
  StringPool strings;
  size_t activeSheet = 0;  // index into sheets
  bool date1904 = false;
  FileFormat format = FileFormat::Xlsx;

  uint32_t MaxRows() const { return format == FileFormat::Xls ? 65536u : 1048576u; }
  uint32_t MaxCols() const { return format == FileFormat::Xls ? 256u : 16384u; }
  // Cell text as stored; empty for other kinds.
  std::wstring Text(const Cell& cell) const { return cell.kind == CellKind::Text ? strings.Get(cell.text) : std::wstring(); }
};

// A number's OLE date (days since 1899-12-30) from Excel's serial in the workbook's date system.
double OleDateFromSerial(double serial, bool date1904);
// The OLE date of a serial that Excel shows as a date: from its system's day
// 0 to 31.12.9999; false for any other number, NaN among them.
bool DateOfSerial(double serial, bool date1904, double& ole);

}  // namespace Spreadsheet
