#include "spreadsheet/Model.h"

#include <algorithm>
#include <cwctype>

namespace Spreadsheet {

int32_t ErrorFromBiffCode(uint8_t code) {
  switch (code) {
    case 0x00: return kErrNull;
    case 0x07: return kErrDiv0;
    case 0x0F: return kErrValue;
    case 0x17: return kErrRef;
    case 0x1D: return kErrName;
    case 0x24: return kErrNum;
    default: return kErrNA;
  }
}

namespace {
struct ErrorName {
  int32_t error;
  const wchar_t* text;
};
const ErrorName kErrorNames[] = {
    {kErrNull, L"#NULL!"}, {kErrDiv0, L"#DIV/0!"}, {kErrValue, L"#VALUE!"}, {kErrRef, L"#REF!"},
    {kErrName, L"#NAME?"}, {kErrNum, L"#NUM!"},    {kErrNA, L"#N/A"},
};
}  // namespace

int32_t ErrorFromText(const std::wstring& text) {
  for (const auto& e : kErrorNames)
    if (text == e.text) return e.error;
  return 0;
}

const wchar_t* ErrorText(int32_t error) {
  for (const auto& e : kErrorNames)
    if (e.error == error) return e.text;
  return L"#N/A";
}

NumberStyle StyleOfBuiltinFormat(unsigned id) {
  if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
    return NumberStyle::Date;
  if ((id >= 5 && id <= 8) || id == 42 || id == 44) return NumberStyle::Currency;
  return NumberStyle::Plain;
}

// Reads a number format code the way Excel sorts it into categories: a
// currency symbol (bare, quoted like "р.", or in a [$symbol-locale] tag) makes
// it currency; a day, month, year, hour or second code outside quotes makes it
// a date-time. Only the first section decides, as for positive numbers.
NumberStyle StyleOfFormatCode(const std::wstring& code) {
  bool currency = false, date = false;
  std::wstring bare;
  for (size_t i = 0; i < code.size(); ++i) {
    wchar_t c = code[i];
    if (c == L';') break;
    if (c == L'"') {
      size_t end = code.find(L'"', i + 1);
      std::wstring quoted = code.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
      if (quoted.find(L"р.") != std::wstring::npos || quoted.find(L"руб") != std::wstring::npos ||
          quoted.find_first_of(L"$€£¥₽") != std::wstring::npos)
        currency = true;
      if (end == std::wstring::npos) break;
      i = end;
    } else if (c == L'\\' || c == L'_' || c == L'*') {
      if (i + 1 < code.size() && code[i + 1] == L'₽') currency = true;
      ++i;
    } else if (c == L'[') {
      size_t end = code.find(L']', i + 1);
      std::wstring tag = code.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
      if (!tag.empty() && tag[0] == L'$') {
        size_t dash = tag.find(L'-');
        if ((dash == std::wstring::npos ? tag.size() : dash) > 1) currency = true;
      } else if (!tag.empty()) {
        wchar_t t = static_cast<wchar_t>(std::towlower(tag[0]));
        if (t == L'h' || t == L'm' || t == L's') date = true;  // elapsed time
      }
      if (end == std::wstring::npos) break;
      i = end;
    } else {
      bare += static_cast<wchar_t>(std::towlower(c));
    }
  }
  if (bare.find_first_of(L"$€£¥₽") != std::wstring::npos) currency = true;
  if (currency) return NumberStyle::Currency;
  if (date || bare.find_first_of(L"dmyhs") != std::wstring::npos) return NumberStyle::Date;
  return NumberStyle::Plain;
}

uint32_t StringPool::Add(const wchar_t* text, size_t length) {
  starts_.push_back(static_cast<uint32_t>(chars_.size()));
  chars_.insert(chars_.end(), text, text + length);
  return static_cast<uint32_t>(starts_.size() - 1);
}

const wchar_t* StringPool::Data(uint32_t index, size_t& length) const {
  if (index >= starts_.size()) {
    length = 0;
    return L"";
  }
  size_t end = index + 1 < starts_.size() ? starts_[index + 1] : chars_.size();
  length = end - starts_[index];
  return chars_.data() + starts_[index];
}

std::wstring StringPool::Get(uint32_t index) const {
  size_t length;
  const wchar_t* p = Data(index, length);
  return std::wstring(p, length);
}

namespace {
bool Before(const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; }
}  // namespace

void Sheet::Put(const Cell& cell) {
  if (cell.row == 0 || cell.col == 0) return;
  lastRow_ = std::max(lastRow_, cell.row);
  lastCol_ = std::max<uint32_t>(lastCol_, cell.col);
  if (cell.kind == CellKind::Empty) return;
  if (!cells_.empty() && !Before(cells_.back(), cell)) sorted_ = false;
  cells_.push_back(cell);
}

void Sheet::Finish() {
  if (!sorted_) {
    std::stable_sort(cells_.begin(), cells_.end(), Before);
    // Of several records for one position the last one written stands.
    size_t out = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
      if (i + 1 < cells_.size() && !Before(cells_[i], cells_[i + 1])) continue;
      cells_[out++] = cells_[i];
    }
    cells_.resize(out);
    sorted_ = true;
  }
  cells_.shrink_to_fit();
}

const Cell* Sheet::Find(uint32_t row, uint32_t col) const {
  Cell key;
  key.row = row;
  key.col = static_cast<uint16_t>(col);
  if (col > 0xFFFF) return nullptr;
  auto it = std::lower_bound(cells_.begin(), cells_.end(), key, Before);
  if (it == cells_.end() || it->row != row || it->col != col) return nullptr;
  return &*it;
}

void Sheet::Set(const Cell& cell) {
  if (cell.row == 0 || cell.col == 0) return;
  auto it = std::lower_bound(cells_.begin(), cells_.end(), cell, Before);
  bool found = it != cells_.end() && it->row == cell.row && it->col == cell.col;
  if (cell.kind == CellKind::Empty) {
    if (found) cells_.erase(it);
    return;
  }
  lastRow_ = std::max(lastRow_, cell.row);
  lastCol_ = std::max<uint32_t>(lastCol_, cell.col);
  if (found) *it = cell;
  else cells_.insert(it, cell);
}

double OleDateFromSerial(double serial, bool date1904) {
  if (date1904) return serial + 1462;
  // Excel counts a 29 February 1900 that never was: below it serials run one
  // day behind OLE dates.
  if (serial >= 1 && serial < 61) return serial + 1;
  return serial;
}

bool DateOfSerial(double serial, bool date1904, double& ole) {
  if (!(serial >= 0)) return false;
  ole = OleDateFromSerial(serial, date1904);
  return ole < 2958466;  // 01.01.10000
}

}  // namespace Spreadsheet
