#pragma once
// TParamValue: one named setting of kind float, integer, string or boolean,
// saved to and loaded from one INI section under its Name.
#include <cstdint>

#include "lib/CStr.h"

enum TParamKind : std::uint8_t { pkNone = 0, pkFloat = 1, pkInteger = 2, pkString = 3, pkBool = 4 };

// Settings errors: empty classes thrown by value.
class TParam_Error {};
class TParamValue_Error : public TParam_Error {};
class TParamValue_Error_TypeMismatch : public TParamValue_Error {};
class TParamValue_Error_Not_Exist : public TParamValue_Error {};

class TParamValue {
 public:
  TParamValue();
  // The one constructor of the settings classes that sets a kind.
  TParamValue(const Str::CStr& name, const Str::CStr& ownerName, int value, const Str::CStr& itemText);
  TParamValue(const TParamValue& other) = default;
  TParamValue& operator=(const TParamValue& other) = default;
  ~TParamValue();  // not virtual: values are never deleted through a base

  // Values of the other kinds, for stores that keep texts, flags or numbers.
  static TParamValue Float(const Str::CStr& name, const Str::CStr& ownerName, double value,
                           const Str::CStr& itemText = Str::CStr());
  static TParamValue String(const Str::CStr& name, const Str::CStr& ownerName, const Str::CStr& value,
                            const Str::CStr& itemText = Str::CStr());
  static TParamValue Bool(const Str::CStr& name, const Str::CStr& ownerName, bool value,
                          const Str::CStr& itemText = Str::CStr());

  virtual void Save(const Str::CStr& file, const Str::CStr& section);
  virtual void Load(const Str::CStr& file, const Str::CStr& section);
  [[noreturn]] virtual void ThrowNotExist();

  void Clear();

  TParamKind GetKind() const { return Kind; }
  int GetInt() const;
  Str::CStr GetStr() const;
  bool GetBool() const;
  TParamValue& SetInt(int value);
  TParamValue& SetStr(const Str::CStr& value);
  TParamValue& SetBool(bool value);

  const Str::CStr& GetName() const { return Name; }
  const Str::CStr& GetOwnerName() const { return OwnerName; }
  const Str::CStr& GetItemText() const { return ItemText; }

 private:
  void CheckKind(TParamKind kind) const;

  Str::CStr Name;
  Str::CStr OwnerName;
  TParamKind Kind = pkNone;
  double FloatValue = 0.0;
  std::int32_t IntValue = 0;
  Str::CStr StrValue;
  bool BoolValue = false;
  Str::CStr ItemText;
};
