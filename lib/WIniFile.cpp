#include "lib/WIniFile.h"

#include <memory>

#include "framework/Application.h"
#include "framework/IniFiles.h"

namespace {
// OK, exclamation icon, task-modal: the INI layer's own boxes.
constexpr unsigned kIniBoxFlags = 0x2030;
}  // namespace

WIniFile::WIniFile() : ClassCaption("Класс: WIniFile") {}

bool WIniFile::ReadParam(const AnsiString& file, const AnsiString& section, const AnsiString& key,
                         WIniValueType type, AnsiString& outString, double& outFloat, int& outInteger,
                         bool& outBool, bool showMessage) {
  outString = "";
  outFloat = 0.0;
  outInteger = 0;
  outBool = false;
  try {
    TIniFile ini(file);
    switch (type) {
      case wvString: outString = ini.ReadString(section, key, ""); break;
      case wvFloat: outFloat = ini.ReadFloat(section, key, 0.0); break;
      case wvInteger: outInteger = ini.ReadInteger(section, key, 0); break;
      case wvBool: outBool = ini.ReadBool(section, key, false); break;
    }
    return true;
  } catch (...) {
    if (showMessage)
      Application->MessageBox("Ошибка при чтении параметра: " + key + "\nСекции: " + section + "\nФайла: " + file,
                              ClassCaption, kIniBoxFlags);
    return false;
  }
}

bool WIniFile::WriteParam(const AnsiString& file, const AnsiString& section, const AnsiString& key,
                          WIniValueType type, const AnsiString& stringValue, double floatValue, int integerValue,
                          bool boolValue, bool showMessage) {
  try {
    TIniFile ini(file);
    switch (type) {
      case wvString: ini.WriteString(section, key, stringValue); break;
      case wvFloat: ini.WriteFloat(section, key, floatValue); break;
      case wvInteger: ini.WriteInteger(section, key, integerValue); break;
      case wvBool: ini.WriteBool(section, key, boolValue); break;
    }
    return true;
  } catch (...) {
    if (showMessage)
      Application->MessageBox("Ошибка при записи параметра: " + key + "\nСекции: " + section + "\nФайла: " + file,
                              ClassCaption, kIniBoxFlags);
    return false;
  }
}

bool WIniFile::CheckExists(const AnsiString& file, const AnsiString& section, const AnsiString& key,
                           bool testKey) {
  std::unique_ptr<TIniFile> ini;
  try {
    ini = std::make_unique<TIniFile>(file);
  } catch (...) {
    Application->MessageBox("Ошибка при чтении файла: " + file, ClassCaption, kIniBoxFlags);
    return false;
  }
  // Only the creation is guarded: an error of the test itself reaches the caller.
  return testKey ? ini->ValueExists(section, key) : ini->SectionExists(section);
}

bool WIniFile::ReadString(const AnsiString& file, const AnsiString& section, const AnsiString& key,
                          AnsiString& out, bool showMessage) {
  LastResult = ReadParam(file, section, key, wvString, LastString, LastFloat, LastInteger, LastBool, showMessage);
  out = LastString;
  return LastResult;
}

bool WIniFile::ReadFloat(const AnsiString& file, const AnsiString& section, const AnsiString& key, double& out,
                         bool showMessage) {
  LastResult = ReadParam(file, section, key, wvFloat, LastString, LastFloat, LastInteger, LastBool, showMessage);
  out = LastFloat;
  return LastResult;
}

bool WIniFile::ReadInteger(const AnsiString& file, const AnsiString& section, const AnsiString& key, int& out,
                           bool showMessage) {
  LastResult = ReadParam(file, section, key, wvInteger, LastString, LastFloat, LastInteger, LastBool, showMessage);
  out = LastInteger;
  return LastResult;
}

bool WIniFile::ReadBool(const AnsiString& file, const AnsiString& section, const AnsiString& key, bool& out,
                        bool showMessage) {
  LastResult = ReadParam(file, section, key, wvBool, LastString, LastFloat, LastInteger, LastBool, showMessage);
  out = LastBool;
  return LastResult;
}

bool WIniFile::WriteString(const AnsiString& file, const AnsiString& section, const AnsiString& key,
                           const AnsiString& value, bool showMessage) {
  LastResult = WriteParam(file, section, key, wvString, value, LastFloat, LastInteger, LastBool, showMessage);
  return LastResult;
}

bool WIniFile::WriteFloat(const AnsiString& file, const AnsiString& section, const AnsiString& key, double value,
                          bool showMessage) {
  LastResult = WriteParam(file, section, key, wvFloat, LastString, value, LastInteger, LastBool, showMessage);
  return LastResult;
}

bool WIniFile::WriteInteger(const AnsiString& file, const AnsiString& section, const AnsiString& key, int value,
                            bool showMessage) {
  LastResult = WriteParam(file, section, key, wvInteger, LastString, LastFloat, value, LastBool, showMessage);
  return LastResult;
}

bool WIniFile::WriteBool(const AnsiString& file, const AnsiString& section, const AnsiString& key, bool value,
                         bool showMessage) {
  LastResult = WriteParam(file, section, key, wvBool, LastString, LastFloat, LastInteger, value, showMessage);
  return LastResult;
}

bool WIniFile::ValueExists(const AnsiString& file, const AnsiString& section, const AnsiString& key) {
  return CheckExists(file, section, key, true);
}

bool WIniFile::SectionExists(const AnsiString& file, const AnsiString& section) {
  return CheckExists(file, section, "", false);
}
