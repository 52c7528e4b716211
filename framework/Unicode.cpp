#include "framework/Unicode.h"

#include <windows.h>

std::wstring AnsiToWide(const AnsiString& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(kAnsiCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kAnsiCodePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

AnsiString WideToAnsi(const wchar_t* text, size_t length) {
  if (!text || length == 0) return AnsiString();
  int n = WideCharToMultiByte(kAnsiCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), nullptr, 0,
                              "?", nullptr);
  AnsiString out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kAnsiCodePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), &out[0], n, "?",
                      nullptr);
  return out;
}

AnsiString WideToAnsi(const std::wstring& text) { return WideToAnsi(text.data(), text.size()); }
