#include <gtest/gtest.h>

#include "lib/CStr.h"
#include "lib/ParamValue.h"
#include "settings/MassValues.h"
#include "settings/Values.h"

using Str::CStr;

namespace {
struct NotFound {};
class Mass : public CTMassValues<CStr, TParamValue> {
 protected:
  void ThrowNotExist() override { throw NotFound(); }
};
using Ptrs = CtValues<CStr, TParamValue*>;

template <class C, class V>
std::vector<std::string> Keys(C& c) {
  std::vector<std::string> keys;
  CStr k;
  V* v = nullptr;
  c.Rewind();
  while (c.Next(k, v)) keys.push_back(k);
  return keys;
}
}  // namespace

TEST(CTMassValues, TraversalYieldsKeysInByteOrder) {
  Mass m;
  CStr k;
  TParamValue* v = nullptr;
  EXPECT_FALSE(m.Next(k, v));  // right after construction
  for (const char* name : {"cmbColV", "Шифр", "cmbColShifr", "TPanel", "_Width"})
    m.Set(name, TParamValue(name, "", 1, ""));
  std::vector<std::string> want = {"TPanel", "_Width", "cmbColShifr", "cmbColV", "Шифр"};
  EXPECT_EQ((Keys<Mass, TParamValue>(m)), want);
  // The position is the container's: a second Rewind walks again.
  EXPECT_EQ((Keys<Mass, TParamValue>(m)), want);
}

TEST(CTMassValues, SetReplacesInPlaceAndGetThrowsForAbsentKey) {
  Mass m;
  m.Set("a", TParamValue("a", "o", 1, ""));
  TParamValue* before = &m.Get("a");
  m.Set("b", TParamValue("b", "o", 2, ""));
  m.Set("a", TParamValue("a2", "o", 9, ""));
  EXPECT_EQ(&m.Get("a"), before);
  EXPECT_EQ(before->GetInt(), 9);
  EXPECT_EQ(before->GetName(), CStr("a2"));
  EXPECT_TRUE(m.Exists("b"));
  EXPECT_FALSE(m.Exists("c"));
  EXPECT_THROW(m.Get("c"), NotFound);
}

TEST(CTMassValues, ClearEndsTraversalUntilRewind) {
  Mass m;
  m.Set("a", TParamValue("a", "", 1, ""));
  m.Set("b", TParamValue("b", "", 2, ""));
  m.Rewind();
  CStr k;
  TParamValue* v = nullptr;
  ASSERT_TRUE(m.Next(k, v));
  m.Clear();
  EXPECT_FALSE(m.Next(k, v));
  EXPECT_EQ(m.Count(), 0u);
  m.Set("z", TParamValue("z", "", 3, ""));
  m.Rewind();
  ASSERT_TRUE(m.Next(k, v));
  EXPECT_EQ(k, CStr("z"));
  EXPECT_EQ(v->GetInt(), 3);
}

TEST(CtValues, HoldsPointersItDoesNotOwn) {
  TParamValue a("a", "", 1, ""), b("b", "", 2, "");
  {
    Ptrs p;
    p.Set("b", &b);
    p.Set("a", &a);
    p.Set("a", &a);
    EXPECT_EQ(p.Count(), 2u);
    EXPECT_EQ(p.NullValue(), nullptr);
    p.Clear();
    EXPECT_EQ(p.Count(), 0u);
    p.Set("b", &b);
  }
  // Neither Clear nor destruction touched the values.
  EXPECT_EQ(a.GetInt(), 1);
  EXPECT_EQ(b.GetInt(), 2);
  EXPECT_EQ(b.GetName(), CStr("b"));
}

TEST(CtValues, AssignmentAndCopyKeepOrderAndPointers) {
  TParamValue a("a", "", 1, ""), b("b", "", 2, ""), c("c", "", 3, "");
  Ptrs src;
  src.Set("cmbColV", &b);
  src.Set("cmbColShifr", &a);
  Ptrs dst;
  dst.Set("old", &c);
  dst = src;
  dst = dst;  // self-assignment keeps the entries
  CStr k;
  TParamValue* v = nullptr;
  dst.Rewind();
  ASSERT_TRUE(dst.Next(k, v));
  EXPECT_EQ(k, CStr("cmbColShifr"));
  EXPECT_EQ(v, &a);
  ASSERT_TRUE(dst.Next(k, v));
  EXPECT_EQ(k, CStr("cmbColV"));
  EXPECT_EQ(v, &b);
  EXPECT_FALSE(dst.Next(k, v));

  Ptrs copy(src);
  EXPECT_EQ(copy.Count(), 2u);
  EXPECT_FALSE(copy.Exists("old"));
  // A traversal of the source is not disturbed by copying it.
  src.Rewind();
  ASSERT_TRUE(src.Next(k, v));
  Ptrs copy2(src);
  ASSERT_TRUE(src.Next(k, v));
  EXPECT_EQ(k, CStr("cmbColV"));
}
