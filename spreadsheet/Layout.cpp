#include "spreadsheet/Layout.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "spreadsheet/BiffRecords.h"
#include "spreadsheet/Bytes.h"

namespace Spreadsheet {
namespace {

constexpr uint32_t kMaxRow = 1048576, kMaxCol = 16384;
constexpr size_t kMaxMerges = 100000;
// A sheet may hide or size every one of its rows; beyond this they are ignored.
constexpr size_t kMaxRowEntries = 1100000;
// Column records set each of their columns; a damaged file may repeat them
// without end, and overlapping ranges of all 16,384 columns add up fast.
constexpr uint32_t kMaxColumnEntries = 4 * kMaxCol;

uint8_t AlignLook(int alignment) {
  switch (alignment) {
    case 1: return kLookAlignLeft;
    case 2: return kLookAlignCenter;
    case 3: return kLookAlignRight;
    default: return 0;  // general, fill, justify and the rest: by the value's kind
  }
}

void AddMerge(Sheet& sheet, uint32_t r1, uint32_t c1, uint32_t r2, uint32_t c2) {
  if (r1 == 0 || c1 == 0 || r2 < r1 || c2 < c1 || r2 > kMaxRow || c2 > kMaxCol) return;
  if ((r1 == r2 && c1 == c2) || sheet.layout.merges.size() >= kMaxMerges) return;
  sheet.layout.merges.push_back({r1, c1, r2, c2});
}

void SetRow(Sheet& sheet, uint32_t row, double points, bool custom, bool hidden) {
  if (row == 0 || row > kMaxRow || sheet.layout.rowHeights.size() >= kMaxRowEntries) return;
  if (hidden) sheet.layout.hiddenRows.insert(row);
  if (custom && points >= 0 && points < 1000) sheet.layout.rowHeights[row] = points;
}

double Number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
bool Flag(const std::string& s) { return s == "1" || s == "true"; }

std::string Attr(const XmlAttributes& attrs, const char* key) {
  for (const auto& a : attrs)
    if (a.first == key) return a.second;
  return std::string();
}

}  // namespace

bool ParseCellRef(const std::string& r, uint32_t& row, uint32_t& col) {
  size_t i = 0, len = r.size();
  uint32_t c = 0, rr = 0;
  for (; i < len && std::isalpha(static_cast<unsigned char>(r[i])); ++i) {
    c = c * 26 + static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(r[i])) - 'A' + 1);
    if (c > 16384) return false;
  }
  if (i == 0 || i == len) return false;
  for (; i < len && r[i] >= '0' && r[i] <= '9'; ++i) {
    rr = rr * 10 + static_cast<uint32_t>(r[i] - '0');
    if (rr > 1048576) return false;
  }
  if (i != len || rr == 0) return false;
  row = rr;
  col = c;
  return true;
}

uint8_t LookOfBiffFont(const uint8_t* d, size_t size) {
  if (size < 8) return 0;
  uint8_t look = 0;
  if (U16(d + 2) & 0x02) look |= kLookItalic;
  if (U16(d + 6) >= 600) look |= kLookBold;
  return look;
}

uint8_t LookOfBiffXf(const uint8_t* d, size_t size, const std::vector<uint8_t>& fontLooks) {
  if (size < 7) return 0;
  uint32_t font = U16(d);
  if (font >= 4) --font;  // font number 4 does not exist: the list skips it
  uint8_t look = font < fontLooks.size() ? fontLooks[font] : 0;
  return static_cast<uint8_t>(look | AlignLook(d[6] & 7));
}

void ReadBiffLayoutRecord(uint16_t type, const uint8_t* d, size_t size, Sheet& sheet) {
  SheetLayout& l = sheet.layout;
  switch (type) {
    case kRecDefColWidth:  // characters, without the cell's padding
      if (size >= 2) l.defaultColWidth = U16(d) + 0.71;
      break;
    case kRecColInfo:
      if (size >= 10) {
        uint32_t first = U16(d) + 1, last = std::min<uint32_t>(U16(d + 2) + 1, 256);
        if (last < first || (l.columnEntries += last - first + 1) > kMaxColumnEntries) break;
        double width = U16(d + 4) / 256.0;
        bool hidden = (U16(d + 8) & 1) != 0;
        for (uint32_t c = first; c <= last; ++c) {
          if (hidden) l.hiddenCols.insert(c);
          else l.colWidths[c] = width;
        }
      }
      break;
    case kRecDefaultRowHeight:
      if (size >= 4 && !(U16(d) & 2)) l.defaultRowHeight = (U16(d + 2) & 0x7FFF) / 20.0;
      break;
    case kRecRow:
      if (size >= 16) {
        uint32_t flags = U16(d + 12);
        SetRow(sheet, U16(d) + 1, (U16(d + 6) & 0x7FFF) / 20.0, (flags & 0x40) != 0, (flags & 0x20) != 0);
      }
      break;
    case kRecMergedCells:
      if (size >= 2) {
        size_t n = U16(d);
        for (size_t i = 0; i < n && 2 + 8 * i + 8 <= size; ++i) {
          const uint8_t* m = d + 2 + 8 * i;
          AddMerge(sheet, U16(m) + 1, U16(m + 4) + 1, U16(m + 2) + 1, U16(m + 6) + 1);
        }
      }
      break;
  }
}

void XlsxLooks::Element(const std::string& name, const XmlAttributes& attrs, bool empty) {
  auto attr = [&attrs](const char* key) { return Attr(attrs, key); };
  if (name == "fonts") {
    inFonts_ = !empty;
  } else if (inFonts_ && name == "font") {
    fonts_.push_back(0);
    inFont_ = !empty;
  } else if (inFont_ && (name == "b" || name == "i")) {
    std::string v = attr("val");
    if (v != "0" && v != "false") fonts_.back() |= name == "b" ? kLookBold : kLookItalic;
  } else if (name == "cellXfs") {
    inCellXfs_ = !empty;
  } else if (inCellXfs_ && name == "xf") {
    std::string font = attr("fontId");
    unsigned long id = std::strtoul(font.c_str(), nullptr, 10);
    xfs_.push_back(id < fonts_.size() ? fonts_[id] : 0);
    inXf_ = !empty;
  } else if (inXf_ && name == "alignment") {
    std::string h = attr("horizontal");
    int alignment = h == "left" ? 1 : h == "center" ? 2 : h == "right" ? 3 : 0;
    xfs_.back() = static_cast<uint8_t>((xfs_.back() & ~kLookAlignMask) | AlignLook(alignment));
  }
}

void XlsxLooks::End(const std::string& name) {
  if (name == "fonts") inFonts_ = false;
  else if (name == "font") inFont_ = false;
  else if (name == "cellXfs") inCellXfs_ = false;
  else if (name == "xf") inXf_ = false;
}

void ReadXlsxLayoutElement(const std::string& name, const XmlAttributes& attrs, uint32_t row, Sheet& sheet) {
  auto attr = [&attrs](const char* key) { return Attr(attrs, key); };
  SheetLayout& l = sheet.layout;
  if (name == "sheetFormatPr") {
    if (!attr("defaultColWidth").empty()) l.defaultColWidth = Number(attr("defaultColWidth"));
    else if (!attr("baseColWidth").empty()) l.defaultColWidth = Number(attr("baseColWidth")) + 0.71;
    if (!attr("defaultRowHeight").empty() && Flag(attr("customHeight"))) l.defaultRowHeight = Number(attr("defaultRowHeight"));
  } else if (name == "col") {
    unsigned long first = std::strtoul(attr("min").c_str(), nullptr, 10);
    unsigned long last = std::min<unsigned long>(std::strtoul(attr("max").c_str(), nullptr, 10), kMaxCol);
    bool hidden = Flag(attr("hidden"));
    std::string width = attr("width");
    if (first == 0 || last < first || (l.columnEntries += last - first + 1) > kMaxColumnEntries) return;
    for (unsigned long c = first; c <= last; ++c) {
      if (hidden) l.hiddenCols.insert(static_cast<uint32_t>(c));
      else if (!width.empty()) l.colWidths[static_cast<uint32_t>(c)] = Number(width);
    }
  } else if (name == "row") {
    std::string ht = attr("ht");
    SetRow(sheet, row, Number(ht), !ht.empty(), Flag(attr("hidden")));
  } else if (name == "mergeCell") {
    std::string ref = attr("ref");
    size_t colon = ref.find(':');
    uint32_t r1, c1, r2, c2;
    if (colon != std::string::npos && ParseCellRef(ref.substr(0, colon), r1, c1) &&
        ParseCellRef(ref.substr(colon + 1), r2, c2))
      AddMerge(sheet, r1, c1, r2, c2);
  }
}

}  // namespace Spreadsheet
