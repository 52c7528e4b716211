#include <gtest/gtest.h>

#include <map>

#include "settings/TemplateOptions.h"
#include "tests/support/TestSupport.h"

using namespace TemplateOptions;

namespace {
// The prefix grid's shape: two columns, one fixed header row, no fixed column.
class MemoryGrid : public IPrefixGrid {
 public:
  MemoryGrid() { SetRowCount(2); }
  AnsiString GridName() const override { return "sgridPrefixCodeReplace"; }
  int FixedRows() const override { return 1; }
  int FixedCols() const override { return 0; }
  int ColCount() const override { return 2; }
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  void SetRowCount(int n) override { rows_.resize(static_cast<size_t>(n), {"", ""}); }
  AnsiString Cell(int c, int r) const override { return rows_.at(static_cast<size_t>(r)).at(static_cast<size_t>(c)); }
  void SetCell(int c, int r, const AnsiString& t) override { rows_.at(static_cast<size_t>(r)).at(static_cast<size_t>(c)) = t; }
  std::vector<std::vector<AnsiString>> DataRows() const { return {rows_.begin() + 1, rows_.end()}; }

 private:
  std::vector<std::vector<AnsiString>> rows_;
};

using Rows = std::vector<std::vector<AnsiString>>;
}  // namespace

TEST(TemplateOptionsNames, ReadUpToTheFirstGapOrEmptyName) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  struct Case {
    std::string ini;
    std::vector<AnsiString> want;
  } cases[] = {
      {"", {}},
      {"[Common]\r\nTemplateOptions0=Смета\r\nTemplateOptions2=Третий\r\n", {"Смета"}},
      {"[Common]\r\nTemplateOptions0=A\r\nTemplateOptions1=\r\nTemplateOptions2=C\r\n", {"A"}},
      {"[Common]\r\nTemplateOptions1=B\r\nTemplateOptions0=A\r\n", {"A", "B"}},
  };
  for (const auto& c : cases) {
    WriteFileBytes(f, c.ini);
    EXPECT_EQ(ReadNames(TIniFile(f)), c.want) << c.ini;
  }
}

TEST(TemplateOptionsNames, StartIndexIsReadLooselyWithDefaultZero) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  struct Case {
    std::string value;
    int want;
  } cases[] = {{"", 0}, {"1", 1}, {"7", 7}, {"-1", -1}, {"2abc", 2}, {"abc", 0}, {"  3", 3}};
  EXPECT_EQ(ReadStartIndex(TIniFile(f), "cmbTemplateOptions"), 0);  // no file
  for (const auto& c : cases) {
    WriteFileBytes(f, "[Common]\r\ncmbTemplateOptions=" + c.value + "\r\n");
    EXPECT_EQ(ReadStartIndex(TIniFile(f), "cmbTemplateOptions"), c.want) << c.value;
  }
}

TEST(TemplateOptionsNames, SavingFillsTheGapsBelowAndNeverRenames) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  TIniFile ini(f);
  SaveNames(ini, {"По умолчанию"}, 0, "По умолчанию");
  EXPECT_EQ(ReadNames(ini), (std::vector<AnsiString>{"По умолчанию"}));
  // Variant 2 saved while 1 never was: 1 gets its entry's text.
  SaveNames(ini, {"По умолчанию", "Второй", "Третий"}, 2, "Третий");
  EXPECT_EQ(ReadNames(ini), (std::vector<AnsiString>{"По умолчанию", "Второй", "Третий"}));
  // An existing name key is never rewritten.
  SaveNames(ini, {"Другое", "Второй", "Третий"}, 0, "Другое");
  EXPECT_EQ(ini.ReadString("Common", "TemplateOptions0", ""), "По умолчанию");
  // No entry selected: only its own key.
  SaveNames(ini, {"A"}, -1, "Текст");
  EXPECT_EQ(ini.ReadString("Common", "TemplateOptions-1", ""), "Текст");
}

TEST(TemplateOptionsPrefixTable, LoadSkipsRowsWithAnEmptyPrefix) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  WriteFileBytes(f,
                 "[TemplateOptions0]\r\n"
                 "sgridPrefixCodeReplace_Cell_0_1=AB\r\nsgridPrefixCodeReplace_Cell_1_1=CD\r\n"
                 "sgridPrefixCodeReplace_Cell_0_2=\r\nsgridPrefixCodeReplace_Cell_1_2=XY\r\n"
                 "sgridPrefixCodeReplace_Cell_0_3=EF\r\nsgridPrefixCodeReplace_Cell_1_3=GH\r\n"
                 "sgridPrefixCodeReplace_Cell_0_4=KLM\r\nsgridPrefixCodeReplace_Cell_1_4=\r\n"
                 "sgridPrefixCodeReplace_RowCount=4\r\n");
  MemoryGrid grid;
  grid.SetRowCount(9);
  grid.SetCell(0, 1, "old");
  LoadPrefixTable(TIniFile(f), "TemplateOptions0", grid);
  EXPECT_EQ(grid.DataRows(), (Rows{{"AB", "CD"}, {"", ""}, {"EF", "GH"}, {"KLM", ""}}));
}

TEST(TemplateOptionsPrefixTable, RowCountEdgeCases) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  const std::string cells =
      "[S]\r\nsgridPrefixCodeReplace_Cell_0_1=A\r\nsgridPrefixCodeReplace_Cell_1_1=B\r\n"
      "sgridPrefixCodeReplace_Cell_0_2=C\r\nsgridPrefixCodeReplace_Cell_1_2=D\r\n";
  struct Case {
    std::string rowCount;  // "-" for no key at all
    Rows want;
  } cases[] = {
      {"-", {{"A", "B"}, {"C", "D"}}},  // default: the reset grid's RowCount (2), so two rows are read
      {"0", {{"", ""}}},
      {"-3", {{"", ""}}},
      {"abc", {{"", ""}}},
      {"2", {{"A", "B"}, {"C", "D"}}},
      {"50", {{"A", "B"}, {"C", "D"}}},  // more than stored: only missing reads
  };
  for (const auto& c : cases) {
    WriteFileBytes(f, cells + (c.rowCount == "-" ? "" : "sgridPrefixCodeReplace_RowCount=" + c.rowCount + "\r\n"));
    MemoryGrid grid;
    LoadPrefixTable(TIniFile(f), "S", grid);
    EXPECT_EQ(grid.DataRows(), c.want) << "row count " << c.rowCount;
  }
  MemoryGrid grid;
  LoadPrefixTable(TIniFile(dir.File("none.ini")), "S", grid);
  EXPECT_EQ(grid.DataRows(), (Rows{{"", ""}}));
}

TEST(TemplateOptionsPrefixTable, SavingFewerRowsOverMoreLeavesExactlyTheNewCells) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  TIniFile ini(f);
  MemoryGrid three;
  three.SetRowCount(4);
  const char* texts[3][2] = {{"AB", "CD"}, {"Шифр", ""}, {"EF", "GH"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 2; ++c) three.SetCell(c, r + 1, texts[r][c]);
  SavePrefixTable(ini, "TemplateOptions0", three);
  EXPECT_EQ(ini.ReadSection("TemplateOptions0").size(), 7u);

  MemoryGrid one;
  one.SetCell(0, 1, "ТЕР");
  SavePrefixTable(ini, "TemplateOptions0", one);
  EXPECT_EQ(ini.ReadSection("TemplateOptions0"),
            (std::vector<AnsiString>{"sgridPrefixCodeReplace_RowCount", "sgridPrefixCodeReplace_Cell_0_1",
                                     "sgridPrefixCodeReplace_Cell_1_1"}));
  EXPECT_EQ(ini.ReadString("TemplateOptions0", "sgridPrefixCodeReplace_RowCount", ""), "1");
  EXPECT_EQ(ini.ReadString("TemplateOptions0", "sgridPrefixCodeReplace_Cell_0_1", ""), "ТЕР");

  MemoryGrid back;
  LoadPrefixTable(ini, "TemplateOptions0", back);
  EXPECT_EQ(back.DataRows(), (Rows{{"ТЕР", ""}}));
}

TEST(TemplateOptionsPrefixTable, SavedFileBytesAreWindows1251) {
  TempDir dir;
  const std::string f = dir.File("x.ini");
  {
    TIniFile ini(f);
    SaveNames(ini, {"По умолчанию"}, 0, "По умолчанию");
    MemoryGrid grid;
    grid.SetCell(0, 1, "ФЕР");
    grid.SetCell(1, 1, "ТЕР");
    SavePrefixTable(ini, SectionName(0), grid);
  }
  const std::string want =
      "[Common]\r\nTemplateOptions0=\xCF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE\r\n"
      "[TemplateOptions0]\r\nsgridPrefixCodeReplace_Cell_0_1=\xD4\xC5\xD0\r\n"
      "sgridPrefixCodeReplace_Cell_1_1=\xD2\xC5\xD0\r\nsgridPrefixCodeReplace_RowCount=1\r\n";
  const std::string got = ReadFileBytes(f);
  // The platform may put a blank line between sections; compare without them.
  std::string squeezed;
  for (size_t i = 0; i < got.size(); ++i) {
    if (got.compare(i, 4, "\r\n\r\n") == 0) continue;
    squeezed += got[i];
  }
  EXPECT_EQ(Escaped(squeezed), Escaped(want));
}
