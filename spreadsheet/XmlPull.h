#pragma once
// A small non-validating XML pull parser for the parts of an .xlsx package:
// elements, attributes, text, CDATA and the predefined and numeric character
// references. A document type declaration is refused (no DTD is processed,
// so no entity can expand), as are malformed or too deeply nested documents.
// Portable C++: it reads bytes from a source and throws ReadError.
//
// Wine's XmlLite was meant for this, but under Wine it fails with 0xC00CEE25
// part-way through well-formed parts of a few megabytes, at positions that
// change with the input stream's chunking, so the engine carries its own.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace Spreadsheet {

class XmlSource {
 public:
  virtual ~XmlSource() = default;
  // Up to n bytes into buf; 0 at the end. Throws ReadError on damaged input.
  virtual size_t Read(char* buf, size_t n) = 0;
};

class XmlPull {
 public:
  enum Node { kElement, kEndElement, kText, kEnd };

  explicit XmlPull(XmlSource& source) : source_(source) {}

  Node Next();
  // Local name (namespace prefix dropped) of the element or end element.
  const std::string& Name() const { return name_; }
  bool NameIs(const char* name) const { return name_ == name; }
  // An element written as <x/>: no end element follows it.
  bool IsEmpty() const { return empty_; }
  // The element's attributes: local name and unescaped value (UTF-8).
  const std::vector<std::pair<std::string, std::string>>& Attributes() const { return attrs_; }
  const std::string* Attribute(const char* name) const;
  // Unescaped text of a text or CDATA node (UTF-8).
  const std::string& Text() const { return text_; }

 private:
  int Peek() {
    if (pos_ == len_ && !Fill()) return -1;
    return static_cast<unsigned char>(buf_[pos_]);
  }
  int Get() {
    int c = Peek();
    if (c >= 0) ++pos_;
    return c;
  }
  bool Fill();
  int Must();
  void Expect(const char* literal);
  void ReadName(std::string& out);
  void SkipSpace();
  void ReadReference(std::string& out);
  void SkipUntil(const char* terminator);
  void ReadStartTag();

  XmlSource& source_;
  char buf_[65536];
  size_t pos_ = 0, len_ = 0;
  bool started_ = false;
  bool pendingEnd_ = false;
  std::string name_, text_;
  bool empty_ = false;
  std::vector<std::pair<std::string, std::string>> attrs_;
  std::vector<std::string> open_;
};

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::wstring Utf8ToWide(const std::string& s);
void AppendUtf8(std::string& out, unsigned long code);
// A character XML 1.0 allows in a document.
bool IsXmlChar(unsigned long code);

}  // namespace Spreadsheet
