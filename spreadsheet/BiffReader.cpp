// BIFF5/7 and BIFF8 workbook streams: the globals (sheets, shared strings,
// formats, code page, date system, active tab), then each worksheet's cell
// records. Only the code-page conversion of BIFF5 text touches Win32.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "spreadsheet/BiffRecords.h"
#include "spreadsheet/Bytes.h"
#include "spreadsheet/Layout.h"
#include "spreadsheet/Readers.h"

namespace Spreadsheet {
namespace {

constexpr uint32_t kXlsColumns = 256;


[[noreturn]] void Fail(const char* detail) {
  throw ReadError{AnsiString(Reason::kDamaged) + " (" + detail + ")"};
}

double F64(const uint8_t* p) {
  double d;
  std::memcpy(&d, p, 8);
  return d;
}

double RkValue(uint32_t rk) {
  double value;
  if (rk & 2) {
    value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, 8);
  }
  return (rk & 1) ? value / 100 : value;
}

struct Record {
  uint16_t type = 0;
  const uint8_t* data = nullptr;
  uint16_t size = 0;
  size_t next = 0;  // stream offset of the following record
};

// A record and the CONTINUE records after it, read as one byte sequence in
// which a string's characters may change width at a segment boundary.
class Segments {
 public:
  void Add(const uint8_t* p, size_t n) { parts_.push_back({p, n}); }
  bool AtEnd() {
    while (part_ < parts_.size() && pos_ >= parts_[part_].second) ++part_, pos_ = 0;
    return part_ >= parts_.size();
  }
  uint8_t Byte() {
    if (AtEnd()) Fail("строка выходит за конец записи");
    return parts_[part_].first[pos_++];
  }
  uint16_t Word() {
    uint8_t lo = Byte();
    return static_cast<uint16_t>(lo | (Byte() << 8));
  }
  uint32_t Dword() {
    uint32_t lo = Word();
    return lo | (static_cast<uint32_t>(Word()) << 16);
  }
  void Skip(size_t n) {
    while (n > 0) {
      if (AtEnd()) Fail("строка выходит за конец записи");
      size_t take = std::min(n, parts_[part_].second - pos_);
      pos_ += take;
      n -= take;
    }
  }
  // cch characters, one or two bytes each; a new segment starts with a flags
  // byte that sets the width for the rest.
  void Chars(size_t cch, bool wide, std::wstring& out) {
    out.clear();
    out.reserve(cch);
    while (out.size() < cch) {
      if (part_ >= parts_.size()) Fail("строка выходит за конец записи");
      if (pos_ >= parts_[part_].second) {
        ++part_;
        pos_ = 0;
        if (part_ >= parts_.size()) Fail("строка выходит за конец записи");
        wide = (Byte() & 1) != 0;
        continue;
      }
      const uint8_t* p = parts_[part_].first;
      size_t avail = parts_[part_].second - pos_;
      if (wide) {
        if (avail < 2) Fail("разорванный символ строки");
        out += static_cast<wchar_t>(U16(p + pos_));
        pos_ += 2;
      } else {
        out += static_cast<wchar_t>(p[pos_]);
        ++pos_;
      }
    }
  }
  void Reset() { part_ = 0, pos_ = 0; }

 private:
  std::vector<std::pair<const uint8_t*, size_t>> parts_;
  size_t part_ = 0, pos_ = 0;
};

class BiffReader {
 public:
  BiffReader(const std::string& stream, Workbook& book)
      : p_(reinterpret_cast<const uint8_t*>(stream.data())), size_(stream.size()), book_(book) {}

  void Read();

 private:
  struct SheetEntry {
    uint32_t offset;
    size_t index;  // into book_.sheets
  };

  bool At(size_t offset, Record& r) const {
    // Against the remaining size: an offset from the file near 2^32 must not wrap.
    if (offset > size_ || size_ - offset < 4) return false;
    r.type = U16(p_ + offset);
    r.size = U16(p_ + offset + 2);
    if (size_ - offset - 4 < r.size) return false;
    r.data = p_ + offset + 4;
    r.next = offset + 4 + r.size;
    return true;
  }
  Segments WithContinues(const Record& r) const {
    Segments s;
    s.Add(r.data, r.size);
    Record c;
    for (size_t at = r.next; At(at, c) && c.type == kRecContinue; at = c.next) s.Add(c.data, c.size);
    return s;
  }
  std::wstring Narrow(const uint8_t* p, size_t n) const;
  // BIFF8 XLUnicodeString (16-bit count) or BIFF5 byte string (16-bit count).
  std::wstring LongString(Segments& s) const;
  std::wstring ShortString(const uint8_t* p, size_t n) const;  // BIFF8 8-bit count

  void ReadGlobals();
  void ReadSst(const Record& r);
  void ReadSheet(uint32_t offset, size_t end, Sheet& sheet);
  CellKind NumberKind(uint16_t xf) const {
    if (xf < xfStyles_.size()) {
      if (xfStyles_[xf] == NumberStyle::Date) return CellKind::Date;
      if (xfStyles_[xf] == NumberStyle::Currency) return CellKind::Currency;
    }
    return CellKind::Number;
  }
  // A cell at a 0-based position from the file. Columns past IV, which Excel
  // drops from an .xls, get column 0, which no sheet keeps.
  static Cell CellAt(uint32_t row, uint32_t col) {
    Cell c;
    c.row = row + 1u;
    c.col = col < kXlsColumns ? static_cast<uint16_t>(col + 1) : 0;
    return c;
  }
  void PutNumber(Sheet& sheet, uint32_t row, uint32_t col, uint16_t xf, double v) {
    cellXf_ = xf;
    Cell c = CellAt(row, col);
    c.kind = NumberKind(xf);
    c.number = v;
    Put(sheet, c);
  }
  void PutText(Sheet& sheet, uint32_t row, uint32_t col, const std::wstring& text) {
    Cell c = CellAt(row, col);
    c.kind = CellKind::Text;
    c.text = book_.strings.Add(text);
    Put(sheet, c);
  }
  void Put(Sheet& sheet, const Cell& c) {
    if (c.col == 0) return;
    if (++cells_ > cellCap_) throw ReadError{Reason::kTooLarge};
    Cell looked = c;
    looked.look = cellXf_ < xfLooks_.size() ? xfLooks_[cellXf_] : 0;
    sheet.Put(looked);
  }

  std::vector<uint8_t> fontLooks_, xfLooks_;
  uint16_t cellXf_ = 0;  // of the cell record being read
  const uint8_t* p_;
  size_t size_;
  Workbook& book_;
  bool biff8_ = true;
  UINT codePage_ = CP_ACP;
  std::vector<uint32_t> sst_;  // shared string index -> pool index
  std::map<uint16_t, std::wstring> formats_;
  std::vector<uint16_t> xfFormats_;
  std::vector<NumberStyle> xfStyles_;
  std::vector<SheetEntry> sheetEntries_;
  size_t activeTab_ = 0;
  size_t cells_ = 0;
  size_t cellCap_ = ItemCap(size_);
};

std::wstring BiffReader::Narrow(const uint8_t* p, size_t n) const {
  if (n == 0) return std::wstring();
  int len = MultiByteToWideChar(codePage_, 0, reinterpret_cast<const char*>(p), static_cast<int>(n), nullptr, 0);
  if (len <= 0) {
    std::wstring out;  // an unknown code page: keep the bytes as Latin-1
    for (size_t i = 0; i < n; ++i) out += static_cast<wchar_t>(p[i]);
    return out;
  }
  std::wstring out(static_cast<size_t>(len), L'\0');
  MultiByteToWideChar(codePage_, 0, reinterpret_cast<const char*>(p), static_cast<int>(n), &out[0], len);
  return out;
}

std::wstring BiffReader::LongString(Segments& s) const {
  uint16_t cch = s.Word();
  std::wstring out;
  if (biff8_) {
    uint8_t flags = s.Byte();
    s.Chars(cch, (flags & 1) != 0, out);
  } else {
    std::string bytes;
    for (uint16_t i = 0; i < cch; ++i) bytes += static_cast<char>(s.Byte());
    out = Narrow(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  return out;
}

std::wstring BiffReader::ShortString(const uint8_t* p, size_t n) const {
  if (n < 1) Fail("пустая строка");
  size_t cch = p[0];
  if (!biff8_) {
    if (1 + cch > n) Fail("строка длиннее записи");
    return Narrow(p + 1, cch);
  }
  if (n < 2) Fail("пустая строка");
  bool wide = (p[1] & 1) != 0;
  if (2 + cch * (wide ? 2 : 1) > n) Fail("строка длиннее записи");
  std::wstring out;
  for (size_t i = 0; i < cch; ++i) out += wide ? static_cast<wchar_t>(U16(p + 2 + 2 * i)) : static_cast<wchar_t>(p[2 + i]);
  return out;
}

void BiffReader::Read() {
  Record bof;
  if (!At(0, bof) || bof.type != kRecBof || bof.size < 4) {
    // BIFF2-4 workbooks begin with a BOF of another record number.
    if (size_ >= 2 && (U16(p_) == 0x0009 || U16(p_) == 0x0209 || U16(p_) == 0x0409))
      throw ReadError{Reason::kOldFormat};
    Fail("нет начала книги");
  }
  uint16_t version = U16(bof.data);
  biff8_ = version >= 0x0600 || version == 0;  // BIFF5/7 writes 0x0500
  if (!biff8_ && version < 0x0500) throw ReadError{Reason::kOldFormat};
  book_.format = FileFormat::Xls;
  ReadGlobals();
  // Each sheet's records end where the next sheet's begin, whatever its EOF
  // says, so that no byte of the stream is read for more than one sheet.
  std::vector<uint32_t> starts;
  for (const auto& e : sheetEntries_) starts.push_back(e.offset);
  std::sort(starts.begin(), starts.end());
  if (std::adjacent_find(starts.begin(), starts.end()) != starts.end()) Fail("два листа в одном месте файла");
  for (auto& e : sheetEntries_) {
    auto next = std::upper_bound(starts.begin(), starts.end(), e.offset);
    size_t end = next == starts.end() ? size_ : *next;
    if (book_.sheets[e.index].HasCells()) ReadSheet(e.offset, end, book_.sheets[e.index]);
  }
  for (auto& s : book_.sheets) s.Finish();
  if (book_.sheets.empty()) throw ReadError{Reason::kNoSheets};
  book_.activeSheet = activeTab_ < book_.sheets.size() ? activeTab_ : 0;
}

void BiffReader::ReadGlobals() {
  Record r;
  size_t at = 0;
  size_t tabs = 0;
  bool ended = false;
  std::vector<size_t> tabToSheet;
  size_t window1Tab = 0;
  while (At(at, r)) {
    at = r.next;
    if (r.type == kRecEof) {
      ended = true;
      break;
    }
    switch (r.type) {
      case kRecFilePass:
        throw ReadError{Reason::kEncrypted};
      case kRecCodePage:
        if (r.size >= 2) {
          uint16_t cp = U16(r.data);
          if (cp == 0x8000) codePage_ = 10000;          // Mac Roman
          else if (cp == 0x8001 || cp == 367) codePage_ = 1252;
          else if (cp != 1200) codePage_ = cp;          // 1200: BIFF8 text is UTF-16 anyway
        }
        break;
      case kRecDateMode:
        if (r.size >= 2) book_.date1904 = U16(r.data) != 0;
        break;
      case kRecWindow1:
        if (r.size >= 12) window1Tab = U16(r.data + 10);
        break;
      case kRecFormat:
        if (r.size >= 3) {
          uint16_t id = U16(r.data);
          if (biff8_) {
            Segments s;
            s.Add(r.data + 2, r.size - 2u);
            formats_[id] = LongString(s);
          } else {
            size_t cch = r.data[2];
            if (3 + cch <= r.size) formats_[id] = Narrow(r.data + 3, cch);
          }
        }
        break;
      case kRecXf:
        if (r.size >= 4) xfFormats_.push_back(U16(r.data + 2));
        xfLooks_.push_back(LookOfBiffXf(r.data, r.size, fontLooks_));
        break;
      case kRecFont:
        fontLooks_.push_back(LookOfBiffFont(r.data, r.size));
        break;
      case kRecBoundSheet: {
        if (r.size < 7) Fail("короткая запись листа");
        if (tabs >= kMaxSheets) Fail("слишком много листов");
        uint32_t offset = U32(r.data);
        uint8_t type = r.data[5];
        ++tabs;
        if (type == 6) {  // a Visual Basic module: no sheet of its own in Excel
          tabToSheet.push_back(SIZE_MAX);
          break;
        }
        Sheet sheet;
        sheet.name = ShortString(r.data + 6, r.size - 6u);
        sheet.kind = type == 2 ? SheetKind::Chart : type == 1 ? SheetKind::MacroSheet : type == 3 ? SheetKind::Dialog
                                                                                                 : SheetKind::Worksheet;
        tabToSheet.push_back(book_.sheets.size());
        sheetEntries_.push_back({offset, book_.sheets.size()});
        book_.sheets.push_back(std::move(sheet));
        break;
      }
      case kRecSst:
        if (biff8_) ReadSst(r);
        break;
      default:
        break;
    }
  }
  if (!ended) Fail("нет конца общего раздела книги");
  // Each format code is sorted once, however many XFs share it.
  std::map<uint16_t, NumberStyle> styles;
  for (const auto& f : formats_) styles[f.first] = StyleOfFormatCode(f.second);
  for (uint16_t id : xfFormats_) {
    auto f = styles.find(id);
    xfStyles_.push_back(f != styles.end() ? f->second : StyleOfBuiltinFormat(id));
  }
  if (window1Tab < tabToSheet.size() && tabToSheet[window1Tab] != SIZE_MAX) activeTab_ = tabToSheet[window1Tab];
}

void BiffReader::ReadSst(const Record& r) {
  Segments s = WithContinues(r);
  if (r.size < 8) Fail("короткая таблица строк");
  s.Skip(4);
  uint32_t unique = s.Dword();
  // The count may lie (too large or zero); the data decides.
  sst_.reserve(std::min<size_t>(unique, size_ / 3));
  std::wstring text;
  while (!s.AtEnd()) {
    uint16_t cch = s.Word();
    uint8_t flags = s.Byte();
    uint16_t runs = (flags & 8) ? s.Word() : 0;
    uint32_t ext = (flags & 4) ? s.Dword() : 0;
    s.Chars(cch, (flags & 1) != 0, text);
    s.Skip(4u * runs);
    s.Skip(ext);
    sst_.push_back(book_.strings.Add(text));
  }
}

void BiffReader::ReadSheet(uint32_t offset, size_t end, Sheet& sheet) {
  Record r;
  if (!At(offset, r) || r.type != kRecBof) return;  // a sheet we cannot find stays empty, as others read it
  size_t at = r.next;
  int depth = 0;  // embedded chart substreams
  bool pendingString = false;
  uint16_t pendRow = 0, pendCol = 0;
  while (at < end && At(at, r)) {
    at = r.next;
    const uint8_t* d = r.data;
    if (r.type == kRecBof) {
      ++depth;
      continue;
    }
    if (r.type == kRecEof) {
      if (depth == 0) break;
      --depth;
      continue;
    }
    if (depth > 0) continue;
    if (r.type == kRecString) {
      if (pendingString) {
        Segments s = WithContinues(r);
        PutText(sheet, pendRow, pendCol, LongString(s));
        pendingString = false;
      }
      continue;
    }
    // Excel writes the shared or array formula a cell belongs to between
    // its FORMULA and the STRING with its text result.
    if (r.type == kRecContinue || r.type == kRecShrFmla || r.type == kRecArray || r.type == kRecTable) continue;
    pendingString = false;
    if (r.size >= 6) cellXf_ = static_cast<uint16_t>(U16(d + 4));
    ReadBiffLayoutRecord(r.type, d, r.size, sheet);
    switch (r.type) {
      case kRecNumber:
        if (r.size >= 14) PutNumber(sheet, U16(d), U16(d + 2), U16(d + 4), F64(d + 6));
        break;
      case kRecRk:
        if (r.size >= 10) PutNumber(sheet, U16(d), U16(d + 2), U16(d + 4), RkValue(U32(d + 6)));
        break;
      case kRecMulRk:
        if (r.size >= 6) {
          uint32_t row = U16(d), col = U16(d + 2);
          for (size_t i = 4; i + 6 <= r.size - 2u && col < kXlsColumns; i += 6, ++col)
            PutNumber(sheet, row, col, U16(d + i), RkValue(U32(d + i + 2)));
        }
        break;
      case kRecBlank:
        if (r.size >= 6) Put(sheet, CellAt(U16(d), U16(d + 2)));
        break;
      case kRecMulBlank:
        if (r.size >= 6) {
          size_t count = (r.size - 6u) / 2;
          uint32_t row = U16(d), col = U16(d + 2);
          for (size_t i = 0; i < count && col + i < kXlsColumns; ++i) Put(sheet, CellAt(row, col + static_cast<uint32_t>(i)));
        }
        break;
      case kRecBoolErr:
        if (r.size >= 8) {
          Cell c = CellAt(U16(d), U16(d + 2));
          if (d[7]) {
            c.kind = CellKind::Error;
            c.error = ErrorFromBiffCode(d[6]);
          } else {
            c.kind = CellKind::Boolean;
            c.boolean = d[6] != 0;
          }
          Put(sheet, c);
        }
        break;
      case kRecLabelSst:
        if (r.size >= 10) {
          uint32_t i = U32(d + 6);
          Cell c = CellAt(U16(d), U16(d + 2));
          c.kind = CellKind::Text;
          // An index past the table (a damaged count) reads as an empty string.
          c.text = i < sst_.size() ? sst_[i] : book_.strings.Add(L"", 0);
          Put(sheet, c);
        }
        break;
      case kRecLabel:
      case kRecRString:
        if (r.size >= 8) {
          Segments s;
          s.Add(d + 6, r.size - 6u);
          PutText(sheet, U16(d), U16(d + 2), LongString(s));
        }
        break;
      case kRecFormula:
        if (r.size >= 20) {
          uint16_t row = U16(d), col = U16(d + 2);
          const uint8_t* res = d + 6;
          if (U16(res + 6) != 0xFFFF) {
            PutNumber(sheet, row, col, U16(d + 4), F64(res));
            break;
          }
          Cell c = CellAt(row, col);
          switch (res[0]) {
            case 0:  // text in the STRING record that follows
              pendingString = true;
              pendRow = row;
              pendCol = col;
              break;
            case 1:
              c.kind = CellKind::Boolean;
              c.boolean = res[2] != 0;
              break;
            case 2:
              c.kind = CellKind::Error;
              c.error = ErrorFromBiffCode(res[2]);
              break;
            case 3:
              c.kind = CellKind::Text;
              c.text = book_.strings.Add(L"", 0);
              break;
            default:
              break;
          }
          Put(sheet, c);
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace

bool ReadBiffStream(const std::string& stream, Workbook& book, AnsiString& reason) {
  return RunReader(book, reason, [&] { BiffReader(stream, book).Read(); });
}

}  // namespace Spreadsheet
