#include "framework/StringGrid.h"

#include <algorithm>

#include "framework/Exception.h"
#include "framework/Unicode.h"

// The in-place editor: an EDIT laid over the current cell. Enter commits,
// Escape cancels, leaving the cell (focus elsewhere, arrows, Tab) commits.
class TInplaceEdit : public TWinControl {
 public:
  explicit TInplaceEdit(TStringGrid* grid) : TWinControl(nullptr), grid_(grid) {
    color_ = clWindow;
    CreateHandle(L"EDIT", ES_AUTOHSCROLL, 0);
  }
  AnsiString ClassName() const override { return "TInplaceEdit"; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS;
      case WM_KEYDOWN:
        switch (wParam) {
          case VK_RETURN:
            grid_->HideEditor(true);
            return 0;
          case VK_ESCAPE:
            grid_->HideEditor(false);
            return 0;
          case VK_UP:
          case VK_DOWN:
          case VK_PRIOR:
          case VK_NEXT:
            grid_->HideEditor(true);
            grid_->OnKeyDown(wParam);
            return 0;
          case VK_TAB:
            if (grid_->options_ & goTabs) {
              grid_->HideEditor(true);
              grid_->OnKeyDown(wParam);
            }
            return 0;
          default:
            break;
        }
        break;
      case WM_CHAR:
        // Enter, Escape and Tab were handled as keys; the edit would beep.
        if (wParam == L'\r' || wParam == 27 || wParam == L'\t') return 0;
        break;
      case WM_KILLFOCUS: {
        LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
        // Focus given to the grid itself comes straight back here; focus
        // that leaves the grid commits the edit.
        if (grid_->editing_ && reinterpret_cast<HWND>(wParam) != grid_->Handle()) grid_->HideEditor(true);
        return r;
      }
      default:
        break;
    }
    return TWinControl::WndProc(msg, wParam, lParam);
  }

 private:
  TStringGrid* grid_;
};

TStringGrid::TStringGrid(TComponent* owner) : TWinControl(owner) {
  color_ = clWindow;
  RegisterOwnClass(L"X2ZStringGrid", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
  CreateHandle(L"X2ZStringGrid", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN,
               WS_EX_CLIENTEDGE);
  cells_.assign(static_cast<size_t>(rowCount_), std::vector<AnsiString>(static_cast<size_t>(colCount_)));
  colWidths_.assign(static_cast<size_t>(colCount_), defaultColWidth_);
  SetBoundsRaw(0, 0, 320, 120);
  UpdateScrollBars();
}

TStringGrid::~TStringGrid() {
  // The editor is a child window: the base destructor deletes it.
  editing_ = false;
}

AnsiString TStringGrid::Cells(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return AnsiString();
  return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void TStringGrid::SetCells(int col, int row, const AnsiString& text) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
    throw Exception("Ячейка (" + IntToStr(col) + ", " + IntToStr(row) + ") вне таблицы " + IntToStr(colCount_) +
                    " x " + IntToStr(rowCount_));
  cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = text;
  Invalidate();
}

void TStringGrid::ClampState() {
  col_ = std::min(std::max(col_, fixedCols_), colCount_ - 1);
  row_ = std::min(std::max(row_, fixedRows_), rowCount_ - 1);
  anchorCol_ = std::min(std::max(anchorCol_, fixedCols_), colCount_ - 1);
  anchorRow_ = std::min(std::max(anchorRow_, fixedRows_), rowCount_ - 1);
  topRow_ = std::min(std::max(topRow_, fixedRows_), std::max(fixedRows_, rowCount_ - 1));
  leftCol_ = std::min(std::max(leftCol_, fixedCols_), std::max(fixedCols_, colCount_ - 1));
}

void TStringGrid::SetColCount(int count) {
  count = std::max(count, std::max(1, fixedCols_ + 1));
  if (editing_ && col_ >= count) HideEditor(false);
  colCount_ = count;
  for (auto& row : cells_) row.resize(static_cast<size_t>(count));
  colWidths_.resize(static_cast<size_t>(count), defaultColWidth_);
  ClampState();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetRowCount(int count) {
  count = std::max(count, std::max(1, fixedRows_ + 1));
  if (editing_ && row_ >= count) HideEditor(false);
  rowCount_ = count;
  cells_.resize(static_cast<size_t>(count), std::vector<AnsiString>(static_cast<size_t>(colCount_)));
  ClampState();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedCols(int count) {
  if (count < 0 || count >= colCount_) throw Exception("Число фиксированных колонок должно быть меньше числа колонок");
  fixedCols_ = count;
  leftCol_ = count;
  ClampState();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetFixedRows(int count) {
  if (count < 0 || count >= rowCount_) throw Exception("Число фиксированных строк должно быть меньше числа строк");
  fixedRows_ = count;
  topRow_ = count;
  ClampState();
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetCol(int col) { MoveCurrent(col, row_, false); }
void TStringGrid::SetRow(int row) { MoveCurrent(col_, row, false); }

TGridRect TStringGrid::Selection() const {
  return TGridRect{std::min(col_, anchorCol_), std::min(row_, anchorRow_), std::max(col_, anchorCol_),
                   std::max(row_, anchorRow_)};
}

int TStringGrid::ColWidths(int col) const {
  if (col < 0 || col >= colCount_) return 0;
  return colWidths_[static_cast<size_t>(col)];
}

void TStringGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= colCount_) throw Exception("Колонка " + IntToStr(col) + " вне таблицы");
  colWidths_[static_cast<size_t>(col)] = std::max(0, width);
  UpdateScrollBars();
  PlaceEditor();
  Invalidate();
}

void TStringGrid::SetDefaultColWidth(int width) {
  defaultColWidth_ = std::max(0, width);
  std::fill(colWidths_.begin(), colWidths_.end(), defaultColWidth_);
  UpdateScrollBars();
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int height) {
  rowHeight_ = std::max(1, height);
  UpdateScrollBars();
  PlaceEditor();
  Invalidate();
}

void TStringGrid::SetFixedColor(TColor color) {
  fixedColor_ = color;
  Invalidate();
}

void TStringGrid::SetOptions(TGridOptions options) {
  options_ = options;
  if (!(options_ & goEditing) && editing_) HideEditor(true);
  if (!(options_ & goRangeSelect)) {
    anchorCol_ = col_;
    anchorRow_ = row_;
  }
  Invalidate();
}

// ---- geometry: every cell is followed by a one-pixel grid line ----

int TStringGrid::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedCols_; ++c) w += colWidths_[static_cast<size_t>(c)] + 1;
  return w;
}
int TStringGrid::FixedHeight() const { return fixedRows_ * (rowHeight_ + 1); }

int TStringGrid::ColX(int col) const {
  if (col < fixedCols_) {
    int x = 0;
    for (int c = 0; c < col; ++c) x += colWidths_[static_cast<size_t>(c)] + 1;
    return x;
  }
  if (col < leftCol_) return -1;
  int x = FixedWidth();
  for (int c = leftCol_; c < col; ++c) x += colWidths_[static_cast<size_t>(c)] + 1;
  return x;
}

int TStringGrid::RowY(int row) const {
  if (row < fixedRows_) return row * (rowHeight_ + 1);
  if (row < topRow_) return -1;
  return FixedHeight() + (row - topRow_) * (rowHeight_ + 1);
}

int TStringGrid::VisibleRowCount() const {
  return std::max(1, (ClientHeight() - FixedHeight()) / (rowHeight_ + 1));
}

TRect TStringGrid::CellRect(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return TRect();
  int x = ColX(col), y = RowY(row);
  if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return TRect();
  return TRect{x, y, x + colWidths_[static_cast<size_t>(col)], y + rowHeight_};
}

bool TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
  col = row = -1;
  for (int c = 0; c < colCount_; ++c) {
    if (c >= fixedCols_ && c < leftCol_) continue;
    int cx = ColX(c);
    if (cx > x) break;
    if (x < cx + colWidths_[static_cast<size_t>(c)] + 1) {
      col = c;
      break;
    }
  }
  if (y >= 0) {
    if (y < FixedHeight()) {
      row = y / (rowHeight_ + 1);
    } else {
      int r = topRow_ + (y - FixedHeight()) / (rowHeight_ + 1);
      if (r < rowCount_) row = r;
    }
  }
  return col >= 0 && row >= 0;
}

// ---- current cell, selection, scrolling ----

void TStringGrid::MoveCurrent(int col, int row, bool keepAnchor) {
  col = std::min(std::max(col, fixedCols_), colCount_ - 1);
  row = std::min(std::max(row, fixedRows_), rowCount_ - 1);
  if (editing_ && (col != col_ || row != row_)) HideEditor(true);
  col_ = col;
  row_ = row;
  if (!keepAnchor || !(options_ & goRangeSelect)) {
    anchorCol_ = col;
    anchorRow_ = row;
  }
  ScrollIntoView();
  Invalidate();
}

void TStringGrid::SetTopRow(int row) {
  int maxTop = std::max(fixedRows_, rowCount_ - VisibleRowCount());
  row = std::min(std::max(row, fixedRows_), maxTop);
  if (row == topRow_) return;
  topRow_ = row;
  UpdateScrollBars();
  PlaceEditor();
  Invalidate();
}

void TStringGrid::ScrollIntoView() {
  int visible = VisibleRowCount();
  if (row_ < topRow_) topRow_ = row_;
  else if (row_ >= topRow_ + visible) topRow_ = row_ - visible + 1;
  if (col_ < leftCol_) {
    leftCol_ = col_;
  } else {
    while (leftCol_ < col_ && ColX(col_) + colWidths_[static_cast<size_t>(col_)] > ClientWidth()) ++leftCol_;
  }
  UpdateScrollBars();
  PlaceEditor();
}

void TStringGrid::UpdateScrollBars() {
  if (!Handle()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  int visibleRows = VisibleRowCount();
  si.nMin = fixedRows_;
  si.nMax = rowCount_ - 1;
  si.nPage = static_cast<UINT>(visibleRows);
  si.nPos = topRow_;
  bool needV = rowCount_ - fixedRows_ > visibleRows;
  ShowScrollBar(Handle(), SB_VERT, needV);
  if (needV) SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
  int width = FixedWidth();
  for (int c = fixedCols_; c < colCount_; ++c) width += colWidths_[static_cast<size_t>(c)] + 1;
  bool needH = width > ClientWidth() + (needV ? 0 : 0);
  ShowScrollBar(Handle(), SB_HORZ, needH);
  if (needH) {
    si.nMin = fixedCols_;
    si.nMax = colCount_ - 1;
    si.nPage = 1;
    si.nPos = leftCol_;
    SetScrollInfo(Handle(), SB_HORZ, &si, TRUE);
  }
}

void TStringGrid::OnScroll(int bar, WORD code) {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(Handle(), bar, &si);
  int pos = bar == SB_VERT ? topRow_ : leftCol_;
  int page = bar == SB_VERT ? VisibleRowCount() : 1;
  switch (code) {
    case SB_LINEUP: --pos; break;
    case SB_LINEDOWN: ++pos; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = bar == SB_VERT ? rowCount_ : colCount_; break;
    default: return;
  }
  if (editing_) HideEditor(true);
  if (bar == SB_VERT) {
    SetTopRow(pos);
  } else {
    leftCol_ = std::min(std::max(pos, fixedCols_), colCount_ - 1);
    UpdateScrollBars();
    Invalidate();
  }
}

// ---- keyboard and editor ----

void TStringGrid::OnKeyDown(WPARAM key) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  int page = VisibleRowCount();
  switch (key) {
    case VK_UP: MoveCurrent(col_, row_ - 1, shift); break;
    case VK_DOWN: MoveCurrent(col_, row_ + 1, shift); break;
    case VK_LEFT: MoveCurrent(col_ - 1, row_, shift); break;
    case VK_RIGHT: MoveCurrent(col_ + 1, row_, shift); break;
    case VK_PRIOR: MoveCurrent(col_, row_ - page, shift); break;
    case VK_NEXT: MoveCurrent(col_, row_ + page, shift); break;
    case VK_HOME: MoveCurrent(fixedCols_, ctrl ? fixedRows_ : row_, shift); break;
    case VK_END: MoveCurrent(colCount_ - 1, ctrl ? rowCount_ - 1 : row_, shift); break;
    case VK_TAB:
      if (!(options_ & goTabs)) break;
      if (shift) {
        if (col_ > fixedCols_) MoveCurrent(col_ - 1, row_, false);
        else if (row_ > fixedRows_) MoveCurrent(colCount_ - 1, row_ - 1, false);
      } else {
        if (col_ < colCount_ - 1) MoveCurrent(col_ + 1, row_, false);
        else if (row_ < rowCount_ - 1) MoveCurrent(fixedCols_, row_ + 1, false);
      }
      break;
    case VK_F2:
    case VK_RETURN:
      ShowEditor(false, 0);
      break;
    default:
      break;
  }
}

void TStringGrid::SetEditorMode(bool value) {
  if (value) ShowEditor(false, 0);
  else if (editing_) HideEditor(true);
}

void TStringGrid::ShowEditor(bool replace, wchar_t firstChar) {
  if (!(options_ & goEditing) || editing_) return;
  if (!editor_) {
    editor_ = new TInplaceEdit(this);
    editor_->SetParent(this);
  }
  ScrollIntoView();
  editing_ = true;
  PlaceEditor();
  if (replace) {
    std::wstring first(1, firstChar);
    SetWindowTextW(editor_->Handle(), first.c_str());
    SendMessageW(editor_->Handle(), EM_SETSEL, 1, 1);
  } else {
    editor_->SetCaption(Cells(col_, row_));
    SendMessageW(editor_->Handle(), EM_SETSEL, 0, -1);
  }
  ShowWindow(editor_->Handle(), SW_SHOW);
  ::SetFocus(editor_->Handle());
  Invalidate();
}

void TStringGrid::HideEditor(bool commit) {
  if (!editing_) return;
  editing_ = false;  // first: hiding moves the focus, which asks to commit again
  AnsiString text = editor_->Caption();
  bool hadFocus = GetFocus() == editor_->Handle();
  ShowWindow(editor_->Handle(), SW_HIDE);
  if (hadFocus) ::SetFocus(Handle());
  if (commit && text != Cells(col_, row_)) {
    SetCells(col_, row_, text);
    if (OnSetEditText) OnSetEditText(this, col_, row_, text);
  }
  Invalidate();
}

void TStringGrid::PlaceEditor() {
  if (!editing_ || !editor_) return;
  TRect r = CellRect(col_, row_);
  editor_->SetBounds(r.Left + 1, r.Top + 1, std::max(0, r.Width() - 2), std::max(0, r.Height() - 2));
}

void TStringGrid::FontChanged() {
  TWinControl::FontChanged();
  canvas_.Font().Assign(Font());
  Invalidate();
}

// ---- painting ----

void TStringGrid::DrawCell(HDC dc, int col, int row, const TRect& rect) {
  bool fixed = col < fixedCols_ || row < fixedRows_;
  TGridRect sel = Selection();
  bool focusedCell = col == col_ && row == row_;
  bool selected = !fixed && col >= sel.Left && col <= sel.Right && row >= sel.Top && row <= sel.Bottom;
  bool hasFocus = GetFocus() == Handle();
  TGridDrawState state = (fixed ? unsigned(gdFixed) : 0u) | (selected ? unsigned(gdSelected) : 0u) |
                         (focusedCell && hasFocus ? unsigned(gdFocused) : 0u);

  // The current cell stays in the window colour with a focus frame; the
  // rest of a selected range is highlighted.
  bool highlight = selected && !(focusedCell && hasFocus);
  TColor back = fixed ? fixedColor_ : highlight ? clHighlight : color_;
  canvas_.Font().Assign(Font());
  if (highlight) canvas_.Font().SetColor(clHighlightText);
  canvas_.Brush().Color = back;
  canvas_.TextRect(rect, rect.Left + 2, rect.Top + 2, Cells(col, row));
  if (fixed) {
    RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
  }
  // Grid lines right of and below the cell.
  bool vert = fixed ? (options_ & goFixedVertLine) : (options_ & goVertLine);
  bool horz = fixed ? (options_ & goFixedHorzLine) : (options_ & goHorzLine);
  HPEN pen = CreatePen(PS_SOLID, 1, fixed ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNFACE));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  if (vert) {
    MoveToEx(dc, rect.Right, rect.Top, nullptr);
    LineTo(dc, rect.Right, rect.Bottom + 1);
  }
  if (horz) {
    MoveToEx(dc, rect.Left, rect.Bottom, nullptr);
    LineTo(dc, rect.Right + 1, rect.Bottom);
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  if (focusedCell && hasFocus && !editing_) {
    RECT f{rect.Left, rect.Top, rect.Right, rect.Bottom};
    DrawFocusRect(dc, &f);
  }
  if (OnDrawCell) {
    canvas_.Font().Assign(Font());
    canvas_.Brush().Color = back;
    OnDrawCell(this, col, row, rect, state);
  }
}

void TStringGrid::Paint(HDC target) {
  RECT client{};
  GetClientRect(Handle(), &client);
  int w = client.right, h = client.bottom;
  if (w <= 0 || h <= 0) return;
  // Drawn off screen first: no flicker while scrolling or typing.
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bmp = CreateCompatibleBitmap(target, w, h);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  FillRect(dc, &client, ColorBrush());
  canvas_.SetHandle(dc);
  try {
    for (int r = 0; r < rowCount_; ++r) {
      if (r >= fixedRows_ && r < topRow_) continue;
      int y = RowY(r);
      if (y >= h) break;
      for (int c = 0; c < colCount_; ++c) {
        if (c >= fixedCols_ && c < leftCol_) continue;
        int x = ColX(c);
        if (x >= w) break;
        DrawCell(dc, c, r, TRect{x, y, x + colWidths_[static_cast<size_t>(c)], y + rowHeight_});
      }
    }
  } catch (...) {
    canvas_.SetHandle(nullptr);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    throw;
  }
  canvas_.SetHandle(nullptr);
  BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
}

LRESULT TStringGrid::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      try {
        Paint(dc);
      } catch (...) {
        EndPaint(Handle(), &ps);
        throw;
      }
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      if (options_ & goTabs) code |= DLGC_WANTTAB;
      auto* m = reinterpret_cast<MSG*>(lParam);
      if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      OnKeyDown(wParam);
      return 0;
    case WM_CHAR:
      if (wParam >= 32 && (options_ & goEditing)) ShowEditor(true, static_cast<wchar_t>(wParam));
      return 0;
    case WM_LBUTTONDOWN: {
      int c, r;
      if (editing_) HideEditor(true);
      ::SetFocus(Handle());
      if (MouseToCell(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), c, r) &&
          c >= fixedCols_ && r >= fixedRows_) {
        MoveCurrent(c, r, (wParam & MK_SHIFT) != 0);
        selecting_ = true;
        SetCapture(Handle());
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (selecting_ && (options_ & goRangeSelect)) {
        int c, r;
        if (MouseToCell(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), c, r) &&
            (c != col_ || r != row_))
          MoveCurrent(c, r, true);
      }
      return 0;
    case WM_LBUTTONUP:
      if (selecting_) {
        selecting_ = false;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      selecting_ = false;
      break;
    case WM_LBUTTONDBLCLK: {
      int c, r;
      if (MouseToCell(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), c, r) &&
          c == col_ && r == row_)
        ShowEditor(false, 0);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (editing_) HideEditor(true);
      SetTopRow(topRow_ - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3);
      return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (lParam == 0) {
        OnScroll(msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
        return 0;
      }
      break;
    case WM_SETFOCUS:
      // While a cell is being edited, focusing the grid means its editor.
      if (editing_ && editor_) {
        ::SetFocus(editor_->Handle());
        return 0;
      }
      Invalidate();
      break;
    case WM_KILLFOCUS:
      Invalidate();
      break;
    case WM_SIZE: {
      LRESULT res = TWinControl::WndProc(msg, wParam, lParam);
      UpdateScrollBars();
      PlaceEditor();
      return res;
    }
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
