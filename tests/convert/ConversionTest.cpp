#include <gtest/gtest.h>

#include "convert/Conversion.h"
#include "convert/Worksheet.h"
#include "tests/convert/StubHost.h"
#include "tests/support/FakeExcel.h"
#include "tests/support/TestSupport.h"

namespace {

const std::string kHeader =
    "\xCC\xE0\xF2\xE5\xF0\xE8\xE0\xEB\x09\xCA\xEE\xEB\xE8\xF7\xE5\xF1\xF2\xE2\xEE\x09\x0D\x0A";

// Passes writes to a real file until the given write (1 = the header), which
// fails like a full disk.
class TFailingStream : public TStream {
 public:
  TFailingStream(const AnsiString& path, int failingWrite) : file_(path, TFileStream::fmCreate), failAt_(failingWrite) {}
  void WriteBuffer(const void* data, size_t size) override {
    if (++writes_ >= failAt_) throw Exception("Недостаточно места на диске");
    file_.WriteBuffer(data, size);
  }

 private:
  TFileStream file_;
  int failAt_;
  int writes_ = 0;
};

class ConversionTest : public testing::Test {
 protected:
  ConversionTest() {
    host_.sheet = fake_.SheetObject();
    host_.listFilePath = dir_.File("list.txt");
    baseline_ = fake_.LiveReferences();
  }
  ~ConversionTest() override {
    EXPECT_EQ(fake_.LiveReferences(), baseline_) << "references leaked";
    EXPECT_FALSE(host_.progressVisible) << "progress panel left shown";
  }
  std::string ListFile() const { return ReadFileBytes(host_.listFilePath); }
  void ExpectListFile(const std::string& lines) const {
    EXPECT_EQ(Escaped(ListFile()), Escaped(kHeader + lines));
  }

  TempDir dir_;
  TFakeExcel fake_;
  TStubHost host_;
  long baseline_ = 0;
};

TEST_F(ConversionTest, WritesEveryRowButColumnNumberRows) {
  // Code in C, quantity in E (the host's defaults).
  for (int c = 1; c <= 9; ++c) fake_.SetNumber(1, c, c);  // a row numbering the columns
  fake_.SetText(2, 1, L"1");
  fake_.SetText(2, 3, L"  AB01-01-001-01 ");
  fake_.SetNumber(2, 5, 0.5);
  // row 3 empty
  fake_.SetText(4, 3, L"Раздел 1. Земляные работы");
  fake_.SetText(5, 3, L"KLM01-02");
  fake_.SetNumber(5, 5, 1250);
  fake_.SetText(6, 3, L"1-1 AB");
  fake_.SetNumber(6, 5, 1.0 / 3);
  fake_.SetText(7, 3, L"AB 01-01");
  fake_.SetNumber(7, 5, 1e-6);
  fake_.SetText(8, 3, L"ГЭСН\u03B1");
  fake_.SetNumber(8, 5, 1e16);
  fake_.SetText(9, 3, L"Шифр\tс табуляцией");
  fake_.SetText(9, 5, L"1\n2");
  fake_.SetCurrency(10, 5, 25000);
  fake_.SetDate(11, 5, 45366);
  fake_.Active().lastRow = 12;  // a formatted empty row at the end counts
  host_.prefixTable = {{"AB", "CD"}, {"KLM", ""}, {"", "never"}};

  MessageBoxRecorder boxes;
  EXPECT_TRUE(RunConversion(host_));
  EXPECT_TRUE(boxes.Boxes().empty());
  ExpectListFile(
      "CD01-01-001-01\t0,5\t\r\n"
      "\t\t\r\n"
      "Раздел 1. Земляные работы\t\t\r\n"
      "01-02\t1250\t\r\n"
      "1-1CD\t0,333333333333333\t\r\n"
      "CD01-01\t1E-06\t\r\n"
      "ГЭСН?\t1E+16\t\r\n"
      "Шифр с табуляцией\t1 2\t\r\n"
      "\t2,5\t\r\n"
      "\t15.03.2024\t\r\n"
      "\t\t\r\n");
  EXPECT_EQ(host_.progressMin, 1);
  EXPECT_EQ(host_.progressMax, 12);
  EXPECT_EQ(host_.progressPosition, 12);
  EXPECT_EQ(host_.pumps, 12);
  EXPECT_EQ(host_.showCalls, 1);
  EXPECT_EQ(host_.hideCalls, 1);
}

TEST_F(ConversionTest, PrefixTableIsTakenAsItStandsOnEveryRow) {
  for (int r = 1; r <= 4; ++r) fake_.SetText(r, 3, L"AB01");
  host_.prefixTable = {{"AB", "CD"}, {"CD", "KLM"}};
  host_.OnProcessMessages = [](TStubHost& h) {
    if (h.progressPosition == 3) h.prefixTable = {{"AB", "X"}};  // edited during the run
  };
  EXPECT_TRUE(RunConversion(host_));
  ExpectListFile("KLM01\t\t\r\nKLM01\t\t\r\nX01\t\t\r\nX01\t\t\r\n");
}

TEST_F(ConversionTest, ColumnNumberRowsWithCodeAndQuantityOutsideAToI) {
  host_.codeColumn = 10;
  host_.quantityColumn = 11;
  struct Row {
    const wchar_t* cells[9];  // A..I, nullptr = empty, L"#" = error value
    bool dropped;
  } rows[] = {
      {{L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}, true},
      {{L"1"}, true},
      {{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"9"}, true},
      {{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"9,5"}, true},
      {{L"1", nullptr, L"3"}, true},
      {{L"1", L"ГЭСН01-01"}, false},
      {{L"п.1", L"Разработка грунта", L"AB01", L"м3", L"5,2"}, false},
      {{L"2"}, false},
      {{}, false},
      {{L"1", L"#", L"текст"}, true},
  };
  int r = 0;
  for (const auto& row : rows) {
    ++r;
    for (int c = 0; c < 9; ++c) {
      if (!row.cells[c]) continue;
      if (std::wstring(row.cells[c]) == L"#") {
        fake_.SetError(r, c + 1, static_cast<SCODE>(0x800A07FA));
      } else {
        fake_.SetText(r, c + 1, row.cells[c]);
      }
    }
    fake_.SetText(r, 10, (L"row " + std::to_wstring(r)).c_str());
  }
  MessageBoxRecorder boxes;
  EXPECT_TRUE(RunConversion(host_));
  std::string want;
  r = 0;
  for (const auto& row : rows) {
    ++r;
    if (!row.dropped) want += "row " + std::to_string(r) + "\t\t\r\n";
  }
  ExpectListFile(want);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Строка Excel №10, Столбец B(2): Ошибка при чтении значения\n");
}

TEST_F(ConversionTest, OneEmptyRowGivesOneEmptyLine) {
  EXPECT_TRUE(RunConversion(host_));
  ExpectListFile("\t\t\r\n");
  // Eleven reads of two calls each, every one looked up by name.
  EXPECT_EQ(fake_.Invokes(), 3 + 22);
  EXPECT_EQ(fake_.Lookups(), fake_.Invokes());
}

TEST_F(ConversionTest, FailedReadsLeaveRowsOut) {
  fake_.SetText(1, 3, L"A1");
  fake_.SetError(2, 3, static_cast<SCODE>(0x800A07D7));
  fake_.SetText(3, 3, L"A3");
  fake_.SetError(3, 5, static_cast<SCODE>(0x800A07D7));
  fake_.SetText(4, 3, L"A4");
  MessageBoxRecorder boxes;
  EXPECT_TRUE(RunConversion(host_));
  ExpectListFile("A1\t\t\r\nA4\t\t\r\n");
  // Row 2 stops its column test at C; row 3 at E (both before the code read).
  std::vector<std::string> want = {
      "Строка Excel №2, Столбец C(3): Ошибка при чтении значения\n",
      "Строка Excel №2, Столбец C(3): Ошибка при чтении значения\n",
      "Строка Excel №3, Столбец E(5): Ошибка при чтении значения\n",
      "Строка Excel №3, Столбец E(5): Ошибка при чтении значения\n",
  };
  std::vector<std::string> got;
  for (const auto& b : boxes.Boxes()) {
    got.push_back(b.text);
    EXPECT_EQ(b.caption, host_.caption);
    EXPECT_EQ(b.flags, 0x42030u);
  }
  EXPECT_EQ(got, want);
}

TEST_F(ConversionTest, NoColumnChosenFailsEveryRow) {
  fake_.SetText(2, 3, L"x");
  host_.codeColumn = 0;
  MessageBoxRecorder boxes;
  EXPECT_TRUE(RunConversion(host_));
  ExpectListFile("");
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[1].text, "Строка Excel №2, Столбец [Нет]: Ошибка при чтении значения\n");
}

TEST_F(ConversionTest, CancelAfterSomeRows) {
  for (int r = 1; r <= 10; ++r) fake_.SetText(r, 3, (L"C" + std::to_wstring(r)).c_str());
  host_.cancel = true;  // left from an earlier run: cleared at the start
  host_.OnProcessMessages = [](TStubHost& h) {
    if (h.progressPosition == 4) h.cancel = true;
  };
  EXPECT_FALSE(RunConversion(host_));
  ExpectListFile("C1\t\t\r\nC2\t\t\r\nC3\t\t\r\n");
  EXPECT_EQ(host_.pumps, 4);
  EXPECT_EQ(host_.hideCalls, 1);
}

TEST_F(ConversionTest, WriteFailureStopsBeforeTheNextRow) {
  for (int r = 1; r <= 6; ++r) fake_.SetText(r, 3, (L"C" + std::to_wstring(r)).c_str());
  struct Case {
    int failingWrite;  // 1 is the header
    std::string lines;
    int failedRow;
    int pumps;
  } cases[] = {{4, "C1\t\t\r\nC2\t\t\r\n", 3, 4}, {7, "C1\t\t\r\nC2\t\t\r\nC3\t\t\r\nC4\t\t\r\nC5\t\t\r\n", 6, 6}};
  for (const auto& c : cases) {
    host_.pumps = 0;
    MessageBoxRecorder boxes;
    long invokes = 0;
    bool result = RunConversion(host_, [&](const AnsiString& path) -> std::unique_ptr<TStream> {
      return std::make_unique<TFailingStream>(path, c.failingWrite);
    });
    invokes = fake_.Invokes();
    EXPECT_FALSE(result);
    ExpectListFile(c.lines);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Строка Excel №" + std::to_string(c.failedRow) +
                                         ", Столбец C(3): Ошибка при добавлении в файл с индексом\n");
    EXPECT_EQ(boxes.Boxes()[0].caption, host_.caption);
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x42030u);
    EXPECT_EQ(host_.pumps, c.pumps);
    EXPECT_EQ(fake_.Invokes(), invokes);
  }
}

TEST_F(ConversionTest, ReadOnlyListFileIsReplaced) {
  WriteFileBytes(host_.listFilePath, "old list, much longer than the new one");
  ASSERT_TRUE(SetFileAttributesA(host_.listFilePath.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(RunConversion(host_));
  ExpectListFile("\t\t\r\n");
  EXPECT_FALSE(GetFileAttributesA(host_.listFilePath.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(ConversionTest, ListFileThatCannotBeCreatedRaises) {
  host_.listFilePath = dir_.File("no such folder\\list.txt");
  MessageBoxRecorder boxes;
  EXPECT_THROW(RunConversion(host_), Exception);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(host_.hideCalls, 1);
  EXPECT_EQ(host_.showCalls, 0);
  EXPECT_EQ(fake_.Invokes(), 0);
}

TEST_F(ConversionTest, LastRowQueryFailureRaisesWithTheFileClosed) {
  fake_.FailFromCall(3, E_FAIL);
  EXPECT_THROW(RunConversion(host_), EOleException);
  EXPECT_EQ(host_.hideCalls, 1);
  ExpectListFile("");
  // Closed: the file can be deleted at once.
  EXPECT_TRUE(DeleteFileA(host_.listFilePath.c_str()));
}

TEST_F(ConversionTest, AGoneServerEndsTheRunWithOneError) {
  for (int r = 1; r <= 5; ++r) fake_.SetText(r, 3, (L"C" + std::to_wstring(r)).c_str());
  // Six calls for the last row, 44 per written row: the server dies in row 3.
  fake_.FailFromCall(6 + 44 * 2 + 10, RPC_E_DISCONNECTED);
  MessageBoxRecorder boxes;
  try {
    RunConversion(host_);
    FAIL() << "no exception";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), RPC_E_DISCONNECTED);
    EXPECT_EQ(e.Message().rfind("Строка Excel №3, Столбец ", 0), 0u) << e.Message();
  }
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(host_.hideCalls, 1);
  ExpectListFile("C1\t\t\r\nC2\t\t\r\n");
  EXPECT_TRUE(DeleteFileA(host_.listFilePath.c_str()));
}

TEST_F(ConversionTest, ASheetActivatedDuringTheRunIsNotRead) {
  // Excel's own window stays open to the user during a run: another sheet
  // may become the active one between two rows.
  fake_.SetText(1, 3, L"first");
  fake_.SetText(2, 3, L"first");
  fake_.SetText(3, 3, L"first");
  TFakeExcel other;
  for (int r = 1; r <= 5; ++r) other.SetText(r, 3, L"second");
  host_.OnProcessMessages = [&other](TStubHost& h) {
    if (h.progressPosition == 2) h.sheet = other.SheetObject();
  };
  EXPECT_TRUE(RunConversion(host_));
  ExpectListFile("first\t\t\r\nfirst\t\t\r\nfirst\t\t\r\n");
  EXPECT_EQ(other.Invokes(), 0) << "the other sheet was read";
  host_.sheet = fake_.SheetObject();
  EXPECT_EQ(other.LiveReferences(), 0);
}

}  // namespace
