#include "framework/ComboBox.h"

#include <commctrl.h>

#include <vector>

#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Unicode.h"

namespace {
class TComboBoxStrings : public TStrings {
 public:
  explicit TComboBoxStrings(TComboBox* combo) : combo_(combo) {}
  // CB_GETCOUNT: the number of items, or CB_ERR.
  int Count() const override {
    LRESULT n = SendMessageW(combo_->Handle(), CB_GETCOUNT, 0, 0);
    return n == CB_ERR ? 0 : static_cast<int>(n);
  }
  AnsiString Strings(int index) const override {
    Check(index, Count());
    // CB_GETLBTEXTLEN: the length without the terminating null, or CB_ERR.
    LRESULT len = SendMessageW(combo_->Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == CB_ERR) return AnsiString();
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    LRESULT got = SendMessageW(combo_->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(&buf[0]));
    return got == CB_ERR ? AnsiString() : WideToAnsi(buf.data(), static_cast<size_t>(got));
  }
  void Insert(int index, const AnsiString& text) override {
    Check(index, Count() + 1);
    std::wstring w = AnsiToWide(text);
    // CB_INSERTSTRING: the index of the new item, CB_ERR or CB_ERRSPACE.
    LRESULT r = SendMessageW(combo_->Handle(), CB_INSERTSTRING, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(w.c_str()));
    if (r < 0) throw Exception("Не удалось добавить строку в список");
  }
  void Delete(int index) override {
    Check(index, Count());
    SendMessageW(combo_->Handle(), CB_DELETESTRING, static_cast<WPARAM>(index), 0);
  }
  void Clear() override { SendMessageW(combo_->Handle(), CB_RESETCONTENT, 0, 0); }

 private:
  static void Check(int index, int limit) {
    if (index < 0 || index >= limit) throw Exception("Индекс строки вне списка: " + IntToStr(index));
  }
  TComboBox* combo_;
};
}  // namespace

TComboBox::TComboBox(TComponent* owner, TComboBoxStyle style)
    : TWinControl(owner), items_(new TComboBoxStrings(this)) {
  color_ = clWindow;
  style_ = style;
  CreateHandle(L"COMBOBOX", StyleBits(), 0);
  HookEdit();
  SetBoundsRaw(0, 0, 145, 21);
}

TComboBox::~TComboBox() { UnhookEdit(); }

void TComboBox::HookEdit() {
  UnhookEdit();
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  // hwndItem: the edit field; a drop-down list has none (Windows names the box itself).
  if (!GetComboBoxInfo(Handle(), &info) || !info.hwndItem || info.hwndItem == Handle()) return;
  edit_ = info.hwndItem;
  SetWindowLongPtrW(edit_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  editProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
}

void TComboBox::UnhookEdit() {
  if (!edit_) return;
  if (IsWindow(edit_)) {
    SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc_));
    SetWindowLongPtrW(edit_, GWLP_USERDATA, 0);
  }
  edit_ = nullptr;
  editProc_ = nullptr;
}

bool TComboBox::KeyDown(WPARAM wParam) {
  if (!OnKeyDown) return false;
  WORD key = static_cast<WORD>(wParam);
  OnKeyDown(this, key);
  return key == 0;
}

LRESULT CALLBACK TComboBox::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TComboBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || self->edit_ != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const WNDPROC next = self->editProc_;
  try {
    switch (msg) {
      case WM_GETDLGCODE: {
        // Without this the dialog navigation takes Enter for the default button.
        LRESULT code = CallWindowProcW(next, hwnd, msg, wParam, lParam);
        auto* m = reinterpret_cast<MSG*>(lParam);
        if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN && self->OnKeyDown) code |= DLGC_WANTMESSAGE;
        return code;
      }
      case WM_KEYDOWN:
        if (self->KeyDown(wParam)) return 0;
        break;
      case WM_CHAR:
        // The edit field beeps at an Enter it has no use for.
        if (wParam == VK_RETURN && self->OnKeyDown) return 0;
        break;
      case WM_NCDESTROY:
        self->UnhookEdit();
        break;
      default:
        break;
    }
  } catch (const Exception& e) {
    Application->ShowException(e);
    return 0;
  } catch (...) {
    Application->ShowException(Exception(AnsiString()));
    return 0;
  }
  return CallWindowProcW(next, hwnd, msg, wParam, lParam);
}

LRESULT TComboBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE: {
      // The drop-down list style asks for Enter as its edit field does.
      LRESULT code = TWinControl::WndProc(msg, wParam, lParam);
      auto* m = reinterpret_cast<MSG*>(lParam);
      if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN && OnKeyDown) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      if (KeyDown(wParam)) return 0;
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

DWORD TComboBox::StyleBits() const {
  return WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_AUTOHSCROLL |
         (style_ == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
}

void TComboBox::SetStyle(TComboBoxStyle style) {
  if (style_ == style) return;
  std::vector<AnsiString> items;
  for (int i = 0, n = items_->Count(); i < n; ++i) items.push_back(items_->Strings(i));
  int index = ItemIndex();
  AnsiString text = Text();
  style_ = style;
  fullHeight_ = -1;  // the new window has no list height yet
  RecreateHandle(L"COMBOBOX", StyleBits() & ~WS_VISIBLE, 0);
  HookEdit();
  for (const AnsiString& s : items) items_->Add(s);
  if (index >= 0) SetItemIndex(index);
  else if (style_ == csDropDown) SetText(text);
}

void TComboBox::SetBoundsRaw(int left, int top, int width, int height) {
  // A combo box's window height includes its dropped list; Windows keeps the
  // closed height to the font by itself.
  int itemHeight = static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, 0, 0));
  if (itemHeight <= 0) itemHeight = 16;
  const int full = height + itemHeight * dropDownCount_ + 4;
  // The window reports its closed height, so the full one asked for last
  // tells whether anything would change.
  const TRect b = BoundsRect();
  if (b.Left == left && b.Top == top && b.Width() == width && full == fullHeight_) return;
  fullHeight_ = full;
  TWinControl::SetBoundsRaw(left, top, width, full);
}

void TComboBox::SetDropDownCount(int count) {
  dropDownCount_ = count < 1 ? 1 : count;
  TRect b = BoundsRect();
  SetBoundsRaw(b.Left, b.Top, b.Width(), b.Height());
}

int TComboBox::ItemIndex() const {
  // CB_GETCURSEL: the selected index, or CB_ERR (-1) when none is selected.
  return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index) {
  // CB_SETCURSEL sends no CBN_SELCHANGE, so no OnChange follows.
  if (index < -1 || index >= items_->Count()) index = -1;
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TComboBox::IndexOfCaseless(const AnsiString& text) const {
  std::wstring w = AnsiToWide(text);
  // CB_FINDSTRINGEXACT from the start (-1): the item's index, or CB_ERR (-1).
  return static_cast<int>(SendMessageW(Handle(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(w.c_str())));
}

void TComboBox::SetText(const AnsiString& text) {
  if (style_ == csDropDownList) {
    SetItemIndex(items_->IndexOf(text));
    return;
  }
  SetCaption(text);
}

bool TComboBox::DroppedDown() const { return SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0; }
void TComboBox::SetDroppedDown(bool value) { SendMessageW(Handle(), CB_SHOWDROPDOWN, value ? TRUE : FALSE, 0); }

void TComboBox::CommandNotify(WORD code) {
  switch (code) {
    case CBN_SELCHANGE:
      // The edit field takes the picked item only after this notification;
      // put it there now so OnChange reads the new text.
      if (style_ == csDropDown) {
        int i = ItemIndex();
        if (i >= 0) SetCaption(items_->Strings(i));
      }
      if (OnChange) OnChange(this);
      break;
    case CBN_EDITCHANGE:
      if (OnChange) OnChange(this);
      break;
    case CBN_SELENDOK:
      picked_ = true;
      break;
    case CBN_SELENDCANCEL:
      picked_ = false;
      break;
    case CBN_CLOSEUP:
      // An entry picked in the list wins over text typed while it was open.
      // The edit field takes the entry only with CBN_SELCHANGE, which Wine
      // sends after this notification (Windows in either order); put it
      // there now so OnCloseUp reads the pick.
      if (picked_ && style_ == csDropDown) {
        const int i = ItemIndex();
        if (i >= 0) SetCaption(items_->Strings(i));
      }
      picked_ = false;
      if (OnCloseUp) OnCloseUp(this);
      break;
    case CBN_DROPDOWN:
      picked_ = false;
      if (OnDropDown) OnDropDown(this);
      break;
    case CBN_KILLFOCUS:
      if (OnExit) OnExit(this);
      break;
    default:
      break;
  }
}
