#pragma once
// The application object. It exists from program load on (as the desktop
// framework's does), so its message box serves even before Initialize.
#include <windows.h>
// windows.h maps MessageBox to MessageBoxA/W; the application's member keeps
// its own name (windows.h is guarded, so the macro does not come back).
#undef MessageBox

#include <functional>
#include <vector>

#include "framework/AnsiString.h"
#include "framework/Exception.h"

class TForm;

class TApplication {
 public:
  // Answers a message box instead of the platform: gets text, caption and
  // flags, returns the button id (IDOK, IDYES, ...). Tests install one.
  using MessageBoxResponder = std::function<int(const AnsiString& text, const AnsiString& caption, unsigned flags)>;

  TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Registers the common control classes and initialises OLE on this thread
  // for the program's life, as the desktop framework does for programs with
  // OLE containers; call before creating forms. Run uninitialises OLE after
  // the last form is gone.
  void Initialize();
  // What OleInitialize answered (S_OK, S_FALSE, or the failure).
  HRESULT OleInitResult() const { return oleInit_; }
  // Creates a form owned by the application; the first one becomes the main
  // form, whose closing ends Run.
  template <class T>
  void CreateForm(T*& reference) {
    reference = nullptr;
    T* form = new T(nullptr);
    reference = form;
    AddForm(form);
  }
  TForm* MainForm() const { return mainForm_; }
  // Shows the main form and dispatches messages until Terminate (or WM_QUIT);
  // then deletes the application's forms.
  void Run();
  // Dispatches every message waiting now (timers included) and returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Deletes the forms CreateForm made, the last first.
  void DestroyForms();
  // Called by a form's destructor.
  void FormDestroyed(TForm* form);

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
  void AddForm(TForm* form);
  void Dispatch(MSG& msg);

  std::vector<TForm*> forms_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  MessageBoxResponder responder_;
  AnsiString title_;
  // CO_E_NOTINITIALIZED until Initialize; OleUninitialize is owed on success.
  HRESULT oleInit_ = CO_E_NOTINITIALIZED;
};

extern TApplication* Application;
