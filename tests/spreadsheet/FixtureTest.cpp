// Workbooks written at test time by a third-party writer (make_fixtures.js),
// each as .xlsx and as .xls: both must give the same values through the
// automation calls the conversion and the workbook control make.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "framework/Unicode.h"
#include "spreadsheet/Spreadsheet.h"
#include "tests/spreadsheet/DispatchHelpers.h"
#include "tests/support/TestSupport.h"

namespace {

// Wine maps the host's root to drive Z:.
std::string FixturePath(const std::string& name) { return FixtureFile("spreadsheet/" + name); }

class Book {
 public:
  explicit Book(const std::string& file) {
    AnsiString reason;
    hr_ = SpreadsheetOpenWorkbook(FixturePath(file), workbook_.Out(), reason);
    reason_ = reason;
  }
  bool Ok() const { return SUCCEEDED(hr_) && workbook_; }
  const AnsiString& Reason() const { return reason_; }
  IDispatch* Workbook() const { return workbook_.Get(); }

  TComPtr<IDispatch> Sheet(LONG index) {
    TVar sheets, sheet;
    EXPECT_EQ(S_OK, Get(workbook_.Get(), L"WorkSheets", {}, sheets).hr);
    EXPECT_EQ(S_OK, Get(sheets.Dispatch(), L"Item", {I4(index)}, sheet).hr);
    return TComPtr<IDispatch>(sheet.Dispatch());
  }
  static void Value(IDispatch* sheet, LONG row, LONG col, TVar& value) {
    TVar cell;
    ASSERT_EQ(S_OK, Get(sheet, L"Cells", {I4(row), I4(col)}, cell).hr) << row << "," << col;
    ASSERT_EQ(S_OK, Get(cell.Dispatch(), L"Value", {}, value).hr) << row << "," << col;
  }
  static void LastCell(IDispatch* sheet, LONG& row, LONG& col) {
    TVar all, last, r, c;
    ASSERT_EQ(S_OK, Get(sheet, L"Cells", {}, all).hr);
    ASSERT_EQ(S_OK, Get(all.Dispatch(), L"SpecialCells", {I4(11)}, last).hr);
    ASSERT_EQ(S_OK, Get(last.Dispatch(), L"Row", {}, r).hr);
    ASSERT_EQ(S_OK, Get(last.Dispatch(), L"Column", {}, c).hr);
    row = V_I4(&r.Get());
    col = V_I4(&c.Get());
  }

 private:
  HRESULT hr_;
  TComPtr<IDispatch> workbook_;
  AnsiString reason_;
};

struct Expected {
  LONG row, col;
  VARTYPE type;
  double number;  // R8, DATE, CY (as double), BOOL (0/1), ERROR (Excel's number)
  const wchar_t* text;
};

std::string Describe(const VARIANT& v) {
  std::ostringstream s;
  s << "vt=" << V_VT(&v);
  VARIANT t;
  VariantInit(&t);
  if (SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR))) s << " \"" << Escaped(WideToAnsi(V_BSTR(&t))) << "\"";
  VariantClear(&t);
  if (V_VT(&v) == VT_ERROR) s << " scode=" << std::hex << V_ERROR(&v);
  return s.str();
}

void ExpectCell(IDispatch* sheet, const Expected& e, const std::string& where) {
  TVar value;
  Book::Value(sheet, e.row, e.col, value);
  const VARIANT& v = value.Get();
  std::string got = Describe(v);
  SCOPED_TRACE(where + " R" + std::to_string(e.row) + "C" + std::to_string(e.col) + ": got " + got);
  ASSERT_EQ(e.type, V_VT(&v));
  switch (e.type) {
    case VT_BSTR: EXPECT_EQ(std::wstring(e.text), std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v)))); break;
    case VT_R8: EXPECT_DOUBLE_EQ(e.number, V_R8(&v)); break;
    case VT_DATE: EXPECT_DOUBLE_EQ(e.number, V_DATE(&v)); break;
    case VT_BOOL: EXPECT_EQ(e.number != 0, V_BOOL(&v) != VARIANT_FALSE); break;
    case VT_ERROR: EXPECT_EQ(static_cast<SCODE>(0x800A0000u + static_cast<unsigned>(e.number)), V_ERROR(&v)); break;
    case VT_CY: {
      double d = 0;
      VarR8FromCy(V_CY(&v), &d);
      EXPECT_DOUBLE_EQ(e.number, d);
      break;
    }
    default: break;
  }
}

const Expected kTypes[] = {
    {1, 1, VT_BSTR, 0, L"Привет, мир"},
    {1, 2, VT_BSTR, 0, L"Шифр расценки ЁЖЩ ёжщ №"},
    {2, 1, VT_R8, 3.25, nullptr},
    {2, 2, VT_R8, -1234567.125, nullptr},
    {2, 3, VT_R8, 1e-7, nullptr},
    {2, 4, VT_R8, 0, nullptr},
    {3, 1, VT_BOOL, 1, nullptr},
    {3, 2, VT_BOOL, 0, nullptr},
    {4, 1, VT_ERROR, 2000, nullptr},
    {4, 2, VT_ERROR, 2007, nullptr},
    {4, 3, VT_ERROR, 2015, nullptr},
    {4, 4, VT_ERROR, 2023, nullptr},
    {4, 5, VT_ERROR, 2029, nullptr},
    {4, 6, VT_ERROR, 2036, nullptr},
    {4, 7, VT_ERROR, 2042, nullptr},
    {5, 1, VT_DATE, 45000.5, nullptr},  // 15.03.2023 12:00
    {5, 2, VT_DATE, 31, nullptr},       // serial 30 is 30.01.1900, before the phantom 29.02.1900
    {5, 3, VT_CY, 12.3456, nullptr},
    {5, 4, VT_R8, 7.5, nullptr},
    {6, 1, VT_R8, 6.5, nullptr},        // formula results as stored
    {6, 2, VT_BSTR, 0, L"Итог"},
    {6, 3, VT_ERROR, 2042, nullptr},
    {6, 4, VT_BOOL, 1, nullptr},
    {1, 3, VT_EMPTY, 0, nullptr},
    {29, 8, VT_EMPTY, 0, nullptr},
    {30, 8, VT_EMPTY, 0, nullptr},      // a formatted blank
    {65536, 256, VT_EMPTY, 0, nullptr},
};

class FixtureFormats : public testing::TestWithParam<const char*> {};

TEST_P(FixtureFormats, TypesSheetGivesExcelValues) {
  std::string file = std::string("types") + GetParam();
  Book book(file);
  ASSERT_TRUE(book.Ok()) << book.Reason();
  TComPtr<IDispatch> sheet = book.Sheet(1);
  for (const auto& e : kTypes) ExpectCell(sheet.Get(), e, file);
  LONG row = 0, col = 0;
  Book::LastCell(sheet.Get(), row, col);
  EXPECT_EQ(30, row);
  EXPECT_EQ(8, col);
}

TEST_P(FixtureFormats, SheetsNamesOrderAndActiveSheet) {
  Book book(std::string("types") + GetParam());
  ASSERT_TRUE(book.Ok()) << book.Reason();
  TVar sheets, count, active, index, name;
  ASSERT_EQ(S_OK, Get(book.Workbook(), L"WorkSheets", {}, sheets).hr);
  ASSERT_EQ(S_OK, Get(sheets.Dispatch(), L"Count", {}, count).hr);
  ASSERT_EQ(4, V_I4(&count.Get()));
  const wchar_t* names[] = {L"Типы", L"Данные", L"Третий", L"Пустой"};
  for (LONG i = 1; i <= 4; ++i) {
    TVar sheet, n;
    ASSERT_EQ(S_OK, Get(sheets.Dispatch(), L"Item", {I4(i)}, sheet).hr);
    ASSERT_EQ(S_OK, Get(sheet.Dispatch(), L"Name", {}, n).hr);
    EXPECT_EQ(std::wstring(names[i - 1]), V_BSTR(&n.Get())) << i;
  }
  ASSERT_EQ(S_OK, Get(book.Workbook(), L"ActiveSheet", {}, active).hr);
  ASSERT_EQ(S_OK, Get(active.Dispatch(), L"Index", {}, index).hr);
  EXPECT_EQ(3, V_I4(&index.Get()));
  ASSERT_EQ(S_OK, Get(active.Dispatch(), L"Name", {}, name).hr);
  EXPECT_EQ(std::wstring(L"Третий"), V_BSTR(&name.Get()));
  ExpectCell(active.Dispatch(), {1, 1, VT_BSTR, 0, L"Третий лист"}, "active");

  TComPtr<IDispatch> data = book.Sheet(2);
  for (LONG r = 1; r <= 5; ++r) {
    ExpectCell(data.Get(), {r, 1, VT_R8, r * 100.0 + 1, nullptr}, "data");
    std::wstring text = L"Строка " + std::to_wstring(r);
    ExpectCell(data.Get(), {r, 2, VT_BSTR, 0, text.c_str()}, "data");
  }
  LONG row = 0, col = 0;
  Book::LastCell(book.Sheet(4).Get(), row, col);  // an empty sheet: A1
  EXPECT_EQ(1, row);
  EXPECT_EQ(1, col);
}

TEST_P(FixtureFormats, DateSystem1904) {
  Book book(std::string("date1904") + GetParam());
  ASSERT_TRUE(book.Ok()) << book.Reason();
  TComPtr<IDispatch> sheet = book.Sheet(1);
  ExpectCell(sheet.Get(), {1, 1, VT_DATE, 1462, nullptr}, "1904");  // 01.01.1904
  ExpectCell(sheet.Get(), {2, 1, VT_DATE, 2462.25, nullptr}, "1904");
}

TEST_P(FixtureFormats, TenThousandRows) {
  Book book(std::string("rows10k") + GetParam());
  ASSERT_TRUE(book.Ok()) << book.Reason();
  TComPtr<IDispatch> sheet = book.Sheet(1);
  for (LONG r : {1L, 2L, 4097L, 9999L, 10000L}) {
    ExpectCell(sheet.Get(), {r, 9, VT_R8, r * 100.0 + 9, nullptr}, "10k");
    std::wstring text = L"Текст " + std::to_wstring(r);
    ExpectCell(sheet.Get(), {r, 10, VT_BSTR, 0, text.c_str()}, "10k");
  }
  LONG row = 0, col = 0;
  Book::LastCell(sheet.Get(), row, col);
  EXPECT_EQ(10000, row);
  EXPECT_EQ(10, col);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, FixtureFormats, testing::Values(".xlsx", ".xls"));

struct LargeCase {
  const char* file;
  LONG rows;
};

class LargeFixtures : public testing::TestWithParam<LargeCase> {};

TEST_P(LargeFixtures, EveryRowReads) {
  Book book(GetParam().file);
  ASSERT_TRUE(book.Ok()) << book.Reason();
  TComPtr<IDispatch> sheet = book.Sheet(1);
  LONG rows = GetParam().rows;
  LONG row = 0, col = 0;
  Book::LastCell(sheet.Get(), row, col);
  EXPECT_EQ(rows, row);
  EXPECT_EQ(10, col);
  for (LONG r = 1; r <= rows; r += 997) {
    ExpectCell(sheet.Get(), {r, 1, VT_R8, r * 100.0 + 1, nullptr}, GetParam().file);
    std::wstring text = L"Текст " + std::to_wstring(r);
    ExpectCell(sheet.Get(), {r, 2, VT_BSTR, 0, text.c_str()}, GetParam().file);
  }
  ExpectCell(sheet.Get(), {rows, 10, VT_BSTR, 0, (L"Текст " + std::to_wstring(rows)).c_str()}, GetParam().file);
  ExpectCell(sheet.Get(), {rows + 1, 1, VT_EMPTY, 0, nullptr}, GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Large, LargeFixtures,
                         testing::Values(LargeCase{"big100000.xlsx", 100000}, LargeCase{"big60000.xls", 60000}));

}  // namespace
