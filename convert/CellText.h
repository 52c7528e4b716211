#pragma once
// Cell values as text, and the small text rules of the conversion. No
// automation calls here: everything takes values and gives text.
#include <windows.h>
#include <oleauto.h>

#include "framework/AnsiString.h"

// The entry the column lists show for a column number: "[Нет]" for 0, the
// letters and the number for 1 to 256 (A(1), Z(26), AA(27), IV(256)), and
// just the number in parentheses for any other (no list entry selected).
AnsiString ColumnDesignation(int column);

// Removes leading and trailing characters with codes 0 to 32.
AnsiString TrimControlChars(const AnsiString& text);

// A number's general decimal form: 15 significant digits, trailing zeros
// dropped, no grouping; the exponent form (1E+15, 9E-06, 1,5E+20) only when
// more than 15 digits would stand before the separator or the magnitude is
// below 0.00001. A value that is not finite raises Exception.
AnsiString FormatGeneralNumber(double value, const AnsiString& decimalSeparator);
// The user's decimal separator (LOCALE_SDECIMAL), "." when the locale has none.
AnsiString UserDecimalSeparator();

// The text of a cell value: empty for empty, text converted to Windows-1251
// ("?" for characters it lacks), numbers by FormatGeneralNumber with the
// user's separator, dates, currency and logicals by the platform's
// conversion in the user's locale. Untrimmed. A value with no text form (an
// Excel error value, Null, an object) raises Exception.
AnsiString CellValueText(const VARIANT& value);
