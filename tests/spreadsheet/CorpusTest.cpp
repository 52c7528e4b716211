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

std::string HostPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string CorpusDir() {
  const char* src = std::getenv("X2Z_SOURCE_DIR");
  return HostPath(std::string(src ? src : "..") + "/../shared/corpus/");
}

std::string FixtureDir() {
  const char* dir = std::getenv("X2Z_BINARY_DIR");
  return HostPath(std::string(dir ? dir : ".") + "/fixtures/spreadsheet/");
}

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
    if (expect == "parse") EXPECT_TRUE(ok) << file << ": " << Escaped(reason);
    if (expect == "reject" || expect == "reject-old-format" || expect == "reject-encrypted")
      EXPECT_FALSE(ok) << file << " should be refused";
    if (expect == "reject-encrypted") EXPECT_EQ(AnsiString(Reason::kEncrypted), reason) << file;
    if (expect == "reject-old-format") EXPECT_EQ(AnsiString(Reason::kOldFormat), reason) << file;
  }
  std::cout << parsed << " read, " << refused << " refused\n";
}

}  // namespace
