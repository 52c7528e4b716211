#include "framework/Application.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>

#include "framework/Forms.h"

#include "framework/Unicode.h"

namespace {
TApplication& TheApplication() {
  static TApplication app;
  return app;
}
}  // namespace

TApplication* Application = &TheApplication();

TApplication::TApplication() = default;

void TApplication::Initialize() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS;
  InitCommonControlsEx(&icc);
  // Without it OleCreateFromFile answers CO_E_NOTINITIALIZED and no OLE
  // server could ever embed the workbook.
  if (FAILED(oleInit_)) oleInit_ = OleInitialize(nullptr);
}

void TApplication::AddForm(TForm* form) {
  forms_.push_back(form);
  if (!mainForm_) mainForm_ = form;
}

void TApplication::FormDestroyed(TForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (mainForm_ == form) mainForm_ = nullptr;
}

void TApplication::DestroyForms() {
  while (!forms_.empty()) {
    TForm* f = forms_.back();
    f->Destroying();
    delete f;  // takes itself out of forms_
  }
}

void TApplication::Dispatch(MSG& msg) {
  // Tab and arrow navigation between the controls of the active form.
  HWND active = GetActiveWindow();
  if (active && TWinControl::FromHandle(active) && IsDialogMessageW(active, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void TApplication::Run() {
  try {
    if (mainForm_) mainForm_->Show();
    MSG msg;
    while (!terminated_ && mainForm_) {
      BOOL r = GetMessageW(&msg, nullptr, 0, 0);
      if (r == 0 || r == -1) {
        terminated_ = true;
        break;
      }
      Dispatch(msg);
    }
  } catch (const Exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(Exception(AnsiString()));
  }
  DestroyForms();
  if (SUCCEEDED(oleInit_)) {
    OleUninitialize();
    oleInit_ = CO_E_NOTINITIALIZED;
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    Dispatch(msg);
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

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
