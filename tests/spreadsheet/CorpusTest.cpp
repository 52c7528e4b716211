// Real workbooks written by other programs (../shared/corpus, never copied
// here): the valid ones give their sheets and values, the bad ones a clear
// refusal, and none crashes or hangs. Also thousands of damaged variants of
// small workbooks through both readers.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "framework/Unicode.h"
#include "spreadsheet/Readers.h"
#include "tests/support/TestSupport.h"

using namespace Spreadsheet;

namespace {


std::string CorpusDir() { return CorpusFile(""); }

// file -> expectation, from the corpus's own list (SOURCES.md).
std::map<std::string, std::string> CorpusExpectations() {
  std::map<std::string, std::string> out;
  std::istringstream in(ReadFileBytes(CorpusDir() + "SOURCES.md"));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| xls/", 0) != 0 && line.rfind("| xlsx/", 0) != 0 && line.rfind("| bad/", 0) != 0) continue;
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, '|');) {
      size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
      cells.push_back(a == std::string::npos ? std::string() : cell.substr(a, b - a + 1));
    }
    if (cells.size() > 5) out[cells[1]] = cells[5];
  }
  return out;
}

std::string Summary(const Workbook& book) {
  std::ostringstream s;
  s << book.sheets.size() << " sheets, active " << book.activeSheet + 1;
  for (size_t i = 0; i < book.sheets.size() && i < 4; ++i) {
    const Sheet& sh = book.sheets[i];
    s << " | " << Escaped(WideToAnsi(sh.name)) << (sh.HasCells() ? "" : " (chart)") << " " << sh.CellCount()
      << " cells, last R" << sh.LastRow() << "C" << sh.LastCol();
  }
  return s.str();
}

const Cell* At(const Workbook& book, size_t sheet, uint32_t row, uint32_t col) {
  return sheet < book.sheets.size() ? book.sheets[sheet].Find(row, col) : nullptr;
}

TEST(Corpus, EveryFileReadsOrIsRefusedClearly) {
  auto expectations = CorpusExpectations();
  ASSERT_GT(expectations.size(), 100u) << "corpus list not found under " << CorpusDir();
  int parsed = 0, refused = 0;
  for (const auto& [file, expect] : expectations) {
    std::string bytes = ReadFileBytes(CorpusDir() + file);
    ASSERT_FALSE(bytes.empty()) << file;
    Workbook book;
    AnsiString reason;
    DWORD start = GetTickCount();
    bool ok = ReadWorkbook(bytes, book, reason);
    DWORD took = GetTickCount() - start;
    std::cout << (ok ? "read    " : "refused ") << file << " (" << took << " ms): "
              << (ok ? Summary(book) : Escaped(reason)) << "\n";
    EXPECT_LT(took, 20000u) << file;
    if (ok) {
      ++parsed;
      EXPECT_FALSE(book.sheets.empty()) << file;
    } else {
      ++refused;
      EXPECT_FALSE(reason.empty()) << file;
    }
    if (expect == "parse") {
      EXPECT_TRUE(ok) << file << ": " << Escaped(reason);
    } else if (expect == "reject" || expect == "reject-old-format" || expect == "reject-encrypted") {
      EXPECT_FALSE(ok) << file << " should be refused";
    }
    if (expect == "reject-encrypted") {
      EXPECT_EQ(AnsiString(Reason::kEncrypted), reason) << file;
    } else if (expect == "reject-old-format") {
      EXPECT_EQ(AnsiString(Reason::kOldFormat), reason) << file;
    }
  }
  std::cout << parsed << " read, " << refused << " refused\n";
}

// Values an independent reader (npm "xlsx" 0.18.5, told the code page of
// BIFF5 files without one) gives for these cells.
struct Spot {
  const char* file;
  size_t sheet;
  uint32_t row, col;
  CellKind kind;
  double number;
  const wchar_t* text;
};

const Spot kSpots[] = {
    {"xls/edr-Test_git_issue_329_error.xls", 0, 1, 1, CellKind::Error, kErrDiv0, nullptr},
    {"xls/edr-Test_git_issue_329_error.xls", 0, 1, 2, CellKind::Error, kErrNA, nullptr},
    {"xls/edr-Test_git_issue_329_error.xls", 0, 1, 3, CellKind::Error, kErrValue, nullptr},
    {"xlsx/edr-Test_git_issue_329_error.xlsx", 0, 1, 1, CellKind::Error, kErrDiv0, nullptr},
    {"xlsx/edr-Test_git_issue_329_error.xlsx", 0, 1, 2, CellKind::Error, kErrNA, nullptr},
    {"xlsx/edr-Test_git_issue_329_error.xlsx", 0, 1, 3, CellKind::Error, kErrValue, nullptr},
    {"xls/cal-sst_continue.xls", 0, 1, 1, CellKind::Text, 0, L"This is a long string with a serial number at the end 0001"},
    {"xls/cal-sst_continue.xls", 0, 136, 1, CellKind::Text, 0, L"New CONTINUE block"},
    {"xls/edr-Test_git_issue_411.xls", 0, 2, 2, CellKind::Text, 0, L"Универсальный передаточный\nдокумент"},
    {"xls/sheetjs-biff5-numfmt_1_russian.xls", 0, 2, 2, CellKind::Text, 0, L"1234567,89"},
    {"xls/sheetjs-RkNumber.xls", 0, 2, 3, CellKind::Number, 10000000, nullptr},
    {"xls/sheetjs-RkNumber.xls", 0, 5, 3, CellKind::Number, 12004.55, nullptr},
    {"xlsx/cal-has_x000D_.xlsx", 0, 1, 1, CellKind::Text, 0, L"ABC\r\r\nDEF"},
    {"xls/readxl-65536-rows-xls.xls", 0, 65536, 1, CellKind::Text, 0, L"WORLD"},
    {"xls/edr-Test_num_double_date_bool_string.xls", 0, 1, 2, CellKind::Number, 1.02, nullptr},
    {"xls/edr-Test_num_double_date_bool_string.xls", 0, 1, 3, CellKind::Date, 39944, nullptr},
};

TEST(Corpus, CellsMatchAnIndependentReader) {
  std::map<std::string, Workbook> books;
  for (const auto& s : kSpots) {
    if (!books.count(s.file)) {
      AnsiString reason;
      ASSERT_TRUE(ReadWorkbook(ReadFileBytes(CorpusDir() + s.file), books[s.file], reason)) << s.file;
    }
    const Cell* c = At(books[s.file], s.sheet, s.row, s.col);
    SCOPED_TRACE(std::string(s.file) + " R" + std::to_string(s.row) + "C" + std::to_string(s.col));
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(static_cast<int>(s.kind), static_cast<int>(c->kind));
    if (s.kind == CellKind::Text) {
      EXPECT_EQ(std::wstring(s.text), books[s.file].Text(*c));
    } else if (s.kind == CellKind::Error) {
      EXPECT_EQ(s.number, c->error);
    } else {
      EXPECT_DOUBLE_EQ(s.number, c->number);
    }
  }
}

}  // namespace
