#include <gtest/gtest.h>

#include "framework/IniFiles.h"
#include "lib/ParamValue.h"
#include "tests/support/TestSupport.h"

using Str::CStr;

TEST(TParamValue, EmptyValueRefusesEveryTypedAccess) {
  TParamValue v;
  EXPECT_EQ(v.GetKind(), pkNone);
  EXPECT_THROW(v.GetInt(), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(v.GetStr(), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(v.GetBool(), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(v.SetInt(1), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(v.SetStr("x"), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(v.SetBool(true), TParamValue_Error_TypeMismatch);
  // The errors are caught through their bases.
  EXPECT_THROW(v.GetInt(), TParamValue_Error);
  EXPECT_THROW(v.GetInt(), TParam_Error);
  EXPECT_THROW(v.ThrowNotExist(), TParamValue_Error_Not_Exist);
}

TEST(TParamValue, MismatchChangesNothing) {
  TParamValue s = TParamValue::String("n", "o", "text");
  EXPECT_THROW(s.SetInt(5), TParamValue_Error_TypeMismatch);
  EXPECT_EQ(s.GetStr(), CStr("text"));
  EXPECT_EQ(s.GetKind(), pkString);
  TParamValue i("cmbColV_Value", "cmbColV", 3, "");
  EXPECT_THROW(i.SetStr("x"), TParamValue_Error_TypeMismatch);
  EXPECT_THROW(i.SetBool(true), TParamValue_Error_TypeMismatch);
  EXPECT_EQ(i.GetInt(), 3);
  EXPECT_EQ(&i.SetInt(4), &i);
  EXPECT_EQ(i.GetInt(), 4);
}

TEST(TParamValue, ClearKeepsNamesAndCopyCarriesThem) {
  TParamValue v("name", "owner", 7, "item");
  TParamValue c(v);
  v.Clear();
  EXPECT_EQ(v.GetKind(), pkNone);
  EXPECT_EQ(v.GetName(), CStr("name"));
  EXPECT_EQ(v.GetOwnerName(), CStr("owner"));
  EXPECT_EQ(v.GetItemText(), CStr("item"));
  EXPECT_EQ(c.GetInt(), 7);
  EXPECT_EQ(c.GetItemText(), CStr("item"));
  TParamValue a;
  a = c;
  EXPECT_EQ(a.GetName(), CStr("name"));
  EXPECT_EQ(a.GetOwnerName(), CStr("owner"));
  EXPECT_EQ(a.GetInt(), 7);
}

TEST(TParamValue, SaveAndLoadRoundTripEveryKind) {
  TempDir dir;
  const CStr f(dir.File("p.ini").c_str());
  TParamValue::Float("f", "", -0.125).Save(f, "S");
  TParamValue("i", "", 3, "").Save(f, "S");
  TParamValue::String("s", "", "Шифр").Save(f, "S");
  TParamValue::Bool("b", "", true).Save(f, "S");

  TIniFile ini(f.c_str());
  EXPECT_EQ(ini.ReadString("S", "i", ""), "3");

  TParamValue fi = TParamValue::Float("f", "", 0);
  TParamValue ii("i", "", 0, "");
  TParamValue si = TParamValue::String("s", "", "");
  TParamValue bi = TParamValue::Bool("b", "", false);
  fi.Load(f, "S");
  ii.Load(f, "S");
  si.Load(f, "S");
  bi.Load(f, "S");
  EXPECT_EQ(ii.GetInt(), 3);
  EXPECT_EQ(si.GetStr(), CStr("Шифр"));
  EXPECT_TRUE(bi.GetBool());
  // No float getter: read the stored text back through the INI layer.
  EXPECT_EQ(ini.ReadFloat("S", "f", 0), -0.125);
  fi.Save(f, "T");
  EXPECT_EQ(ini.ReadFloat("T", "f", 0), -0.125);
}

TEST(TParamValue, LoadOfMissingKeyKeepsValueAndBadTextGivesZero) {
  TempDir dir;
  const CStr f(dir.File("p.ini").c_str());
  TParamValue v("cmbColShifr_Value", "cmbColShifr", 12, "");
  v.Load(f, "S");  // no file
  EXPECT_EQ(v.GetInt(), 12);
  TIniFile(f.c_str()).WriteString("S", "other", "1");
  v.Load(f, "S");  // no key
  EXPECT_EQ(v.GetInt(), 12);
  TIniFile(f.c_str()).WriteString("S", "cmbColShifr_Value", "abc");
  v.Load(f, "S");  // the read succeeds with the INI layer's default
  EXPECT_EQ(v.GetInt(), 0);
}

TEST(TParamValue, EmptyValueSavesAndLoadsNothing) {
  TempDir dir;
  const CStr f(dir.File("p.ini").c_str());
  TParamValue v;
  v.Save(f, "S");
  EXPECT_FALSE(FileExists(f.c_str()));
  TIniFile(f.c_str()).WriteString("S", "", "1");
  v.Load(f, "S");
  EXPECT_EQ(v.GetKind(), pkNone);
}

TEST(TParamValue, FailingIniIsSilent) {
  TempDir dir;
  MessageBoxRecorder boxes;
  const CStr f(dir.File("nf\\p.ini").c_str());
  TParamValue v("k", "", 5, "");
  v.Save(f, "S");
  v.Load(f, "S");
  EXPECT_EQ(v.GetInt(), 5);
  EXPECT_TRUE(boxes.Boxes().empty());
}
