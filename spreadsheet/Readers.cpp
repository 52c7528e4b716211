// Telling the file kinds apart, and the compound-file edge of the .xls
// reader: our own compound-file reader checks the file's structure and gives
// the workbook stream to the BIFF reader.
#include <cstring>
#include <cwctype>

#include "spreadsheet/BiffRecords.h"
#include "spreadsheet/CompoundFile.h"
#include "spreadsheet/Readers.h"

namespace Spreadsheet {

namespace Reason {
const char* const kEmpty = "Файл пуст.";
const char* const kUnknownFormat = "Файл не является книгой Excel (.xls, .xlsx или .xlsm).";
const char* const kEncrypted = "Книга защищена паролем (зашифрована), прочитать её нельзя.";
const char* const kOldFormat = "Книги Excel 2.x–4.0 не поддерживаются. Сохраните книгу в формате Excel 97–2003 или новее.";
const char* const kDamaged = "Файл книги повреждён";
const char* const kTooLarge = "Книга слишком велика для чтения.";
const char* const kNoSheets = "В книге нет листов.";
}  // namespace Reason

namespace {

const unsigned char kOleMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (std::towlower(*a) != std::towlower(*b)) return false;
  return *a == *b;
}

}  // namespace

bool ReadCompoundFile(const std::string& bytes, Workbook& book, AnsiString& reason) {
  std::string stream;
  bool found = RunReader(book, reason, [&] {
    CompoundFile file(bytes);
    // Stream names are matched without regard to case ("WorkBook", "BOOK");
    // Excel prefers the BIFF8 "Workbook" to an older "Book".
    const CompoundFile::Stream *workbook = nullptr, *old = nullptr;
    for (const auto& item : file.RootItems()) {
      if (SameName(item.name.c_str(), L"EncryptedPackage") || SameName(item.name.c_str(), L"EncryptionInfo"))
        throw ReadError{Reason::kEncrypted};
      if (SameName(item.name.c_str(), L"Workbook")) workbook = &item;
      if (SameName(item.name.c_str(), L"Book")) old = &item;
    }
    if (!workbook && !old) throw ReadError{Reason::kUnknownFormat};
    stream = file.Read(workbook ? *workbook : *old);
  });
  return found && ReadBiffStream(stream, book, reason);
}

CompoundCheck CheckCompoundFile(const std::string& bytes, AnsiString& reason) {
  Workbook none;
  bool strict = false;
  if (!RunReader(none, reason, [&] { strict = CompoundFile(bytes).HeaderAsRequired(); })) return CompoundCheck::kRefused;
  return strict ? CompoundCheck::kSound : CompoundCheck::kTolerated;
}

bool ReadWorkbook(const std::string& bytes, Workbook& book, AnsiString& reason) {
  if (bytes.empty()) {
    reason = Reason::kEmpty;
    return false;
  }
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kOleMagic, 8) == 0) return ReadCompoundFile(bytes, book, reason);
  if (bytes.size() >= 4 && bytes.compare(0, 2, "PK") == 0) return ReadXlsx(bytes, book, reason);
  if (bytes.size() >= 4) {
    unsigned type = static_cast<uint8_t>(bytes[0]) | (static_cast<uint8_t>(bytes[1]) << 8);
    if (type == kRecBof) return ReadBiffStream(bytes, book, reason);  // a bare BIFF5/8 stream, no OLE wrapper
    if ((type == 0x0009 || type == 0x0209 || type == 0x0409) && static_cast<uint8_t>(bytes[3]) == 0) {
      reason = Reason::kOldFormat;
      return false;
    }
  }
  reason = Reason::kUnknownFormat;
  return false;
}

}  // namespace Spreadsheet
