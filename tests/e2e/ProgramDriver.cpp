#include "tests/e2e/ProgramDriver.h"

#include <algorithm>

#include "framework/Unicode.h"
#include "tests/support/TestSupport.h"

namespace {
const wchar_t kNameProp[] = L"X2Z.Name";  // set by the framework on every control window

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = L"";
  GetClassNameW(hwnd, name, 64);
  return name;
}

struct Enum {
  DWORD pid;
  std::vector<HWND>* out;
};

BOOL CALLBACK CollectTop(HWND h, LPARAM lParam) {
  auto* e = reinterpret_cast<Enum*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == e->pid) e->out->push_back(h);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND h, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(h);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> list;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
  return list;
}

// A user reaches a control only when it and every parent are enabled and shown.
bool Reachable(HWND hwnd) {
  for (HWND h = hwnd; h; h = (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr)
    if (!IsWindowEnabled(h) || !IsWindowVisible(h)) return false;
  return true;
}
}  // namespace

AnsiString WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return AnsiString();
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 5000,
                      &got);
  return WideToAnsi(text.c_str(), std::min<size_t>(got, length));
}

AnsiString ComponentName(HWND hwnd) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, kNameProp)));
  if (!atom) return AnsiString();
  char name[256] = "";
  const UINT n = GlobalGetAtomNameA(atom, name, sizeof(name));
  return AnsiString(name, n);
}

std::vector<AnsiString> ComboItems(HWND combo) {
  std::vector<AnsiString> items;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) break;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    items.push_back(WideToAnsi(text.c_str(), got < 0 ? 0 : static_cast<size_t>(got)));
  }
  return items;
}

int ComboIndex(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

ProgramDriver::~ProgramDriver() {
  if (!pi_.hProcess) return;
  if (Running()) {
    TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 5000);
  }
  CloseHandle(pi_.hThread);
  CloseHandle(pi_.hProcess);
}

bool ProgramDriver::Start(const std::string& exe, const AnsiString& arguments, const std::string& dir) {
  std::wstring cmd = L"\"" + AnsiToWide(exe) + L"\"";
  if (!arguments.empty()) cmd += L" " + AnsiToWide(arguments);
  if (const unsigned long error = StartProcess(cmd, AnsiToWide(dir), &pi_)) {
    error_ = "CreateProcess failed with error " + std::to_string(error);
    return false;
  }
  // The program is ready for input once its message loop runs.
  WaitForInputIdle(pi_.hProcess, 10000);
  return true;
}

std::vector<HWND> ProgramDriver::TopWindows() const {
  std::vector<HWND> list;
  Enum e{pi_.dwProcessId, &list};
  if (pi_.dwProcessId) EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&e));
  return list;
}

HWND ProgramDriver::WaitWindow(const AnsiString& caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND h : TopWindows())
          if (IsWindowVisible(h) && ClassOf(h) != L"#32770" && WindowText(h) == caption) found = h;
        return found != nullptr || !Running();
      },
      timeoutMs);
  return found;
}

HWND ProgramDriver::FindControl(const AnsiString& name) const {
  for (HWND top : TopWindows()) {
    if (ComponentName(top) == name) return top;
    for (HWND h : Children(top))
      if (ComponentName(h) == name) return h;
  }
  return nullptr;
}

HWND ProgramDriver::WaitControl(const AnsiString& name, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindControl(name)) != nullptr || !Running(); }, timeoutMs);
  return found;
}

ProgramBox ProgramDriver::CurrentBox() {
  answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND h) { return !IsWindow(h); }),
                  answered_.end());
  for (HWND h : TopWindows()) {
    if (ClassOf(h) != L"#32770" || !IsWindowVisible(h)) continue;
    if (std::find(answered_.begin(), answered_.end(), h) != answered_.end()) continue;
    ProgramBox box;
    box.hwnd = h;
    box.caption = WindowText(h);
    // The message is the longest text of the box's static controls (the
    // icon is a static control too, without text).
    for (HWND c : Children(h)) {
      if (ClassOf(c) != L"Static") continue;
      AnsiString text = WindowText(c);
      if (text.size() > box.text.size()) box.text = text;
    }
    return box;
  }
  return ProgramBox();
}

ProgramBox ProgramDriver::WaitBox(DWORD timeoutMs) {
  ProgramBox box;
  WaitFor([&] { return (box = CurrentBox()) || !Running(); }, timeoutMs);
  return box;
}

void ProgramDriver::Answer(const ProgramBox& box, int id) {
  if (!box) return;
  answered_.push_back(box.hwnd);
  PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  WaitFor([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, 5000);
}

bool ProgramDriver::SelectComboItem(HWND combo, int index) {
  if (!combo || !Reachable(combo)) return false;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG, 5000, &result) ||
      static_cast<int>(result) != index)
    return false;
  // Posted, not sent: the change handler may open a message box of its own.
  const int id = GetDlgCtrlID(combo);
  return PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo)) !=
         FALSE;
}

bool ProgramDriver::Click(HWND button) {
  if (!button || !Reachable(button)) return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

void ProgramDriver::Close(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool ProgramDriver::Running() const {
  return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool ProgramDriver::WaitExit(DWORD timeoutMs, DWORD& exitCode) {
  exitCode = 0;
  if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(pi_.hProcess, &exitCode);
  return true;
}

HWND FindSheetView(const ProgramDriver& program) {
  HWND ole = program.FindControl("OleContainerForm");
  if (!ole) return nullptr;
  for (HWND h : Children(ole))
    if (ClassOf(h) == L"X2ZSpreadsheetView") return h;
  return nullptr;
}

HWND SheetViewEditor(HWND view) { return FindWindowExW(view, nullptr, L"EDIT", nullptr); }

void SendKey(HWND to, WPARAM vk) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(to, WM_KEYDOWN, vk, 1, SMTO_ABORTIFHUNG, 5000, &result);
}

bool TypeInView(HWND view, const std::wstring& text) {
  DWORD_PTR result = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    HWND to = i == 0 ? view : SheetViewEditor(view);
    if (!to) return false;
    SendMessageTimeoutW(to, WM_CHAR, text[i], 1, SMTO_ABORTIFHUNG, 5000, &result);
  }
  return SheetViewEditor(view) != nullptr;
}

void UndoInView(HWND view) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(view, WM_SYSKEYDOWN, VK_BACK, 1 | (1 << 29), SMTO_ABORTIFHUNG, 5000, &result);
}
