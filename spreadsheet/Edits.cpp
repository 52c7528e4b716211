#include "spreadsheet/Edits.h"

#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Spreadsheet {

Separators UserSeparators() {
  Separators sep;
  wchar_t buf[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) > 1) sep.decimal = buf[0];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, 8) > 1) sep.group = buf[0];
  return sep;
}

std::wstring NumberText(double d, wchar_t decimal) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  std::wstring out;
  for (const char* p = buf; *p; ++p) {
    if (*p == '.') out += decimal;
    else out += static_cast<wchar_t>(*p == 'e' ? 'E' : *p);  // Excel writes 1E-07
  }
  return out;
}

bool ParseNumber(const std::wstring& text, const Separators& sep, double& out) {
  size_t b = text.find_first_not_of(L" \t"), e = text.find_last_not_of(L" \t");
  if (b == std::wstring::npos) return false;
  std::wstring s = text.substr(b, e - b + 1);
  // A space stands for the group separator where the locale's is a no-break space.
  auto isGroup = [&](wchar_t c) { return c != sep.decimal && (c == sep.group || (sep.group == 0xA0 && c == L' ')); };
  std::string ascii;
  size_t i = 0;
  if (s[i] == L'+' || s[i] == L'-') ascii += static_cast<char>(s[i++]);
  size_t digits = 0, run = 0;
  bool grouped = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= L'0' && s[i] <= L'9') {
      ascii += static_cast<char>(s[i]);
      ++digits;
      ++run;
    } else if (isGroup(s[i]) && digits > 0 && (!grouped ? run <= 3 : run == 3)) {
      grouped = true;
      run = 0;
    } else {
      break;
    }
  }
  if (grouped && run != 3) return false;
  if (i < s.size() && s[i] == sep.decimal) {
    ascii += '.';
    for (++i; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i, ++digits) ascii += static_cast<char>(s[i]);
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
    ascii += 'e';
    ++i;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) ascii += static_cast<char>(s[i++]);
    size_t expDigits = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i, ++expDigits) ascii += static_cast<char>(s[i]);
    if (expDigits == 0) return false;
  }
  if (i != s.size()) return false;
  double v = std::strtod(ascii.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  out = v;
  return true;
}

Cell TypedCell(Workbook& wb, const Cell* old, uint32_t row, uint32_t col, const std::wstring& text,
               const Separators& sep, bool* formula) {
  Cell c;
  c.row = row;
  c.col = static_cast<uint16_t>(col);
  c.look = old ? old->look : 0;  // the cell's format stays
  if (formula) *formula = false;
  if (text.empty()) return c;
  double number;
  if (text[0] == L'\'') {
    if (text.size() == 1) return c;
    c.kind = CellKind::Text;
    c.text = wb.strings.Add(text.c_str() + 1, text.size() - 1);
  } else if (text[0] != L'=' && ParseNumber(text, sep, number)) {
    bool styled = old && (old->kind == CellKind::Date || old->kind == CellKind::Currency);
    c.kind = styled ? old->kind : CellKind::Number;
    c.number = number;
  } else {
    if (formula) *formula = text[0] == L'=' && text.size() > 1;
    c.kind = CellKind::Text;
    c.text = wb.strings.Add(text);
  }
  return c;
}

std::wstring EditText(const Workbook& wb, const Cell* cell, const Separators& sep) {
  if (!cell) return std::wstring();
  switch (cell->kind) {
    case CellKind::Text: return wb.Text(*cell);
    case CellKind::Boolean: return cell->boolean ? L"ИСТИНА" : L"ЛОЖЬ";
    case CellKind::Error: return ErrorText(cell->error);
    case CellKind::Date:
      if (cell->number >= 0 && cell->number < 2958466) {
        VARIANT v, t;
        VariantInit(&t);
        V_VT(&v) = VT_DATE;
        V_DATE(&v) = OleDateFromSerial(cell->number, wb.date1904);
        std::wstring out;
        if (SUCCEEDED(VariantChangeTypeEx(&t, &v, LOCALE_USER_DEFAULT, 0, VT_BSTR)))
          out.assign(V_BSTR(&t), SysStringLen(V_BSTR(&t)));
        VariantClear(&t);
        if (!out.empty()) return out;
      }
      return NumberText(cell->number, sep.decimal);
    case CellKind::Number:
    case CellKind::Currency: return NumberText(cell->number, sep.decimal);
    case CellKind::Empty: break;
  }
  return std::wstring();
}

namespace {

bool SameValue(const Workbook& wb, const Cell& a, const Cell& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case CellKind::Empty: return true;
    case CellKind::Text: {
      size_t la, lb;
      const wchar_t* pa = wb.strings.Data(a.text, la);
      const wchar_t* pb = wb.strings.Data(b.text, lb);
      return la == lb && std::wmemcmp(pa, pb, la) == 0;
    }
    case CellKind::Boolean: return (a.boolean != 0) == (b.boolean != 0);
    case CellKind::Error: return a.error == b.error;
    default: return std::memcmp(&a.number, &b.number, sizeof a.number) == 0;
  }
}

Cell At(const Sheet& sheet, uint32_t row, uint32_t col) {
  const Cell* found = sheet.Find(row, col);
  Cell c;
  if (found) c = *found;
  c.row = row;
  c.col = static_cast<uint16_t>(col);
  return c;
}

// Sets one cell and keeps the record of what differs from the file.
void Put(Book& book, size_t sheet, const Cell& before, const Cell& after) {
  book.model.sheets[sheet].Set(after);
  auto key = std::make_tuple(sheet, after.row, static_cast<uint32_t>(after.col));
  auto it = book.originals.find(key);
  if (it == book.originals.end()) it = book.originals.emplace(key, before).first;
  if (SameValue(book.model, it->second, after)) book.originals.erase(it);
}

void Finish(Book& book) {
  book.saved = false;
  book.Changed();
}

}  // namespace

bool ApplyEdits(Book& book, size_t sheet, const std::vector<Cell>& cells) {
  if (sheet >= book.model.sheets.size() || !book.model.sheets[sheet].HasCells()) return false;
  std::vector<Book::Change> group;
  for (const Cell& after : cells) {
    if (after.row == 0 || after.col == 0 || after.row > book.model.MaxRows() || after.col > book.model.MaxCols())
      continue;
    Cell before = At(book.model.sheets[sheet], after.row, after.col);
    if (SameValue(book.model, before, after)) continue;
    Put(book, sheet, before, after);
    group.push_back({sheet, before, after});
  }
  if (group.empty()) return false;
  book.undo.push_back(std::move(group));
  book.redo.clear();
  Finish(book);
  return true;
}

bool Undo(Book& book) {
  if (book.undo.empty()) return false;
  std::vector<Book::Change> group = std::move(book.undo.back());
  book.undo.pop_back();
  for (auto it = group.rbegin(); it != group.rend(); ++it) Put(book, it->sheet, it->after, it->before);
  book.redo.push_back(std::move(group));
  Finish(book);
  return true;
}

bool Redo(Book& book) {
  if (book.redo.empty()) return false;
  std::vector<Book::Change> group = std::move(book.redo.back());
  book.redo.pop_back();
  for (const auto& c : group) Put(book, c.sheet, c.before, c.after);
  book.undo.push_back(std::move(group));
  Finish(book);
  return true;
}

ChangedCells ChangedPositions(const Book& book) {
  ChangedCells out;
  for (const auto& o : book.originals)
    out[std::get<0>(o.first)].push_back({std::get<1>(o.first), std::get<2>(o.first)});
  return out;
}

std::wstring CopyText(const Workbook& wb, size_t sheet, uint32_t row1, uint32_t col1, uint32_t row2, uint32_t col2,
                      const Separators& sep) {
  std::wstring out;
  const Sheet& s = wb.sheets[sheet];
  for (uint32_t r = row1; r <= row2; ++r) {
    for (uint32_t c = col1; c <= col2; ++c) {
      if (c > col1) out += L'\t';
      std::wstring field = EditText(wb, s.Find(r, c), sep);
      if (field.find_first_of(L"\t\r\n\"") != std::wstring::npos) {
        std::wstring quoted = L"\"";
        for (wchar_t ch : field) quoted += ch == L'"' ? std::wstring(L"\"\"") : std::wstring(1, ch);
        field = quoted + L"\"";
      }
      out += field;
    }
    out += L"\r\n";
  }
  return out;
}

std::vector<std::vector<std::wstring>> SplitPasted(const std::wstring& text) {
  std::vector<std::vector<std::wstring>> rows;
  std::vector<std::wstring> row;
  std::wstring field;
  bool any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'"' && field.empty()) {
      // A quoted field: up to the quote not doubled.
      size_t j = i + 1;
      std::wstring value;
      bool closed = false;
      for (; j < text.size(); ++j) {
        if (text[j] == L'"') {
          if (j + 1 < text.size() && text[j + 1] == L'"') {
            value += L'"';
            ++j;
          } else {
            closed = true;
            break;
          }
        } else {
          value += text[j];
        }
      }
      if (closed) {
        field = value;
        i = j;
        any = true;
        continue;
      }
    }
    if (c == L'\t') {
      row.push_back(field);
      field.clear();
      any = true;
    } else if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any) {
    row.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace Spreadsheet
