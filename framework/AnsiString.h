#pragma once
// The framework's 8-bit string: Windows-1251 text everywhere inside the program.
#include <string>

using AnsiString = std::string;

AnsiString IntToStr(long long value);
// Decimal conversion that skips leading blanks, takes an optional sign and the
// digits after it, and gives 0 for text without digits (the C library's strtol).
int StrToIntLoose(const AnsiString& text);
