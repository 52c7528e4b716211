#include "lib/ParamValue.h"

#include "lib/WIniFile.h"

TParamValue::TParamValue() { Clear(); }

TParamValue::TParamValue(const Str::CStr& name, const Str::CStr& ownerName, int value, const Str::CStr& itemText)
    : Name(name), OwnerName(ownerName), Kind(pkInteger), IntValue(value), ItemText(itemText) {}

TParamValue::~TParamValue() { Clear(); }

TParamValue TParamValue::Float(const Str::CStr& name, const Str::CStr& ownerName, double value,
                               const Str::CStr& itemText) {
  TParamValue v(name, ownerName, 0, itemText);
  v.Kind = pkFloat;
  v.FloatValue = value;
  return v;
}

TParamValue TParamValue::String(const Str::CStr& name, const Str::CStr& ownerName, const Str::CStr& value,
                                const Str::CStr& itemText) {
  TParamValue v(name, ownerName, 0, itemText);
  v.Kind = pkString;
  v.StrValue = value;
  return v;
}

TParamValue TParamValue::Bool(const Str::CStr& name, const Str::CStr& ownerName, bool value,
                              const Str::CStr& itemText) {
  TParamValue v(name, ownerName, 0, itemText);
  v.Kind = pkBool;
  v.BoolValue = value;
  return v;
}

void TParamValue::Clear() {
  Kind = pkNone;
  FloatValue = 0.0;
  IntValue = 0;
  StrValue.clear();
  BoolValue = false;
}

void TParamValue::CheckKind(TParamKind kind) const {
  if (Kind != kind) throw TParamValue_Error_TypeMismatch();
}

int TParamValue::GetInt() const {
  CheckKind(pkInteger);
  return IntValue;
}

Str::CStr TParamValue::GetStr() const {
  CheckKind(pkString);
  return StrValue;
}

bool TParamValue::GetBool() const {
  CheckKind(pkBool);
  return BoolValue;
}

TParamValue& TParamValue::SetInt(int value) {
  CheckKind(pkInteger);
  IntValue = value;
  return *this;
}

TParamValue& TParamValue::SetStr(const Str::CStr& value) {
  CheckKind(pkString);
  StrValue = value;
  return *this;
}

TParamValue& TParamValue::SetBool(bool value) {
  CheckKind(pkBool);
  BoolValue = value;
  return *this;
}

void TParamValue::ThrowNotExist() { throw TParamValue_Error_Not_Exist(); }

void TParamValue::Save(const Str::CStr& file, const Str::CStr& section) {
  WIniFile ini;
  const AnsiString f(file.c_str()), s(section.c_str()), k(Name.c_str());
  // Failures are silent by design: a setting that cannot be stored must not
  // interrupt the user's work.
  switch (Kind) {
    case pkFloat: ini.WriteFloat(f, s, k, FloatValue, false); break;
    case pkInteger: ini.WriteInteger(f, s, k, IntValue, false); break;
    case pkString: ini.WriteString(f, s, k, AnsiString(StrValue.c_str()), false); break;
    case pkBool: ini.WriteBool(f, s, k, BoolValue, false); break;
    default: break;
  }
}

void TParamValue::Load(const Str::CStr& file, const Str::CStr& section) {
  WIniFile ini;
  const AnsiString f(file.c_str()), s(section.c_str()), k(Name.c_str());
  try {
    if (!ini.ValueExists(f, s, k)) return;
  } catch (...) {
    return;  // an unreadable file loads nothing, like a missing key
  }
  switch (Kind) {
    case pkFloat: {
      double v = 0;
      if (ini.ReadFloat(f, s, k, v, false)) FloatValue = v;
      break;
    }
    case pkInteger: {
      int v = 0;
      if (ini.ReadInteger(f, s, k, v, false)) IntValue = v;
      break;
    }
    case pkString: {
      AnsiString v;
      if (ini.ReadString(f, s, k, v, false)) StrValue = v.c_str();
      break;
    }
    case pkBool: {
      bool v = false;
      if (ini.ReadBool(f, s, k, v, false)) BoolValue = v;
      break;
    }
    default: break;
  }
}
