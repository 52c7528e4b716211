#include "convert/CellText.h"

#include <windows.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "framework/Exception.h"
#include "framework/Unicode.h"
#include "framework/Variant.h"

AnsiString ColumnDesignation(int column) {
  if (column == 0) return "[Нет]";
  AnsiString number = "(" + IntToStr(column) + ")";
  if (column < 0 || column > 256) return number;
  AnsiString letters;
  for (int n = column; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters + number;
}

AnsiString TrimControlChars(const AnsiString& text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

AnsiString FormatGeneralNumber(double value, const AnsiString& decimalSeparator) {
  if (!std::isfinite(value)) throw Exception("Число вне допустимого диапазона");
  if (value == 0) return "0";
  // Rounded to 15 significant digits first: the rounded value decides the
  // form (0.0000099999999999999999 is 0,00001).
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  *r.ptr = '\0';
  // buf holds d.ddddddddddddddde[+-]xx
  AnsiString digits(1, buf[0]);
  digits.append(buf + 2, 14);
  int exponent = std::atoi(buf + 17);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  AnsiString out = value < 0 ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits[0];
    if (digits.size() > 1) out += decimalSeparator + digits.substr(1);
    AnsiString e = IntToStr(std::abs(exponent));
    if (e.size() < 2) e.insert(e.begin(), '0');
    return out + "E" + (exponent < 0 ? "-" : "+") + e;
  }
  if (exponent < 0) return out + "0" + decimalSeparator + AnsiString(static_cast<size_t>(-exponent - 1), '0') + digits;
  size_t whole = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= whole) return out + digits + AnsiString(whole - digits.size(), '0');
  return out + digits.substr(0, whole) + decimalSeparator + digits.substr(whole);
}

AnsiString UserDecimalSeparator() {
  wchar_t buf[8];
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8);
  if (n <= 1) return ".";
  return WideToAnsi(buf, static_cast<size_t>(n - 1));
}

AnsiString CellValueText(const VARIANT& value) {
  if (V_VT(&value) & VT_BYREF) {
    Variant direct;
    HRESULT hr = VariantCopyInd(direct.Out(), const_cast<VARIANT*>(&value));
    if (FAILED(hr)) throw Exception("Значение ячейки недоступно");
    return CellValueText(direct.Get());
  }
  switch (V_VT(&value)) {
    case VT_EMPTY:
      return AnsiString();
    case VT_BSTR:
      return WideToAnsi(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    case VT_R8:
      return FormatGeneralNumber(V_R8(&value), UserDecimalSeparator());
    case VT_ERROR:
      // Excel's error values (#DIV/0!, #N/A, ...) have no text form.
      throw Exception("Ячейка содержит значение ошибки");
    default: {
      // Dates, currency, logicals (and any other scalar) the platform's way.
      Variant text = Variant::CopyOf(value).ChangeType(VT_BSTR, VARIANT_LOCALBOOL);
      return WideToAnsi(V_BSTR(&text.Get()), SysStringLen(V_BSTR(&text.Get())));
    }
  }
}
