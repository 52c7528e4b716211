#pragma once
// The per-row rules of the conversion: which rows are dropped, how rate
// codes are rewritten and how a list-file line is made. Plain functions.
#include <functional>
#include <vector>

#include "framework/AnsiString.h"

// One row of the prefix table, used exactly as it stands (no trimming).
struct TPrefixReplacement {
  AnsiString prefix;
  AnsiString replacement;
};

// The leading integer as the C library's strtol reads it in base 10:
// optional white space, optional sign, digits; 0 without digits.
long LeadingInteger(const AnsiString& text);

// Reads the text of column c of the current row; false when the read failed.
using TCellReader = std::function<bool(int column, AnsiString& text)>;

// A row that numbers the columns: at least one of columns 1 to 9 holds text
// and every one that does reads as its own column number ("3" or "3,5" in
// column 3). A failed read ends the test with the verdict so far.
bool IsColumnNumberRow(const TCellReader& read);

// Each table row in order, on the code as the rows before left it: the first
// occurrence of the prefix (bytes, case-sensitive, anywhere) is deleted, the
// code trimmed, and the replacement inserted where the prefix began, or
// appended when that lies past the trimmed end. An empty prefix never matches.
AnsiString ApplyPrefixTable(AnsiString code, const std::vector<TPrefixReplacement>& table);

// The list file's header line: "Материал", TAB, "Количество", TAB, CR, LF.
extern const AnsiString kListHeader;

// code TAB quantity TAB CR LF. A TAB, CR or LF inside a field would split
// the estimating program's record, so each becomes a blank.
AnsiString ComposeListLine(const AnsiString& code, const AnsiString& quantity);
