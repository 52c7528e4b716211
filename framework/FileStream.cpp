#include "framework/FileStream.h"

#include <algorithm>

namespace {

AnsiString ErrorText(DWORD error) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  AnsiString out;
  if (n && text) {
    while (n && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
    out.assign(text, n);
  }
  if (text) LocalFree(text);
  if (out.empty()) out = "код " + IntToStr(error);
  return out;
}

}  // namespace

TFileStream::TFileStream(const AnsiString& fileName, Mode mode) : fileName_(fileName) {
  DWORD access = mode == fmOpenRead ? GENERIC_READ : GENERIC_WRITE;
  DWORD disposition = mode == fmCreate ? CREATE_ALWAYS : OPEN_EXISTING;
  handle_ = CreateFileA(fileName.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    const char* what = mode == fmCreate ? "Не удалось создать файл \"" : "Не удалось открыть файл \"";
    throw Exception(what + fileName + "\": " + ErrorText(error));
  }
}

TFileStream::~TFileStream() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

void TFileStream::WriteBuffer(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle_, p, chunk, &written, nullptr) || written == 0) {
      DWORD error = GetLastError();
      throw Exception("Ошибка записи в файл \"" + fileName_ + "\": " + ErrorText(error));
    }
    p += written;
    size -= written;
  }
}

size_t TFileStream::Read(void* data, size_t size) {
  DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(handle_, data, chunk, &got, nullptr)) {
    DWORD error = GetLastError();
    throw Exception("Ошибка чтения файла \"" + fileName_ + "\": " + ErrorText(error));
  }
  return got;
}
