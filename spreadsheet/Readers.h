#pragma once
// The file readers. They take the file's bytes and fill a Workbook; every
// input is untrusted: a file they cannot read is refused with a reason in
// Russian (Windows-1251) and never crashes or hangs the caller.
#include <algorithm>
#include <new>
#include <string>

#include "framework/AnsiString.h"
#include "spreadsheet/Model.h"

namespace Spreadsheet {

// Limits on what a file may make us allocate.
constexpr size_t kMaxPartBytes = 256u << 20;  // one decompressed zip part, or the whole file
constexpr size_t kMaxArchiveBytes = 1024u << 20;  // all zip parts together
constexpr size_t kMaxSheets = 4096;
constexpr size_t kMaxCells = 20000000;  // the whole workbook, values and blanks

// What a file of a given size can honestly hold, so that a small file never
// costs minutes or gigabytes: honest packages inflate far less than
// kMaxInflation-fold (a sheet of long repeated strings reaches ~70), and hold
// fewer cells, and fewer shared strings, than twice their bytes beyond a
// floor every small workbook fits under.
constexpr size_t kMaxInflation = 100;
inline size_t InflateBudget(size_t fileBytes) {
  size_t floor = 64u << 20;
  return fileBytes > kMaxArchiveBytes / kMaxInflation ? kMaxArchiveBytes
                                                      : std::max(floor, fileBytes * kMaxInflation);
}
inline size_t ItemCap(size_t fileBytes) {
  return fileBytes > kMaxCells / 2 ? kMaxCells : std::max<size_t>(1000000, fileBytes * 2);
}

// Thrown inside the readers; the entry points below turn it into a refusal.
struct ReadError {
  AnsiString reason;
};

// Any supported file, told apart by its first bytes.
bool ReadWorkbook(const std::string& bytes, Workbook& book, AnsiString& reason);
// An OLE compound file: an .xls, or an encrypted Office package (refused).
bool ReadCompoundFile(const std::string& bytes, Workbook& book, AnsiString& reason);
// The structure check of ReadCompoundFile alone: refused, with the reason,
// for a compound file that the platform's storage code must not be given;
// tolerated where only our reader reads it right (a header departing from
// what the format requires, as its mini-stream cutoff).
enum class CompoundCheck { kSound, kTolerated, kRefused };
CompoundCheck CheckCompoundFile(const std::string& bytes, AnsiString& reason);
// The BIFF5/7 or BIFF8 "Workbook"/"Book" stream.
bool ReadBiffStream(const std::string& stream, Workbook& book, AnsiString& reason);
// An .xlsx/.xlsm zip package.
bool ReadXlsx(const std::string& bytes, Workbook& book, AnsiString& reason);

namespace Reason {
extern const char* const kEmpty;
extern const char* const kUnknownFormat;
extern const char* const kEncrypted;
extern const char* const kOldFormat;
extern const char* const kDamaged;
extern const char* const kTooLarge;
extern const char* const kNoSheets;
}  // namespace Reason

// Runs one reader: its ReadError, or memory running out, becomes a refusal
// with a reason, and the book is left empty.
template <class Read>
bool RunReader(Workbook& book, AnsiString& reason, Read read) {
  try {
    read();
    return true;
  } catch (const ReadError& e) {
    reason = e.reason;
  } catch (const std::bad_alloc&) {
    reason = Reason::kTooLarge;
  }
  book = Workbook();
  return false;
}

}  // namespace Spreadsheet
