#include <gtest/gtest.h>

#include <map>

#include "convert/RowRules.h"
#include "tests/support/TestSupport.h"

TEST(LeadingInteger, ReadsLikeStrtol) {
  struct Case {
    const char* text;
    long want;
  } cases[] = {
      {"3", 3},   {"3,5", 3}, {"12a", 12}, {"AB01", 0}, {"", 0},     {" \t7", 7},   {"+4", 4},
      {"-4", -4}, {"0x1A", 0}, {"1E+15", 1}, {"- 5", 0}, {"007", 7}, {"9,5", 9}, {"99999999999999999999", LONG_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.want) << c.text;
}

namespace {
// Cells A..I of one row; "#" marks a cell whose read fails.
struct RowCase {
  const char* name;
  std::map<int, AnsiString> cells;
  bool dropped;
  int readsWanted;  // reads made before the verdict
};

bool RunRowTest(const RowCase& c, int& reads) {
  reads = 0;
  return IsColumnNumberRow([&](int column, AnsiString& text) {
    ++reads;
    auto it = c.cells.find(column);
    if (it != c.cells.end() && it->second == "#") return false;
    text = it == c.cells.end() ? AnsiString() : it->second;
    return true;
  });
}
}  // namespace

TEST(IsColumnNumberRow, DropsOnlyRowsNumberingTheirColumns) {
  const RowCase cases[] = {
      {"numbers 1 to 9", {{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {6, "6"}, {7, "7"}, {8, "8"}, {9, "9"}},
       true, 9},
      {"only A holds 1", {{1, "1"}}, true, 9},
      {"only I holds 9", {{9, "9"}}, true, 9},
      {"only I holds 9,5", {{9, "9,5"}}, true, 9},
      {"some columns numbered", {{1, "1"}, {3, "3"}, {7, "7"}}, true, 9},
      {"signed and with text after", {{2, "+2"}, {4, "4 шт"}}, true, 9},
      {"A holds 1, B a rate code", {{1, "1"}, {2, "ГЭСН01-01"}}, false, 9},
      {"quantity 5,2 in E after text", {{1, "п.1"}, {3, "AB01"}, {5, "5,2"}}, false, 9},
      {"number in the wrong column", {{1, "2"}}, false, 9},
      {"all empty", {}, false, 9},
      {"1 2 then text", {{1, "1"}, {2, "2"}, {3, "x3"}}, false, 9},
      {"failed read ends the test: verdict so far true", {{1, "1"}, {2, "#"}, {3, "Раздел"}}, true, 2},
      {"failed read first: nothing seen yet", {{1, "#"}, {2, "2"}}, false, 1},
      {"failed read after a mismatch", {{1, "x"}, {4, "#"}}, false, 4},
  };
  for (const auto& c : cases) {
    int reads = 0;
    EXPECT_EQ(RunRowTest(c, reads), c.dropped) << c.name;
    EXPECT_EQ(reads, c.readsWanted) << c.name;
  }
}

TEST(ApplyPrefixTable, WorkedExamples) {
  struct Case {
    std::vector<TPrefixReplacement> table;
    AnsiString code;
    AnsiString want;
  } cases[] = {
      {{{"AB", "CD"}}, "AB01-01-001-01", "CD01-01-001-01"},
      {{{"AB", "CD"}}, "AB 01-01", "CD01-01"},
      {{{"KLM", ""}}, "KLM01-02", "01-02"},
      {{{"AB", "X"}}, "1-1 AB", "1-1X"},
      {{{"AB", "CD"}, {"CD", "KLM"}}, "AB01", "KLM01"},
      {{{"AB", "CD"}}, "AB01AB", "CD01AB"},
      {{{"", "X"}}, "AB01", "AB01"},
      {{{"ab", "CD"}}, "AB01", "AB01"},
      {{{"01", "-"}}, "AB01", "AB-"},
      {{{"Б", " Я "}}, "АБВ", "А Я В"},  // replacement goes in as it stands
      {{{"AB", "CD"}}, "", ""},
      {{{"X", "Y"}, {"Q", "Z"}}, "AB", "AB"},
      {{{"AB01", "C"}}, "AB01", "C"},
      {{{" ", ""}}, "A B", "AB"},
      {{{"-", "_"}}, "x - y", "x _ y"},  // blanks around a deleted middle stay: trim touches the ends only
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyPrefixTable(c.code, c.table), c.want) << c.code;
}

TEST(ComposeListLine, FieldsTabsAndLineEnd) {
  struct Case {
    AnsiString code;
    AnsiString quantity;
    AnsiString want;
  } cases[] = {
      {"CD01-01", "0,5", "CD01-01\t0,5\t\r\n"},
      {"", "", "\t\t\r\n"},
      {"A\tB", "1\r\n2", "A B\t1  2\t\r\n"},
      {"Шифр", "\n", "Шифр\t \t\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeListLine(c.code, c.quantity), c.want) << Escaped(c.want);
  EXPECT_EQ(Escaped(kListHeader),
            Escaped("\xCC\xE0\xF2\xE5\xF0\xE8\xE0\xEB\x09\xCA\xEE\xEB\xE8\xF7\xE5\xF1\xF2\xE2\xEE\x09\x0D\x0A"));
}
