// The readers on byte buffers built here: BIFF records, XML text, number
// formats, and thousands of damaged variants of the fixture workbooks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "framework/Unicode.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/XmlPull.h"
#include "spreadsheet/Zip.h"
#include "tests/spreadsheet/CraftedBooks.h"
#include "tests/support/TestSupport.h"

using namespace Spreadsheet;

namespace {

using namespace crafted;

struct CellCheck {
  uint32_t row, col;
  CellKind kind;
  double number;
  const wchar_t* text;
};

void Check(const Workbook& book, const std::vector<CellCheck>& cells, const char* what) {
  ASSERT_FALSE(book.sheets.empty()) << what;
  for (const auto& c : cells) {
    const Cell* cell = book.sheets[0].Find(c.row, c.col);
    SCOPED_TRACE(std::string(what) + " R" + std::to_string(c.row) + "C" + std::to_string(c.col));
    if (c.kind == CellKind::Empty) {
      EXPECT_EQ(nullptr, cell);
      continue;
    }
    ASSERT_NE(nullptr, cell);
    EXPECT_EQ(static_cast<int>(c.kind), static_cast<int>(cell->kind));
    if (c.kind == CellKind::Text) EXPECT_EQ(std::wstring(c.text), book.Text(*cell));
    else if (c.kind == CellKind::Error) EXPECT_EQ(c.number, cell->error);
    else if (c.kind == CellKind::Boolean) EXPECT_EQ(c.number != 0, cell->boolean != 0);
    else EXPECT_DOUBLE_EQ(c.number, cell->number);
  }
}

TEST(Biff, CellRecordsGiveValues) {
  // RK: integer or IEEE high bits, each optionally divided by 100.
  std::string sheet = Rec(0x027E, Cell3(0, 0, 0) + U32(0x3FF00000)) +           // 1.0
                      Rec(0x027E, Cell3(0, 1, 0) + U32(0x3FF00001)) +           // 0.01
                      Rec(0x027E, Cell3(0, 2, 0) + U32((1234567u << 2) | 2)) +  // 1234567
                      Rec(0x027E, Cell3(0, 3, 0) + U32((static_cast<uint32_t>(-1234) << 2) | 3)) +  // -12.34
                      Rec(0x00BD, U16(1) + U16(0) + U16(0) + U32((5u << 2) | 2) + U16(0) + U32((6u << 2) | 2) + U16(1)) +
                      Rec(0x0203, Cell3(2, 0, 0) + F64(-0.5)) +
                      Rec(0x0205, Cell3(3, 0, 0) + std::string("\x01\x00", 2)) +  // TRUE
                      Rec(0x0205, Cell3(3, 1, 0) + std::string("\x07\x01", 2)) +  // #DIV/0!
                      Rec(0x0204, Cell3(4, 0, 0) + Str8("label")) +
                      // A formula with a string result: the text comes in the STRING record after it.
                      Rec(0x0006, Cell3(5, 0, 0) + std::string("\x00\x00\x00\x00\x00\x00\xFF\xFF", 8) + U16(0) + U32(0) + U16(0)) +
                      Rec(0x0207, Str8("cached")) +
                      Rec(0x0006, Cell3(5, 1, 0) + std::string("\x02\x00\x2A\x00\x00\x00\xFF\xFF", 8) + U16(0) + U32(0) + U16(0)) +
                      Rec(0x0006, Cell3(5, 2, 0) + F64(42) + U16(0) + U32(0) + U16(0)) +
                      Rec(0x00BE, U16(9) + U16(3) + U16(0) + U16(0) + U16(0) + U16(0) + U16(0) + U16(7));  // blanks D10:H10
  Workbook book;
  AnsiString reason;
  ASSERT_TRUE(ReadBiffStream(Biff8("", sheet), book, reason)) << reason;
  Check(book,
        {{1, 1, CellKind::Number, 1.0, nullptr},
         {1, 2, CellKind::Number, 0.01, nullptr},
         {1, 3, CellKind::Number, 1234567, nullptr},
         {1, 4, CellKind::Number, -12.34, nullptr},
         {2, 1, CellKind::Number, 5, nullptr},
         {2, 2, CellKind::Number, 6, nullptr},
         {3, 1, CellKind::Number, -0.5, nullptr},
         {4, 1, CellKind::Boolean, 1, nullptr},
         {4, 2, CellKind::Error, kErrDiv0, nullptr},
         {5, 1, CellKind::Text, 0, L"label"},
         {6, 1, CellKind::Text, 0, L"cached"},
         {6, 2, CellKind::Error, kErrNA, nullptr},
         {6, 3, CellKind::Number, 42, nullptr},
         {10, 4, CellKind::Empty, 0, nullptr}},
        "cells");
  EXPECT_EQ(10u, book.sheets[0].LastRow());
  EXPECT_EQ(8u, book.sheets[0].LastCol());
}

TEST(Biff, SharedStringsAcrossContinueRecords) {
  // "abcdef" starts 8-bit in the SST; its CONTINUE switches to 16-bit
  // characters; the next string begins in the CONTINUE without a flag byte
  // of its own beyond its header.
  std::string sst = U32(3) + U32(3) + U16(6) + '\0' + "abc";
  std::string cont = std::string("\x01", 1) + "d" + '\0' + "e" + '\0' + "f" + '\0' +
                     U16(2) + '\x01' + "\x16\x04\x30\x04" /* "Жа" */ + U16(1) + '\x08' + U16(1) + "z" + U32(0);
  std::string globals = Rec(0x00FC, sst) + Rec(0x003C, cont);
  std::string sheet = Rec(0x00FD, Cell3(0, 0, 0) + U32(0)) + Rec(0x00FD, Cell3(0, 1, 0) + U32(1)) +
                      Rec(0x00FD, Cell3(0, 2, 0) + U32(2)) + Rec(0x00FD, Cell3(0, 3, 0) + U32(99));
  Workbook book;
  AnsiString reason;
  ASSERT_TRUE(ReadBiffStream(Biff8(globals, sheet), book, reason)) << reason;
  Check(book, {{1, 1, CellKind::Text, 0, L"abcdef"}, {1, 2, CellKind::Text, 0, L"Жа"}, {1, 3, CellKind::Text, 0, L"z"},
               {1, 4, CellKind::Text, 0, L""}},
        "sst");
}

TEST(Biff, FormatsMakeDatesAndCurrency) {
  std::string xf = [] {
    std::string out;
    for (unsigned fmt : {0u, 14u, 164u, 165u, 7u}) out += Rec(0x00E0, U16(0) + U16(fmt) + std::string(16, '\0'));
    return out;
  }();
  std::string globals = Rec(0x041E, U16(164) + Str8("dd/mm/yyyy\\ hh:mm")) + Rec(0x041E, U16(165) + Str8("0.00\"$\"")) +
                        Rec(0x0022, U16(1)) + xf;
  std::string sheet;
  for (unsigned i = 0; i < 5; ++i) sheet += Rec(0x0203, Cell3(0, i, i) + F64(100));
  Workbook book;
  AnsiString reason;
  ASSERT_TRUE(ReadBiffStream(Biff8(globals, sheet), book, reason)) << reason;
  EXPECT_TRUE(book.date1904);
  Check(book,
        {{1, 1, CellKind::Number, 100, nullptr},
         {1, 2, CellKind::Date, 100, nullptr},
         {1, 3, CellKind::Date, 100, nullptr},
         {1, 4, CellKind::Currency, 100, nullptr},
         {1, 5, CellKind::Currency, 100, nullptr}},
        "formats");
}

TEST(Biff, Biff5TextUsesItsCodePage) {
  std::string label = U16(3) + "\xCF\xF0\xE8";  // "При" in Windows-1251
  std::string sheet = Rec(0x0204, Cell3(0, 0, 0) + label);
  Workbook book;
  AnsiString reason;
  ASSERT_TRUE(ReadBiffStream(Biff8(Rec(0x0042, U16(1251)), sheet, 0x0500), book, reason)) << reason;
  Check(book, {{1, 1, CellKind::Text, 0, L"При"}}, "biff5");
  EXPECT_EQ(std::wstring(L"Sheet"), book.sheets[0].name);
}

struct Refusal {
  const char* what;
  std::string stream;
  const char* reason;  // the start of the expected reason
};

// Two sheet records naming one substream: each would be read in full again.
std::string TwoSheetsOneOffset() {
  auto sheetRecord = [](unsigned long offset) {
    return Rec(0x0085, U32(offset) + std::string("\0\0", 2) + std::string("\x01\x00", 2) + "S");
  };
  size_t head = Bof(0x0600, 5).size() + 2 * sheetRecord(0).size() + Eof().size();
  return Bof(0x0600, 5) + sheetRecord(head) + sheetRecord(head) + Eof() + Bof(0x0600, 0x10) + Eof();
}

TEST(Biff, DamagedOrProtectedStreamsAreRefused) {
  std::string good = Biff8("", Rec(0x0203, Cell3(0, 0, 0) + F64(1)));
  const Refusal cases[] = {
      {"password", Biff8(Rec(0x002F, U16(1) + std::string(52, '\0')), ""), Reason::kEncrypted},
      {"no BOF", std::string("\x01\x02\x03\x04\x05\x06", 6), Reason::kDamaged},
      {"BIFF4", Rec(0x0409, U16(0) + U16(0x10)), Reason::kOldFormat},
      {"truncated globals", good.substr(0, 30), Reason::kDamaged},
      {"string past its record", Biff8(Rec(0x00FC, U32(1) + U32(1) + U16(500) + '\0' + "ab"), ""), Reason::kDamaged},
      {"no sheets", Bof(0x0600, 5) + Eof(), Reason::kNoSheets},
      {"two sheets, one place", TwoSheetsOneOffset(), Reason::kDamaged},
  };
  for (const auto& c : cases) {
    Workbook book;
    AnsiString reason;
    EXPECT_FALSE(ReadBiffStream(c.stream, book, reason)) << c.what;
    EXPECT_EQ(0u, reason.find(c.reason)) << c.what << ": " << Escaped(reason);
    EXPECT_TRUE(book.sheets.empty()) << c.what;
  }
}

TEST(Sniff, KindsOfFileAreToldApart) {
  const Refusal cases[] = {
      {"empty", "", Reason::kEmpty},
      {"text", "hello, world\r\n", Reason::kUnknownFormat},
      {"bad OLE", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), Reason::kDamaged},
      {"bad zip", "PK\x03\x04garbage", Reason::kDamaged},
      {"BIFF2", std::string("\x09\x00\x04\x00\x02\x00\x10\x00", 8), Reason::kOldFormat},
  };
  for (const auto& c : cases) {
    Workbook book;
    AnsiString reason;
    EXPECT_FALSE(ReadWorkbook(c.stream, book, reason)) << c.what;
    EXPECT_EQ(0u, reason.find(c.reason)) << c.what << ": " << Escaped(reason);
  }
}

// ---- number formats ----

TEST(Formats, CodesSortIntoPlainDateAndCurrency) {
  const struct {
    const wchar_t* code;
    NumberStyle style;
  } cases[] = {
      {L"General", NumberStyle::Plain},
      {L"0.00", NumberStyle::Plain},
      {L"0.00E+00", NumberStyle::Plain},
      {L"#,##0", NumberStyle::Plain},
      {L"dd.mm.yyyy", NumberStyle::Date},
      {L"[$-419]d mmmm yyyy", NumberStyle::Date},
      {L"h:mm:ss", NumberStyle::Date},
      {L"[h]:mm", NumberStyle::Date},
      {L"[Red]0.00", NumberStyle::Plain},
      {L"\"day\" 0", NumberStyle::Plain},  // quoted letters are text
      {L"#,##0.00\"р.\"", NumberStyle::Currency},
      {L"#,##0.00 [$€-407]", NumberStyle::Currency},
      {L"$#,##0.00", NumberStyle::Currency},
      {L"#,##0.00\\ ₽", NumberStyle::Currency},
      {L"0.00;[Red]-0.00", NumberStyle::Plain},
  };
  for (const auto& c : cases)
    EXPECT_EQ(static_cast<int>(c.style), static_cast<int>(StyleOfFormatCode(c.code))) << WideToAnsi(c.code);
  EXPECT_EQ(NumberStyle::Date, StyleOfBuiltinFormat(14));
  EXPECT_EQ(NumberStyle::Date, StyleOfBuiltinFormat(22));
  EXPECT_EQ(NumberStyle::Currency, StyleOfBuiltinFormat(7));
  EXPECT_EQ(NumberStyle::Plain, StyleOfBuiltinFormat(2));
}

TEST(Model, LaterRecordForOnePositionWinsAndLastCellCountsBlanks) {
  Sheet sheet;
  Cell a;
  a.row = 5, a.col = 2, a.kind = CellKind::Number, a.number = 1;
  Cell b = a;
  b.number = 2;
  Cell early;
  early.row = 1, early.col = 1, early.kind = CellKind::Number, early.number = 3;
  Cell blank;
  blank.row = 7, blank.col = 9;
  sheet.Put(a);
  sheet.Put(early);
  sheet.Put(b);
  sheet.Put(blank);
  sheet.Finish();
  ASSERT_EQ(2u, sheet.CellCount());
  EXPECT_DOUBLE_EQ(2, sheet.Find(5, 2)->number);
  EXPECT_DOUBLE_EQ(3, sheet.Find(1, 1)->number);
  EXPECT_EQ(nullptr, sheet.Find(7, 9));
  EXPECT_EQ(7u, sheet.LastRow());
  EXPECT_EQ(9u, sheet.LastCol());
  Sheet empty;
  empty.Finish();
  EXPECT_EQ(1u, empty.LastRow());
  EXPECT_EQ(1u, empty.LastCol());
}

TEST(Model, SerialsBecomeOleDates) {
  EXPECT_DOUBLE_EQ(2, OleDateFromSerial(1, false));      // 01.01.1900
  EXPECT_DOUBLE_EQ(60, OleDateFromSerial(59, false));    // 28.02.1900
  EXPECT_DOUBLE_EQ(61, OleDateFromSerial(61, false));    // 01.03.1900
  EXPECT_DOUBLE_EQ(45000.5, OleDateFromSerial(45000.5, false));
  EXPECT_DOUBLE_EQ(1462, OleDateFromSerial(0, true));    // 01.01.1904
}

// ---- XML ----

class StringSource : public XmlSource {
 public:
  explicit StringSource(std::string s, size_t chunk = 7) : s_(std::move(s)), chunk_(chunk) {}
  size_t Read(char* buf, size_t n) override {
    size_t take = std::min({n, chunk_, s_.size() - pos_});
    std::memcpy(buf, s_.data() + pos_, take);
    pos_ += take;
    return take;
  }

 private:
  std::string s_;
  size_t chunk_, pos_ = 0;
};

std::string Trace(const std::string& xml) {
  StringSource src(xml);
  XmlPull pull(src);
  std::string out;
  for (XmlPull::Node n; (n = pull.Next()) != XmlPull::kEnd;) {
    if (n == XmlPull::kElement) {
      out += "<" + pull.Name();
      for (const auto& a : pull.Attributes()) out += " " + a.first + "=" + a.second;
      out += pull.IsEmpty() ? "/>" : ">";
    } else if (n == XmlPull::kEndElement) {
      out += "</" + pull.Name() + ">";
    } else {
      out += "[" + pull.Text() + "]";
    }
  }
  return out;
}

TEST(Xml, PullsElementsAttributesAndText) {
  const struct {
    const char* xml;
    const char* trace;
  } cases[] = {
      {"<?xml version=\"1.0\"?>\n<a x=\"1\" y='2'><b/>t</a>", "<a x=1 y=2><b/>[t]</a>"},
      {"\xEF\xBB\xBF<x:a xmlns:x=\"u\"><x:t>&lt;&amp;&#65;&#x416;&quot;</x:t></x:a>",
       "<a x=u><t>[<&A\xD0\x96\"]</t></a>"},
      {"<a><!-- c --><![CDATA[<b>]]]]></a>", "<a>[<b>]]]</a>"},
      {"<a v=\"a&amp;b\" >  </a>", "<a v=a&b>[  ]</a>"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.trace, Trace(c.xml)) << c.xml;
}

TEST(Xml, MalformedOrDtdIsRefused) {
  const char* cases[] = {
      "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
      "<a>&e;</a>",
      "<a><b></a></b>",
      "<a>",
      "<a x=1/>",
      "text",
      "<a>&#x110000;</a>",
  };
  for (const char* xml : cases) {
    bool refused = false;
    try {
      Trace(xml);
    } catch (const ReadError& e) {
      refused = e.reason.find(Reason::kDamaged) == 0;
    }
    EXPECT_TRUE(refused) << xml;
  }
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<a>";
  EXPECT_THROW(Trace(deep), ReadError);
}

// ---- damaged variants of the fixtures ----

std::string Fixture(const std::string& name) { return ReadFileBytes(FixtureFile("spreadsheet/" + name)); }

TEST(Fuzz, DamagedVariantsNeverCrash) {
  std::mt19937 rng(20261207);
  int read = 0, refused = 0;
  std::vector<std::pair<std::string, std::string>> books;
  for (const char* name : {"types.xls", "types.xlsx", "date1904.xls", "date1904.xlsx"}) books.push_back({name, Fixture(name)});
  // Built here: a version-4 compound file with a stream in regular sectors
  // and one in the mini stream, and a package with shared strings and styles.
  std::string biff = Biff8(Rec(0x00FC, U32(1) + U32(1) + Str8("s")),
                           Rec(0x00FD, Cell3(0, 0, 0) + U32(0)) + TextFormula(1, 0) + Rec(0x04BC, std::string(12, '\0')) +
                               Rec(0x0207, Str8("f")) + Rec(0x00BD, U16(2) + U16(0) + U16(0) + U32(6) + U16(0) + U32(10) + U16(1)));
  biff.resize(5000, '\0');
  books.push_back({"v4.xls", MakeCfb({{"Workbook", biff}, {"\x05SummaryInformation", std::string(300, 's')}}, 4).bytes});
  XlsxBook package;
  package.sheets = {{"S", SheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>2</v></c>"
                                   "<c r=\"C1\" t=\"inlineStr\"><is><t>i_x000D_</t></is></c></row>")}};
  package.sharedStrings = "<sst><si><r><t>a</t></r><r><t>b</t></r></si></sst>";
  package.styles = "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"dd.mm\"/></numFmts>"
                   "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>";
  books.push_back({"crafted.xlsx", MakeXlsx(package)});
  for (const auto& [name, original] : books) {
    ASSERT_FALSE(original.empty()) << name;
    // The bare BIFF stream too, so that damage reaches the records and not
    // only the compound file around them.
    std::vector<std::string> targets{original};
    size_t bof = original.find(std::string("\x09\x08\x10\x00\x00\x06\x05\x00", 8));
    if (bof != std::string::npos) targets.push_back(original.substr(bof));
    for (const std::string& target : targets) {
      for (int i = 0; i < 1500; ++i) {
        std::string v = target;
        switch (i % 4) {
          case 0: v.resize(rng() % v.size()); break;  // truncated
          case 1:
            for (int k = 0, n = 1 + static_cast<int>(rng() % 8); k < n; ++k) v[rng() % v.size()] ^= static_cast<char>(1 + rng() % 255);
            break;
          case 2:  // a run of bytes overwritten with extreme values
            for (size_t at = rng() % v.size(), k = 0; k < 4 && at + k < v.size(); ++k) v[at + k] = (rng() & 1) ? '\xFF' : '\0';
            break;
          case 3:
            v.erase(rng() % v.size(), 1 + rng() % 64);
            break;
        }
        Workbook book;
        AnsiString reason;
        if (ReadWorkbook(v, book, reason)) ++read;
        else {
          ++refused;
          EXPECT_FALSE(reason.empty());
        }
      }
    }
  }
  std::cout << read << " variants read, " << refused << " refused\n";
  EXPECT_GT(refused, 0);
}

TEST(Fuzz, DamagedSheetXmlNeverCrashes) {
  std::string package = Fixture("types.xlsx");
  ASSERT_FALSE(package.empty());
  ZipArchive zip(package);
  const ZipArchive::Entry* e = zip.Find("xl/worksheets/sheet1.xml");
  ASSERT_NE(nullptr, e);
  std::string xml = zip.Extract(*e, 1 << 20);
  std::mt19937 rng(7);
  const char specials[] = "<>&;\"'/=![]?#x ";
  for (int i = 0; i < 2000; ++i) {
    std::string v = xml;
    for (int k = 0, n = 1 + static_cast<int>(rng() % 4); k < n; ++k) v[rng() % v.size()] = specials[rng() % (sizeof specials - 1)];
    try {
      Trace(v);
    } catch (const ReadError&) {
    }
  }
}

}  // namespace

namespace {

TEST(Zip, EntriesInflateWithinTheirCap) {
  std::string content(1 << 20, 'a');
  std::string archive = ZipOf("xl/Big.xml", content);
  ZipArchive zip(archive);
  const ZipArchive::Entry* e = zip.Find("XL/big.XML");  // part names ignore case
  ASSERT_NE(nullptr, e);
  EXPECT_EQ(content, zip.Extract(*e, 2 << 20));
  try {
    zip.Extract(*e, 64 << 10);  // a bomb: far more out than the cap allows
    ADD_FAILURE() << "no refusal";
  } catch (const ReadError& err) {
    EXPECT_EQ(AnsiString(Reason::kTooLarge), err.reason);
  }
  std::string damaged = archive;
  damaged[40] ^= 0x55;  // inside the deflated data
  ZipArchive zip2(damaged);
  EXPECT_THROW(zip2.Extract(*zip2.Find("xl/big.xml"), 2 << 20), ReadError);
}

TEST(Xlsx, PackageWithoutWorkbookIsRefused) {
  Workbook book;
  AnsiString reason;
  EXPECT_FALSE(ReadWorkbook(ZipOf("readme.txt", "hello"), book, reason));
  EXPECT_EQ(AnsiString(Reason::kUnknownFormat), reason);
  // A DTD in a part: refused, whatever it declares.
  EXPECT_FALSE(ReadWorkbook(ZipOf("xl/workbook.xml", "<!DOCTYPE w [<!ENTITY a \"aaaa\">]><workbook/>"), book, reason));
  EXPECT_EQ(0u, reason.find(Reason::kDamaged)) << Escaped(reason);
}

}  // namespace
