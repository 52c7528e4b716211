#include "framework/Forms.h"

#include <algorithm>

#include "framework/Application.h"

namespace {
const UINT kReleaseMessage = WM_APP + 0x100;

TScreen& TheScreen() {
  static TScreen screen;
  return screen;
}
}  // namespace

TScreen* Screen = &TheScreen();

HCURSOR TScreen::CursorHandle() const {
  // Shared system cursors: loaded once, asked for at every mouse move.
  static const HCURSOR wait = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)) /* IDC_WAIT */;
  static const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)) /* IDC_ARROW */;
  return cursor_ == crHourGlass ? wait : arrow;
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  // Show the change now rather than at the next mouse move.
  POINT p{};
  GetCursorPos(&p);
  HWND under = WindowFromPoint(p);
  if (under && GetWindowThreadProcessId(under, nullptr) == GetCurrentThreadId())
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  else
    ::SetCursor(CursorHandle());
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  RegisterOwnClass(L"X2ZForm", CS_DBLCLKS, nullptr, true);
  HWND ownerWindow = nullptr;
  if (auto* f = dynamic_cast<TForm*>(owner)) ownerWindow = f->Handle();
  CreateHandle(L"X2ZForm", StyleFor(borderStyle_), WS_EX_CONTROLPARENT, TRect{100, 100, 500, 400}, ownerWindow,
               true);
  parentFont_ = false;
}

TForm::~TForm() {
  Destroying();
  Application->FormDestroyed(this);
  // Windows destroys owned windows with their owner; the forms owned here
  // go first, while their windows still exist for their OnDestroy.
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    if (i >= ComponentCount()) continue;
    if (auto* f = dynamic_cast<TForm*>(Components(i))) delete f;
  }
}

void TForm::Destroying() {
  if (destroyed_) return;
  destroyed_ = true;
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (const Exception& e) {
      Application->ShowException(e);
    } catch (...) {
      Application->ShowException(Exception(AnsiString()));
    }
  }
}

DWORD TForm::StyleFor(TFormBorderStyle style) const {
  switch (style) {
    case bsNone: return WS_POPUP | WS_CLIPCHILDREN;
    case bsSingle: return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    default: return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  }
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  if (borderStyle_ == style) return;
  borderStyle_ = style;
  LONG_PTR s = GetWindowLongPtrW(Handle(), GWL_STYLE);
  s &= ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW | WS_POPUP);
  s |= StyleFor(style);
  SetWindowLongPtrW(Handle(), GWL_STYLE, s);
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::SetFormStyle(TFormStyle style) {
  if (formStyle_ == style) return;
  formStyle_ = style;
  SetWindowPos(Handle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::ApplyConstraints(int& width, int& height) const {
  if (constraints_.MinWidth > 0) width = std::max(width, constraints_.MinWidth);
  if (constraints_.MinHeight > 0) height = std::max(height, constraints_.MinHeight);
  if (constraints_.MaxWidth > 0) width = std::min(width, constraints_.MaxWidth);
  if (constraints_.MaxHeight > 0) height = std::min(height, constraints_.MaxHeight);
}

void TForm::SetConstraints(const TSizeConstraints& constraints) {
  constraints_ = constraints;
  TRect b = BoundsRect();
  int w = b.Width(), h = b.Height();
  ApplyConstraints(w, h);
  if (w != b.Width() || h != b.Height()) SetBoundsRaw(b.Left, b.Top, w, h);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  ApplyConstraints(width, height);
  TWinControl::SetBounds(left, top, width, height);
}

TWindowState TForm::WindowState() const {
  if (!Visible()) return pendingState_;
  if (IsIconic(Handle())) return wsMinimized;
  if (IsZoomed(Handle())) return wsMaximized;
  return wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
  pendingState_ = state;
  if (!Visible()) return;
  ShowWindow(Handle(), state == wsMinimized ? SW_MINIMIZE : state == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TForm::SetVisible(bool value) {
  if (value && !shownOnce_) {
    shownOnce_ = true;
    if (position_ == poScreenCenter) {
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      TRect b = BoundsRect();
      SetBoundsRaw(work.left + (work.right - work.left - b.Width()) / 2,
                   work.top + (work.bottom - work.top - b.Height()) / 2, b.Width(), b.Height());
    }
  }
  if (Visible() == value) return;
  if (!value) {
    ShowWindow(Handle(), SW_HIDE);
    return;
  }
  ShowWindow(Handle(), pendingState_ == wsMinimized   ? SW_SHOWMINIMIZED
                       : pendingState_ == wsMaximized ? SW_SHOWMAXIMIZED
                                                      : SW_SHOW);
  if (OnShow) OnShow(this);
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TForm::Release() { PostMessageW(Handle(), kReleaseMessage, 0, 0); }

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        if (OnActivate) OnActivate(this);
      } else if (OnDeactivate) {
        OnDeactivate(this);
      }
      break;
    case WM_GETMINMAXINFO: {
      // Holds the size constraints while the user drags the frame.
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
      if (constraints_.MinWidth > 0) mmi->ptMinTrackSize.x = constraints_.MinWidth;
      if (constraints_.MinHeight > 0) mmi->ptMinTrackSize.y = constraints_.MinHeight;
      if (constraints_.MaxWidth > 0) mmi->ptMaxTrackSize.x = constraints_.MaxWidth;
      if (constraints_.MaxHeight > 0) mmi->ptMaxTrackSize.y = constraints_.MaxHeight;
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(Handle(), &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, ColorBrush());
      return 1;
    }
    case WM_SIZE: {
      LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      if (OnResize) OnResize(this);
      return r;
    }
    default:
      if (msg == kReleaseMessage) {
        Destroying();
        delete this;
        return 0;
      }
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
