#pragma once
// The in-place editor of the sheet view: an edit control laid over the
// current cell. It owns its window; the view hears the keys that end an edit
// through its callbacks. Losing the focus does not end it: as in Excel, a
// cell stays in edit mode while the user looks elsewhere.
#include <windows.h>

#include <functional>
#include <string>

namespace Spreadsheet {

class CellEditor {
 public:
  // How the edit ends: committed with a move (rows, cols), or cancelled.
  struct Handlers {
    std::function<void(int rows, int cols)> commit;
    std::function<void()> cancel;
  };

  CellEditor() = default;
  ~CellEditor() { Close(); }
  CellEditor(const CellEditor&) = delete;
  CellEditor& operator=(const CellEditor&) = delete;

  // Opens over rect with text, the caret at its end. arrowsMove: the arrow
  // keys end the edit (it was opened by typing), else they move the caret.
  void Open(HWND parent, const RECT& rect, HFONT font, const std::wstring& text, bool arrowsMove, Handlers handlers);
  void Close();
  bool IsOpen() const { return hwnd_ != nullptr; }
  HWND Window() const { return hwnd_; }
  std::wstring Text() const;
  const std::wstring& Initial() const { return initial_; }
  void Move(const RECT& rect);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;
  std::wstring initial_;
  bool arrowsMove_ = false;
  Handlers handlers_;
};

}  // namespace Spreadsheet
