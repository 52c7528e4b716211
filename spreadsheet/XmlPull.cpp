#include "spreadsheet/XmlPull.h"

#include <cstring>

#include "spreadsheet/Readers.h"

namespace Spreadsheet {
namespace {

constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxName = 1024;
constexpr size_t kMaxAttributes = 1024;
constexpr size_t kMaxText = 16u << 20;  // a cell holds at most 32,767 characters
constexpr size_t kMaxTagAttributes = 1u << 20;  // all attribute values of one tag
constexpr size_t kMaxReference = 64;  // "&#x0000...41;": leading zeros are allowed

[[noreturn]] void Malformed(const char* detail) {
  throw ReadError{AnsiString(Reason::kDamaged) + " (XML: " + detail + ")"};
}

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// XML 1.0 allows no other control character, raw or as a reference.
bool IsControl(int c) { return c >= 0 && c < 0x20 && !IsSpace(c); }
bool IsNameChar(int c) {
  return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.';
}

std::string LocalName(const std::string& qualified) {
  size_t colon = qualified.find(':');
  return colon == std::string::npos ? qualified : qualified.substr(colon + 1);
}

}  // namespace

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::wstring Utf8ToWide(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned long code;
    size_t n;
    if (c < 0x80) code = c, n = 1;
    else if ((c & 0xE0) == 0xC0) code = c & 0x1F, n = 2;
    else if ((c & 0xF0) == 0xE0) code = c & 0x0F, n = 3;
    else if ((c & 0xF8) == 0xF0) code = c & 0x07, n = 4;
    else code = 0xFFFD, n = 1;
    if (n > 1) {
      if (i + n > s.size()) {
        code = 0xFFFD, n = 1;
      } else {
        for (size_t k = 1; k < n; ++k) {
          unsigned char cc = static_cast<unsigned char>(s[i + k]);
          if ((cc & 0xC0) != 0x80) {
            code = 0xFFFD, n = 1;
            break;
          }
          code = (code << 6) | (cc & 0x3F);
        }
      }
    }
    i += n;
    // Encoded surrogates and overlong forms are malformed too: a lone
    // surrogate must not reach the model.
    static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (n > 1 && (code < kLeast[n] || (code >= 0xD800 && code <= 0xDFFF))) code = 0xFFFD;
    if (code >= 0x10000 && code <= 0x10FFFF) {
      code -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (code >> 10));
      out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<wchar_t>(code > 0x10FFFF ? 0xFFFD : code);
    }
  }
  return out;
}

bool IsXmlChar(unsigned long code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

bool XmlPull::Fill() {
  pos_ = 0;
  len_ = source_.Read(buf_, sizeof buf_);
  return len_ > 0;
}

int XmlPull::Must() {
  int c = Get();
  if (c < 0) Malformed("документ оборван");
  return c;
}

void XmlPull::Expect(const char* literal) {
  for (; *literal; ++literal)
    if (Must() != static_cast<unsigned char>(*literal)) Malformed("неверная разметка");
}

void XmlPull::SkipSpace() {
  while (IsSpace(Peek())) Get();
}

void XmlPull::ReadName(std::string& out) {
  out.clear();
  while (IsNameChar(Peek())) {
    out += static_cast<char>(Get());
    if (out.size() > kMaxName) Malformed("слишком длинное имя");
  }
  if (out.empty()) Malformed("нет имени");
}

void XmlPull::ReadReference(std::string& out) {
  std::string ref;
  for (int c; (c = Must()) != ';';) {
    ref += static_cast<char>(c);
    if (ref.size() > kMaxReference) Malformed("неверная ссылка на символ");
  }
  if (ref == "lt") out += '<';
  else if (ref == "gt") out += '>';
  else if (ref == "amp") out += '&';
  else if (ref == "quot") out += '"';
  else if (ref == "apos") out += '\'';
  else if (ref.size() > 1 && ref[0] == '#') {
    bool hex = ref[1] == 'x' || ref[1] == 'X';
    unsigned long code = 0;
    size_t start = hex ? 2 : 1;
    if (start >= ref.size()) Malformed("неверная ссылка на символ");
    for (size_t i = start; i < ref.size(); ++i) {
      char d = ref[i];
      int v = d >= '0' && d <= '9' ? d - '0' : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                                                : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10 : -1;
      if (v < 0) Malformed("неверная ссылка на символ");
      code = code * (hex ? 16 : 10) + static_cast<unsigned long>(v);
      if (code > 0x10FFFF) Malformed("неверная ссылка на символ");
    }
    if (!IsXmlChar(code)) Malformed("недопустимый символ");
    AppendUtf8(out, code);
  } else {
    Malformed("неизвестная сущность");  // no DTD, so no other entity exists
  }
}

void XmlPull::SkipUntil(const char* terminator) {
  size_t n = std::strlen(terminator), matched = 0;
  while (matched < n) {
    int c = Must();
    if (c == static_cast<unsigned char>(terminator[matched])) ++matched;
    else matched = c == static_cast<unsigned char>(terminator[0]) ? 1 : 0;
  }
}

void XmlPull::ReadStartTag() {
  std::string qualified;
  ReadName(qualified);
  name_ = LocalName(qualified);
  attrs_.clear();
  empty_ = false;
  size_t attrBytes = 0;
  for (;;) {
    bool spaced = IsSpace(Peek());
    SkipSpace();
    int c = Must();
    if (c == '>') break;
    if (c == '/') {
      Expect(">");
      empty_ = true;
      break;
    }
    if (!spaced || !IsNameChar(c)) Malformed("неверный атрибут");
    --pos_;  // c came from the buffer and is still there
    std::string attr, value;
    ReadName(attr);
    if (attrBytes >= kMaxTagAttributes) Malformed("слишком длинные атрибуты");
    SkipSpace();
    Expect("=");
    SkipSpace();
    int quote = Must();
    if (quote != '"' && quote != '\'') Malformed("значение атрибута без кавычек");
    for (int v; (v = Must()) != quote;) {
      if (v == '<') Malformed("'<' в значении атрибута");
      if (IsControl(v)) Malformed("недопустимый символ");
      if (v == '&') ReadReference(value);
      else value += static_cast<char>(v);
      if (attrBytes + value.size() > kMaxTagAttributes) Malformed("слишком длинные атрибуты");
    }
    attrBytes += value.size();
    if (attrs_.size() >= kMaxAttributes) Malformed("слишком много атрибутов");
    attrs_.emplace_back(LocalName(attr), std::move(value));
  }
  if (!empty_) {
    if (open_.size() >= kMaxDepth) Malformed("слишком глубокая вложенность");
    open_.push_back(qualified);
  }
}

XmlPull::Node XmlPull::Next() {
  if (!started_) {
    started_ = true;
    if (Peek() == 0xEF) Expect("\xEF\xBB\xBF");
    else if (Peek() == 0xFE || Peek() == 0xFF || Peek() == 0) Malformed("кодировка UTF-16 не поддерживается");
  }
  for (;;) {
    int c = Peek();
    if (c < 0) {
      if (!open_.empty()) Malformed("документ оборван");
      return kEnd;
    }
    if (c != '<') {
      text_.clear();
      while ((c = Peek()) >= 0 && c != '<') {
        Get();
        if (IsControl(c)) Malformed("недопустимый символ");
        if (c == '&') ReadReference(text_);
        else text_ += static_cast<char>(c);
        if (text_.size() > kMaxText) Malformed("слишком длинный текст");
      }
      if (open_.empty()) {
        for (char t : text_)
          if (!IsSpace(static_cast<unsigned char>(t))) Malformed("текст вне корневого элемента");
        continue;
      }
      return kText;
    }
    Get();
    c = Must();
    if (c == '?') {
      SkipUntil("?>");
    } else if (c == '!') {
      c = Must();
      if (c == '-') {
        Expect("-");
        SkipUntil("-->");
      } else if (c == '[') {
        Expect("CDATA[");
        if (open_.empty()) Malformed("CDATA вне корневого элемента");
        text_.clear();
        while (text_.size() < 3 || text_.compare(text_.size() - 3, 3, "]]>") != 0) {
          int ch = Must();
          if (IsControl(ch)) Malformed("недопустимый символ");
          text_ += static_cast<char>(ch);
          if (text_.size() > kMaxText) Malformed("слишком длинный текст");
        }
        text_.resize(text_.size() - 3);
        return kText;
      } else {
        Malformed("объявление DTD запрещено");  // <!DOCTYPE and its kin
      }
    } else if (c == '/') {
      std::string qualified;
      ReadName(qualified);
      SkipSpace();
      Expect(">");
      if (open_.empty() || open_.back() != qualified) Malformed("закрывающий тег не совпадает");
      open_.pop_back();
      name_ = LocalName(qualified);
      return kEndElement;
    } else {
      --pos_;
      ReadStartTag();
      return kElement;
    }
  }
}

const std::string* XmlPull::Attribute(const char* name) const {
  for (const auto& a : attrs_)
    if (a.first == name) return &a.second;
  return nullptr;
}

}  // namespace Spreadsheet
