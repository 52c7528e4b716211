#include "framework/IniFiles.h"

#include <windows.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>

namespace {

// GetPrivateProfileString gives no length: grow until the answer fits with
// room to spare (it truncates silently, leaving size - 1 or size - 2 chars).
AnsiString ReadProfile(const char* section, const char* key, const char* def, const AnsiString& file) {
  std::vector<char> buf(512);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(section, key, def, buf.data(), static_cast<DWORD>(buf.size()), file.c_str());
    if (n + 2 < buf.size()) return AnsiString(buf.data(), n);
    if (buf.size() >= (64u << 20)) return AnsiString(buf.data(), n);
    buf.resize(buf.size() * 4);
  }
}

std::vector<AnsiString> SplitDoubleNul(const AnsiString& list) {
  std::vector<AnsiString> out;
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find('\0', pos);
    if (end == AnsiString::npos) end = list.size();
    if (end > pos) out.emplace_back(list, pos, end - pos);
    pos = end + 1;
  }
  return out;
}

bool SameName(const AnsiString& a, const AnsiString& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

}  // namespace

AnsiString IniFloatToStr(double value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return AnsiString(buf, r.ptr);
}

bool IniStrToFloat(const AnsiString& text, double& value) {
  AnsiString t = text;
  // Accept a decimal comma too: files edited by hand under a Russian locale.
  for (char& c : t)
    if (c == ',') c = '.';
  size_t b = t.find_first_not_of(" \t");
  if (b == AnsiString::npos) return false;
  size_t e = t.find_last_not_of(" \t");
  const char* first = t.data() + b;
  const char* last = t.data() + e + 1;
  if (*first == '+') ++first;
  double v = 0;
  auto r = std::from_chars(first, last, v);
  if (r.ec != std::errc() || r.ptr != last) return false;
  value = v;
  return true;
}

bool IniStrToInt(const AnsiString& text, int& value) {
  const char* s = text.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  if (!*s) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s, &end, 10);
  if (end == s || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

TIniFile::TIniFile(const AnsiString& fileName) : fileName_(fileName) {
  // With an empty name the profile functions would use another file.
  if (fileName_.empty()) throw Exception("Не задано имя файла настроек");
}

TIniFile::~TIniFile() {
  // Flushes the platform's profile cache (a no-op where writes go through at
  // once), so the next INI object on this file sees every write.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str());
}

AnsiString TIniFile::ReadProblem() const {
  DWORD attr = GetFileAttributesA(fileName_.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return AnsiString();
  if (attr & FILE_ATTRIBUTE_DIRECTORY) return "на его месте находится папка";
  HANDLE h = CreateFileA(fileName_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "он недоступен для чтения";
  CloseHandle(h);
  return AnsiString();
}

bool TIniFile::Readable() const {
  // Not left to the profile functions: what they make of a folder or a
  // locked file is the platform's affair, the defaults are ours.
  return ReadProblem().empty();
}

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& def) const {
  if (!Readable()) return def;
  return ReadProfile(section.c_str(), key.c_str(), def.c_str(), fileName_);
}

int TIniFile::ReadInteger(const AnsiString& section, const AnsiString& key, int def) const {
  int v = def;
  return IniStrToInt(ReadString(section, key, ""), v) ? v : def;
}

double TIniFile::ReadFloat(const AnsiString& section, const AnsiString& key, double def) const {
  double v = def;
  return IniStrToFloat(ReadString(section, key, ""), v) ? v : def;
}

bool TIniFile::ReadBool(const AnsiString& section, const AnsiString& key, bool def) const {
  int v = 0;
  return IniStrToInt(ReadString(section, key, ""), v) ? v != 0 : def;
}

void TIniFile::Write(const char* section, const char* key, const char* value) {
  if (!WritePrivateProfileStringA(section, key, value, fileName_.c_str()))
    throw Exception("Ошибка записи в файл настроек: " + fileName_);
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value) {
  Write(section.c_str(), key.c_str(), value.c_str());
}

void TIniFile::WriteInteger(const AnsiString& section, const AnsiString& key, int value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteFloat(const AnsiString& section, const AnsiString& key, double value) {
  WriteString(section, key, IniFloatToStr(value));
}

void TIniFile::WriteBool(const AnsiString& section, const AnsiString& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::vector<AnsiString> TIniFile::ReadSections() const {
  if (!Readable()) return {};
  std::vector<char> buf(4096);
  for (;;) {
    DWORD n = GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()), fileName_.c_str());
    if (n + 2 < buf.size() || buf.size() >= (64u << 20)) return SplitDoubleNul(AnsiString(buf.data(), n));
    buf.resize(buf.size() * 4);
  }
}

std::vector<AnsiString> TIniFile::ReadSection(const AnsiString& section) const {
  if (!Readable()) return {};
  return SplitDoubleNul(ReadProfile(section.c_str(), nullptr, "", fileName_));
}

bool TIniFile::SectionExists(const AnsiString& section) const {
  for (const AnsiString& s : ReadSections())
    if (SameName(s, section)) return true;
  return false;
}

bool TIniFile::ValueExists(const AnsiString& section, const AnsiString& key) const {
  for (const AnsiString& k : ReadSection(section))
    if (SameName(k, key)) return true;
  return false;
}

void TIniFile::DeleteKey(const AnsiString& section, const AnsiString& key) {
  // Deleting from a missing file must not create it.
  if (GetFileAttributesA(fileName_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  Write(section.c_str(), key.c_str(), nullptr);
}
