// SaveAs of the built-in engine: the book in its own format, as Excel's
// SaveAs without a format argument writes it, whatever the file name says.
#include <windows.h>

#include <new>

#include "framework/Unicode.h"
#include "spreadsheet/Save.h"
#include "spreadsheet/Writers.h"

namespace Spreadsheet {

void WriteFileReplacing(const std::wstring& path, const std::string& bytes) {
  AnsiString name = WideToAnsi(path);
  // The temporary file sits beside the target, so the final move stays on one volume.
  std::wstring temp = path + L".x2z~";
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw WriteError{"Не удаётся сохранить файл " + name + ": нет доступа к папке."};
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    DWORD n = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    ok = WriteFile(h, bytes.data() + done, chunk, &n, nullptr) && n == chunk;
    done += n;
  }
  ok = ok && FlushFileBuffers(h);
  CloseHandle(h);
  if (!ok) {
    DeleteFileW(temp.c_str());
    throw WriteError{"Не удаётся сохранить файл " + name + ": запись на диск не удалась."};
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    throw WriteError{"Не удаётся сохранить файл " + name + ": файл занят или защищён от записи."};
  }
}

void SaveBook(Book& book, const std::wstring& path) {
  std::string bytes;
  try {
    ChangedCells changed = ChangedPositions(book);
    if (changed.empty()) bytes = book.fileBytes;
    else if (book.model.format == FileFormat::Xlsx) bytes = WriteXlsxEdits(book.fileBytes, book.model, changed);
    else bytes = WriteXlsEdits(book.fileBytes, book.model, changed);
  } catch (const std::bad_alloc&) {
    throw WriteError{"Не удаётся сохранить файл " + WideToAnsi(path) + ": недостаточно памяти."};
  }
  WriteFileReplacing(path, bytes);
  // What was written is now the file: later saves build on it.
  book.fileBytes.swap(bytes);
  book.originals.clear();
  book.saved = true;
  book.fullName = path;
  size_t slash = path.find_last_of(L"\\/");
  book.name = slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace Spreadsheet
