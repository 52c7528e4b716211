#pragma once
// Conversions between the program's Windows-1251 text and the UTF-16 of the
// wide Win32 API. Explicit code pages, so the window reads right on a Windows
// of any language.
#include <string>

#include "framework/AnsiString.h"

constexpr unsigned kAnsiCodePage = 1251;

std::wstring AnsiToWide(const AnsiString& text);
// A character that 1251 lacks becomes "?" (never a look-alike letter).
AnsiString WideToAnsi(const wchar_t* text, size_t length);
AnsiString WideToAnsi(const std::wstring& text);
