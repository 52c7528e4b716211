#include "framework/CheckListBox.h"

#include "framework/Exception.h"
#include "framework/Unicode.h"

namespace {
class TListBoxStrings : public TStrings {
 public:
  explicit TListBoxStrings(TCheckListBox* list) : list_(list) {}
  // LB_GETCOUNT: the number of items, or LB_ERR.
  int Count() const override {
    LRESULT n = SendMessageW(list_->Handle(), LB_GETCOUNT, 0, 0);
    return n == LB_ERR ? 0 : static_cast<int>(n);
  }
  AnsiString Strings(int index) const override {
    Check(index, Count());
    LRESULT len = SendMessageW(list_->Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == LB_ERR) return AnsiString();
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    LRESULT got =
        SendMessageW(list_->Handle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&buf[0]));
    return got == LB_ERR ? AnsiString() : WideToAnsi(buf.data(), static_cast<size_t>(got));
  }
  void Insert(int index, const AnsiString& text) override {
    Check(index, Count() + 1);
    std::wstring w = AnsiToWide(text);
    // LB_INSERTSTRING: the index of the new item, LB_ERR or LB_ERRSPACE.
    LRESULT r = SendMessageW(list_->Handle(), LB_INSERTSTRING, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(w.c_str()));
    if (r < 0) throw Exception("Не удалось добавить строку в список");
    SendMessageW(list_->Handle(), LB_SETITEMDATA, static_cast<WPARAM>(r), 0);
  }
  void Delete(int index) override {
    Check(index, Count());
    SendMessageW(list_->Handle(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  }
  void Clear() override { SendMessageW(list_->Handle(), LB_RESETCONTENT, 0, 0); }

 private:
  static void Check(int index, int limit) {
    if (index < 0 || index >= limit) throw Exception("Индекс строки вне списка: " + IntToStr(index));
  }
  TCheckListBox* list_;
};
}  // namespace

TCheckListBox::TCheckListBox(TComponent* owner) : TWinControl(owner), items_(new TListBoxStrings(this)) {
  color_ = clWindow;
  CreateHandle(L"LISTBOX",
               WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY |
                   LBS_NOINTEGRALHEIGHT,
               WS_EX_CLIENTEDGE);
  SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, 17);
  SetBoundsRaw(0, 0, 121, 97);
}

int TCheckListBox::ItemHeight() const {
  LRESULT h = SendMessageW(Handle(), LB_GETITEMHEIGHT, 0, 0);
  return h > 0 ? static_cast<int>(h) : 17;
}

bool TCheckListBox::Checked(int index) const {
  if (index < 0 || index >= items_->Count()) throw Exception("Индекс строки вне списка: " + IntToStr(index));
  return SendMessageW(Handle(), LB_GETITEMDATA, static_cast<WPARAM>(index), 0) != 0;
}

void TCheckListBox::SetChecked(int index, bool value) {
  if (index < 0 || index >= items_->Count()) throw Exception("Индекс строки вне списка: " + IntToStr(index));
  SendMessageW(Handle(), LB_SETITEMDATA, static_cast<WPARAM>(index), value ? 1 : 0);
  RECT r{};
  SendMessageW(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  InvalidateRect(Handle(), &r, TRUE);
}

// LB_GETCURSEL: the selected index, or LB_ERR (-1).
int TCheckListBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }
void TCheckListBox::SetItemIndex(int index) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TCheckListBox::Toggle(int index) {
  if (index < 0 || index >= items_->Count()) return;
  SetChecked(index, !Checked(index));
  if (OnClickCheck) OnClickCheck(this);
}

bool TCheckListBox::DrawItem(DRAWITEMSTRUCT* dis) {
  if (dis->itemID == static_cast<UINT>(-1)) return true;
  HDC dc = dis->hDC;
  RECT r = dis->rcItem;
  int h = r.bottom - r.top;
  bool selected = (dis->itemState & ODS_SELECTED) != 0;
  HBRUSH back = selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : ColorBrush();
  FillRect(dc, &r, back);
  RECT box{r.left + 2, r.top + (h - 13) / 2, r.left + 15, r.top + (h - 13) / 2 + 13};
  bool checked = dis->itemData != 0;
  DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0));
  std::wstring text = AnsiToWide(items_->Strings(static_cast<int>(dis->itemID)));
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ColorToRGB(Font().Color()));
  RECT tr{r.left + 19, r.top, r.right, r.bottom};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  if (dis->itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
  return true;
}

LRESULT TCheckListBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN: {
      LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      int x = static_cast<short>(LOWORD(lParam));
      // LB_ITEMFROMPOINT: the item in the low word, 1 in the high word when outside.
      LRESULT hit = SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, lParam);
      if (HIWORD(hit) == 0 && x < 17) Toggle(LOWORD(hit));
      return r;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        Toggle(ItemIndex());
        return 0;
      }
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
