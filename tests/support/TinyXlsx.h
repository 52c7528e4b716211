#pragma once
// Writes a small but valid .xlsx (stored zip entries, inline strings,
// numbers) for tests and benchmarks that need a workbook on disk.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct TinyCell {
  int row;           // from 1
  int col;           // from 1
  std::string text;  // Windows-1251; a number when `number`
  bool number = false;
};

struct TinySheet {
  std::string name;  // Windows-1251
  std::vector<TinyCell> cells;
};

namespace tiny_xlsx {

inline uint32_t Crc32(const std::string& data) {
  static uint32_t table[256] = {0};
  if (!table[1]) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char ch : data) crc = table[(crc ^ ch) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Entries stored uncompressed, with a central directory.
inline std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out, directory;
  for (const auto& e : entries) {
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint32_t crc = Crc32(e.second);
    const uint32_t size = static_cast<uint32_t>(e.second.size());
    auto common = [&](std::string& s) {
      Put16(s, 20);  // version needed
      Put16(s, 0);   // flags
      Put16(s, 0);   // stored
      Put16(s, 0);   // time
      Put16(s, 0x21);  // date: 1980-01-01
      Put32(s, crc);
      Put32(s, size);
      Put32(s, size);
      Put16(s, static_cast<uint32_t>(e.first.size()));
      Put16(s, 0);  // extra
    };
    Put32(out, 0x04034b50);
    common(out);
    out += e.first;
    out += e.second;
    Put32(directory, 0x02014b50);
    Put16(directory, 20);  // version made by
    common(directory);
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory += e.first;
  }
  const uint32_t dirOffset = static_cast<uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(directory.size()));
  Put32(out, dirOffset);
  Put16(out, 0);
  return out;
}

inline std::string Utf8(const std::string& cp1251) {
  if (cp1251.empty()) return std::string();
  int n = MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), &w[0], n);
  int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, &out[0], m, nullptr, nullptr);
  return out;
}

inline std::string XmlText(const std::string& cp1251) {
  std::string out;
  for (char c : Utf8(cp1251)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

inline std::string CellRef(int row, int col) {
  std::string letters;
  for (int c = col; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row);
}

inline std::string SheetXml(TinySheet sheet) {
  std::sort(sheet.cells.begin(), sheet.cells.end(),
            [](const TinyCell& a, const TinyCell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; });
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  int openRow = 0;
  for (const TinyCell& c : sheet.cells) {
    if (c.row != openRow) {
      if (openRow) xml += "</row>";
      openRow = c.row;
      xml += "<row r=\"" + std::to_string(c.row) + "\">";
    }
    const std::string ref = CellRef(c.row, c.col);
    if (c.number) xml += "<c r=\"" + ref + "\"><v>" + c.text + "</v></c>";
    else xml += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" + XmlText(c.text) + "</t></is></c>";
  }
  if (openRow) xml += "</row>";
  return xml + "</sheetData></worksheet>";
}

}  // namespace tiny_xlsx

// The bytes of a workbook with these sheets; activeSheet is from 0.
inline std::string TinyXlsx(const std::vector<TinySheet>& sheets, size_t activeSheet = 0) {
  using namespace tiny_xlsx;
  const std::string ns = "http://schemas.openxmlformats.org/";
  std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"" + ns + "package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
  std::string book = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + ns +
                     "spreadsheetml/2006/main\" xmlns:r=\"" + ns +
                     "officeDocument/2006/relationships\"><bookViews><workbookView activeTab=\"" +
                     std::to_string(activeSheet) + "\"/></bookViews><sheets>";
  std::string bookRels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"" + ns + "package/2006/relationships\">";
  std::vector<std::pair<std::string, std::string>> parts;
  for (size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    types += "<Override PartName=\"/xl/worksheets/sheet" + n +
             ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    book += "<sheet name=\"" + XmlText(sheets[i].name) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    bookRels += "<Relationship Id=\"rId" + n + "\" Type=\"" + ns +
                "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    parts.push_back({"xl/worksheets/sheet" + n + ".xml", SheetXml(sheets[i])});
  }
  types += "</Types>";
  book += "</sheets></workbook>";
  bookRels += "</Relationships>";
  const std::string rootRels = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"" + ns +
                               "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + ns +
                               "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
                               "</Relationships>";
  std::vector<std::pair<std::string, std::string>> entries = {
      {"[Content_Types].xml", types}, {"_rels/.rels", rootRels}, {"xl/workbook.xml", book},
      {"xl/_rels/workbook.xml.rels", bookRels}};
  entries.insert(entries.end(), parts.begin(), parts.end());
  return Zip(entries);
}
