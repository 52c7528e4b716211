// The real program: started with a well-formed command line it opens its
// main window, makes its settings folder beside itself, and ends with 0 once
// the window is closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "framework/Unicode.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TinyXlsx.h"

namespace {
struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK FindMainWindow(HWND h, LPARAM lParam) {
  auto* f = reinterpret_cast<Found*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t text[128] = L"";
  GetWindowTextW(h, text, 128);
  if (pid == f->pid && IsWindowVisible(h) && WideToAnsi(text, wcslen(text)).rfind("Перевод XLS", 0) == 0) {
    f->window = h;
    return FALSE;
  }
  return TRUE;
}
// A message box of the process (its dialog class), such as an open error.
BOOL CALLBACK FindDialog(HWND h, LPARAM lParam) {
  auto* f = reinterpret_cast<Found*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[32] = L"";
  GetClassNameW(h, cls, 32);
  if (pid == f->pid && IsWindowVisible(h) && wcscmp(cls, L"#32770") == 0) {
    f->window = h;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

TEST(Program, StartsItsWindowAndEndsWithZeroWhenItCloses) {
  const char* bin = std::getenv("X2Z_BINARY_DIR");
  if (!bin) GTEST_SKIP() << "X2Z_BINARY_DIR is not set";
  const std::string exe = HostPath(std::string(bin) + "/app/xls2zalbiro.exe");
  ASSERT_TRUE(FileExists(exe)) << exe;
  TempDir dir;
  const std::string copy = dir.File("xls2zalbiro.exe");
  ASSERT_TRUE(CopyFileA(exe.c_str(), copy.c_str(), FALSE));

  // The workbook the command line names; the built-in engine shows it.
  WriteFileBytes(dir.File("book.xlsx"), TinyXlsx({{"Лист1", {{1, 1, "Шифр"}}}}));
  PROCESS_INFORMATION pi{};
  ASSERT_EQ(StartProcess(AnsiToWide("\"" + copy + "\" book.xlsx?list.txt?"), AnsiToWide(dir.Path()), &pi), 0u);
  Found found{pi.dwProcessId, nullptr};
  for (int i = 0; i < 200 && !found.window; ++i) {
    Sleep(50);
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
  }
  EXPECT_NE(found.window, nullptr) << "the main window opened";
  DWORD attributes = GetFileAttributesA(dir.File("XLS2ZALBIRO").c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  // The built-in engine opened the workbook: no open error is waiting.
  Sleep(1000);
  Found dialog{pi.dwProcessId, nullptr};
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
  EXPECT_EQ(dialog.window, nullptr) << "a message box is open";
  if (dialog.window) PostMessageW(dialog.window, WM_COMMAND, IDOK, 0);
  if (found.window) PostMessageW(found.window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the program did not end after its window closed";
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}
