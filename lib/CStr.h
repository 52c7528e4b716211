#pragma once
// Str::CStr: the settings library's 8-bit string and the key of its containers.
// It is the standard string with a virtual destructor and strcmp ordering.
#include <cstring>
#include <string>

namespace Str {

class CStr : public std::string {
 public:
  CStr() = default;
  CStr(const CStr&) = default;
  CStr(CStr&&) = default;
  CStr(const char* text) : std::string(text ? text : "") {}  // NOLINT: implicit by design
  explicit CStr(const std::string& text) : std::string(text.c_str()) {}
  virtual ~CStr() = default;

  CStr& operator=(const CStr&) = default;
  CStr& operator=(CStr&&) = default;
  CStr& operator=(const char* text) {
    std::string::operator=(text ? text : "");
    return *this;
  }
  CStr& operator+=(const CStr& other) {
    std::string::append(other);
    return *this;
  }

  // Byte-wise as unsigned values up to the first NUL, like strcmp: no locale,
  // no case folding; Cyrillic (192..255) after all ASCII.
  bool operator<(const CStr& other) const { return std::strcmp(c_str(), other.c_str()) < 0; }
  bool operator==(const CStr& other) const {
    return size() == other.size() && std::memcmp(data(), other.data(), size()) == 0;
  }
  bool operator!=(const CStr& other) const { return !(*this == other); }
};

inline CStr operator+(const CStr& a, const CStr& b) {
  CStr r(a);
  r += b;
  return r;
}

}  // namespace Str
