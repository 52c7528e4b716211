#include <gtest/gtest.h>

#include <map>

#include "lib/CStr.h"

using Str::CStr;

TEST(CStr, OrdersLikeStrcmpOnUnsignedBytes) {
  struct Case {
    const char* a;
    const char* b;
  } less[] = {
      {"", "a"},
      {"_Value", "cmbColShifr"},    // '_' 95 < 'c' 99
      {"cmbColShifr", "cmbColV"},   // 'S' 83 < 'V' 86
      {"TPanel", "cmbColV"},        // upper case before lower case
      {"zzz", "Шифр"},              // every Cyrillic byte after ASCII
      {"Объем", "Шифр"},            // Windows-1251 order of Cyrillic letters
      {"Я", "а"},                   // 0xDF < 0xE0
      {"abc", "abcd"},              // a prefix sorts first
      {"ab", "ab\xFF"},
      {"9", "_"},
  };
  for (const auto& c : less) {
    EXPECT_TRUE(CStr(c.a) < CStr(c.b)) << c.a << " < " << c.b;
    EXPECT_FALSE(CStr(c.b) < CStr(c.a)) << c.b << " < " << c.a;
  }
  EXPECT_FALSE(CStr("") < CStr(""));
  EXPECT_FALSE(CStr("Шифр") < CStr("Шифр"));
}

TEST(CStr, MapKeyOrderIsByteOrder) {
  std::map<CStr, int> m;
  for (const char* k : {"Шифр", "cmbColV", "TPanel", "cmbColShifr", "", "_x", "Ё"}) m[k] = 0;
  std::vector<std::string> got;
  for (const auto& kv : m) got.push_back(kv.first);
  // 'Ё' is 0xA8, below the other Cyrillic capitals.
  std::vector<std::string> want = {"", "TPanel", "_x", "cmbColShifr", "cmbColV", "Ё", "Шифр"};
  EXPECT_EQ(got, want);
}

TEST(CStr, EqualityAndEmptiness) {
  EXPECT_TRUE(CStr() == CStr(""));
  EXPECT_TRUE(CStr("").empty());
  EXPECT_FALSE(CStr("a") == CStr("ab"));
  EXPECT_TRUE(CStr("Объем") == CStr("Объем"));
  CStr fromNull(static_cast<const char*>(nullptr));
  EXPECT_TRUE(fromNull.empty());
}

TEST(CStr, ConcatenationLeavesOperandsAndConvertsToAnsi) {
  CStr a("cmbColV"), b("_Value");
  CStr c = a + b;
  EXPECT_EQ(c, CStr("cmbColV_Value"));
  EXPECT_EQ(a, CStr("cmbColV"));
  EXPECT_EQ(b, CStr("_Value"));
  a += b;
  EXPECT_EQ(a, c);
  a = a;  // self-assignment keeps the text
  EXPECT_EQ(a, c);

  std::string empty;
  EXPECT_TRUE(CStr(empty).empty());
  EXPECT_TRUE(std::string(CStr().c_str()).empty());
  // Text crosses as NUL-terminated data: an embedded NUL ends it.
  EXPECT_EQ(CStr(std::string("ab\0cd", 5)), CStr("ab"));
}

