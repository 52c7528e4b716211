#include "framework/AnsiString.h"

#include <climits>
#include <cstdlib>

AnsiString IntToStr(long long value) { return std::to_string(value); }

int StrToIntLoose(const AnsiString& text) {
  long v = std::strtol(text.c_str(), nullptr, 10);
  // long is 32 bits on Windows already; the clamp keeps other hosts honest.
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}
