#pragma once
// Drives the real program from another process of the same window station,
// as a user would: starts it with a command line, finds its windows and
// controls, picks combo items, clicks buttons, reads and answers its message
// boxes, and waits for it to end. Every wait has a timeout, so a program that
// hangs fails the test instead of stopping the run.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/AnsiString.h"

// Text of any window, converted to Windows-1251.
AnsiString WindowText(HWND hwnd);
// The component name the program's framework gives the window ("" if none).
AnsiString ComponentName(HWND hwnd);
// Items of a combo box of another process, in order.
std::vector<AnsiString> ComboItems(HWND combo);
int ComboIndex(HWND combo);

// A message box of the program: a dialog of class #32770.
struct ProgramBox {
  HWND hwnd = nullptr;
  AnsiString text;
  AnsiString caption;
  explicit operator bool() const { return hwnd != nullptr; }
};

class ProgramDriver {
 public:
  ProgramDriver() = default;
  // Ends a program still running, so one failed test does not leave it behind.
  ~ProgramDriver();
  ProgramDriver(const ProgramDriver&) = delete;
  ProgramDriver& operator=(const ProgramDriver&) = delete;

  // Starts exe with the argument text (passed as the raw command-line tail),
  // in the working folder dir. False (with the reason in Error()) on failure.
  bool Start(const std::string& exe, const AnsiString& arguments, const std::string& dir);
  DWORD ProcessId() const { return pi_.dwProcessId; }
  const std::string& Error() const { return error_; }

  // The visible top-level window of the program whose caption is caption.
  HWND WaitWindow(const AnsiString& caption, DWORD timeoutMs);
  // A control of any of the program's top-level windows, by component name;
  // nullptr if none carries it.
  HWND FindControl(const AnsiString& name) const;
  // Waits until the control exists; nullptr after the timeout.
  HWND WaitControl(const AnsiString& name, DWORD timeoutMs);

  // The next message box the program shows (one not answered yet); an empty
  // box after the timeout or when the program ended first.
  ProgramBox WaitBox(DWORD timeoutMs);
  // Any box of the program open right now (not answered yet).
  ProgramBox CurrentBox();
  // Presses a box button by its command id (IDOK, IDYES, IDNO, IDCANCEL).
  void Answer(const ProgramBox& box, int id);

  // Selects item index of a combo box as a mouse choice does: the selection,
  // then the change notification to the box's parent.
  bool SelectComboItem(HWND combo, int index);
  // Clicks a push button (its own click, so a disabled button stays silent).
  bool Click(HWND button);
  // Asks a top-level window to close, as its close button does.
  void Close(HWND window);

  // Polls cond() every 20 ms until it holds or the timeout passes.
  template <class F>
  static bool WaitFor(F cond, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
      if (cond()) return true;
      if (GetTickCount() - start > timeoutMs) return false;
      Sleep(20);
    }
  }

  bool Running() const;
  // Waits for the program to end; false after the timeout.
  bool WaitExit(DWORD timeoutMs, DWORD& exitCode);

 private:
  std::vector<HWND> TopWindows() const;

  PROCESS_INFORMATION pi_{};
  std::string error_;
  std::vector<HWND> answered_;
};

// ---- the built-in workbook engine's sheet view, driven by its keys ----

// The sheet view inside the program's embedded workbook window; nullptr if none.
HWND FindSheetView(const ProgramDriver& program);
// The view's in-place editor while it is open; nullptr otherwise.
HWND SheetViewEditor(HWND view);
// A key without modifiers, sent to the view or its editor.
void SendKey(HWND to, WPARAM vk);
// Typing over the view's current cell: the first character opens the editor,
// which takes the rest. False if no editor opened.
bool TypeInView(HWND view, const std::wstring& text);
// Alt+Backspace: undo, as in Excel.
void UndoInView(HWND view);
