#pragma once
// TIniFile: standard Windows INI behaviour through the Win32 profile functions.
// The file need not exist; reads of a missing file, section or key give the
// default passed, and so do reads of a file that cannot be read (a folder in
// its place, a file locked by another program), as in the desktop framework.
// A write the platform refuses raises Exception.
#include <vector>

#include "framework/AnsiString.h"
#include "framework/Exception.h"

class TIniFile {
 public:
  // Raises Exception on an empty name: the profile functions would silently
  // use another file.
  explicit TIniFile(const AnsiString& fileName);
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const AnsiString& FileName() const { return fileName_; }
  // Why an existing file cannot be read, in Russian ("на его месте находится
  // папка"); empty when it can be read or does not exist.
  AnsiString ReadProblem() const;

  AnsiString ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& def) const;
  // The stored text converted, or the default when missing or not convertible.
  int ReadInteger(const AnsiString& section, const AnsiString& key, int def) const;
  double ReadFloat(const AnsiString& section, const AnsiString& key, double def) const;
  bool ReadBool(const AnsiString& section, const AnsiString& key, bool def) const;

  void WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value);
  void WriteInteger(const AnsiString& section, const AnsiString& key, int value);
  void WriteFloat(const AnsiString& section, const AnsiString& key, double value);
  void WriteBool(const AnsiString& section, const AnsiString& key, bool value);

  bool SectionExists(const AnsiString& section) const;
  bool ValueExists(const AnsiString& section, const AnsiString& key) const;
  // Removes the key; nothing happens when it is absent.
  void DeleteKey(const AnsiString& section, const AnsiString& key);
  // The key names of a section, in file order.
  std::vector<AnsiString> ReadSection(const AnsiString& section) const;
  std::vector<AnsiString> ReadSections() const;

 private:
  bool Readable() const;
  void Write(const char* section, const char* key, const char* value);

  AnsiString fileName_;
};

// Text forms of the INI layer; a value written reads back equal.
AnsiString IniFloatToStr(double value);
bool IniStrToFloat(const AnsiString& text, double& value);
bool IniStrToInt(const AnsiString& text, int& value);
