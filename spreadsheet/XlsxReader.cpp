// .xlsx/.xlsm packages: relationships lead from the package root to the
// workbook part, its sheets, shared strings and styles; every part is XML
// pulled straight from the inflating zip entry, so a large sheet is never
// held whole in memory.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <map>

#include "spreadsheet/Layout.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/XmlPull.h"
#include "spreadsheet/Zip.h"

namespace Spreadsheet {
namespace {

[[noreturn]] void Damaged(const char* detail) {
  throw ReadError{AnsiString(Reason::kDamaged) + " (" + detail + ")"};
}

// One part's XML.
class Xml {
 public:
  Xml(const ZipArchive& zip, const ZipArchive::Entry& entry)
      : source_(zip.OpenSource(entry, kMaxPartBytes)), pull_(*source_) {}
  XmlPull::Node Next() { return pull_.Next(); }
  bool NameIs(const char* name) const { return pull_.NameIs(name); }
  const std::string& Name() const { return pull_.Name(); }
  bool Empty() const { return pull_.IsEmpty(); }
  std::string Attribute(const char* name) const {
    const std::string* v = pull_.Attribute(name);
    return v ? *v : std::string();
  }
  const std::vector<std::pair<std::string, std::string>>& Attributes() const { return pull_.Attributes(); }
  const std::string& Text() const { return pull_.Text(); }

 private:
  std::unique_ptr<XmlSource> source_;
  XmlPull pull_;
};

// "_x000D_" and the like stand for UTF-16 units XML cannot carry; -1 where
// s holds no such escape at i.
long EscapedUnit(const std::wstring& s, size_t i) {
  if (i + 6 >= s.size() || s[i] != L'_' || s[i + 1] != L'x' || s[i + 6] != L'_') return -1;
  for (size_t k = 2; k < 6; ++k)
    if (!std::iswxdigit(s[i + k])) return -1;
  return static_cast<long>(std::wcstoul(s.substr(i + 2, 4).c_str(), nullptr, 16));
}

// The escapes exist for the control characters XML cannot carry, and Excel
// reads them back so; an escape of NUL, U+FFFE, U+FFFF or half of a
// surrogate pair stays as written (a NUL would cut names apart).
void Unescape(std::wstring& s) {
  if (s.find(L"_x") == std::wstring::npos) return;
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    long unit = EscapedUnit(s, i);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      long low = EscapedUnit(s, i + 7);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out += static_cast<wchar_t>(unit);
        out += static_cast<wchar_t>(low);
        i += 13;
        continue;
      }
    } else if (unit > 0 && (unit < 0x20 || IsXmlChar(static_cast<unsigned long>(unit)))) {
      out += static_cast<wchar_t>(unit);
      i += 6;
      continue;
    }
    out += s[i];
  }
  s.swap(out);
}

// Excel keeps at most this many characters in a cell.
constexpr size_t kMaxCellChars = 32767;

// Text joined from any number of XML nodes, cut to what a cell holds; the
// bytes kept are bounded too, however many nodes come.
void AppendCapped(std::string& to, const std::string& text) {
  size_t room = 4 * kMaxCellChars + 16;
  if (to.size() < room) to.append(text, 0, room - to.size());
}
std::wstring CellText(const std::string& utf8) {
  std::wstring text = Utf8ToWide(utf8);
  Unescape(text);
  if (text.size() > kMaxCellChars) text.resize(kMaxCellChars);
  return text;
}

struct Relationship {
  std::string type;
  std::string target;
};

// An xsd:double as written in a <v>; false for anything else. Plain decimals
// of up to 15 digits (nearly every cell) are converted here, exactly: the
// digits and the power of ten are both exact doubles, so one division rounds
// correctly; anything else goes to strtod, which is slow under Wine.
double ParseNumber(const std::string& v, bool& ok) {
  ok = false;
  if (v.empty() || v.size() > 64) return 0;
  static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  bool negative = v[0] == '-';
  if (negative) ++i;
  uint64_t digits = 0;
  int count = 0, fraction = -1;
  for (; i < v.size(); ++i) {
    char c = v[i];
    if (c >= '0' && c <= '9') {
      digits = digits * 10 + static_cast<unsigned>(c - '0');
      if (digits != 0 || fraction >= 0) ++count;
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else {
      break;
    }
  }
  if (i == v.size() && count <= 15 && fraction != 0 && i > (negative ? 1u : 0u)) {
    ok = true;
    double d = static_cast<double>(digits);
    if (fraction > 0) d /= kPow10[fraction];
    return negative ? -d : d;
  }
  // strtod also takes "NaN", "inf" and hex; a cell's number is none of
  // those, nor anything past the range of a double ("1e400").
  if (v.find_first_not_of("0123456789+-.eE \t\r\n") != std::string::npos) return 0;
  char* end = nullptr;
  double d = std::strtod(v.c_str(), &end);
  while (end && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) ++end;
  ok = end && *end == 0 && end != v.c_str() && std::isfinite(d);
  return ok ? d : 0;
}

// Up to `digits` decimal digits at s[i] (at least one); false otherwise.
bool Digits(const std::string& s, size_t& i, size_t digits, long long& out) {
  size_t start = i;
  out = 0;
  while (i < s.size() && i - start < digits && s[i] >= '0' && s[i] <= '9') out = out * 10 + (s[i++] - '0');
  return i > start;
}

// "2024-03-01T12:30:00[.5][Z]" or "12:30[:00]" (strict packages' t="d") to an
// OLE date; false for anything else, or a date outside years 0-9999.
bool ParseIsoDate(const std::string& s, double& ole) {
  size_t i = 0;
  long long y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double sec = 0;
  auto at = [&](char c) { return i < s.size() && s[i] == c ? (++i, true) : false; };
  bool date = s.size() > 4 && s[4] == '-';
  if (date) {
    if (!Digits(s, i, 4, y) || !at('-') || !Digits(s, i, 2, mo) || !at('-') || !Digits(s, i, 2, d)) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
    if (i < s.size() && !at('T')) return false;
  }
  if (i < s.size() || !date) {
    if (!Digits(s, i, 2, h) || !at(':') || !Digits(s, i, 2, mi)) return false;
    if (at(':')) {
      long long whole = 0;
      if (!Digits(s, i, 2, whole)) return false;
      sec = static_cast<double>(whole);
      if (at('.')) {
        double scale = 0.1;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10) sec += (s[i] - '0') * scale;
      }
    }
    at('Z');
    if (i != s.size() || h > 24 || mi > 59 || sec >= 61) return false;
  }
  double time = (static_cast<double>(h) * 3600 + static_cast<double>(mi) * 60 + sec) / 86400.0;
  if (!date) {
    ole = time;
    return true;
  }
  // Days from the civil date (proleptic Gregorian), then from 1899-12-30.
  long long yy = y - (mo <= 2);
  long long era = (yy >= 0 ? yy : yy - 399) / 400;
  long long yoe = yy - era * 400;
  long long doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468;  // days since 1970-01-01
  ole = static_cast<double>(days + 25569) + time;
  return true;
}

class XlsxReader {
 public:
  XlsxReader(const std::string& bytes, Workbook& book) : zip_(bytes), book_(book), itemCap_(ItemCap(bytes.size())) {}
  void Read();

 private:
  std::vector<std::pair<std::string, Relationship>> ReadRels(const std::string& part);
  void ReadWorkbookPart(const std::string& part, std::vector<std::pair<std::string, std::string>>& sheets);
  void ReadSharedStrings(const std::string& part);
  void ReadStyles(const std::string& part);
  void ReadSheet(const std::string& part, Sheet& sheet);
  const ZipArchive::Entry* Part(const std::string& name) const { return zip_.Find(name); }

  ZipArchive zip_;
  Workbook& book_;
  std::vector<uint32_t> shared_;
  std::vector<NumberStyle> xfStyles_;
  XlsxLooks looks_;
  size_t activeTab_ = 0;
  size_t cells_ = 0;
  size_t itemCap_;
};

std::vector<std::pair<std::string, Relationship>> XlsxReader::ReadRels(const std::string& part) {
  std::vector<std::pair<std::string, Relationship>> rels;
  std::string folder = FolderOf(part);
  std::string relsName = folder + "_rels/" + part.substr(folder.size()) + ".rels";
  const ZipArchive::Entry* e = Part(relsName);
  if (!e) return rels;
  Xml xml(zip_, *e);
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n != XmlPull::kElement || !xml.NameIs("Relationship")) continue;
    if (xml.Attribute("TargetMode") == "External") continue;
    rels.push_back({xml.Attribute("Id"), {xml.Attribute("Type"), ResolveTarget(folder, xml.Attribute("Target"))}});
    if (rels.size() > 100000) Damaged("слишком много связей");
  }
  return rels;
}

void XlsxReader::Read() {
  book_.format = FileFormat::Xlsx;
  std::string workbookPart;
  for (auto& r : ReadRels(""))
    if (EndsWith(r.second.type, "/officeDocument")) workbookPart = r.second.target;
  if (workbookPart.empty() || !Part(workbookPart)) workbookPart = "xl/workbook.xml";
  if (!Part(workbookPart)) {
    if (zip_.Find("EncryptedPackage")) throw ReadError{Reason::kEncrypted};
    throw ReadError{Reason::kUnknownFormat};
  }
  auto rels = ReadRels(workbookPart);
  // A workbook has one string table and one style sheet: further
  // relationships of those kinds are not read again.
  bool strings = false, styles = false;
  std::map<std::string, const Relationship*> byId;
  for (auto& r : rels) {
    byId[r.first] = &r.second;
    if (!strings && EndsWith(r.second.type, "/sharedStrings") && Part(r.second.target)) {
      strings = true;
      ReadSharedStrings(r.second.target);
    }
    if (!styles && EndsWith(r.second.type, "/styles") && Part(r.second.target)) {
      styles = true;
      ReadStyles(r.second.target);
    }
  }
  std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id
  ReadWorkbookPart(workbookPart, sheets);
  for (auto& s : sheets) {
    auto found = byId.find(s.second);
    const Relationship* rel = found == byId.end() ? nullptr : found->second;
    Sheet sheet;
    sheet.name = Utf8ToWide(s.first);
    if (rel && EndsWith(rel->type, "/chartsheet")) sheet.kind = SheetKind::Chart;
    else if (rel && EndsWith(rel->type, "/dialogsheet")) sheet.kind = SheetKind::Dialog;
    else if (rel && EndsWith(rel->type, "/macrosheet")) sheet.kind = SheetKind::MacroSheet;
    if (rel) sheet.part = rel->target;
    if (sheet.HasCells() && rel && Part(rel->target)) ReadSheet(rel->target, sheet);
    sheet.Finish();
    book_.sheets.push_back(std::move(sheet));
  }
  if (book_.sheets.empty()) throw ReadError{Reason::kNoSheets};
  book_.activeSheet = activeTab_ < book_.sheets.size() ? activeTab_ : 0;
}

void XlsxReader::ReadWorkbookPart(const std::string& part, std::vector<std::pair<std::string, std::string>>& sheets) {
  Xml xml(zip_, *Part(part));
  bool viewSeen = false;
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n != XmlPull::kElement) continue;
    if (xml.NameIs("sheet")) {
      if (sheets.size() >= kMaxSheets) Damaged("слишком много листов");
      sheets.push_back({xml.Attribute("name"), xml.Attribute("id")});
    } else if (xml.NameIs("workbookPr")) {
      std::string v = xml.Attribute("date1904");
      book_.date1904 = v == "1" || v == "true";
    } else if (xml.NameIs("workbookView") && !viewSeen) {
      viewSeen = true;
      std::string v = xml.Attribute("activeTab");
      if (!v.empty()) activeTab_ = std::strtoul(v.c_str(), nullptr, 10);
    }
  }
}

// Text of an <si> or <is>: every <t> except those of phonetic runs (<rPh>).
void CollectText(Xml& xml, const char* endName, std::wstring& out) {
  std::string text;
  int phonetic = 0;
  bool inT = false;
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n == XmlPull::kElement) {
      bool empty = xml.Empty();
      if (xml.NameIs("rPh")) phonetic += empty ? 0 : 1;
      else if (xml.NameIs("t")) inT = !empty;
    } else if (n == XmlPull::kEndElement) {
      if (xml.NameIs(endName)) break;
      if (xml.NameIs("rPh")) --phonetic;
      else if (xml.NameIs("t")) inT = false;
    } else if (inT && phonetic == 0) {
      AppendCapped(text, xml.Text());
    }
  }
  out = CellText(text);
}

void XlsxReader::ReadSharedStrings(const std::string& part) {
  Xml xml(zip_, *Part(part));
  std::wstring text;
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n != XmlPull::kElement || !xml.NameIs("si")) continue;
    if (xml.Empty()) text.clear();
    else CollectText(xml, "si", text);
    // No more strings than the workbook may hold cells to show them.
    if (shared_.size() >= itemCap_) throw ReadError{Reason::kTooLarge};
    shared_.push_back(book_.strings.Add(text));
  }
}

void XlsxReader::ReadStyles(const std::string& part) {
  Xml xml(zip_, *Part(part));
  std::map<unsigned long, NumberStyle> custom;
  bool inCellXfs = false;
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n == XmlPull::kEndElement && xml.NameIs("cellXfs")) inCellXfs = false;
    if (n == XmlPull::kEndElement) looks_.End(xml.Name());
    if (n != XmlPull::kElement) continue;
    looks_.Element(xml.Name(), xml.Attributes(), xml.Empty());
    if (xml.NameIs("numFmt")) {
      custom[std::strtoul(xml.Attribute("numFmtId").c_str(), nullptr, 10)] =
          StyleOfFormatCode(Utf8ToWide(xml.Attribute("formatCode")));
    } else if (xml.NameIs("cellXfs")) {
      inCellXfs = !xml.Empty();
    } else if (inCellXfs && xml.NameIs("xf")) {
      unsigned long id = std::strtoul(xml.Attribute("numFmtId").c_str(), nullptr, 10);
      auto c = custom.find(id);
      xfStyles_.push_back(c != custom.end() ? c->second : StyleOfBuiltinFormat(static_cast<unsigned>(id)));
    }
  }
}

// A shared-string index: digits only ("0.5" or "1e0" is none); SIZE_MAX when not.
size_t Index(const std::string& v) {
  size_t n = 0;
  if (v.empty() || v.size() > 9) return SIZE_MAX;
  for (char ch : v) {
    if (ch < '0' || ch > '9') return SIZE_MAX;
    n = n * 10 + static_cast<size_t>(ch - '0');
  }
  return n;
}

uint32_t ParseCount(const std::string& v, uint32_t limit) {
  uint32_t n = 0;
  for (char ch : v) {
    if (ch < '0' || ch > '9' || n > limit) break;
    n = n * 10 + static_cast<uint32_t>(ch - '0');
  }
  return n;
}

void XlsxReader::ReadSheet(const std::string& part, Sheet& sheet) {
  Xml xml(zip_, *Part(part));
  uint32_t row = 0, col = 0;
  std::string value, type;
  std::wstring inlineText;
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n != XmlPull::kElement) continue;
    if (xml.NameIs("row")) {
      uint32_t r = ParseCount(xml.Attribute("r"), 1048576);
      row = r ? r : row + 1;
      col = 0;
      ReadXlsxLayoutElement("row", xml.Attributes(), row, sheet);
      continue;
    }
    if (!xml.NameIs("c")) {
      ReadXlsxLayoutElement(xml.Name(), xml.Attributes(), row, sheet);
      continue;
    }
    bool empty = xml.Empty();
    uint32_t cr = 0, cc = 0;
    unsigned style = 0;
    bool badRef = false;  // a reference given but refused: the cell has no place, Excel drops it
    type.clear();
    for (const auto& a : xml.Attributes()) {
      if (a.first == "r") badRef = !ParseCellRef(a.second, cr, cc);
      else if (a.first == "s") style = ParseCount(a.second, 1000000);
      else if (a.first == "t") type = a.second;
    }
    if (badRef) {
      cr = cc = 0;
    } else if (cc) {
      row = cr;
      col = cc;
    } else {
      if (row == 0) row = 1;
      ++col;
    }
    Cell c;
    c.row = row;
    c.col = static_cast<uint16_t>(badRef || col > 16384 ? 0 : col);
    c.look = looks_.Look(style);
    value.clear();
    bool hasValue = false, hasInline = false;
    if (!empty) {
      bool inV = false;
      int depth = 0;
      for (XmlPull::Node m; (m = xml.Next()) != XmlPull::kEnd;) {
        if (m == XmlPull::kElement) {
          bool childEmpty = xml.Empty();
          if (xml.NameIs("is")) {
            if (!childEmpty) CollectText(xml, "is", inlineText);
            else inlineText.clear();
            hasInline = true;
          } else if (xml.NameIs("v")) {
            inV = !childEmpty;
            hasValue = true;
          } else if (!childEmpty) {
            ++depth;
          }
        } else if (m == XmlPull::kEndElement) {
          if (depth == 0 && xml.NameIs("c")) break;
          if (xml.NameIs("v")) inV = false;
          else if (depth > 0) --depth;
        } else if (inV) {
          AppendCapped(value, xml.Text());
        }
      }
    }
    if (badRef || row > 1048576 || col > 16384) continue;
    if (type == "inlineStr") {
      if (hasInline) {
        c.kind = CellKind::Text;
        c.text = book_.strings.Add(inlineText);
      }
    } else if (!hasValue) {
      // a formatted blank, or a formula without a stored result
    } else if (type == "s") {
      size_t i = Index(value);
      if (i < shared_.size()) {
        c.kind = CellKind::Text;
        c.text = shared_[i];
      }
    } else if (type == "str") {
      c.kind = CellKind::Text;
      c.text = book_.strings.Add(CellText(value));
    } else if (type == "b") {
      c.kind = CellKind::Boolean;
      c.boolean = value == "1" || value == "true";
    } else if (type == "e") {
      c.kind = CellKind::Error;
      c.error = ErrorFromText(Utf8ToWide(value));
      if (!c.error) c.error = kErrNA;
    } else if (type == "d") {
      double ole;
      if (ParseIsoDate(value, ole)) {
        c.kind = CellKind::Date;
        c.number = book_.date1904 ? ole - 1462 : (ole >= 61 || ole < 1 ? ole : ole - 1);  // back to Excel's serial
      }
    } else {
      bool ok;
      double d = ParseNumber(value, ok);
      if (ok) {
        c.number = d;
        NumberStyle st = style < xfStyles_.size() ? xfStyles_[style] : NumberStyle::Plain;
        c.kind = st == NumberStyle::Date ? CellKind::Date : st == NumberStyle::Currency ? CellKind::Currency : CellKind::Number;
      }
    }
    if (++cells_ > itemCap_) throw ReadError{Reason::kTooLarge};
    sheet.Put(c);
  }
}

}  // namespace

bool ReadXlsx(const std::string& bytes, Workbook& book, AnsiString& reason) {
  return RunReader(book, reason, [&] { XlsxReader(bytes, book).Read(); });
}

}  // namespace Spreadsheet
