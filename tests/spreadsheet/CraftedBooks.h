#pragma once
// Byte builders for workbooks made here at test time: BIFF records, compound
// files (version 3 or 4, tampered at will), zip packages; and the hostile
// and odd workbooks that the reader tests and the hostile-file benchmark
// share. Portable C++ and zlib only.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace crafted {

inline std::string U16(unsigned v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; }
inline std::string U32(unsigned long v) { return U16(v & 0xFFFF) + U16((v >> 16) & 0xFFFF); }
inline std::string F64(double d) {
  std::string s(8, '\0');
  std::memcpy(&s[0], &d, 8);
  return s;
}
inline void Poke32(std::string& s, size_t at, uint32_t v) { s.replace(at, 4, U32(v)); }

// ---- BIFF ----

inline std::string Rec(unsigned type, const std::string& data) {
  return U16(type) + U16(static_cast<unsigned>(data.size())) + data;
}
inline std::string Bof(unsigned version, unsigned kind) { return Rec(0x0809, U16(version) + U16(kind) + std::string(12, '\0')); }
inline std::string Eof() { return Rec(0x000A, ""); }
// BIFF8 XLUnicodeString, compressed (8-bit) characters.
inline std::string Str8(const std::string& ascii) { return U16(static_cast<unsigned>(ascii.size())) + '\0' + ascii; }
inline std::string Cell3(unsigned row, unsigned col, unsigned xf) { return U16(row) + U16(col) + U16(xf); }
inline std::string SheetRecord(unsigned long offset, const std::string& name = "Sheet") {
  return Rec(0x0085, U32(offset) + std::string("\0\0", 2) + char(name.size()) + '\0' + name);
}

// A BIFF8 stream: globals (given records plus one BOUNDSHEET), then the sheet.
inline std::string Biff8(const std::string& globals, const std::string& sheet, unsigned version = 0x0600) {
  std::string name = version == 0x0600 ? std::string("\x05\x00", 2) + "Sheet" : std::string("\x05", 1) + "Sheet";
  auto build = [&](unsigned long offset) {
    return Bof(version, 5) + globals + Rec(0x0085, U32(offset) + std::string("\0\0", 2) + name) + Eof();
  };
  std::string head = build(0);
  head = build(head.size());
  return head + Bof(version, 0x10) + sheet + Eof();
}

// A FORMULA record whose cached result is text (in a STRING record after it).
inline std::string TextFormula(unsigned row, unsigned col) {
  return Rec(0x0006, Cell3(row, col, 0) + std::string("\x00\x00\x00\x00\x00\x00\xFF\xFF", 8) + U16(0) + U32(0) + U16(0));
}

// ---- compound files ----

constexpr uint32_t kEnd = 0xFFFFFFFEu, kFree = 0xFFFFFFFFu, kFatSector = 0xFFFFFFFDu;

struct Cfb {
  std::string bytes;
  size_t sector = 512;
  uint32_t dirStart = 0;  // sector id of the directory
  size_t Sector(uint32_t id) const { return sector + size_t(id) * sector; }
  // The FAT sectors come first and are contiguous: entry id sits here.
  size_t Fat(uint32_t id) const { return sector + 4 * size_t(id); }
  size_t Entry(uint32_t index) const { return Sector(dirStart) + 128 * size_t(index); }
};

// Streams under the root (entries 1..n in name order, linked as right
// siblings); those under 4,096 bytes go to the mini stream.
inline Cfb MakeCfb(std::vector<std::pair<std::string, std::string>> streams, int version = 3) {
  std::sort(streams.begin(), streams.end(), [](const auto& a, const auto& b) {
    return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
  });
  Cfb out;
  out.sector = version == 4 ? 4096 : 512;
  const size_t S = out.sector;
  auto sectorsOf = [&](size_t bytes, size_t unit) { return (bytes + unit - 1) / unit; };
  size_t miniSectors = 0;
  for (const auto& s : streams)
    if (s.second.size() < 4096) miniSectors += sectorsOf(s.second.size(), 64);
  size_t dirSectors = sectorsOf((streams.size() + 1) * 128, S);
  size_t miniFatSectors = sectorsOf(miniSectors * 4, S);
  size_t miniStreamSectors = sectorsOf(miniSectors * 64, S);
  size_t other = dirSectors + miniFatSectors + miniStreamSectors;
  for (const auto& s : streams)
    if (s.second.size() >= 4096) other += sectorsOf(s.second.size(), S);
  size_t fatSectors = 1;
  while (fatSectors * S / 4 < other + fatSectors) ++fatSectors;
  std::vector<uint32_t> fat(fatSectors * S / 4, kFree);
  std::vector<std::string> sectors;
  auto place = [&](const std::string& data, size_t count) {
    uint32_t first = static_cast<uint32_t>(fatSectors + sectors.size());
    for (size_t i = 0; i < count; ++i) {
      uint32_t id = static_cast<uint32_t>(fatSectors + sectors.size());
      fat[id] = i + 1 < count ? id + 1 : kEnd;
      std::string piece = i * S < data.size() ? data.substr(i * S, S) : std::string();
      piece.resize(S, '\0');
      sectors.push_back(piece);
    }
    return count ? first : kEnd;
  };
  for (size_t i = 0; i < fatSectors; ++i) fat[i] = kFatSector;
  // Mini stream and its table.
  std::string mini, miniFat;
  std::vector<uint32_t> starts;
  for (const auto& s : streams) {
    if (s.second.size() >= 4096) {
      starts.push_back(0);
      continue;
    }
    size_t n = sectorsOf(s.second.size(), 64);
    uint32_t first = static_cast<uint32_t>(mini.size() / 64);
    for (size_t i = 0; i < n; ++i) miniFat += U32(i + 1 < n ? first + i + 1 : kEnd);
    std::string data = s.second;
    data.resize(n * 64, '\0');
    mini += data;
    starts.push_back(n ? first : kEnd);
  }
  auto entry = [](const std::string& name, uint8_t type, uint32_t right, uint32_t child, uint32_t start, uint64_t size) {
    std::string e;
    for (char c : name) e += U16(static_cast<unsigned char>(c));
    e += U16(0);
    e.resize(64, '\0');
    e += U16(static_cast<unsigned>(2 * (name.size() + 1)));
    e += char(type);
    e += char(1);  // black
    e += U32(kFree) + U32(right) + U32(child);
    e += std::string(36, '\0');  // class, state bits, times
    e += U32(start) + U32(static_cast<uint32_t>(size)) + U32(static_cast<uint32_t>(size >> 32));
    return e;
  };
  out.dirStart = static_cast<uint32_t>(fatSectors);
  std::string dir(dirSectors * S, '\0');
  uint32_t dirFirst = place(dir, dirSectors);
  uint32_t miniFatStart = place(miniFat, miniFatSectors);
  uint32_t miniStart = place(mini, miniStreamSectors);
  dir = entry("Root Entry", 5, kFree, streams.empty() ? kFree : 1, miniStart, mini.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    const auto& s = streams[i];
    uint32_t start = s.second.size() >= 4096 ? place(s.second, sectorsOf(s.second.size(), S)) : starts[i];
    dir += entry(s.first, 2, i + 1 < streams.size() ? static_cast<uint32_t>(i + 2) : kFree, kFree, start, s.second.size());
  }
  while (dir.size() < dirSectors * S) dir += entry("", 0, kFree, kFree, kFree, 0);
  for (size_t i = 0; i < dirSectors; ++i) sectors[dirFirst - fatSectors + i] = dir.substr(i * S, S);
  for (size_t i = miniFat.size() / 4; miniFatSectors && i < miniFatSectors * S / 4; ++i) {
    sectors[miniFatStart - fatSectors + i * 4 / S].replace((i * 4) % S, 4, U32(kFree));
  }
  std::string h("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  h += std::string(16, '\0') + U16(0x3E) + U16(version) + U16(0xFFFE) + U16(version == 4 ? 12 : 9) + U16(6);
  h += std::string(6, '\0') + U32(version == 4 ? dirSectors : 0) + U32(fatSectors) + U32(dirFirst) + U32(0) +
       U32(4096) + U32(miniFatSectors ? miniFatStart : kEnd) + U32(miniFatSectors) + U32(kEnd) + U32(0);
  for (size_t i = 0; i < 109; ++i) h += U32(i < fatSectors ? i : kFree);
  h.resize(S, '\0');
  out.bytes = h;
  std::string table;
  for (uint32_t v : fat) table += U32(v);
  out.bytes += table;
  for (const auto& s : sectors) out.bytes += s;
  return out;
}

inline std::string Xls(const std::string& biff, int version = 3) { return MakeCfb({{"Workbook", biff}}, version).bytes; }

// ---- zip packages ----

struct ZipPart {
  std::string name, content;
};

inline std::string Deflate(const std::string& content) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  std::string z(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&z[0]), &size, reinterpret_cast<const Bytef*>(content.data()),
            static_cast<uLong>(content.size()), 9);
  return z.substr(2, size - 6);  // zlib header and checksum off: raw deflate
}

// Deflated entries (CRCs left zero: the readers do not check them).
inline std::string MakeZip(const std::vector<ZipPart>& parts) {
  std::string local, central;
  for (const auto& p : parts) {
    std::string raw = Deflate(p.content);
    std::string sizes = U32(0) + U32(static_cast<unsigned long>(raw.size())) + U32(static_cast<unsigned long>(p.content.size())) +
                        U16(static_cast<unsigned>(p.name.size()));
    central += U32(0x02014b50) + U16(20) + U16(20) + U16(0) + U16(8) + U32(0) + sizes + U16(0) + U16(0) + U16(0) +
               U16(0) + U32(0) + U32(static_cast<unsigned long>(local.size())) + p.name;
    local += U32(0x04034b50) + U16(20) + U16(0) + U16(8) + U32(0) + sizes + U16(0) + p.name + raw;
  }
  return local + central + U32(0x06054b50) + U16(0) + U16(0) + U16(static_cast<unsigned>(parts.size())) +
         U16(static_cast<unsigned>(parts.size())) + U32(static_cast<unsigned long>(central.size())) +
         U32(static_cast<unsigned long>(local.size())) + U16(0);
}

inline std::string ZipOf(const std::string& name, const std::string& content) { return MakeZip({{name, content}}); }

inline std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

// An .xlsx package: workbook with the given sheets (name, sheet XML), extra
// workbook relationships and parts.
struct XlsxBook {
  std::vector<std::pair<std::string, std::string>> sheets;
  std::string sharedStrings;  // the part's XML, when not empty
  std::string styles;
  std::string workbookExtra;  // inside <workbook>
  std::string relsExtra;      // inside the workbook's <Relationships>
  std::vector<ZipPart> parts;
};

constexpr const char* kNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline std::string Rel(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kNs + "/" + type + "\" Target=\"" + target + "\"/>";
}

inline std::string SheetXml(const std::string& cells) {
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" + cells +
         "</sheetData></worksheet>";
}

inline std::string MakeXlsx(const XlsxBook& b) {
  std::string sheets, rels;
  std::vector<ZipPart> parts;
  for (size_t i = 0; i < b.sheets.size(); ++i) {
    std::string n = std::to_string(i + 1);
    sheets += "<sheet name=\"" + b.sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rS" + n + "\"/>";
    rels += Rel("rS" + n, "worksheet", "worksheets/sheet" + n + ".xml");
    parts.push_back({"xl/worksheets/sheet" + n + ".xml", b.sheets[i].second});
  }
  if (!b.sharedStrings.empty()) {
    rels += Rel("rSS", "sharedStrings", "sharedStrings.xml");
    parts.push_back({"xl/sharedStrings.xml", b.sharedStrings});
  }
  if (!b.styles.empty()) {
    rels += Rel("rSt", "styles", "styles.xml");
    parts.push_back({"xl/styles.xml", b.styles});
  }
  std::vector<ZipPart> all = {
      {"_rels/.rels", std::string("<Relationships>") + Rel("r1", "officeDocument", "xl/workbook.xml") + "</Relationships>"},
      {"xl/workbook.xml", "<workbook xmlns:r=\"" + std::string(kNs) + "\">" + b.workbookExtra + "<sheets>" + sheets +
                              "</sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", "<Relationships>" + rels + b.relsExtra + "</Relationships>"}};
  all.insert(all.end(), parts.begin(), parts.end());
  all.insert(all.end(), b.parts.begin(), b.parts.end());
  return MakeZip(all);
}

// ---- the hostile and odd workbooks ----

enum class Outcome { Read, Refused };

struct Case {
  std::string name;
  std::function<std::string()> make;
  Outcome outcome;
  const char* reason;  // the start of the refusal's reason (the readers' Reason::*)
};


// A sheet of a few values, for the structures around it.
inline std::string SmallBiff() { return Biff8("", Rec(0x0203, Cell3(0, 0, 0) + F64(1)) + Rec(0x0203, Cell3(1, 0, 0) + F64(2))); }

// Globals of many sheets whose substreams start at consecutive BOFs without EOF.
inline std::string ConsecutiveBofs(size_t sheets) {
  size_t head = Bof(0x0600, 5).size() + sheets * SheetRecord(0, "S0000").size() + Eof().size();
  std::string globals = Bof(0x0600, 5), body;
  char name[8];
  for (size_t i = 0; i < sheets; ++i) {
    std::snprintf(name, sizeof name, "S%04u", static_cast<unsigned>(i));
    globals += SheetRecord(static_cast<unsigned long>(head + body.size()), name);
    body += Bof(0x0600, 0x10);
  }
  return globals + Eof() + body + Rec(0x0203, Cell3(0, 0, 0) + F64(7)) + Eof();
}

// Many long "General…" format codes, and XFs that use them.
inline std::string GeneralFormats(size_t formats, size_t xfs) {
  std::string globals;
  for (size_t i = 0; i < formats; ++i) globals += Rec(0x041E, U16(static_cast<unsigned>(164 + i)) + Str8(Repeat("General", 1100)));
  for (size_t i = 0; i < xfs; ++i) globals += Rec(0x00E0, U16(0) + U16(static_cast<unsigned>(164 + i % formats)) + std::string(16, '\0'));
  return Biff8(globals, Rec(0x0203, Cell3(0, 0, 1) + F64(3)));
}

inline std::string BoundsheetOffset(uint32_t offset) {
  return Bof(0x0600, 5) + SheetRecord(offset) + Eof();
}

// A package whose end record points its directory past 2^32 - size.
inline std::string WrappingZipDirectory() {
  std::string zip = MakeZip({{"a.xml", "<a/>"}});
  zip.insert(zip.find("PK\x01\x02"), std::string(1 << 20, '\0'));  // a 1 MB file, as in the field
  Poke32(zip, zip.size() - 22 + 12, 0x2E);
  Poke32(zip, zip.size() - 22 + 16, 0xFFFFFFD2u);
  return zip;
}

inline std::string WrappingLocalHeader() {
  XlsxBook b;
  b.sheets = {{"S", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}};
  std::string zip = MakeXlsx(b);
  // Every central entry's local header offset near 2^32.
  for (size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4))
    Poke32(zip, at + 42, 0xFFFFFFF0u);
  return zip;
}

// 28,000 directory entries that all name the one local header of a part.
inline std::string AliasedEntries(size_t n) {
  XlsxBook b;
  b.sheets = {{"S", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}};
  std::string zip = MakeXlsx(b);
  size_t end = zip.rfind("PK\x05\x06");
  size_t dir = zip.find("PK\x01\x02");
  std::string first = zip.substr(dir, 46 + (static_cast<uint8_t>(zip[dir + 28]) | (static_cast<uint8_t>(zip[dir + 29]) << 8)));
  std::string extra;
  char name[32];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(name, sizeof name, "x/%08u.xml", static_cast<unsigned>(i));
    std::string e = first.substr(0, 28) + U16(static_cast<unsigned>(std::strlen(name))) + first.substr(30, 16) + name;
    extra += e;
  }
  std::string tail = zip.substr(end);
  unsigned count = static_cast<unsigned>(std::min<size_t>(0xFFFE, (static_cast<uint8_t>(tail[10]) | (tail[11] << 8)) + n));
  tail.replace(8, 4, U16(count) + U16(count));
  Poke32(tail, 12, static_cast<uint32_t>(end - dir + extra.size()));
  return zip.substr(0, end) + extra + tail;
}

inline std::string ManySheetsManyRels(size_t sheets, size_t rels) {
  std::string list, extra;
  for (size_t i = 0; i < rels; ++i) extra += Rel("x" + std::to_string(i), "image", "media/none.png");
  for (size_t i = 0; i < sheets; ++i)
    list += "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"x" +
            std::to_string(rels - 1 - i) + "\"/>";
  return MakeZip({{"_rels/.rels", "<Relationships>" + Rel("r1", "officeDocument", "xl/workbook.xml") + "</Relationships>"},
                  {"xl/workbook.xml", "<workbook xmlns:r=\"" + std::string(kNs) + "\"><sheets>" + list + "</sheets></workbook>"},
                  {"xl/_rels/workbook.xml.rels", "<Relationships>" + extra + "</Relationships>"}});
}

// A DIFAT chain that leads back to itself, its count claiming no end.
inline std::string DifatLoop() {
  std::string biff = SmallBiff();
  biff.resize(400 * 512, '\0');
  Cfb c = MakeCfb({{"Workbook", biff}});
  for (uint32_t i = 0; i < 109; ++i) Poke32(c.bytes, 76 + 4 * i, i);
  size_t d = c.Sector(300);
  for (uint32_t i = 0; i < 127; ++i) Poke32(c.bytes, d + 4 * i, 110 + i);
  Poke32(c.bytes, d + 508, 300);
  Poke32(c.bytes, 44, 286);
  Poke32(c.bytes, 68, 300);
  Poke32(c.bytes, 72, 0xFFFFFFFFu);
  return c.bytes;
}

inline std::string SharedStringFlood(size_t count, int relationships) {
  XlsxBook b;
  b.sheets = {{"S", SheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")}};
  b.sharedStrings = "<sst>" + Repeat("<si/>", count) + "</sst>";
  for (int i = 1; i < relationships; ++i) b.relsExtra += Rel("rX" + std::to_string(i), "sharedStrings", "sharedStrings.xml");
  return MakeXlsx(b);
}

inline std::string LongSheetName(size_t chars) {
  XlsxBook b;
  b.sheets = {{Repeat("N", chars), SheetXml("")}};
  return MakeXlsx(b);
}

// One long shared string shown in 800 cells.
inline std::string LongStringInManyCells(size_t chars) {
  XlsxBook b;
  std::string rows;
  for (int r = 1; r <= 40; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\">";
    for (int c = 0; c < 20; ++c) rows += "<c t=\"s\"><v>0</v></c>";
    rows += "</row>";
  }
  b.sheets = {{"S", SheetXml(rows)}};
  b.sharedStrings = "<sst><si><t>" + Repeat("x", chars) + "</t></si></sst>";
  return MakeXlsx(b);
}

// Text of one string split into many nodes.
inline std::string ManyTextNodes(size_t nodes, size_t each) {
  XlsxBook b;
  b.sheets = {{"S", SheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")}};
  b.sharedStrings = "<sst><si>" + Repeat("<r><t>" + Repeat("y", each) + "</t></r>", nodes) + "</si></sst>";
  return MakeXlsx(b);
}

inline std::string GeneralNumFmt(size_t repeats) {
  XlsxBook b;
  b.sheets = {{"S", SheetXml("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row>")}};
  b.styles = "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"" + Repeat("General", repeats) +
             "\"/></numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>";
  return MakeXlsx(b);
}

// Column records, each over every column of the sheet.
inline std::string ColumnFlood(size_t records) {
  XlsxBook b;
  b.sheets = {{"S", "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cols>" +
                        Repeat("<col min=\"1\" max=\"16384\" width=\"9\"/>", records) +
                        "</cols><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData></worksheet>"}};
  return MakeXlsx(b);
}

// A deflated sheet of one cell repeated without references, 1,000 a row.
inline std::string CellFlood(size_t cells) {
  XlsxBook b;
  b.sheets = {{"S", SheetXml(Repeat("<row>" + Repeat("<c><v>1</v></c>", 1000) + "</row>", cells / 1000))}};
  return MakeXlsx(b);
}

inline std::vector<Case> HostileCases() {
  const char* damaged = "Файл книги повреждён";
  const char* tooLarge = "Книга слишком велика для чтения.";
  const char* notExcel = "Файл не является книгой Excel (.xls, .xlsx или .xlsm).";
  auto tamper = [](std::function<void(Cfb&)> f, int version = 3) {
    return [f, version] {
      Cfb c = MakeCfb({{"Workbook", SmallBiff()}}, version);
      f(c);
      return c.bytes;
    };
  };
  auto bigTamper = [](std::function<void(Cfb&)> f) {
    return [f] {
      std::string biff = SmallBiff();
      biff.resize(9000, '\0');  // in regular sectors
      Cfb c = MakeCfb({{"Workbook", biff}});
      f(c);
      return c.bytes;
    };
  };
  return {
      // memory safety: offsets near 2^32
      {"zip-directory-offset-wraps", WrappingZipDirectory, Outcome::Refused, damaged},
      {"zip-local-header-offset-wraps", WrappingLocalHeader, Outcome::Refused, notExcel},
      {"xls-sheet-offset-FFFFFFFC", [] { return Xls(BoundsheetOffset(0xFFFFFFFCu)); }, Outcome::Read, nullptr},
      {"xls-sheet-offset-FFFFFFFF", [] { return Xls(BoundsheetOffset(0xFFFFFFFFu)); }, Outcome::Read, nullptr},
      // compound-file structure
      {"cfb-directory-chain-loop", bigTamper([](Cfb& c) { Poke32(c.bytes, c.Fat(c.dirStart), c.dirStart); }), Outcome::Refused, damaged},
      {"cfb-stream-chain-loop", bigTamper([](Cfb& c) {
         uint32_t start = static_cast<uint32_t>(c.bytes[c.Entry(1) + 116] & 0xFF);
         Poke32(c.bytes, c.Fat(start + 3), start);
       }), Outcome::Refused, damaged},
      {"cfb-shared-sector", bigTamper([](Cfb& c) { Poke32(c.bytes, c.Fat(c.dirStart), c.dirStart + 1); }), Outcome::Refused, damaged},
      {"cfb-fat-count-past-the-file", tamper([](Cfb& c) { Poke32(c.bytes, 44, 50000); }), Outcome::Refused, damaged},
      {"cfb-difat-loop", DifatLoop, Outcome::Refused, damaged},
      {"cfb-directory-sibling-cycle", tamper([](Cfb& c) { Poke32(c.bytes, c.Entry(1) + 72, 1); }), Outcome::Refused, damaged},
      {"cfb-mini-chain-loop", tamper([](Cfb& c) {
         size_t miniFat = c.Sector(static_cast<uint32_t>(static_cast<uint8_t>(c.bytes[60])));
         Poke32(c.bytes, miniFat, 0);
       }), Outcome::Refused, damaged},
      {"cfb-stream-size-256MB", bigTamper([](Cfb& c) { Poke32(c.bytes, c.Entry(1) + 120, 256u << 20); }), Outcome::Read, nullptr},
      {"cfb-header-4096-claims-512", tamper([](Cfb& c) { c.bytes[30] = 9; }, 4), Outcome::Refused, damaged},
      {"cfb-version-4", [] { return Xls(SmallBiff(), 4); }, Outcome::Read, nullptr},
      {"cfb-cutoff-zero", tamper([](Cfb& c) { Poke32(c.bytes, 56, 0); }), Outcome::Read, nullptr},
      // time and memory
      {"xls-general-formats", [] { return Xls(GeneralFormats(60, 15000)); }, Outcome::Read, nullptr},
      {"xls-4096-consecutive-bofs", [] { return Xls(ConsecutiveBofs(4096)); }, Outcome::Read, nullptr},
      {"xlsx-general-numfmt", [] { return GeneralNumFmt(140000); }, Outcome::Read, nullptr},
      {"zip-28000-aliased-entries", [] { return AliasedEntries(28000); }, Outcome::Read, nullptr},
      {"xlsx-4096-sheets-99999-rels", [] { return ManySheetsManyRels(4096, 99999); }, Outcome::Read, nullptr},
      {"xlsx-shared-string-flood", [] { return SharedStringFlood(3000000, 4); }, Outcome::Refused, tooLarge},
      {"xlsx-cell-flood", [] { return CellFlood(3000000); }, Outcome::Refused, tooLarge},
      {"xlsx-4096-columns-records-of-every-column", [] { return ColumnFlood(4096); }, Outcome::Read, nullptr},
      {"xlsx-20M-char-sheet-name", [] { return LongSheetName(20000000); }, Outcome::Refused, damaged},
      {"xlsx-16M-char-string-800-cells", [] { return LongStringInManyCells(16000000); }, Outcome::Read, nullptr},
      {"xlsx-text-in-20000-nodes", [] { return ManyTextNodes(20000, 1000); }, Outcome::Read, nullptr},
  };
}

}  // namespace crafted
