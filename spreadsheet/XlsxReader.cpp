// .xlsx/.xlsm packages: relationships lead from the package root to the
// workbook part, its sheets, shared strings and styles; every part is XML
// pulled straight from the inflating zip entry, so a large sheet is never
// held whole in memory.
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

// "_x000D_" and the like stand for characters XML cannot carry.
void Unescape(std::wstring& s) {
  if (s.find(L"_x") == std::wstring::npos) return;
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'_' && i + 6 < s.size() && s[i + 1] == L'x' && s[i + 6] == L'_' &&
        std::iswxdigit(s[i + 2]) && std::iswxdigit(s[i + 3]) && std::iswxdigit(s[i + 4]) && std::iswxdigit(s[i + 5])) {
      out += static_cast<wchar_t>(std::wcstoul(s.substr(i + 2, 4).c_str(), nullptr, 16));
      i += 6;
    } else {
      out += s[i];
    }
  }
  s.swap(out);
}

std::string FolderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship target, relative to the source part's folder or absolute.
std::string Resolve(const std::string& folder, std::string target) {
  std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    std::string piece = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
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
  char* end = nullptr;
  double d = std::strtod(v.c_str(), &end);
  while (end && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) ++end;
  ok = end && *end == 0 && end != v.c_str();
  return d;
}

// "2024-03-01T12:30:00" (strict packages' t="d") to an OLE date.
bool ParseIsoDate(const std::string& s, double& ole) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double sec = 0;
  if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &sec) < 3) {
    if (std::sscanf(s.c_str(), "%d:%d:%lf", &h, &mi, &sec) < 2) return false;
    ole = (h * 3600 + mi * 60 + sec) / 86400.0;
    return true;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
  // Days from the civil date (proleptic Gregorian), then from 1899-12-30.
  int yy = y - (mo <= 2);
  int era = (yy >= 0 ? yy : yy - 399) / 400;
  int yoe = yy - era * 400;
  int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days = era * 146097L + doe - 719468L;  // days since 1970-01-01
  ole = static_cast<double>(days + 25569) + (h * 3600 + mi * 60 + sec) / 86400.0;
  return true;
}

class XlsxReader {
 public:
  XlsxReader(const std::string& bytes, Workbook& book) : zip_(bytes), book_(book) {}
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
    rels.push_back({xml.Attribute("Id"), {xml.Attribute("Type"), Resolve(folder, xml.Attribute("Target"))}});
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
  for (auto& r : rels) {
    if (EndsWith(r.second.type, "/sharedStrings") && Part(r.second.target)) ReadSharedStrings(r.second.target);
    if (EndsWith(r.second.type, "/styles") && Part(r.second.target)) ReadStyles(r.second.target);
  }
  std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id
  ReadWorkbookPart(workbookPart, sheets);
  for (auto& s : sheets) {
    const Relationship* rel = nullptr;
    for (auto& r : rels)
      if (r.first == s.second) rel = &r.second;
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
      text += xml.Text();
    }
  }
  out = Utf8ToWide(text);
  Unescape(out);
}

void XlsxReader::ReadSharedStrings(const std::string& part) {
  Xml xml(zip_, *Part(part));
  std::wstring text;
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n != XmlPull::kElement || !xml.NameIs("si")) continue;
    if (xml.Empty()) text.clear();
    else CollectText(xml, "si", text);
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

// "B12" (either case) to 1-based column and row; false when malformed.
bool ParseRef(const std::string& r, uint32_t& row, uint32_t& col) {
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
    type.clear();
    for (const auto& a : xml.Attributes()) {
      if (a.first == "r") ParseRef(a.second, cr, cc);
      else if (a.first == "s") style = ParseCount(a.second, 1000000);
      else if (a.first == "t") type = a.second;
    }
    if (cc) {
      row = cr;
      col = cc;
    } else {
      if (row == 0) row = 1;
      ++col;
    }
    Cell c;
    c.row = row;
    c.col = static_cast<uint16_t>(col);
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
          value += xml.Text();
        }
      }
    }
    if (row > 1048576 || col > 16384) continue;
    if (type == "inlineStr") {
      if (hasInline) {
        c.kind = CellKind::Text;
        c.text = book_.strings.Add(inlineText);
      }
    } else if (!hasValue) {
      // a formatted blank, or a formula without a stored result
    } else if (type == "s") {
      bool ok;
      double i = ParseNumber(value, ok);
      if (ok && i >= 0 && i < shared_.size()) {
        c.kind = CellKind::Text;
        c.text = shared_[static_cast<size_t>(i)];
      }
    } else if (type == "str") {
      std::wstring text = Utf8ToWide(value);
      Unescape(text);
      c.kind = CellKind::Text;
      c.text = book_.strings.Add(text);
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
    if (++cells_ > kMaxCells) throw ReadError{Reason::kTooLarge};
    sheet.Put(c);
  }
}

}  // namespace

bool ReadXlsx(const std::string& bytes, Workbook& book, AnsiString& reason) {
  return RunReader(book, reason, [&] { XlsxReader(bytes, book).Read(); });
}

}  // namespace Spreadsheet
