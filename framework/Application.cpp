#include "framework/Application.h"

#include <windows.h>

#include "framework/Unicode.h"

namespace {
TApplication& TheApplication() {
  static TApplication app;
  return app;
}
}  // namespace

TApplication* Application = &TheApplication();

TApplication::TApplication() = default;

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags) {
  if (responder_) return responder_(text, caption, flags);
  std::wstring wtext = AnsiToWide(text);
  std::wstring wcaption = AnsiToWide(caption);
  return ::MessageBoxW(GetActiveWindow(), wtext.c_str(), wcaption.c_str(), flags);
}

TApplication::MessageBoxResponder TApplication::SetMessageBoxResponder(MessageBoxResponder responder) {
  MessageBoxResponder old = std::move(responder_);
  responder_ = std::move(responder);
  return old;
}

AnsiString TApplication::ExeName() const {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
    if (n == 0) return AnsiString();
    if (n < buf.size()) return WideToAnsi(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

void TApplication::ShowException(const Exception& e) {
  MessageBox(e.Message(), title_.empty() ? AnsiString("Ошибка") : title_, MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
