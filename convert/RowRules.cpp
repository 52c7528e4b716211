#include "convert/RowRules.h"

#include <cstdlib>

#include "convert/CellText.h"

const AnsiString kListHeader = "Материал\tКоличество\t\r\n";

long LeadingInteger(const AnsiString& text) { return std::strtol(text.c_str(), nullptr, 10); }

bool IsColumnNumberRow(const TCellReader& read) {
  bool anyText = false;
  bool allOwnNumbers = true;
  for (int column = 1; column <= 9; ++column) {
    AnsiString text;
    if (!read(column, text)) break;
    if (text.empty()) continue;
    anyText = true;
    if (LeadingInteger(text) != column) allOwnNumbers = false;
  }
  return anyText && allOwnNumbers;
}

AnsiString ApplyPrefixTable(AnsiString code, const std::vector<TPrefixReplacement>& table) {
  for (const TPrefixReplacement& row : table) {
    if (row.prefix.empty()) continue;
    size_t at = code.find(row.prefix);
    if (at == AnsiString::npos) continue;
    code.erase(at, row.prefix.size());
    code = TrimControlChars(code);
    if (at > code.size()) at = code.size();
    code.insert(at, row.replacement);
  }
  return code;
}

namespace {
void AppendField(AnsiString& line, const AnsiString& field) {
  for (char c : field) line += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
}
}  // namespace

AnsiString ComposeListLine(const AnsiString& code, const AnsiString& quantity) {
  AnsiString line;
  line.reserve(code.size() + quantity.size() + 4);
  AppendField(line, code);
  line += '\t';
  AppendField(line, quantity);
  line += "\t\r\n";
  return line;
}
