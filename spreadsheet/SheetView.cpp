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
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>

#include "framework/Unicode.h"
#include "spreadsheet/Book.h"
#include "spreadsheet/CellEditor.h"
#include "spreadsheet/Edits.h"
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

// Excel shows at most 1,024 characters of a cell.
constexpr size_t kShownCellChars = 1024;
// A tab shows what Excel allows a sheet name: 31 characters.
int TabChars(const std::wstring& name) { return static_cast<int>(std::min<size_t>(name.size(), 31)); }

std::wstring NumberText(double d) { return Spreadsheet::NumberText(d, UserSeparators().decimal); }

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
  View(HWND hwnd, std::shared_ptr<Book> book) : hwnd_(hwnd), book_(std::move(book)), sep_(UserSeparators()) {
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    for (int look = 0; look < 4; ++look) {
      LOGFONTW lf = ncm.lfMessageFont;
      if (look & kLookBold) lf.lfWeight = FW_BOLD;
      if (look & kLookItalic) lf.lfItalic = TRUE;
      fonts_[look] = CreateFontIndirectW(&lf);
    }
    font_ = fonts_[0];
    boldFont_ = fonts_[kLookBold];
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    rowHeight_ = tm.tmHeight + 6;
    SIZE digit = {};
    GetTextExtentPoint32W(dc, L"0", 1, &digit);
    digitWidth_ = std::max<int>(1, digit.cx);
    dpiY_ = GetDeviceCaps(dc, LOGPIXELSY);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    state_.resize(book_->model.sheets.size());
    listener_ = book_->Listen([this] { OnBookChanged(); });
  }
  ~View() {
    CloseEditor();
    book_->Unlisten(listener_);
    for (HFONT f : fonts_) DeleteObject(f);
  }
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
    int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    switch (msg) {
      case WM_CREATE: UpdateScrollBars(); return 0;
      case WM_PAINT: return OnPaint();
      case WM_ERASEBKGND: return 1;
      case WM_SIZE: UpdateScrollBars(); PlaceEditor(); return 0;
      case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wp)); return 0;
      case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wp)); return 0;
      case WM_MOUSEWHEEL: ScrollBy(-GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3, 0); return 0;
      case WM_LBUTTONDOWN: OnMouseDown(x, y, (wp & MK_SHIFT) != 0); return 0;
      case WM_LBUTTONDBLCLK: OnDoubleClick(x, y); return 0;
      case WM_MOUSEMOVE: OnMouseMove(x, y); return 0;
      case WM_LBUTTONUP: OnMouseUp(); return 0;
      case WM_CAPTURECHANGED: dragCol_ = 0; selecting_ = false; return 0;
      case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT && OverColumnBorder()) {
          SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
          return TRUE;
        }
        break;
      case WM_KEYDOWN: OnKey(wp); return 0;
      case WM_SYSKEYDOWN:
        if (wp == VK_BACK) {  // Alt+Backspace: undo, as in Excel
          if (Active().HasCells()) Undo(*book_);
          return 0;
        }
        break;
      case WM_SYSCHAR:
        if (wp == VK_BACK) return 0;
        break;
      case WM_CHAR: OnChar(static_cast<wchar_t>(wp)); return 0;
      case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
      case WM_COMMAND:
        if (HIWORD(wp) == EN_CHANGE && editor_.IsOpen() && reinterpret_cast<HWND>(lp) == editor_.Window()) PlaceEditor();
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS: InvalidateRect(hwnd_, nullptr, FALSE); return 0;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
  }

 private:
  // What the view keeps for each sheet: scroll position, current cell, the
  // selection's other corner, column widths dragged by the user (pixels).
  struct SheetState {
    uint32_t top = 1, left = 1;
    uint32_t row = 1, col = 1;
    uint32_t anchorRow = 1, anchorCol = 1;
    std::map<uint32_t, int> widths;
  };

  const Sheet& Active() const { return book_->model.sheets[book_->model.activeSheet]; }
  SheetState& St() { return state_[book_->model.activeSheet]; }
  const SheetState& St() const { return state_[book_->model.activeSheet]; }

  RECT GridRect() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    r.bottom = std::max(r.top, r.bottom - kTabHeight);
    return r;
  }

  // Sizes as the file lays the sheet out; hidden rows and columns have none.
  int ColWidth(uint32_t col) const {
    const SheetLayout& l = Active().layout;
    if (l.hiddenCols.count(col)) return 0;
    auto dragged = St().widths.find(col);
    if (dragged != St().widths.end()) return dragged->second;
    auto w = l.colWidths.find(col);
    double chars = w != l.colWidths.end() ? w->second : l.defaultColWidth;
    if (chars <= 0) return kColWidth;
    return static_cast<int>(std::min(4000.0, std::floor(chars * digitWidth_ + 5 + 0.5)));
  }
  int RowHeight(uint32_t row) const {
    const SheetLayout& l = Active().layout;
    if (l.hiddenRows.count(row)) return 0;
    auto h = l.rowHeights.find(row);
    double points = h != l.rowHeights.end() ? h->second : l.defaultRowHeight;
    if (points <= 0) return rowHeight_;
    return static_cast<int>(std::min(2000.0, std::floor(points * dpiY_ / 72.0 + 0.5)));
  }

  // Rows (columns) shown whole from the top (left) of the grid.
  int VisibleRows() const {
    RECT g = GridRect();
    int room = g.bottom - g.top - rowHeight_, n = 0;
    for (uint32_t r = St().top; r <= book_->model.MaxRows() && n < 5000; ++r, ++n) {
      room -= RowHeight(r);
      if (room < 0) break;
    }
    return std::max(1, n);
  }
  int VisibleCols() const {
    RECT g = GridRect();
    int room = g.right - g.left - kRowHeaderWidth, n = 0;
    for (uint32_t c = St().left; c <= book_->model.MaxCols() && n < 5000; ++c, ++n) {
      room -= ColWidth(c);
      if (room < 0) break;
    }
    return std::max(1, n);
  }
  // Scrolling reaches a screen past the used range and the current cell, as in Excel, within the sheet's limits.
  uint32_t RowLimit() const {
    return std::min<uint32_t>(book_->model.MaxRows(), std::max(Active().LastRow(), St().row) + VisibleRows());
  }
  uint32_t ColLimit() const {
    return std::min<uint32_t>(book_->model.MaxCols(), std::max(Active().LastCol(), St().col) + VisibleCols());
  }

  void UpdateScrollBars() {
    bool cells = Active().HasCells();
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 1;
    si.nMax = cells ? static_cast<int>(RowLimit()) : 1;
    si.nPage = static_cast<UINT>(VisibleRows());
    si.nPos = static_cast<int>(St().top);
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
    si.nMax = cells ? static_cast<int>(ColLimit()) : 1;
    si.nPage = static_cast<UINT>(VisibleCols());
    si.nPos = static_cast<int>(St().left);
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
  }

  void ScrollTo(uint32_t top, uint32_t left) {
    uint32_t maxTop = std::max<int>(1, static_cast<int>(RowLimit()) - VisibleRows() + 1);
    uint32_t maxLeft = std::max<int>(1, static_cast<int>(ColLimit()) - VisibleCols() + 1);
    top = std::min(std::max(top, 1u), maxTop);
    left = std::min(std::max(left, 1u), maxLeft);
    if (top == St().top && left == St().left) return;
    St().top = top;
    St().left = left;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void ScrollBy(int rows, int cols) {
    ScrollTo(static_cast<uint32_t>(std::max<int64_t>(1, int64_t(St().top) + rows)),
             static_cast<uint32_t>(std::max<int64_t>(1, int64_t(St().left) + cols)));
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
    if (bar == SB_VERT) ScrollTo(static_cast<uint32_t>(pos), St().left);
    else ScrollTo(St().top, static_cast<uint32_t>(pos));
  }

  // Scrolls just enough to show the cell whole.
  void EnsureVisible(uint32_t row, uint32_t col) {
    RECT g = GridRect();
    uint32_t top = St().top, left = St().left;
    if (row < top) {
      top = row;
    } else {
      int room = g.bottom - g.top - rowHeight_;
      uint32_t first = row;
      for (int used = RowHeight(row); first > 1 && used + RowHeight(first - 1) <= room; --first) used += RowHeight(first - 1);
      top = std::max(top, first);
    }
    if (col < left) {
      left = col;
    } else {
      int room = g.right - g.left - kRowHeaderWidth;
      uint32_t first = col;
      for (int used = ColWidth(col); first > 1 && used + ColWidth(first - 1) <= room; --first) used += ColWidth(first - 1);
      left = std::max(left, first);
    }
    ScrollTo(top, left);
  }

  // Moves the current cell, stepping over hidden rows and columns; extend
  // keeps the selection's other corner where it is.
  void MoveTo(int64_t row, int64_t col, bool extend) {
    SheetState& st = St();
    int64_t maxRow = book_->model.MaxRows(), maxCol = book_->model.MaxCols();
    row = std::min(std::max<int64_t>(row, 1), maxRow);
    col = std::min(std::max<int64_t>(col, 1), maxCol);
    const SheetLayout& l = Active().layout;
    int rowStep = row >= st.row ? 1 : -1, colStep = col >= st.col ? 1 : -1;
    for (int guard = 0; l.hiddenRows.count(static_cast<uint32_t>(row)) && guard < 100000; ++guard) {
      if (row + rowStep < 1 || row + rowStep > maxRow) rowStep = -rowStep;
      row += rowStep;
    }
    for (int guard = 0; l.hiddenCols.count(static_cast<uint32_t>(col)) && guard < 20000; ++guard) {
      if (col + colStep < 1 || col + colStep > maxCol) colStep = -colStep;
      col += colStep;
    }
    // A merged area is one cell: its first cell stands for it.
    if (!l.merges.empty())
      if (const SheetLayout::Merge* m = MergeAt(static_cast<uint32_t>(row), static_cast<uint32_t>(col))) {
        row = m->row1;
        col = m->col1;
      }
    st.row = static_cast<uint32_t>(row);
    st.col = static_cast<uint32_t>(col);
    if (!extend) {
      st.anchorRow = st.row;
      st.anchorCol = st.col;
    }
    UpdateScrollBars();
    EnsureVisible(st.row, st.col);
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void MoveBy(int rows, int cols, bool extend) {
    // Moving on from a merged area starts at its far edge.
    int64_t row = St().row, col = St().col;
    if (!Active().layout.merges.empty())
      if (const SheetLayout::Merge* m = MergeAt(St().row, St().col)) {
        if (rows > 0) row = m->row2;
        if (cols > 0) col = m->col2;
      }
    MoveTo(row + rows, col + cols, extend);
  }

  void Selection(uint32_t& r1, uint32_t& c1, uint32_t& r2, uint32_t& c2) const {
    r1 = std::min(St().row, St().anchorRow);
    r2 = std::max(St().row, St().anchorRow);
    c1 = std::min(St().col, St().anchorCol);
    c2 = std::max(St().col, St().anchorCol);
  }

  void OnKey(WPARAM key) {
    bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    if (!Active().HasCells()) return;
    switch (key) {
      case VK_DOWN: MoveBy(1, 0, shift); break;
      case VK_UP: MoveBy(-1, 0, shift); break;
      case VK_RIGHT: MoveBy(0, 1, shift); break;
      case VK_LEFT: MoveBy(0, -1, shift); break;
      case VK_NEXT: MoveBy(VisibleRows(), 0, shift); break;
      case VK_PRIOR: MoveBy(-VisibleRows(), 0, shift); break;
      case VK_HOME: MoveTo(ctrl ? 1 : St().row, 1, shift); break;
      case VK_END:
        if (ctrl) MoveTo(Active().LastRow(), Active().LastCol(), shift);
        break;
      case VK_RETURN: MoveBy(shift ? -1 : 1, 0, false); break;
      case VK_TAB: MoveBy(0, shift ? -1 : 1, false); break;
      case VK_F2: BeginEdit(EditText(book_->model, Active().Find(St().row, St().col), sep_), false); break;
      case VK_DELETE: ClearSelection(); break;
      case 'Z': if (ctrl) Undo(*book_); break;
      case 'Y': if (ctrl) Redo(*book_); break;
      case 'C': if (ctrl) CopySelection(); break;
      case 'V': if (ctrl) Paste(); break;
    }
  }

  void OnChar(wchar_t ch) {
    // Ctrl with Alt is AltGr, which types characters on many layouts.
    const bool ctrlOnly = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    if (ch < L' ' || ctrlOnly || !Active().HasCells()) return;
    BeginEdit(std::wstring(1, ch), true);  // typing replaces what the cell held
  }

  // The in-place editor.
  RECT CellRect(uint32_t row, uint32_t col) const {
    RECT g = GridRect();
    int x = g.left + kRowHeaderWidth, y = g.top + rowHeight_;
    for (uint32_t c = St().left; c < col && x < g.right + 10000; ++c) x += ColWidth(c);
    for (uint32_t r = St().top; r < row && y < g.bottom + 10000; ++r) y += RowHeight(r);
    return RECT{x, y, x + ColWidth(col), y + RowHeight(row)};
  }
  void PlaceEditor() {
    if (!editor_.IsOpen()) return;
    RECT r = CellRect(editRow_, editCol_);
    r.right = std::max(r.right + 1, r.left + 8);
    r.bottom = std::max(r.bottom + 1, r.top + rowHeight_);
    // The editor grows to the right with its text, as Excel's does, up to the grid's edge.
    std::wstring text = editor_.Text();
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(editor_.Window(), WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(std::min<size_t>(text.size(), 4096)), &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    RECT g = GridRect();
    r.right = std::max<LONG>(r.right, std::min<LONG>(g.right, r.left + size.cx + 12));
    editor_.Move(r);
  }
  void BeginEdit(const std::wstring& text, bool arrowsMove) {
    if (!Active().HasCells() || book_->quit) return;
    CloseEditor();
    EnsureVisible(St().row, St().col);
    editRow_ = St().row;
    editCol_ = St().col;
    editSheet_ = book_->model.activeSheet;
    typing_ = arrowsMove;
    const Cell* c = Active().Find(editRow_, editCol_);
    RECT r = CellRect(editRow_, editCol_);
    editor_.Open(hwnd_, r, fonts_[c ? (c->look & 3) : 0], text, arrowsMove,
                 {[this](int rows, int cols) { Commit(rows, cols); }, [this] { Cancel(); }});
    book_->editing = editor_.IsOpen();
    PlaceEditor();
  }
  void CloseEditor() {
    editor_.Close();
    book_->editing = false;
  }
  void Commit(int rows, int cols) {
    std::wstring text = editor_.Text();
    bool changed = typing_ || text != editor_.Initial();  // typing replaces the cell even with the same text
    CloseEditor();
    SetFocus(hwnd_);
    if (changed && editSheet_ < book_->model.sheets.size()) {
      Workbook& wb = book_->model;
      bool formula = false;
      Cell c = TypedCell(wb, wb.sheets[editSheet_].Find(editRow_, editCol_), editRow_, editCol_, text, sep_, &formula);
      if (formula && !formulaTold_) {
        formulaTold_ = true;
        notice_ = L"Формулы здесь не вычисляются: «=…» сохранён как текст.";
      }
      ApplyEdits(*book_, editSheet_, {c});
    }
    MoveBy(rows, cols, false);
  }
  void Cancel() {
    CloseEditor();
    SetFocus(hwnd_);
    InvalidateRect(hwnd_, nullptr, FALSE);
  }

  void ClearSelection() {
    uint32_t r1, c1, r2, c2;
    Selection(r1, c1, r2, c2);
    std::vector<Cell> cleared;
    const std::vector<Cell>& cells = Active().Cells();
    Cell key;
    key.row = r1;
    auto it = std::lower_bound(cells.begin(), cells.end(), key,
                               [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; });
    for (; it != cells.end() && it->row <= r2; ++it) {
      if (it->col < c1 || it->col > c2) continue;
      Cell c;
      c.row = it->row;
      c.col = it->col;
      cleared.push_back(c);
    }
    ApplyEdits(*book_, book_->model.activeSheet, cleared);
  }

  void CopySelection() {
    uint32_t r1, c1, r2, c2;
    Selection(r1, c1, r2, c2);
    if (double(r2 - r1 + 1) * double(c2 - c1 + 1) > 2e6) {
      MessageBeep(MB_ICONWARNING);
      return;
    }
    std::wstring text = CopyText(book_->model, book_->model.activeSheet, r1, c1, r2, c2, sep_);
    if (!OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (h) {
      std::memcpy(GlobalLock(h), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
      GlobalUnlock(h);
      if (!SetClipboardData(CF_UNICODETEXT, h)) GlobalFree(h);
    }
    CloseClipboard();
  }

  void Paste() {
    std::wstring text;
    if (!OpenClipboard(hwnd_)) return;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
      if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(h))) {
        text.assign(p, wcsnlen(p, GlobalSize(h) / sizeof(wchar_t)));
        GlobalUnlock(h);
      }
    }
    CloseClipboard();
    auto rows = SplitPasted(text);
    Workbook& wb = book_->model;
    const Sheet& sheet = Active();
    std::vector<Cell> cells;
    uint32_t width = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      width = std::max(width, static_cast<uint32_t>(rows[i].size()));
      for (size_t j = 0; j < rows[i].size(); ++j) {
        uint32_t row = St().row + static_cast<uint32_t>(i), col = St().col + static_cast<uint32_t>(j);
        if (row > wb.MaxRows() || col > wb.MaxCols()) continue;
        cells.push_back(TypedCell(wb, sheet.Find(row, col), row, col, rows[i][j], sep_));
      }
    }
    if (cells.empty()) return;
    ApplyEdits(*book_, book_->model.activeSheet, cells);
    St().anchorRow = St().row;
    St().anchorCol = St().col;
    MoveTo(int64_t(St().row) + rows.size() - 1, int64_t(St().col) + width - 1, true);
  }

  void OnBookChanged() {
    if (state_.size() != book_->model.sheets.size()) state_.resize(book_->model.sheets.size());
    if (editor_.IsOpen() && (editSheet_ != book_->model.activeSheet || book_->quit)) CloseEditor();
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, FALSE);
  }

  // The cell under a point of the grid; false outside the cells.
  bool CellAt(int x, int y, uint32_t& row, uint32_t& col) const {
    RECT g = GridRect();
    if (x < g.left + kRowHeaderWidth || y < g.top + rowHeight_ || x >= g.right || y >= g.bottom) return false;
    int cx = g.left + kRowHeaderWidth, cy = g.top + rowHeight_;
    for (col = St().left; col < book_->model.MaxCols() && cx + ColWidth(col) <= x; ++col) cx += ColWidth(col);
    for (row = St().top; row < book_->model.MaxRows() && cy + RowHeight(row) <= y; ++row) cy += RowHeight(row);
    return true;
  }
  // The column whose right border is under x in the header row; 0 if none.
  uint32_t BorderAt(int x, int y) const {
    RECT g = GridRect();
    if (y < g.top || y >= g.top + rowHeight_ || !Active().HasCells()) return 0;
    int cx = g.left + kRowHeaderWidth;
    for (uint32_t col = St().left; col <= book_->model.MaxCols() && cx <= g.right; ++col) {
      cx += ColWidth(col);
      if (std::abs(x - cx) <= 3) return col;
    }
    return 0;
  }
  bool OverColumnBorder() const {
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(hwnd_, &pt);
    return dragCol_ != 0 || BorderAt(pt.x, pt.y) != 0;
  }

  void OnMouseDown(int x, int y, bool shift) {
    if (editor_.IsOpen()) Commit(0, 0);
    SetFocus(hwnd_);
    RECT client;
    GetClientRect(hwnd_, &client);
    if (y >= client.bottom - kTabHeight) {
      OnTabClick(x, y);
      return;
    }
    if (uint32_t col = BorderAt(x, y)) {
      dragCol_ = col;
      dragX_ = x;
      dragWidth_ = ColWidth(col);
      SetCapture(hwnd_);
      return;
    }
    uint32_t row, col;
    if (!Active().HasCells() || !CellAt(x, y, row, col)) return;
    MoveTo(row, col, shift);
    selecting_ = true;
    SetCapture(hwnd_);
  }
  void OnMouseMove(int x, int y) {
    if (dragCol_) {
      St().widths[dragCol_] = std::max(0, dragWidth_ + x - dragX_);  // the view's only: never saved
      UpdateScrollBars();
      PlaceEditor();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return;
    }
    uint32_t row, col;
    if (selecting_ && CellAt(x, y, row, col) && (row != St().row || col != St().col)) MoveTo(row, col, true);
  }
  void OnMouseUp() {
    if (GetCapture() == hwnd_) ReleaseCapture();
    dragCol_ = 0;
    selecting_ = false;
  }
  void OnDoubleClick(int x, int y) {
    uint32_t row, col;
    if (!Active().HasCells() || !CellAt(x, y, row, col)) return;
    MoveTo(row, col, false);
    BeginEdit(EditText(book_->model, Active().Find(row, col), sep_), false);
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

  void OnTabClick(int x, int y) {
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
    PaintNotice(dc);
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

  const SheetLayout::Merge* MergeAt(uint32_t row, uint32_t col) const {
    for (const auto& m : Active().layout.merges)
      if (row >= m.row1 && row <= m.row2 && col >= m.col1 && col <= m.col2) return &m;
    return nullptr;
  }

  void Fill(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &r, b);
    DeleteObject(b);
  }

  // A notice for the user, at the right of the tab strip.
  void PaintNotice(HDC dc) {
    if (notice_.empty()) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    SelectObject(dc, font_);
    SIZE size = {};
    GetTextExtentPoint32W(dc, notice_.c_str(), static_cast<int>(notice_.size()), &size);
    RECT r = {std::max(client.left, client.right - size.cx - 16), client.bottom - kTabHeight, client.right, client.bottom};
    Fill(dc, r, RGB(255, 244, 206));
    SetTextColor(dc, RGB(120, 60, 0));
    DrawTextW(dc, notice_.c_str(), static_cast<int>(notice_.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, RGB(0, 0, 0));
  }

  // A number wider than its cell shows fewer digits, as Excel's General
  // format does, and "###" when even its whole part does not fit.
  std::wstring FitNumber(HDC dc, double v, const std::wstring& text, int width) const {
    auto fits = [&](const std::wstring& t) {
      SIZE size = {};
      GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
      return size.cx <= width;
    };
    if (fits(text)) return text;
    for (int digits = 14; digits >= 1; --digits) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.*g", digits, v);
      double rounded = std::strtod(buf, nullptr);
      std::wstring t = NumberText(rounded);
      if (t.find(L'E') != std::wstring::npos && text.find(L'E') == std::wstring::npos) break;
      if (fits(t)) return t;
    }
    return L"###";
  }

  // At most 1,024 characters: no cell shows more, and GDI slows on long runs.
  void DrawCellText(HDC dc, const std::wstring& text, RECT r, UINT align) {
    DrawTextW(dc, text.c_str(), static_cast<int>(std::min<size_t>(text.size(), kShownCellChars)), &r,
              align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

  void PaintGrid(HDC dc) {
    RECT g = GridRect();
    const Sheet& sheet = Active();
    // Positions of the visible columns and rows.
    std::vector<std::pair<uint32_t, int>> xs, ys;  // index, left/top edge
    int x = g.left + kRowHeaderWidth;
    // Hidden ones take no place: an Excel file often hides all the
    // columns right of its table, and each entry costs a lookup per row.
    for (uint32_t col = St().left; col <= book_->model.MaxCols() && x < g.right; ++col) {
      const int w = ColWidth(col);
      if (w == 0) continue;
      xs.push_back({col, x});
      x += w;
    }
    xs.push_back({0, x});
    int y = g.top + rowHeight_;
    for (uint32_t row = St().top; row <= book_->model.MaxRows() && y < g.bottom; ++row) {
      const int h = RowHeight(row);
      if (h == 0) continue;
      ys.push_back({row, y});
      y += h;
    }
    ys.push_back({0, y});
    // The merged areas that reach into the view, looked up per cell below.
    const uint32_t lastRow = ys.size() > 1 ? ys[ys.size() - 2].first : St().top;
    const uint32_t lastCol = xs.size() > 1 ? xs[xs.size() - 2].first : St().left;
    std::vector<const SheetLayout::Merge*> merges;
    for (const auto& m : sheet.layout.merges)
      if (m.row2 >= St().top && m.col2 >= St().left && m.row1 <= lastRow && m.col1 <= lastCol) merges.push_back(&m);
    auto mergeAt = [&merges](uint32_t row, uint32_t col) -> const SheetLayout::Merge* {
      for (const SheetLayout::Merge* m : merges)
        if (row >= m->row1 && row <= m->row2 && col >= m->col1 && col <= m->col2) return m;
      return nullptr;
    };
    uint32_t r1, c1, r2, c2;
    Selection(r1, c1, r2, c2);
    RECT top = {g.left, g.top, g.right, g.top + rowHeight_};
    RECT side = {g.left, g.top, g.left + kRowHeaderWidth, g.bottom};
    Fill(dc, top, RGB(238, 238, 238));
    Fill(dc, side, RGB(238, 238, 238));
    // The selection, and the headers of its rows and columns.
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      if (xs[i].first < c1 || xs[i].first > c2) continue;
      Fill(dc, RECT{xs[i].second, g.top, xs[i + 1].second, g.top + rowHeight_}, RGB(210, 210, 210));
      for (size_t j = 0; j + 1 < ys.size(); ++j)
        if (ys[j].first >= r1 && ys[j].first <= r2 && !(ys[j].first == St().row && xs[i].first == St().col))
          Fill(dc, RECT{xs[i].second, ys[j].second, xs[i + 1].second, ys[j + 1].second}, RGB(214, 232, 250));
    }
    for (size_t j = 0; j + 1 < ys.size(); ++j)
      if (ys[j].first >= r1 && ys[j].first <= r2)
        Fill(dc, RECT{g.left, ys[j].second, g.left + kRowHeaderWidth, ys[j + 1].second}, RGB(210, 210, 210));
    HPEN line = CreatePen(PS_SOLID, 1, RGB(218, 220, 224));
    HGDIOBJ oldPen = SelectObject(dc, line);
    for (const auto& c : xs) {
      MoveToEx(dc, c.second, g.top, nullptr);
      LineTo(dc, c.second, g.bottom);
    }
    for (const auto& r : ys) {
      MoveToEx(dc, g.left, r.second, nullptr);
      LineTo(dc, g.right, r.second);
    }
    MoveToEx(dc, g.left, g.top + rowHeight_, nullptr);
    LineTo(dc, g.right, g.top + rowHeight_);
    SelectObject(dc, oldPen);
    DeleteObject(line);
    SetTextColor(dc, RGB(60, 60, 60));
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      if (xs[i + 1].second - xs[i].second < 4) continue;
      RECT r = {xs[i].second, g.top, xs[i + 1].second, g.top + rowHeight_};
      std::wstring letters = ColumnLetters(xs[i].first);
      DrawTextW(dc, letters.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    for (size_t j = 0; j + 1 < ys.size(); ++j) {
      if (ys[j + 1].second - ys[j].second < 4) continue;
      RECT r = {g.left, ys[j].second, g.left + kRowHeaderWidth - 4, ys[j + 1].second};
      std::wstring number = std::to_wstring(ys[j].first);
      DrawTextW(dc, number.c_str(), -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
    SetTextColor(dc, RGB(0, 0, 0));
    // Merged areas are drawn as one cell, with the text of their first cell.
    for (const SheetLayout::Merge* area : merges) {
      const SheetLayout::Merge& m = *area;
      RECT a = CellRect(m.row1, m.col1), b = CellRect(m.row2, m.col2);
      RECT r = {a.left + 1, a.top + 1, b.right, b.bottom};
      if (r.left >= g.right || r.top >= g.bottom || r.right <= g.left + kRowHeaderWidth || r.bottom <= g.top + rowHeight_) continue;
      bool selected = m.row1 >= r1 && m.row1 <= r2 && m.col1 >= c1 && m.col1 <= c2 && !(m.row1 == St().row && m.col1 == St().col);
      Fill(dc, r, selected ? RGB(214, 232, 250) : RGB(255, 255, 255));
    }
    HRGN clip = CreateRectRgn(g.left + kRowHeaderWidth, g.top + rowHeight_, g.right, g.bottom);
    SelectClipRgn(dc, clip);
    for (size_t j = 0; j + 1 < ys.size(); ++j) {
      uint32_t row = ys[j].first;
      for (size_t i = 0; i + 1 < xs.size(); ++i) {
        uint32_t col = xs[i].first;
        const Cell* c = sheet.Find(row, col);
        if (!c) continue;
        RECT r = {xs[i].second + 3, ys[j].second, xs[i + 1].second - 3, ys[j + 1].second};
        const SheetLayout::Merge* m = mergeAt(row, col);
        if (m && (m->row1 != row || m->col1 != col)) continue;
        if (m) {
          RECT b = CellRect(m->row2, m->col2);
          r.right = b.right - 3;
          r.bottom = b.bottom;
        }
        UINT align;
        std::wstring text = CellText(*c, align);
        switch (c->look & kLookAlignMask) {
          case kLookAlignLeft: align = DT_LEFT; break;
          case kLookAlignCenter: align = DT_CENTER; break;
          case kLookAlignRight: align = DT_RIGHT; break;
        }
        SelectObject(dc, fonts_[c->look & 3]);
        if (c->kind == CellKind::Number) text = FitNumber(dc, c->number, text, r.right - r.left);
        if (c->kind == CellKind::Text && align == DT_LEFT && !m) {
          // Text runs on over empty neighbours, hiding their grid lines, as in Excel.
          SIZE size = {};
          GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(std::min<size_t>(text.size(), kShownCellChars)), &size);
          int right = xs[i + 1].second;
          for (size_t k = i + 1; k + 1 < xs.size() && r.left + size.cx > right - 3; ++k) {
            if (sheet.Find(row, xs[k].first) || mergeAt(row, xs[k].first)) break;
            right = xs[k + 1].second;
          }
          if (right > xs[i + 1].second) {
            bool selected = row >= r1 && row <= r2 && col >= c1 && col <= c2;
            Fill(dc, RECT{xs[i + 1].second, ys[j].second + 1, right, ys[j + 1].second}, selected ? RGB(214, 232, 250) : RGB(255, 255, 255));
            r.right = right - 3;
          }
        }
        DrawCellText(dc, text, r, align);
      }
    }
    SelectObject(dc, font_);
    // The current cell's frame, over everything.
    RECT cur = CellRect(St().row, St().col);
    if (const SheetLayout::Merge* m = sheet.layout.merges.empty() ? nullptr : MergeAt(St().row, St().col)) {
      RECT a = CellRect(m->row1, m->col1), b = CellRect(m->row2, m->col2);
      cur = RECT{a.left, a.top, b.right, b.bottom};
    }
    HPEN frame = CreatePen(PS_SOLID, 2, GetFocus() == hwnd_ || editor_.IsOpen() ? RGB(33, 115, 70) : RGB(128, 128, 128));
    oldPen = SelectObject(dc, frame);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, cur.left, cur.top, cur.right + 1, cur.bottom + 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(frame);
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
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
  Separators sep_;
  HFONT fonts_[4] = {};  // by the look's bold and italic bits
  HFONT font_ = nullptr, boldFont_ = nullptr;
  int rowHeight_ = 20;
  int digitWidth_ = 7;
  int dpiY_ = 96;
  int listener_ = 0;
  size_t firstTab_ = 0;
  std::vector<SheetState> state_;
  CellEditor editor_;
  size_t editSheet_ = 0;
  uint32_t editRow_ = 1, editCol_ = 1;
  bool typing_ = false;  // the editor was opened by typing over the cell
  bool formulaTold_ = false;
  std::wstring notice_;
  uint32_t dragCol_ = 0;
  int dragX_ = 0, dragWidth_ = 0;
  bool selecting_ = false;
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
