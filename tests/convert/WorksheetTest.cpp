#include <gtest/gtest.h>

#include "convert/Worksheet.h"
#include "tests/convert/StubHost.h"
#include "tests/support/FakeExcel.h"
#include "tests/support/TestSupport.h"

namespace {

const AnsiString kCaption = "Перевод XLS в формат Залбиро";

class WorksheetTest : public testing::Test {
 protected:
  WorksheetTest() {
    sheet_ = fake_.SheetObject();
    baseline_ = fake_.LiveReferences();
  }
  ~WorksheetTest() override { EXPECT_EQ(fake_.LiveReferences(), baseline_) << "references leaked"; }

  TFakeExcel fake_;
  Variant sheet_;
  long baseline_ = 0;
};

TEST_F(WorksheetTest, ReadsTrimmedTextOfEveryKind) {
  struct Case {
    int row, column;
    Variant value;
    const char* want;
  } cases[] = {
      {1, 1, Variant(L"  AB01-01  "), "AB01-01"},
      {2, 1, Variant(L"строка 1\nстрока 2\n"), "строка 1\nстрока 2"},
      {3, 1, Variant(L"\tA\tB\r\n"), "A\tB"},
      {4, 2, Variant(1250.0), "1250"},
      {5, 2, Variant(2.5), "2,5"},
      {6, 2, Variant(0.5), "0,5"},
      {7, 2, Variant(1.0 / 3), "0,333333333333333"},
      {8, 2, Variant(1e-6), "1E-06"},
      {9, 2, Variant(1e16), "1E+16"},
      {10, 3, Variant(L"   "), ""},
      {11, 256, Variant(L"IV"), "IV"},
      {12, 300, Variant(L"beyond IV"), "beyond IV"},
  };
  for (const auto& c : cases) fake_.SetValue(c.row, c.column, c.value);
  fake_.SetDate(20, 1, 45366);
  fake_.SetCurrency(21, 1, 1234500);
  fake_.SetValue(22, 1, Variant(false));
  for (const auto& c : cases) {
    AnsiString text = "stale";
    EXPECT_TRUE(ReadCellText(sheet_, c.row, c.column, text, kCaption)) << c.want;
    EXPECT_EQ(text, c.want) << Escaped(text);
  }
  AnsiString text;
  EXPECT_TRUE(ReadCellText(sheet_, 20, 1, text, kCaption));
  EXPECT_EQ(text, "15.03.2024");
  EXPECT_TRUE(ReadCellText(sheet_, 21, 1, text, kCaption));
  EXPECT_EQ(text, "123,45");
  EXPECT_TRUE(ReadCellText(sheet_, 22, 1, text, kCaption));
  EXPECT_EQ(text, "Ложь");
  text = "stale";
  EXPECT_TRUE(ReadCellText(sheet_, 500, 7, text, kCaption)) << "an empty cell is a good read";
  EXPECT_EQ(text, "");
}

TEST_F(WorksheetTest, EveryReadLooksUpBothMembers) {
  fake_.SetText(1, 1, L"x");
  AnsiString text;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(ReadCellText(sheet_, 1, 1, text, kCaption));
  EXPECT_EQ(fake_.Invokes(), 6);
  EXPECT_EQ(fake_.Lookups(), 6);
}

TEST_F(WorksheetTest, FailedReadShowsOneMessageAndLeavesText) {
  fake_.SetError(12, 3, static_cast<SCODE>(0x800A07D7));  // #DIV/0!
  fake_.SetError(4, 1, static_cast<SCODE>(0x800A07FA));   // #N/A
  struct Case {
    int row, column;
    const char* message;
  } cases[] = {
      {12, 3, "Строка Excel №12, Столбец C(3): Ошибка при чтении значения\n"},
      {4, 1, "Строка Excel №4, Столбец A(1): Ошибка при чтении значения\n"},
      {7, 0, "Строка Excel №7, Столбец [Нет]: Ошибка при чтении значения\n"},
      {7, -1, "Строка Excel №7, Столбец (-1): Ошибка при чтении значения\n"},
      {0, 1, "Строка Excel №0, Столбец A(1): Ошибка при чтении значения\n"},
  };
  for (const auto& c : cases) {
    MessageBoxRecorder boxes;
    AnsiString text = "untouched";
    EXPECT_FALSE(ReadCellText(sheet_, c.row, c.column, text, kCaption));
    EXPECT_EQ(text, "untouched");
    ASSERT_EQ(boxes.Boxes().size(), 1u) << c.message;
    EXPECT_EQ(boxes.Boxes()[0].text, c.message);
    EXPECT_EQ(boxes.Boxes()[0].caption, kCaption);
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x42030u);
  }
}

TEST_F(WorksheetTest, AGoneServerRaisesInsteadOfAMessage) {
  const HRESULT gone[] = {RPC_E_DISCONNECTED, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), RPC_E_SERVER_DIED,
                          RPC_E_SERVER_DIED_DNE, CO_E_OBJNOTCONNECTED};
  for (HRESULT hr : gone) {
    EXPECT_TRUE(IsServerGone(hr));
    for (long failingCall : {1, 2, 3, 4}) {  // the lookups and calls of Cells and of Value
      TFakeExcel fake;
      fake.SetText(2, 2, L"x");
      fake.FailFromCall(failingCall, hr);
      Variant sheet = fake.SheetObject();
      MessageBoxRecorder boxes;
      AnsiString text;
      try {
        ReadCellText(sheet, 2, 2, text, kCaption);
        ADD_FAILURE() << std::hex << hr << ": no exception";
      } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), hr);
        EXPECT_EQ(e.Message().rfind("Строка Excel №2, Столбец B(2): ", 0), 0u) << e.Message();
      }
      EXPECT_TRUE(boxes.Boxes().empty());
      sheet.Clear();
      EXPECT_EQ(fake.LiveReferences(), 0);
    }
  }
  for (HRESULT hr : {E_FAIL, DISP_E_EXCEPTION, DISP_E_UNKNOWNNAME, RPC_E_CALL_REJECTED, S_OK})
    EXPECT_FALSE(IsServerGone(hr)) << std::hex << hr;
}

TEST_F(WorksheetTest, OtherCallFailuresAreReadFailures) {
  fake_.FailFromCall(2, RPC_E_CALL_REJECTED);  // Excel busy editing a cell
  MessageBoxRecorder boxes;
  AnsiString text;
  EXPECT_FALSE(ReadCellText(sheet_, 3, 4, text, kCaption));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Строка Excel №3, Столбец D(4): Ошибка при чтении значения\n");
}

TEST_F(WorksheetTest, LastUsedRow) {
  EXPECT_EQ(LastUsedRow(sheet_), 1) << "an empty sheet";
  fake_.SetText(7, 2, L"x");
  fake_.SetText(3, 9, L"y");
  EXPECT_EQ(LastUsedRow(sheet_), 7);
  fake_.Active().lastRow = 100000;  // formatted empty rows count
  EXPECT_EQ(LastUsedRow(sheet_), 100000);
  EXPECT_EQ(fake_.Invokes(), 9);
  EXPECT_EQ(fake_.Lookups(), 9);
}

TEST_F(WorksheetTest, LastUsedRowFailuresRaise) {
  for (long failingCall = 1; failingCall <= 6; ++failingCall) {
    TFakeExcel fake;
    fake.FailFromCall(failingCall, E_FAIL);
    {
      Variant sheet = fake.SheetObject();
      EXPECT_THROW(LastUsedRow(sheet), EOleException) << failingCall;
    }
    EXPECT_EQ(fake.LiveReferences(), 0) << failingCall;
  }
  EXPECT_THROW(LastUsedRow(Variant()), EOleException);
}

}  // namespace
