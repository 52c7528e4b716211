#include <gtest/gtest.h>

#include <cmath>

#include "convert/CellText.h"
#include "framework/Variant.h"
#include "tests/support/TestSupport.h"

TEST(ColumnDesignation, ListEntriesAndOutOfRange) {
  struct Case {
    int column;
    const char* want;
  } cases[] = {
      {0, "[Нет]"},    {1, "A(1)"},     {2, "B(2)"},     {26, "Z(26)"},  {27, "AA(27)"},   {52, "AZ(52)"},
      {53, "BA(53)"},  {255, "IU(255)"}, {256, "IV(256)"}, {257, "(257)"}, {-1, "(-1)"}, {-2147483647 - 1, "(-2147483648)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ColumnDesignation(c.column), c.want) << c.column;
}

TEST(TrimControlChars, RemovesCodesUpTo32AtBothEndsOnly) {
  struct Case {
    AnsiString in;
    AnsiString want;
  } cases[] = {
      {"  AB01-01  ", "AB01-01"},
      {"\t\r\n\x01\x1F X \x7F", "X \x7F"},  // 127 is no control for this rule
      {"A\nB\n", "A\nB"},
      {AnsiString("\0\0x\0", 4), "x"},
      {"", ""},
      {" \t\r\n ", ""},
      {"\xA0Шифр\xA0", "\xA0Шифр\xA0"},  // no-break space (0xA0) stays
      {"a  b", "a  b"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimControlChars(c.in), c.want) << Escaped(c.in);
}

TEST(FormatGeneralNumber, FifteenDigitsAndExponentOnlyWhereDue) {
  struct Case {
    double value;
    const char* want;
  } cases[] = {
      {0.5, "0,5"},
      {1250, "1250"},
      {1.0 / 3, "0,333333333333333"},
      {2.0 / 3, "0,666666666666667"},
      {0.00001, "0,00001"},
      {0.0000123, "0,0000123"},
      {9e-6, "9E-06"},
      {1e-6, "1E-06"},
      {999999999999999, "999999999999999"},
      {1e15, "1E+15"},
      {1e16, "1E+16"},
      {123456789012345678.0, "1,23456789012346E+17"},
      {-2.5, "-2,5"},
      {0, "0"},
      {-0.0, "0"},
      {1.5, "1,5"},
      {100, "100"},
      {0.1 + 0.2, "0,3"},
      {123456.789, "123456,789"},
      {12345678901234.5, "12345678901234,5"},
      {123456789012345.6, "123456789012346"},
      {999999999999999.9, "1E+15"},         // rounds up to 16 digits
      {0.0000099999999999999999, "0,00001"},  // rounds up to the limit
      {1e100, "1E+100"},
      {-1.5e-300, "-1,5E-300"},
      {-123456789012345678.0, "-1,23456789012346E+17"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGeneralNumber(c.value, ","), c.want) << c.value;
  EXPECT_EQ(FormatGeneralNumber(0.5, "."), "0.5");
  EXPECT_EQ(FormatGeneralNumber(1.25e20, "."), "1.25E+20");
  EXPECT_THROW(FormatGeneralNumber(std::nan(""), ","), Exception);
  EXPECT_THROW(FormatGeneralNumber(HUGE_VAL, ","), Exception);
}

TEST(UserDecimalSeparator, IsTheLocaleOne) {
  // The tests run under a Russian user locale.
  EXPECT_EQ(UserDecimalSeparator(), ",");
}

namespace {
Variant Typed(VARTYPE type, double number) {
  Variant v;
  VARIANT* p = v.Out();
  V_VT(p) = type;
  switch (type) {
    case VT_DATE: V_DATE(p) = number; break;
    case VT_CY: V_CY(p).int64 = static_cast<LONGLONG>(number * 10000); break;
    case VT_BOOL: V_BOOL(p) = number ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_I4: V_I4(p) = static_cast<LONG>(number); break;
    case VT_ERROR: V_ERROR(p) = static_cast<SCODE>(0x800A07D7); break;  // #DIV/0!
    default: break;
  }
  return v;
}
}  // namespace

TEST(CellValueText, EveryValueKind) {
  struct Case {
    Variant value;
    const char* want;
  } cases[] = {
      {Variant(), ""},
      {Variant(L"  AB01-01 "), "  AB01-01 "},  // trimming is the caller's
      {Variant(L"Объем\tв м\u00B3\n"), "Объем\tв м?\n"},
      {Variant(L"\u03B1\u4E2D\u20AC"), "??\x88"},  // 1251 has the euro sign, no alpha or Han
      {Variant(0.5), "0,5"},
      {Variant(1e16), "1E+16"},
      {Typed(VT_I4, 1250), "1250"},
      {Typed(VT_CY, 12.5), "12,5"},
      {Typed(VT_DATE, 45366), "15.03.2024"},
      {Typed(VT_DATE, 45366.5), "15.03.2024 12:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(CellValueText(c.value.Get()), c.want) << c.want;

  // Logicals: the platform's words in the user's locale. Windows says
  // "Истина", Wine's Russian resources "Правда".
  AnsiString yes = CellValueText(Typed(VT_BOOL, 1).Get());
  EXPECT_TRUE(yes == "Истина" || yes == "Правда") << Escaped(yes);
  EXPECT_EQ(CellValueText(Typed(VT_BOOL, 0).Get()), "Ложь");

  // A value reached through a reference reads like the value itself.
  double number = 2.5;
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_R8 | VT_BYREF;
  V_R8REF(&ref) = &number;
  EXPECT_EQ(CellValueText(ref), "2,5");
}

TEST(CellValueText, ValuesWithoutTextFail) {
  Variant null;
  V_VT(null.Out()) = VT_NULL;
  for (const Variant& v : {Typed(VT_ERROR, 0), null, Variant(std::nan(""))})
    EXPECT_THROW(CellValueText(v.Get()), std::exception) << v.Type();
}
