// The sheet view: a child window that draws the workbook's active sheet as a
// grid (column letters, row numbers) and its sheet tabs along the bottom
// edge. Only the visible cells are looked up and painted, so a sheet of any
// length scrolls at the same speed. Clicking a tab activates that sheet, as
// choosing a sheet in Excel does; automation sees the change at once.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "framework/Unicode.h"
#include "spreadsheet/Book.h"
#include "spreadsheet/Spreadsheet.h"

namespace Spreadsheet {
namespace {

const wchar_t kClassName[] = L"X2ZSpreadsheetView";
constexpr int kColWidth = 72;
constexpr int kRowHeaderWidth = 56;
constexpr int kTabHeight = 24;
constexpr int kTabArrowWidth = 20;

std::wstring ColumnLetters(uint32_t col) {
  std::wstring s;
  for (; col > 0; col = (col - 1) / 26) s.insert(s.begin(), static_cast<wchar_t>(L'A' + (col - 1) % 26));
  return s;
}

// A number as the user's locale writes it: 15 significant digits, no
// grouping, the locale's decimal separator.
constexpr size_t kShownCellChars = 1024;
// A tab shows what Excel allows a sheet name: 31 characters.
int TabChars(const std::wstring& name) { return static_cast<int>(std::min<size_t>(name.size(), 31)); }

std::wstring NumberText(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  std::wstring out;
  wchar_t sep[8] = L",";
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8);
  for (const char* p = buf; *p; ++p) {
    if (*p == '.') out += sep;
    else out += static_cast<wchar_t>(*p == 'e' ? 'E' : *p);  // Excel writes 1E-07
  }
  return out;
}

std::wstring VariantText(VARIANT& v) {
  VARIANT t;
  VariantInit(&t);
  std::wstring out;
  if (SUCCEEDED(VariantChangeTypeEx(&t, &v, LOCALE_USER_DEFAULT, 0, VT_BSTR))) out.assign(V_BSTR(&t), SysStringLen(V_BSTR(&t)));
  VariantClear(&t);
  return out;
}

class View {
 public:
  View(HWND hwnd, std::shared_ptr<Book> book) : hwnd_(hwnd), book_(std::move(book)) {
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    font_ = CreateFontIndirectW(&ncm.lfMessageFont);
    LOGFONTW bold = ncm.lfMessageFont;
    bold.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectW(&bold);
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    rowHeight_ = tm.tmHeight + 6;
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    scroll_.resize(book_->model.sheets.size());
    listener_ = book_->Listen([this] { OnBookChanged(); });
  }
  ~View() {
    book_->Unlisten(listener_);
    DeleteObject(font_);
    DeleteObject(boldFont_);
  }
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_CREATE: UpdateScrollBars(); return 0;
      case WM_PAINT: return OnPaint();
      case WM_ERASEBKGND: return 1;
      case WM_SIZE: UpdateScrollBars(); return 0;
      case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wp)); return 0;
      case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wp)); return 0;
      case WM_MOUSEWHEEL: ScrollBy(0, -GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3); return 0;
      case WM_LBUTTONDOWN: OnClick(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))); return 0;
      case WM_KEYDOWN: OnKey(wp); return 0;
      case WM_GETDLGCODE: return DLGC_WANTARROWS;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
  }

 private:
  struct Scroll {
    uint32_t top = 1, left = 1;
  };

  const Sheet& Active() const { return book_->model.sheets[book_->model.activeSheet]; }
  Scroll& Pos() { return scroll_[book_->model.activeSheet]; }

  RECT GridRect() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    r.bottom = std::max(r.top, r.bottom - kTabHeight);
    return r;
  }
  int VisibleRows() const {
    RECT g = GridRect();
    return std::max(1, static_cast<int>((g.bottom - g.top - rowHeight_) / rowHeight_));
  }
  int VisibleCols() const {
    RECT g = GridRect();
    return std::max(1, static_cast<int>((g.right - g.left - kRowHeaderWidth) / kColWidth));
  }
  // Scrolling reaches a screen past the used range, as in Excel, within the sheet's limits.
  uint32_t RowLimit() const { return std::min<uint32_t>(book_->model.MaxRows(), Active().LastRow() + VisibleRows()); }
  uint32_t ColLimit() const { return std::min<uint32_t>(book_->model.MaxCols(), Active().LastCol() + VisibleCols()); }

  void UpdateScrollBars() {
    bool cells = Active().HasCells();
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 1;
    si.nMax = cells ? static_cast<int>(RowLimit()) : 1;
    si.nPage = static_cast<UINT>(VisibleRows());
    si.nPos = static_cast<int>(Pos().top);
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
    si.nMax = cells ? static_cast<int>(ColLimit()) : 1;
    si.nPage = static_cast<UINT>(VisibleCols());
    si.nPos = static_cast<int>(Pos().left);
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
  }

  void ScrollTo(uint32_t top, uint32_t left) {
    uint32_t maxTop = std::max<int>(1, static_cast<int>(RowLimit()) - VisibleRows() + 1);
    uint32_t maxLeft = std::max<int>(1, static_cast<int>(ColLimit()) - VisibleCols() + 1);
    top = std::min(std::max(top, 1u), maxTop);
    left = std::min(std::max(left, 1u), maxLeft);
    if (top == Pos().top && left == Pos().left) return;
    Pos().top = top;
    Pos().left = left;
    UpdateScrollBars();
    RECT g = GridRect();
    InvalidateRect(hwnd_, &g, FALSE);
  }
  void ScrollBy(int rows, int cols) {
    ScrollTo(static_cast<uint32_t>(std::max<int64_t>(1, int64_t(Pos().top) + rows)),
             static_cast<uint32_t>(std::max<int64_t>(1, int64_t(Pos().left) + cols)));
  }

  void OnScroll(int bar, WORD code) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(hwnd_, bar, &si);
    int page = bar == SB_VERT ? VisibleRows() : VisibleCols();
    int pos = si.nPos;
    switch (code) {
      case SB_LINEUP: pos -= 1; break;
      case SB_LINEDOWN: pos += 1; break;
      case SB_PAGEUP: pos -= page; break;
      case SB_PAGEDOWN: pos += page; break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: pos = si.nTrackPos; break;  // 32-bit, unlike the message's 16-bit position
      case SB_TOP: pos = si.nMin; break;
      case SB_BOTTOM: pos = si.nMax; break;
      default: return;
    }
    pos = std::max(pos, 1);
    if (bar == SB_VERT) ScrollTo(static_cast<uint32_t>(pos), Pos().left);
    else ScrollTo(Pos().top, static_cast<uint32_t>(pos));
  }

  void OnKey(WPARAM key) {
    switch (key) {
      case VK_DOWN: ScrollBy(1, 0); break;
      case VK_UP: ScrollBy(-1, 0); break;
      case VK_RIGHT: ScrollBy(0, 1); break;
      case VK_LEFT: ScrollBy(0, -1); break;
      case VK_NEXT: ScrollBy(VisibleRows(), 0); break;
      case VK_PRIOR: ScrollBy(-VisibleRows(), 0); break;
      case VK_HOME: ScrollTo(1, 1); break;
      case VK_END: ScrollTo(Active().LastRow(), Pos().left); break;
    }
  }

  void OnBookChanged() {
    if (scroll_.size() != book_->model.sheets.size()) scroll_.resize(book_->model.sheets.size());
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, FALSE);
  }

  // Tabs: two arrows that scroll the tab strip, then one tab per sheet.
  void LayoutTabs(HDC dc, std::vector<RECT>& rects) const {
    RECT client;
    GetClientRect(hwnd_, &client);
    int x = client.left + 2 * kTabArrowWidth + 4;
    rects.assign(book_->model.sheets.size(), RECT{0, 0, 0, 0});
    for (size_t i = firstTab_; i < book_->model.sheets.size(); ++i) {
      const std::wstring& name = book_->model.sheets[i].name;
      SIZE size = {};
      GetTextExtentPoint32W(dc, name.c_str(), TabChars(name), &size);
      int w = size.cx + 20;
      rects[i] = RECT{x, client.bottom - kTabHeight, x + w, client.bottom};
      x += w;
      if (x > client.right) break;
    }
  }

  void OnClick(int x, int y) {
    SetFocus(hwnd_);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (y < client.bottom - kTabHeight) return;
    if (x < kTabArrowWidth) {
      if (firstTab_ > 0) --firstTab_;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return;
    }
    if (x < 2 * kTabArrowWidth) {
      if (firstTab_ + 1 < book_->model.sheets.size()) ++firstTab_;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return;
    }
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, boldFont_);
    std::vector<RECT> rects;
    LayoutTabs(dc, rects);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    POINT pt = {x, y};
    for (size_t i = 0; i < rects.size(); ++i)
      if (PtInRect(&rects[i], pt)) book_->Activate(i);  // the book tells every view, this one included
  }

  std::wstring CellText(const Cell& c, UINT& align) const {
    align = DT_LEFT;
    VARIANT v;
    VariantInit(&v);
    switch (c.kind) {
      case CellKind::Text: {
        // Excel shows at most 1,024 characters of a cell: a paint never
        // copies or measures more, however long the text.
        size_t len;
        const wchar_t* p = book_->model.strings.Data(c.text, len);
        return std::wstring(p, std::min<size_t>(len, kShownCellChars));
      }
      case CellKind::Number: align = DT_RIGHT; return NumberText(c.number);
      case CellKind::Boolean: align = DT_CENTER; return c.boolean ? L"ИСТИНА" : L"ЛОЖЬ";
      case CellKind::Error: align = DT_CENTER; return ErrorText(c.error);
      case CellKind::Date:
        align = DT_RIGHT;
        if (!DateOfSerial(c.number, book_->model.date1904, V_DATE(&v))) return NumberText(c.number);
        V_VT(&v) = VT_DATE;
        return VariantText(v);
      case CellKind::Currency: {
        align = DT_RIGHT;
        wchar_t out[128];
        std::wstring plain = NumberText(c.number);
        // Past what a currency value holds (1E+300) the number shows plain,
        // as Automation gives it: no digits are cut.
        CY cy;
        if (VarCyFromR8(c.number, &cy) != S_OK) return plain;
        char num[64];
        std::snprintf(num, sizeof num, "%.4f", c.number);
        std::wstring n(num, num + std::strlen(num));
        if (GetCurrencyFormatW(LOCALE_USER_DEFAULT, 0, n.c_str(), nullptr, out, 128) > 0) return out;
        return plain;
      }
      case CellKind::Empty: break;
    }
    return std::wstring();
  }

  LRESULT OnPaint() {
    PAINTSTRUCT ps;
    HDC target = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    // Drawn off screen, then copied: no flicker while scrolling.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bmp = CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    if (Active().HasCells()) PaintGrid(dc);
    else PaintChart(dc);
    PaintTabs(dc);
    SelectObject(dc, oldFont);
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    EndPaint(hwnd_, &ps);
    return 0;
  }

  void PaintChart(HDC dc) {
    RECT g = GridRect();
    HBRUSH grey = CreateSolidBrush(RGB(235, 235, 235));
    FillRect(dc, &g, grey);
    DeleteObject(grey);
    DrawTextW(dc, L"Лист диаграммы: ячеек нет", -1, &g, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }

  void PaintGrid(HDC dc) {
    RECT g = GridRect();
    const Sheet& sheet = Active();
    int rows = VisibleRows() + 1, cols = VisibleCols() + 1;
    HBRUSH header = CreateSolidBrush(RGB(238, 238, 238));
    RECT top = {g.left, g.top, g.right, g.top + rowHeight_};
    RECT side = {g.left, g.top, g.left + kRowHeaderWidth, g.bottom};
    FillRect(dc, &top, header);
    FillRect(dc, &side, header);
    DeleteObject(header);
    HPEN line = CreatePen(PS_SOLID, 1, RGB(218, 220, 224));
    HGDIOBJ oldPen = SelectObject(dc, line);
    for (int i = 0; i <= cols; ++i) {
      int x = g.left + kRowHeaderWidth + i * kColWidth;
      MoveToEx(dc, x, g.top, nullptr);
      LineTo(dc, x, g.bottom);
    }
    for (int j = 0; j <= rows; ++j) {
      int y = g.top + rowHeight_ + j * rowHeight_;
      MoveToEx(dc, g.left, y, nullptr);
      LineTo(dc, g.right, y);
    }
    SelectObject(dc, oldPen);
    DeleteObject(line);
    SetTextColor(dc, RGB(60, 60, 60));
    for (int i = 0; i < cols; ++i) {
      uint32_t col = Pos().left + static_cast<uint32_t>(i);
      if (col > book_->model.MaxCols()) break;
      RECT r = {g.left + kRowHeaderWidth + i * kColWidth, g.top, g.left + kRowHeaderWidth + (i + 1) * kColWidth,
                g.top + rowHeight_};
      std::wstring letters = ColumnLetters(col);
      DrawTextW(dc, letters.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    for (int j = 0; j < rows; ++j) {
      uint32_t row = Pos().top + static_cast<uint32_t>(j);
      if (row > book_->model.MaxRows()) break;
      RECT r = {g.left, g.top + rowHeight_ * (j + 1), g.left + kRowHeaderWidth - 4, g.top + rowHeight_ * (j + 2)};
      std::wstring number = std::to_wstring(row);
      DrawTextW(dc, number.c_str(), -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
    SetTextColor(dc, RGB(0, 0, 0));
    for (int j = 0; j < rows; ++j) {
      uint32_t row = Pos().top + static_cast<uint32_t>(j);
      for (int i = 0; i < cols; ++i) {
        const Cell* c = sheet.Find(row, Pos().left + static_cast<uint32_t>(i));
        if (!c) continue;
        UINT align;
        std::wstring text = CellText(*c, align);
        RECT r = {g.left + kRowHeaderWidth + i * kColWidth + 3, g.top + rowHeight_ * (j + 1),
                  g.left + kRowHeaderWidth + (i + 1) * kColWidth - 3, g.top + rowHeight_ * (j + 2)};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
    }
  }

  void PaintTabs(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    RECT strip = {client.left, client.bottom - kTabHeight, client.right, client.bottom};
    HBRUSH back = CreateSolidBrush(RGB(225, 225, 225));
    FillRect(dc, &strip, back);
    DeleteObject(back);
    RECT left = {0, strip.top, kTabArrowWidth, strip.bottom};
    RECT right = {kTabArrowWidth, strip.top, 2 * kTabArrowWidth, strip.bottom};
    DrawTextW(dc, L"\x25C4", -1, &left, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DrawTextW(dc, L"\x25BA", -1, &right, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    HGDIOBJ old = SelectObject(dc, boldFont_);
    std::vector<RECT> rects;
    LayoutTabs(dc, rects);
    for (size_t i = 0; i < rects.size(); ++i) {
      if (rects[i].right == 0) continue;
      bool active = i == book_->model.activeSheet;
      HBRUSH fill = CreateSolidBrush(active ? RGB(255, 255, 255) : RGB(210, 210, 210));
      FillRect(dc, &rects[i], fill);
      DeleteObject(fill);
      FrameRect(dc, &rects[i], static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
      SelectObject(dc, active ? boldFont_ : font_);
      SetTextColor(dc, active ? RGB(0, 96, 0) : RGB(40, 40, 40));
      const std::wstring& name = book_->model.sheets[i].name;
      DrawTextW(dc, name.c_str(), TabChars(name), &rects[i],
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    SetTextColor(dc, RGB(0, 0, 0));
  }

  HWND hwnd_;
  std::shared_ptr<Book> book_;
  HFONT font_ = nullptr, boldFont_ = nullptr;
  int rowHeight_ = 20;
  int listener_ = 0;
  size_t firstTab_ = 0;
  std::vector<Scroll> scroll_;
};

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      auto* book = static_cast<std::shared_ptr<Book>*>(cs->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new View(hwnd, *book)));
      return DefWindowProcW(hwnd, msg, wp, lp);
    }
    auto* view = reinterpret_cast<View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete view;
      return DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (view) return view->Handle(msg, wp, lp);
  } catch (...) {
    // Nothing may cross into Windows; a failed paint is retried on the next one.
    if (msg == WM_PAINT) ValidateRect(hwnd, nullptr);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterViewClass() {
  static bool registered = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace
}  // namespace Spreadsheet

HWND SpreadsheetCreateView(HWND parent, IDispatch* workbook, const RECT& rect) {
  using namespace Spreadsheet;
  std::shared_ptr<Book> book = BookOf(workbook);
  if (!book || book->model.sheets.empty() || !RegisterViewClass()) return nullptr;
  return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                         rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                         GetModuleHandleW(nullptr), &book);
}
