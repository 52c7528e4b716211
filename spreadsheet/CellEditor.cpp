#include "spreadsheet/CellEditor.h"

namespace Spreadsheet {

namespace {
const wchar_t kSelfProp[] = L"X2Z.CellEditor";
}  // namespace

void CellEditor::Open(HWND parent, const RECT& rect, HFONT font, const std::wstring& text, bool arrowsMove,
                      Handlers handlers) {
  Close();
  hwnd_ = CreateWindowExW(0, L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, rect.left,
                          rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return;
  initial_ = text;
  arrowsMove_ = arrowsMove;
  handlers_ = std::move(handlers);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Subclassed by hand: comctl32's helpers would load that library, whose
  // control theming changes how the rest of the program draws under Wine.
  SetPropW(hwnd_, kSelfProp, this);
  original_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  SetFocus(hwnd_);
  int end = GetWindowTextLengthW(hwnd_);
  SendMessageW(hwnd_, EM_SETSEL, end, end);
}

void CellEditor::Close() {
  if (!hwnd_) return;
  HWND h = hwnd_;
  hwnd_ = nullptr;
  SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
  RemovePropW(h, kSelfProp);
  DestroyWindow(h);
}

std::wstring CellEditor::Text() const {
  if (!hwnd_) return std::wstring();
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd_, &s[0], n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

void CellEditor::Move(const RECT& rect) {
  if (hwnd_) MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

LRESULT CALLBACK CellEditor::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<CellEditor*>(GetPropW(hwnd, kSelfProp));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->Handle(msg, wp, lp);
  } catch (...) {
    return CallWindowProcW(self->original_, hwnd, msg, wp, lp);
  }
}

LRESULT CellEditor::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  HWND h = hwnd_;
  bool shift = GetKeyState(VK_SHIFT) < 0;
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_KEYDOWN:
      // The handlers may close this editor: nothing of it is used after them.
      switch (wp) {
        case VK_RETURN: handlers_.commit(shift ? -1 : 1, 0); return 0;
        case VK_TAB: handlers_.commit(0, shift ? -1 : 1); return 0;
        case VK_ESCAPE: handlers_.cancel(); return 0;
        case VK_UP: if (arrowsMove_) { handlers_.commit(-1, 0); return 0; } break;
        case VK_DOWN: if (arrowsMove_) { handlers_.commit(1, 0); return 0; } break;
        case VK_LEFT: if (arrowsMove_) { handlers_.commit(0, -1); return 0; } break;
        case VK_RIGHT: if (arrowsMove_) { handlers_.commit(0, 1); return 0; } break;
      }
      break;
    case WM_CHAR:
      if (wp == L'\r' || wp == L'\t' || wp == 27) return 0;  // handled as keys; no beep
      break;
  }
  return CallWindowProcW(original_, h, msg, wp, lp);
}

}  // namespace Spreadsheet
