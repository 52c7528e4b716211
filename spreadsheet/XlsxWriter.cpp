// Writing edits back into an .xlsx package. The changed sheet parts are
// edited as text (the rows and cells the edits touch are rebuilt, every other
// byte kept), and the zip is rebuilt around them with every untouched entry's
// local header and compressed data copied as they were.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "spreadsheet/Bytes.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Writers.h"
#include "spreadsheet/XmlPull.h"
#include "spreadsheet/Zip.h"

namespace Spreadsheet {
namespace {

const char* const kCannotWrite = "Не удаётся записать книгу";

[[noreturn]] void Fail(const char* detail) { throw WriteError{AnsiString(kCannotWrite) + ": " + detail + "."}; }

std::string ColumnName(uint32_t col) {
  std::string s;
  for (; col > 0; col = (col - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (col - 1) % 26));
  return s;
}

bool ParseCellRef(const std::string& r, uint32_t& row, uint32_t& col) {
  size_t i = 0;
  col = 0;
  row = 0;
  for (; i < r.size() && ((r[i] >= 'A' && r[i] <= 'Z') || (r[i] >= 'a' && r[i] <= 'z')) && col < 0x100000; ++i)
    col = col * 26 + static_cast<uint32_t>((r[i] | 0x20) - 'a' + 1);
  for (; i < r.size() && r[i] >= '0' && r[i] <= '9' && row < 0x10000000; ++i) row = row * 10 + static_cast<uint32_t>(r[i] - '0');
  return i == r.size() && row > 0 && col > 0;
}

// The end of a start tag beginning at lt ('<'), quotes respected; npos if none.
size_t TagEnd(const std::string& xml, size_t lt) {
  char quote = 0;
  for (size_t i = lt + 1; i < xml.size(); ++i) {
    char c = xml[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string::npos;
}

// An attribute of a start tag, as written (entities are not expected in the
// ones read here: r, s, t).
bool Attribute(const std::string& tag, const char* name, std::string& value, size_t* start = nullptr,
               size_t* end = nullptr) {
  size_t n = std::strlen(name);
  for (size_t i = 1; i + n < tag.size(); ++i) {
    if (!(tag[i - 1] == ' ' || tag[i - 1] == '\t' || tag[i - 1] == '\r' || tag[i - 1] == '\n')) continue;
    if (tag.compare(i, n, name) != 0) continue;
    size_t j = i + n;
    while (j < tag.size() && tag[j] == ' ') ++j;
    if (j >= tag.size() || tag[j] != '=') continue;
    ++j;
    while (j < tag.size() && tag[j] == ' ') ++j;
    if (j >= tag.size() || (tag[j] != '"' && tag[j] != '\'')) continue;
    size_t close = tag.find(tag[j], j + 1);
    if (close == std::string::npos) return false;
    value = tag.substr(j + 1, close - j - 1);
    if (start) *start = i - 1;
    if (end) *end = close + 1;
    return true;
  }
  return false;
}

// Is there an element named prefix+name starting at lt?
bool IsElement(const std::string& xml, size_t lt, const std::string& prefix, const char* name) {
  size_t n = std::strlen(name);
  if (xml.compare(lt + 1, prefix.size(), prefix) != 0 || xml.compare(lt + 1 + prefix.size(), n, name) != 0) return false;
  char after = lt + 1 + prefix.size() + n < xml.size() ? xml[lt + 1 + prefix.size() + n] : 0;
  return after == ' ' || after == '>' || after == '/' || after == '\t' || after == '\r' || after == '\n';
}

void AppendEscaped(std::string& out, const std::wstring& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF ||
             (c == '_' && i + 1 < text.size() && text[i + 1] == L'x')) {
      // XML cannot carry these; spreadsheets write them as _xHHHH_ (and a
      // literal "_x" as _x005F_x so that it is not read as one).
      char buf[16];
      std::snprintf(buf, sizeof buf, "_x%04lX_", c);
      out += buf;
    } else {
      AppendUtf8(out, c);
    }
  }
}

class SheetRewriter {
 public:
  SheetRewriter(const std::string& xml, const Workbook& wb, const Sheet& sheet,
                const std::vector<std::pair<uint32_t, uint32_t>>& positions)
      : xml_(xml), wb_(wb), sheet_(sheet), edits_(positions) {}

  std::string Run() {
    size_t data = FindSheetData();
    if (data == std::string::npos) Fail("в листе нет данных ячеек");
    size_t tagEnd = TagEnd(xml_, data);
    if (tagEnd == std::string::npos) Fail("лист повреждён");
    out_.reserve(xml_.size() + 256 * edits_.size());
    CopyWithDimension(0, data);
    if (xml_[tagEnd - 1] == '/') {
      out_.append(xml_, data, tagEnd - 1 - data);
      out_ += '>';
      NewRowsBefore(UINT32_MAX);
      out_ += "</" + prefix_ + "sheetData>";
      out_.append(xml_, tagEnd + 1, std::string::npos);
      return std::move(out_);
    }
    out_.append(xml_, data, tagEnd + 1 - data);
    std::string close = "</" + prefix_ + "sheetData";
    size_t end = xml_.find(close, tagEnd);
    if (end == std::string::npos) Fail("лист повреждён");
    size_t p = tagEnd + 1;
    uint32_t lastRow = 0;
    while (p < end) {
      size_t lt = xml_.find('<', p);
      if (lt == std::string::npos || lt >= end) break;
      if (!IsElement(xml_, lt, prefix_, "row")) {
        size_t e = TagEnd(xml_, lt);
        if (e == std::string::npos || e >= end) break;
        out_.append(xml_, p, e + 1 - p);
        p = e + 1;
        continue;
      }
      out_.append(xml_, p, lt - p);
      size_t e = TagEnd(xml_, lt);
      if (e == std::string::npos) Fail("лист повреждён");
      std::string tag = xml_.substr(lt, e + 1 - lt);
      std::string r;
      uint32_t row = Attribute(tag, "r", r) ? static_cast<uint32_t>(std::strtoul(r.c_str(), nullptr, 10)) : lastRow + 1;
      if (row == 0) row = lastRow + 1;
      lastRow = row;
      NewRowsBefore(row);
      bool empty = xml_[e - 1] == '/';
      size_t rowEnd = e + 1;
      std::string rowClose = "</" + prefix_ + "row>";
      if (!empty) {
        size_t c = xml_.find(rowClose, e);
        if (c == std::string::npos || c > end) Fail("лист повреждён");
        rowEnd = c + rowClose.size();
      }
      if (next_ < edits_.size() && edits_[next_].first == row) {
        std::string open = WithoutSpans(tag);
        if (empty) open = open.substr(0, open.size() - 2) + ">";
        out_ += open;
        RewriteCells(row, e + 1, empty ? e + 1 : rowEnd - rowClose.size());
        out_ += rowClose;
      } else {
        out_.append(xml_, lt, rowEnd - lt);
      }
      p = rowEnd;
    }
    out_.append(xml_, p, end - p);
    NewRowsBefore(UINT32_MAX);
    out_.append(xml_, end, std::string::npos);
    return std::move(out_);
  }

 private:
  size_t FindSheetData() {
    for (size_t at = xml_.find("sheetData"); at != std::string::npos; at = xml_.find("sheetData", at + 1)) {
      size_t lt = at;
      while (lt > 0 && xml_[lt - 1] != '<' && xml_[lt - 1] != '>' && xml_[lt - 1] != ' ') --lt;
      if (lt == 0 || xml_[lt - 1] != '<') continue;
      prefix_ = xml_.substr(lt, at - lt);
      if (!IsElement(xml_, lt - 1, prefix_, "sheetData")) continue;
      return lt - 1;
    }
    return std::string::npos;
  }

  // Copies the part before the cells, with the dimension grown to the used range.
  void CopyWithDimension(size_t from, size_t to) {
    std::string open = "<" + prefix_ + "dimension";
    size_t d = xml_.find(open, from);
    std::string ref;
    size_t e = d == std::string::npos || d >= to ? std::string::npos : TagEnd(xml_, d);
    size_t a, b;
    if (e == std::string::npos || !Attribute(xml_.substr(d, e + 1 - d), "ref", ref, &a, &b)) {
      out_.append(xml_, from, to - from);
      return;
    }
    std::string first = ref.substr(0, ref.find(':'));
    uint32_t r1, c1, r2 = 0, c2 = 0;
    if (!ParseCellRef(first, r1, c1)) {
      out_.append(xml_, from, to - from);
      return;
    }
    size_t colon = ref.find(':');
    if (colon != std::string::npos) ParseCellRef(ref.substr(colon + 1), r2, c2);
    r2 = std::max({r2, r1, sheet_.LastRow()});
    c2 = std::max({c2, c1, sheet_.LastCol()});
    std::string grown = first + ":" + ColumnName(c2) + std::to_string(r2);
    out_.append(xml_, from, d - from);
    std::string tag = xml_.substr(d, e + 1 - d);
    out_ += tag.substr(0, a) + " ref=\"" + grown + "\"" + tag.substr(b);
    out_.append(xml_, e + 1, to - e - 1);
  }

  static std::string WithoutSpans(const std::string& tag) {
    std::string v;
    size_t a, b;
    if (!Attribute(tag, "spans", v, &a, &b)) return tag;
    return tag.substr(0, a) + tag.substr(b);
  }

  // New rows for the edited positions above row.
  void NewRowsBefore(uint32_t row) {
    while (next_ < edits_.size() && edits_[next_].first < row) {
      uint32_t r = edits_[next_].first;
      size_t mark = out_.size();
      out_ += "<" + prefix_ + "row r=\"" + std::to_string(r) + "\">";
      size_t before = out_.size();
      for (; next_ < edits_.size() && edits_[next_].first == r; ++next_) CellXml(r, edits_[next_].second, std::string());
      if (out_.size() == before) out_.resize(mark);  // every edit there cleared a cell the file did not have
      else out_ += "</" + prefix_ + "row>";
    }
  }

  // The cells of an edited row between from and to.
  void RewriteCells(uint32_t row, size_t from, size_t to) {
    size_t p = from;
    uint32_t lastCol = 0;
    std::string cellClose = "</" + prefix_ + "c>";
    while (p < to) {
      size_t lt = xml_.find('<', p);
      if (lt == std::string::npos || lt >= to || !IsElement(xml_, lt, prefix_, "c")) {
        size_t stop = lt == std::string::npos || lt >= to ? to : TagEnd(xml_, lt) + 1;
        if (stop == 0 || stop > to) stop = to;
        out_.append(xml_, p, stop - p);
        p = stop;
        continue;
      }
      out_.append(xml_, p, lt - p);
      size_t e = TagEnd(xml_, lt);
      if (e == std::string::npos || e >= to) Fail("лист повреждён");
      std::string tag = xml_.substr(lt, e + 1 - lt);
      size_t cellEnd = e + 1;
      if (xml_[e - 1] != '/') {
        size_t c = xml_.find(cellClose, e);
        if (c == std::string::npos || c >= to) Fail("лист повреждён");
        cellEnd = c + cellClose.size();
      }
      std::string r;
      uint32_t rr, col = lastCol + 1;
      if (!(Attribute(tag, "r", r) && ParseCellRef(r, rr, col))) col = lastCol + 1;
      lastCol = col;
      while (next_ < edits_.size() && edits_[next_].first == row && edits_[next_].second < col)
        CellXml(row, edits_[next_++].second, std::string());
      if (next_ < edits_.size() && edits_[next_].first == row && edits_[next_].second == col) {
        std::string style;
        Attribute(tag, "s", style);
        CheckFormula(xml_.substr(lt, cellEnd - lt), row, col);
        CellXml(row, col, style);
        ++next_;
      } else {
        out_.append(xml_, lt, cellEnd - lt);
      }
      p = cellEnd;
    }
    while (next_ < edits_.size() && edits_[next_].first == row) CellXml(row, edits_[next_++].second, std::string());
  }

  // A formula the edit overwrites: its calculation-chain entry must go; the
  // first cell of a shared or array formula carries the formula of others,
  // so overwriting it would break them.
  void CheckFormula(const std::string& cell, uint32_t row, uint32_t col) {
    size_t f = cell.find("<" + prefix_ + "f");
    if (f == std::string::npos || !IsElement(cell, f, prefix_, "f")) return;
    size_t e = TagEnd(cell, f);
    std::string tag = cell.substr(f, e == std::string::npos ? std::string::npos : e + 1 - f), type, ref;
    Attribute(tag, "t", type);
    if ((type == "shared" || type == "array") && Attribute(tag, "ref", ref) && ref.find(':') != std::string::npos)
      throw WriteError{AnsiString(kCannotWrite) + ": ячейка " + ColumnName(col).c_str() + std::to_string(row).c_str() +
                       " несёт общую формулу или формулу массива других ячеек, изменить её здесь нельзя."};
    removedFormulas_.push_back(ColumnName(col) + std::to_string(row));
  }

 public:
  const std::vector<std::string>& RemovedFormulas() const { return removedFormulas_; }

 private:
  void CellXml(uint32_t row, uint32_t col, const std::string& style) {
    const Cell* c = sheet_.Find(row, col);
    if (!c && style.empty()) return;
    const std::string& x = prefix_;
    out_ += "<" + x + "c r=\"" + ColumnName(col) + std::to_string(row) + "\"";
    if (!style.empty()) out_ += " s=\"" + style + "\"";
    if (!c) {
      out_ += "/>";
      return;
    }
    char buf[40];
    switch (c->kind) {
      case CellKind::Text:
        out_ += " t=\"inlineStr\"><" + x + "is><" + x + "t xml:space=\"preserve\">";
        AppendEscaped(out_, wb_.Text(*c));
        out_ += "</" + x + "t></" + x + "is></" + x + "c>";
        return;
      case CellKind::Boolean:
        out_ += " t=\"b\"><" + x + "v>" + (c->boolean ? "1" : "0") + "</" + x + "v></" + x + "c>";
        return;
      case CellKind::Error: {
        std::string text;
        AppendEscaped(text, ErrorText(c->error));
        out_ += " t=\"e\"><" + x + "v>" + text + "</" + x + "v></" + x + "c>";
        return;
      }
      default:
        std::snprintf(buf, sizeof buf, "%.17g", c->number);
        out_ += "><" + x + "v>" + buf + "</" + x + "v></" + x + "c>";
        return;
    }
  }

  const std::string& xml_;
  const Workbook& wb_;
  const Sheet& sheet_;
  const std::vector<std::pair<uint32_t, uint32_t>>& edits_;
  size_t next_ = 0;
  std::string prefix_;
  std::string out_;
  std::vector<std::string> removedFormulas_;
};


std::string Deflate(const std::string& data) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) Fail("нет памяти для сжатия");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) Fail("ошибка сжатия");
  return out;
}

bool SamePartName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The relationships of a part: (id, type, target resolved to a part name).
struct Rel {
  std::string id, type, target;
};
std::vector<Rel> ReadRels(const ZipArchive& zip, const std::string& part) {
  std::vector<Rel> rels;
  const std::string folder = FolderOf(part);
  const ZipArchive::Entry* e = zip.Find(folder + "_rels/" + part.substr(folder.size()) + ".rels");
  if (!e) return rels;
  std::unique_ptr<XmlSource> source = zip.OpenSource(*e, kMaxPartBytes);
  XmlPull xml(*source);
  for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;) {
    if (n != XmlPull::kElement || !xml.NameIs("Relationship")) continue;
    const std::string *id = xml.Attribute("Id"), *type = xml.Attribute("Type"), *target = xml.Attribute("Target");
    if (!id || !type || !target || target->empty()) continue;
    rels.push_back({*id, *type, ResolveTarget(folder, *target)});
  }
  return rels;
}

// Removes what a relationship part or the content types say of a dropped part.
std::string WithoutElement(const std::string& xml, const char* element, const char* attribute, const std::string& value) {
  std::string out = xml;
  for (size_t at = out.find(std::string("<") + element); at != std::string::npos;
       at = out.find(std::string("<") + element, at + 1)) {
    size_t e = TagEnd(out, at);
    if (e == std::string::npos) break;
    std::string v;
    if (Attribute(out.substr(at, e + 1 - at), attribute, v) && v == value) {
      out.erase(at, e + 1 - at);
      break;
    }
  }
  return out;
}

// The calculation chain lists the cells with formulas; an entry for a cell
// that no longer has one makes Excel repair the book, so overwritten
// formulas leave it. A chain left empty is dropped with its relationship and
// content type.
template <class Put>
void DropFromCalcChain(const ZipArchive& zip, const std::map<size_t, std::vector<std::string>>& removed, Put put) {
  std::string workbook = "xl/workbook.xml";
  for (const auto& r : ReadRels(zip, ""))
    if (EndsWith(r.type, "/officeDocument")) workbook = r.target;
  std::string chainPart, chainId;
  for (const auto& r : ReadRels(zip, workbook))
    if (EndsWith(r.type, "/calcChain")) {
      chainPart = r.target;
      chainId = r.id;
    }
  const ZipArchive::Entry* chain = chainPart.empty() ? nullptr : zip.Find(chainPart);
  const ZipArchive::Entry* book = zip.Find(workbook);
  if (!chain || !book) return;
  // Sheet ids in the order of the sheets.
  std::vector<std::string> ids;
  {
    std::unique_ptr<XmlSource> source = zip.OpenSource(*book, kMaxPartBytes);
    XmlPull xml(*source);
    for (XmlPull::Node n; (n = xml.Next()) != XmlPull::kEnd;)
      if (n == XmlPull::kElement && xml.NameIs("sheet")) ids.push_back(xml.Attribute("sheetId") ? *xml.Attribute("sheetId") : "");
  }
  std::set<std::pair<std::string, std::string>> gone;  // sheet id, cell
  for (const auto& r : removed)
    if (r.first < ids.size())
      for (const auto& cell : r.second) gone.insert({ids[r.first], cell});
  std::string xml = zip.Extract(*chain, kMaxPartBytes), out;
  size_t p = 0, entries = 0;
  std::string sheet;
  for (size_t lt; (lt = xml.find('<', p)) != std::string::npos;) {
    size_t e = TagEnd(xml, lt);
    if (e == std::string::npos) break;
    std::string tag = xml.substr(lt, e + 1 - lt), r, i;
    out.append(xml, p, lt - p);
    p = e + 1;
    bool cell = tag.size() > 3 && tag[1] != '/' && tag[1] != '?' && Attribute(tag, "r", r);
    if (!cell) {
      out += tag;
      continue;
    }
    // An entry without a sheet id belongs to the sheet of the one before.
    if (Attribute(tag, "i", i)) sheet = i;
    if (gone.count({sheet.empty() ? ids.empty() ? "" : ids[0] : sheet, r})) continue;
    ++entries;
    // After the element's name, whatever white space follows it.
    if (i.empty() && !sheet.empty()) tag.insert(tag.find_first_of(" \t\r\n/>"), " i=\"" + sheet + "\"");
    out += tag;
  }
  out.append(xml, p, std::string::npos);
  if (entries > 0) {
    put(chain->name, out);
    return;
  }
  put(chain->name, std::string());
  size_t slash = workbook.rfind('/');
  std::string relsName = (slash == std::string::npos ? std::string() : workbook.substr(0, slash + 1)) + "_rels/" +
                         workbook.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
  if (const ZipArchive::Entry* rels = zip.Find(relsName))
    put(rels->name, WithoutElement(zip.Extract(*rels, kMaxPartBytes), "Relationship", "Id", chainId));
  if (const ZipArchive::Entry* types = zip.Find("[Content_Types].xml"))
    put(types->name, WithoutElement(zip.Extract(*types, kMaxPartBytes), "Override", "PartName", "/" + chain->name));
}

}  // namespace

std::string RewriteSheetXml(const std::string& xml, const Workbook& wb, const Sheet& sheet,
                            const std::vector<std::pair<uint32_t, uint32_t>>& positions) {
  return SheetRewriter(xml, wb, sheet, positions).Run();
}

std::string WriteXlsxEdits(const std::string& original, const Workbook& wb, const ChangedCells& changed) {
  try {
    ZipArchive zip(original);
    // The new contents of the changed parts, by part name; an empty one is dropped.
    std::vector<std::pair<std::string, std::string>> parts;
    auto put = [&](const std::string& name, const std::string& plain) {
      // Checksum and sizes first, for the headers below.
      std::string data(12, '\0');
      if (!plain.empty()) {
        Put32(data, 0, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(plain.data()), static_cast<uInt>(plain.size()))));
        Put32(data, 8, static_cast<uint32_t>(plain.size()));
        data += Deflate(plain);
        Put32(data, 4, static_cast<uint32_t>(data.size() - 12));
      } else {
        data.clear();
      }
      parts.push_back({name, std::move(data)});
    };
    std::map<size_t, std::vector<std::string>> removedFormulas;
    for (const auto& c : changed) {
      if (c.first >= wb.sheets.size()) continue;
      const Sheet& sheet = wb.sheets[c.first];
      const ZipArchive::Entry* e = sheet.part.empty() ? nullptr : zip.Find(sheet.part);
      if (!e) Fail("не найдена часть листа");
      std::string xml = zip.Extract(*e, kMaxPartBytes);
      SheetRewriter rewriter(xml, wb, sheet, c.second);
      put(e->name, rewriter.Run());
      if (!rewriter.RemovedFormulas().empty()) removedFormulas[c.first] = rewriter.RemovedFormulas();
    }
    if (!removedFormulas.empty()) DropFromCalcChain(zip, removedFormulas, put);
    // The end of the central directory, then each of its records.
    size_t eocd = std::string::npos;
    for (size_t i = original.size() >= 22 ? original.size() - 22 : 0;; --i) {
      if (U32(original, i) == 0x06054b50u) {
        eocd = i;
        break;
      }
      if (i == 0 || original.size() - i > 65557) break;
    }
    if (eocd == std::string::npos) Fail("архив повреждён");
    uint32_t count = U16(original, eocd + 10), cdSize = U32(original, eocd + 12), cdOffset = U32(original, eocd + 16);
    if (count == 0xFFFF || cdOffset == 0xFFFFFFFFu || size_t(cdOffset) + cdSize > eocd) Fail("архив ZIP64 не поддерживается");
    std::string out, central;
    out.reserve(original.size() + 4096);
    uint32_t kept = count;
    size_t p = cdOffset;
    for (uint32_t n = 0; n < count; ++n) {
      if (p + 46 > eocd || U32(original, p) != 0x02014b50u) Fail("архив повреждён");
      size_t nameLen = U16(original, p + 28), extraLen = U16(original, p + 30), commentLen = U16(original, p + 32);
      size_t recLen = 46 + nameLen + extraLen + commentLen;
      if (p + recLen > eocd) Fail("архив повреждён");
      std::string name = original.substr(p + 46, nameLen);
      std::string rec = original.substr(p, recLen);
      uint32_t flags = U16(original, p + 8), csize = U32(original, p + 20), local = U32(original, p + 42);
      if (csize == 0xFFFFFFFFu || local == 0xFFFFFFFFu) Fail("архив ZIP64 не поддерживается");
      if (size_t(local) + 30 > original.size() || U32(original, local) != 0x04034b50u) Fail("архив повреждён");
      Put32(rec, 42, static_cast<uint32_t>(out.size()));
      const std::string* replaced = nullptr;
      for (const auto& part : parts)
        if (SamePartName(part.first, name)) replaced = &part.second;
      if (replaced && replaced->empty()) {  // dropped
        p += recLen;
        --kept;
        continue;
      }
      if (replaced) {
        uint32_t crc = U32(*replaced, 0), size = U32(*replaced, 4), plain = U32(*replaced, 8);
        std::string head = original.substr(local, 30);
        Put16(head, 6, flags & ~8u);
        Put16(head, 8, 8);
        Put32(head, 14, crc);
        Put32(head, 18, size);
        Put32(head, 22, plain);
        Put16(head, 26, static_cast<uint32_t>(nameLen));
        Put16(head, 28, 0);
        out += head + name;
        out.append(*replaced, 12, std::string::npos);
        Put16(rec, 8, flags & ~8u);
        Put16(rec, 10, 8);
        Put32(rec, 16, crc);
        Put32(rec, 20, size);
        Put32(rec, 24, plain);
      } else {
        size_t dataStart = local + 30 + U16(original, local + 26) + U16(original, local + 28);
        size_t end = dataStart + csize;
        if (flags & 8) end += (end + 4 <= original.size() && U32(original, end) == 0x08074b50u) ? 16 : 12;
        if (end > original.size()) Fail("архив повреждён");
        out.append(original, local, end - local);
      }
      central += rec;
      p += recLen;
    }
    std::string tail = original.substr(eocd);
    Put16(tail, 8, kept);
    Put16(tail, 10, kept);
    Put32(tail, 12, static_cast<uint32_t>(central.size()));
    Put32(tail, 16, static_cast<uint32_t>(out.size()));
    out += central;
    out += tail;
    return out;
  } catch (const ReadError& e) {
    throw WriteError{AnsiString(kCannotWrite) + ": " + e.reason};
  }
}

}  // namespace Spreadsheet
