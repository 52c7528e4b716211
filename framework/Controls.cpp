#include "framework/Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/Unicode.h"

namespace {
const wchar_t kNameProp[] = L"X2Z.Name";

// The wrapper of each of our windows. Looked up for every message a window
// gets, so kept in the process: a window property costs a round trip to the
// window system's server under Wine (60 us a message, a third of a
// conversion run's time in the window).
class TWindowMap {
 public:
  void Link(HWND hwnd, TWinControl* control) {
    std::lock_guard<std::mutex> lock(mutex_);
    map_[hwnd] = control;
  }
  void Unlink(HWND hwnd) {
    std::lock_guard<std::mutex> lock(mutex_);
    map_.erase(hwnd);
  }
  TWinControl* Find(HWND hwnd) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = map_.find(hwnd);
    return it == map_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HWND, TWinControl*> map_;
};

TWindowMap& Windows() {
  static TWindowMap map;
  return map;
}

void DropNameProp(HWND hwnd) {
  if (HANDLE atom = RemovePropW(hwnd, kNameProp)) GlobalDeleteAtom(static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(atom)));
}

bool Contains(const std::vector<TWinControl*>& list, const TWinControl* c) {
  return std::find(list.begin(), list.end(), c) != list.end();
}

// One tooltip window serves every control that shows a hint.
HWND HintWindow(bool make = true) {
  static HWND tip = nullptr;
  if (make && (!tip || !IsWindow(tip))) {
    tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  }
  return tip;
}

// Adds hwnd to the hint window with text, or with none removes it.
bool HintTool(HWND hwnd, const AnsiString* text) {
  std::wstring wide = text ? AnsiToWide(*text) : std::wstring();
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  // Mouse messages reach the hint window from StaticWndProc: comctl32's own
  // subclassing keeps its data in a window property, which Wine reads from
  // its server at every message to the window.
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = hwnd;
  ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
  ti.lpszText = &wide[0];
  HWND tip = HintWindow(text != nullptr);
  return tip && SendMessageW(tip, text ? TTM_ADDTOOLW : TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}
}  // namespace

COLORREF ColorToRGB(TColor color) {
  unsigned u = static_cast<unsigned>(color);
  if ((u & 0xFF000000u) == 0xFF000000u) return GetSysColor(static_cast<int>(u & 0xFFu));
  return static_cast<COLORREF>(u & 0xFFFFFFu);
}

// ---- TFont ----

TFont::~TFont() { FreeHandle(); }

void TFont::SetName(const AnsiString& name) {
  if (name_ == name) return;
  name_ = name;
  Changed(true);
}
void TFont::SetHeight(int height) {
  if (height_ == height) return;
  height_ = height;
  Changed(true);
}
void TFont::SetStyle(TFontStyles style) {
  if (style_ == style) return;
  style_ = style;
  Changed(true);
}
void TFont::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  Changed(false);
}
void TFont::Assign(const TFont& other) {
  if (this == &other) return;
  const bool gdi = name_ != other.name_ || height_ != other.height_ || style_ != other.style_;
  if (!gdi && color_ == other.color_) return;
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  color_ = other.color_;
  Changed(gdi);
}
void TFont::Changed(bool gdi) {
  if (gdi) {
    FreeHandle();
    ++generation_;
  }
  if (OnChange) OnChange();
}
void TFont::FreeHandle() const {
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
}
HFONT TFont::Handle() const {
  if (!handle_) {
    std::wstring face = AnsiToWide(name_);
    handle_ = CreateFontW(height_, 0, 0, 0, (style_ & fsBold) ? FW_BOLD : FW_NORMAL, (style_ & fsItalic) != 0,
                          (style_ & fsUnderline) != 0, (style_ & fsStrikeOut) != 0, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          face.c_str());
  }
  return handle_;
}

HDC MeasuringDC() {
  static HDC dc = CreateCompatibleDC(nullptr);
  return dc;
}

// ---- TComponent ----

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Each owned component takes itself out of the list as it goes.
  while (!components_.empty()) delete components_.back();
  if (owner_) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

TComponent* TComponent::Components(int index) const { return components_.at(static_cast<size_t>(index)); }

// ---- TControl ----

void TControl::InitFontLink() {
  font_.OnChange = [this] {
    if (!inheriting_) parentFont_ = false;
    FontChanged();
  };
}

void TControl::SetAlign(TAlign align) {
  if (align_ == align) return;
  align_ = align;
  LayoutChanged();
}
void TControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
  LayoutChanged();
}
void TControl::SetParentFont(bool value) {
  parentFont_ = value;
  if (value && parent_) {
    inheriting_ = true;
    font_.Assign(static_cast<TControl*>(parent_)->font_);
    inheriting_ = false;
  }
}
void TControl::SetColor(TColor color) {
  if (!inheriting_) parentColor_ = false;
  if (color_ == color) return;
  color_ = color;
  ColorChanged();
}
void TControl::SetParentColor(bool value) {
  parentColor_ = value;
  if (value && parent_) {
    inheriting_ = true;
    SetColor(static_cast<TControl*>(parent_)->color_);
    inheriting_ = false;
  }
}
void TControl::SetHint(const AnsiString& hint) {
  hint_ = hint;
  HintChanged();
}
void TControl::SetShowHint(bool value) {
  showHint_ = value;
  HintChanged();
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { InitFontLink(); }

TWinControl::~TWinControl() {
  destroying_ = true;
  while (!children_.empty()) delete children_.back();
  if (parent_) {
    auto& list = parent_->children_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (!parent_->destroying_) parent_->Realign();
    parent_ = nullptr;
  }
  if (handle_) {
    if (hintTool_) HintTool(handle_, nullptr);
    HWND h = handle_;
    Unlink();
    DestroyWindow(h);
  }
  if (colorBrush_) DeleteObject(colorBrush_);
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  return Windows().Find(hwnd);
}

void TWinControl::Unlink() {
  if (!handle_) return;
  Windows().Unlink(handle_);
  if (nameProp_) DropNameProp(handle_);
  nameProp_ = false;
  if (defProc_ && defProc_ != DefWindowProcW)
    SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defProc_));
  handle_ = nullptr;
}

void TWinControl::RegisterOwnClass(const wchar_t* name, UINT style, HBRUSH background, bool withIcon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = StaticWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  static const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)) /* IDC_ARROW */;
  wc.hCursor = arrow;
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  // Only top-level windows show an icon. Both sizes are given: Windows
  // would otherwise scale a small copy for every class (dozens of round
  // trips to Wine's server each).
  if (withIcon) {
    static const HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)) /* IDI_APPLICATION */;
    static const HICON small = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    wc.hIcon = icon;
    wc.hIconSm = small;
  }
  RegisterClassExW(&wc);
}

namespace {
LRESULT CALLBACK ParkingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
}

// Children are born here and moved to their parent by SetParent. Controls
// such as the combo box remember the window they were created in and keep
// sending their notifications to it, so this window routes them as a parent would.
HWND TWinControl::ParkingWindow() {
  static HWND parking = nullptr;
  if (!parking || !IsWindow(parking)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ParkingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"X2ZParking";
    RegisterClassExW(&wc);
    parking = CreateWindowExW(WS_EX_TOOLWINDOW, L"X2ZParking", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  return parking;
}

namespace {
LRESULT CALLBACK ParkingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  struct Router : TWinControl {
    using TWinControl::RouteChildMessage;
  };
  try {
    LRESULT r = 0;
    if (Router::RouteChildMessage(msg, wParam, lParam, r)) return r;
  } catch (const Exception& e) {
    Application->ShowException(e);
    return 0;
  } catch (...) {
    Application->ShowException(Exception(AnsiString()));
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

void TWinControl::CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, const TRect& bounds,
                               HWND parentOrOwner, bool topLevel) {
  static UINT nextId = 100;
  topLevel_ = topLevel;
  HWND parent = topLevel ? parentOrOwner : parent_ ? parent_->handle_ : TCreateIn::Window();
  if (!parent && !topLevel) parent = ParkingWindow();
  if (!topLevel) style |= WS_CHILD | WS_CLIPSIBLINGS;
  HMENU id = topLevel ? nullptr : reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nextId++));
  HWND h = CreateWindowExW(exStyle, className, L"", style, bounds.Left, bounds.Top, std::max(0, bounds.Width()),
                           std::max(0, bounds.Height()), parent, id, GetModuleHandleW(nullptr), this);
  if (!h) throw Exception("Не удалось создать окно " + ClassName() + " (ошибка " + IntToStr(GetLastError()) + ")");
  if (!handle_) {
    // A standard control: link and subclass it.
    handle_ = h;
    Windows().Link(h, this);
    defProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWndProc)));
  }
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
  fontSent_ = font_.Generation();
  NameChanged();
}

void TWinControl::NameChanged() {
  if (!handle_) return;
  if (nameProp_) DropNameProp(handle_);
  nameProp_ = false;
  if (Name().empty()) return;
  if (ATOM atom = GlobalAddAtomA(Name().c_str())) {
    nameProp_ = SetPropW(handle_, kNameProp, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom))) != FALSE;
    if (!nameProp_) GlobalDeleteAtom(atom);
  }
}

void TWinControl::RecreateHandle(const wchar_t* className, DWORD style, DWORD exStyle) {
  TRect b = BoundsRect();
  bool visible = Visible();
  bool enabled = Enabled();
  AnsiString text = Caption();
  // The children move to the parking window meanwhile.
  for (TWinControl* c : children_) ::SetParent(c->handle_, ParkingWindow());
  HWND old = handle_;
  if (hintTool_) HintTool(old, nullptr);
  hintTool_ = false;
  Unlink();
  DestroyWindow(old);
  CreateHandle(className, style | (visible ? WS_VISIBLE : 0), exStyle);
  for (TWinControl* c : children_) ::SetParent(c->handle_, handle_);
  SetBoundsRaw(b.Left, b.Top, b.Width(), b.Height());
  EnableWindow(handle_, enabled);
  SetWindowTextW(handle_, AnsiToWide(text).c_str());
  HintChanged();
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* self = FromHandle(hwnd);
  if (!self && msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<TWinControl*>(cs->lpCreateParams);
    if (self) {
      self->handle_ = hwnd;
      self->defProc_ = DefWindowProcW;
      Windows().Link(hwnd, self);
    }
  }
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  // A window's last message: its handle may be given to another window next.
  if (msg == WM_NCDESTROY) {
    Windows().Unlink(hwnd);
    if (self->hintTool_) HintTool(hwnd, nullptr);
    self->hintTool_ = false;
  }
  if (self->hintTool_ && msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    MSG relayed{hwnd, msg, wParam, lParam, 0, {}};
    SendMessageW(HintWindow(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  // No exception crosses into Windows: the standard display shows it here.
  try {
    return self->WndProc(msg, wParam, lParam);
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (...) {
    Application->ShowException(Exception(AnsiString()));
  }
  return 0;
}

bool TWinControl::RouteChildMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (TWinControl* c = FromHandle(reinterpret_cast<HWND>(lParam))) {
        c->CommandNotify(HIWORD(wParam));
        result = 0;
        return true;
      }
      return false;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (TWinControl* c = FromHandle(header->hwndFrom)) {
        result = 0;
        return c->Notify(header, result);
      }
      return false;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (TWinControl* c = FromHandle(dis->hwndItem)) {
        if (c->DrawItem(dis)) {
          result = TRUE;
          return true;
        }
      }
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (TWinControl* c = FromHandle(reinterpret_cast<HWND>(lParam))) {
        if (HBRUSH b = c->CtlColor(reinterpret_cast<HDC>(wParam))) {
          result = reinterpret_cast<LRESULT>(b);
          return true;
        }
      }
      return false;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (TWinControl* c = FromHandle(reinterpret_cast<HWND>(lParam))) {
        c->ScrollNotify(LOWORD(wParam));
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(defProc_ ? defProc_ : DefWindowProcW, handle_, msg, wParam, lParam);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_HSCROLL:
    case WM_VSCROLL: {
      LRESULT r = 0;
      if (RouteChildMessage(msg, wParam, lParam, r)) return r;
      break;
    }
    case WM_SIZE: {
      LRESULT r = DefaultHandler(msg, wParam, lParam);
      AlignControls();
      return r;
    }
    case WM_SETCURSOR:
      if (Screen->Cursor() != crDefault) {
        ::SetCursor(Screen->CursorHandle());
        return TRUE;
      }
      break;
    default:
      break;
  }
  return DefaultHandler(msg, wParam, lParam);
}

HBRUSH TWinControl::ColorBrush() {
  if (!colorBrush_) colorBrush_ = CreateSolidBrush(ColorToRGB(color_));
  return colorBrush_;
}

HBRUSH TWinControl::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(font_.Color()));
  SetBkColor(dc, ColorToRGB(color_));
  return ColorBrush();
}

void TWinControl::FontChanged() {
  if (handle_ && fontSent_ != font_.Generation()) {
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
    fontSent_ = font_.Generation();
  } else {
    Invalidate();  // the colour alone: the same font, drawn anew
  }
  for (TWinControl* c : children_) {
    if (!c->parentFont_) continue;
    c->inheriting_ = true;
    c->font_.Assign(font_);
    c->inheriting_ = false;
  }
}

void TWinControl::ColorChanged() {
  if (colorBrush_) DeleteObject(colorBrush_);
  colorBrush_ = nullptr;
  Invalidate();
  for (TWinControl* c : children_) {
    if (!c->parentColor_) continue;
    c->inheriting_ = true;
    c->SetColor(color_);
    c->inheriting_ = false;
  }
}

void TWinControl::HintChanged() {
  if (!handle_) return;
  if (hintTool_) HintTool(handle_, nullptr);
  hintTool_ = showHint_ && !hint_.empty() && HintTool(handle_, &hint_);
}

void TWinControl::LayoutChanged() {
  RememberAnchorBase();
  if (parent_) parent_->Realign();
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == parent_ || topLevel_) return;
  for (TWinControl* p = parent; p; p = p->parent_)
    if (p == this) throw Exception("Элемент не может быть вложен сам в себя");
  TWinControl* old = parent_;
  if (old) old->children_.erase(std::remove(old->children_.begin(), old->children_.end(), this), old->children_.end());
  parent_ = parent;
  if (parent_ && !Contains(parent_->children_, this)) parent_->children_.push_back(this);
  const HWND target = parent_ ? parent_->handle_ : ParkingWindow();
  if (::GetParent(handle_) != target) ::SetParent(handle_, target);
  if (parent_) {
    if (parentFont_) SetParentFont(true);
    if (parentColor_) SetParentColor(true);
  }
  RememberAnchorBase();
  if (old) old->Realign();
  if (parent_) parent_->Realign();
}

void TWinControl::SetLeft(int v) {
  TRect b = BoundsRect();
  SetBounds(v, b.Top, b.Width(), b.Height());
}
void TWinControl::SetTop(int v) {
  TRect b = BoundsRect();
  SetBounds(b.Left, v, b.Width(), b.Height());
}
void TWinControl::SetWidth(int v) {
  TRect b = BoundsRect();
  SetBounds(b.Left, b.Top, v, b.Height());
}
void TWinControl::SetHeight(int v) {
  TRect b = BoundsRect();
  SetBounds(b.Left, b.Top, b.Width(), v);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  SetBoundsRaw(left, top, width, height);
  RememberAnchorBase();
  if (align_ != alNone && parent_) parent_->Realign();
}

void TWinControl::SetBoundsRaw(int left, int top, int width, int height) {
  if (!handle_) return;
  width = std::max(0, width);
  height = std::max(0, height);
  // Alignment passes place most windows where they already are; a move to
  // the same place would still cost Wine a round trip and a repaint.
  const TRect b = BoundsRect();
  if (b.Left == left && b.Top == top && b.Width() == width && b.Height() == height) return;
  SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

TRect TWinControl::BoundsRect() const {
  RECT r{};
  if (!handle_) return TRect();
  GetWindowRect(handle_, &r);
  if (!topLevel_) {
    HWND p = GetParent(handle_);
    if (p) MapWindowPoints(HWND_DESKTOP, p, reinterpret_cast<POINT*>(&r), 2);
  }
  return TRect{r.left, r.top, r.right, r.bottom};
}

int TWinControl::ClientWidth() const {
  RECT r{};
  GetClientRect(handle_, &r);
  return r.right - r.left;
}
int TWinControl::ClientHeight() const {
  RECT r{};
  GetClientRect(handle_, &r);
  return r.bottom - r.top;
}
void TWinControl::SetClientSize(int width, int height) {
  TRect b = BoundsRect();
  SetBounds(b.Left, b.Top, b.Width() + width - ClientWidth(), b.Height() + height - ClientHeight());
}

TPoint TWinControl::ClientToScreen(TPoint p) const {
  POINT pt{p.x, p.y};
  ::ClientToScreen(handle_, &pt);
  return TPoint{pt.x, pt.y};
}

bool TWinControl::Enabled() const { return IsWindowEnabled(handle_) != FALSE; }
void TWinControl::SetEnabled(bool value) { EnableWindow(handle_, value ? TRUE : FALSE); }

bool TWinControl::Visible() const { return (GetWindowLongPtrW(handle_, GWL_STYLE) & WS_VISIBLE) != 0; }
void TWinControl::SetVisible(bool value) {
  if (Visible() == value) return;
  ShowWindow(handle_, value ? SW_SHOW : SW_HIDE);
  if (align_ != alNone && parent_) parent_->Realign();
}

AnsiString TWinControl::Caption() const {
  int n = GetWindowTextLengthW(handle_);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(handle_, &buf[0], n + 1);
  return WideToAnsi(buf.data(), static_cast<size_t>(std::max(0, n)));
}
void TWinControl::SetCaption(const AnsiString& text) { SetWindowTextW(handle_, AnsiToWide(text).c_str()); }

void TWinControl::SetFocus() { ::SetFocus(handle_); }
bool TWinControl::Focused() const { return GetFocus() == handle_; }
void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}
void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::Realign() { AlignControls(); }

namespace {
TWinControl* creationParent = nullptr;
}

TCreateIn::TCreateIn(TWinControl* parent) : previous_(creationParent) { creationParent = parent; }
TCreateIn::~TCreateIn() { creationParent = previous_; }
HWND TCreateIn::Window() { return creationParent ? creationParent->Handle() : nullptr; }

TDrawingLock::TDrawingLock(TWinControl* control) {
  // Turning drawing back on shows the window: a hidden one is left alone.
  if (!control || !control->Handle() || !control->Visible()) return;
  hwnd_ = control->Handle();
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
}

TDrawingLock::~TDrawingLock() {
  if (!hwnd_ || !IsWindow(hwnd_)) return;
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

TRect TWinControl::AlignRect() const {
  RECT r{};
  GetClientRect(handle_, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

void TWinControl::RememberAnchorBase() {
  if (!parent_ || !handle_) return;
  anchorRect_ = BoundsRect();
  anchorParentW_ = parent_->ClientWidth();
  anchorParentH_ = parent_->ClientHeight();
}

void TWinControl::AlignControls() {
  if (aligning_ || !handle_ || destroying_) return;
  aligning_ = true;
  TRect r = AlignRect();
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TWinControl*> list;
    for (TWinControl* c : children_)
      if (c->align_ == a && c->Visible()) list.push_back(c);
    std::stable_sort(list.begin(), list.end(), [a](TWinControl* x, TWinControl* y) {
      TRect bx = x->BoundsRect(), by = y->BoundsRect();
      switch (a) {
        case alTop: return bx.Top < by.Top;
        case alBottom: return bx.Bottom > by.Bottom;
        case alLeft: return bx.Left < by.Left;
        case alRight: return bx.Right > by.Right;
        default: return false;
      }
    });
    for (TWinControl* c : list) {
      TRect b = c->BoundsRect();
      switch (a) {
        case alTop:
          c->SetBoundsRaw(r.Left, r.Top, r.Width(), b.Height());
          r.Top += b.Height();
          break;
        case alBottom:
          c->SetBoundsRaw(r.Left, r.Bottom - b.Height(), r.Width(), b.Height());
          r.Bottom -= b.Height();
          break;
        case alLeft:
          c->SetBoundsRaw(r.Left, r.Top, b.Width(), r.Height());
          r.Left += b.Width();
          break;
        case alRight:
          c->SetBoundsRaw(r.Right - b.Width(), r.Top, b.Width(), r.Height());
          r.Right -= b.Width();
          break;
        default:
          c->SetBoundsRaw(r.Left, r.Top, r.Width(), r.Height());
          break;
      }
    }
  }
  int w = ClientWidth(), h = ClientHeight();
  for (TWinControl* c : children_) {
    if (c->align_ != alNone || c->anchors_ == (akLeft | akTop)) continue;
    TRect a = c->anchorRect_;
    int left = a.Left, top = a.Top, width = a.Width(), height = a.Height();
    int dw = w - c->anchorParentW_, dh = h - c->anchorParentH_;
    if (c->anchors_ & akRight) {
      if (c->anchors_ & akLeft) width += dw; else left += dw;
    } else if (!(c->anchors_ & akLeft)) {
      left += dw / 2;
    }
    if (c->anchors_ & akBottom) {
      if (c->anchors_ & akTop) height += dh; else top += dh;
    } else if (!(c->anchors_ & akTop)) {
      top += dh / 2;
    }
    c->SetBoundsRaw(left, top, width, height);
  }
  aligning_ = false;
}
