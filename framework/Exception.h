#pragma once
#include <exception>

#include "framework/AnsiString.h"

// The framework's exception type: every error meant for the user carries its
// text here, shown by the application's standard exception display.
class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message) : message_(std::move(message)) {}
  const AnsiString& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  AnsiString message_;
};
