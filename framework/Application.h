#pragma once
// The application object. It exists from program load on (as the desktop
// framework's does), so its message box serves even before Initialize.
#include <windows.h>
// windows.h maps MessageBox to MessageBoxA/W; the application's member keeps
// its own name (windows.h is guarded, so the macro does not come back).
#undef MessageBox

#include <functional>

#include "framework/AnsiString.h"
#include "framework/Exception.h"

class TApplication {
 public:
  // Answers a message box instead of the platform: gets text, caption and
  // flags, returns the button id (IDOK, IDYES, ...). Tests install one.
  using MessageBoxResponder = std::function<int(const AnsiString& text, const AnsiString& caption, unsigned flags)>;

  TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The platform's modal message box with exactly the given flags.
  int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags);
  // Returns the responder that was installed before.
  MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);

  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& title) { title_ = title; }
  // Full path of the running executable.
  AnsiString ExeName() const;

  // The standard exception display: a message box with the exception's text.
  void ShowException(const Exception& e);

 private:
  MessageBoxResponder responder_;
  AnsiString title_;
};

extern TApplication* Application;
