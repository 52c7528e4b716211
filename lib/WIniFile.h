#pragma once
// WIniFile: per-call INI access. Every operation opens its own TIniFile, does
// one typed read, write or existence test and releases it; failures become a
// false result (and a box on request), never an exception to the caller.
#include "framework/AnsiString.h"

class WIniFile {
 public:
  WIniFile();
  WIniFile(const WIniFile&) = delete;
  WIniFile& operator=(const WIniFile&) = delete;

  bool ReadString(const AnsiString& file, const AnsiString& section, const AnsiString& key, AnsiString& out,
                  bool showMessage);
  bool ReadFloat(const AnsiString& file, const AnsiString& section, const AnsiString& key, double& out,
                 bool showMessage);
  bool ReadInteger(const AnsiString& file, const AnsiString& section, const AnsiString& key, int& out,
                   bool showMessage);
  bool ReadBool(const AnsiString& file, const AnsiString& section, const AnsiString& key, bool& out,
                bool showMessage);

  bool WriteString(const AnsiString& file, const AnsiString& section, const AnsiString& key,
                   const AnsiString& value, bool showMessage);
  bool WriteFloat(const AnsiString& file, const AnsiString& section, const AnsiString& key, double value,
                  bool showMessage);
  bool WriteInteger(const AnsiString& file, const AnsiString& section, const AnsiString& key, int value,
                    bool showMessage);
  bool WriteBool(const AnsiString& file, const AnsiString& section, const AnsiString& key, bool value,
                 bool showMessage);

  // Existence tests leave LastResult alone.
  bool ValueExists(const AnsiString& file, const AnsiString& section, const AnsiString& key);
  bool SectionExists(const AnsiString& file, const AnsiString& section);

  bool GetLastResult() const { return LastResult; }
  const AnsiString& GetClassCaption() const { return ClassCaption; }

 private:
  enum WIniValueType { wvString = 0, wvFloat = 1, wvInteger = 2, wvBool = 3 };

  bool ReadParam(const AnsiString& file, const AnsiString& section, const AnsiString& key, WIniValueType type,
                 AnsiString& outString, double& outFloat, int& outInteger, bool& outBool, bool showMessage);
  bool WriteParam(const AnsiString& file, const AnsiString& section, const AnsiString& key, WIniValueType type,
                  const AnsiString& stringValue, double floatValue, int integerValue, bool boolValue,
                  bool showMessage);
  bool CheckExists(const AnsiString& file, const AnsiString& section, const AnsiString& key, bool testKey);

  AnsiString ClassCaption;
  bool LastResult = false;
  AnsiString LastString;
  double LastFloat = 0.0;
  int LastInteger = 0;
  bool LastBool = false;
};
