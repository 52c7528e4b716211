#include "framework/Strings.h"

#include "framework/Exception.h"

int TStrings::Add(const AnsiString& text) {
  int index = Count();
  Insert(index, text);
  return index;
}

int TStrings::IndexOf(const AnsiString& text) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (Strings(i) == text) return i;
  return -1;
}

AnsiString TStrings::Text() const {
  AnsiString result;
  for (int i = 0, n = Count(); i < n; ++i) result += Strings(i) + "\r\n";
  return result;
}

void TStrings::SetText(const AnsiString& text) {
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == AnsiString::npos) {
      Add(text.substr(start));
      break;
    }
    Add(text.substr(start, end - start));
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

void TStrings::Assign(const TStrings& other) {
  if (this == &other) return;
  Clear();
  for (int i = 0, n = other.Count(); i < n; ++i) Add(other.Strings(i));
}

void TStringList::Insert(int index, const AnsiString& text) {
  if (index < 0 || index > Count()) throw Exception("Индекс строки вне списка: " + IntToStr(index));
  lines_.insert(lines_.begin() + index, text);
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) throw Exception("Индекс строки вне списка: " + IntToStr(index));
  lines_.erase(lines_.begin() + index);
}
