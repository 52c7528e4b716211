#pragma once
// The state shared by all automation objects of one open workbook: the model
// plus what automation changes (active sheet, Saved flag), and the views that
// follow it.
#include <objbase.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "spreadsheet/Model.h"

namespace Spreadsheet {

struct Book {
  Workbook model;
  std::string fileBytes;  // SaveAs writes these back
  std::wstring name;      // file name, as Workbook.Name gives it
  std::wstring fullName;
  bool saved = true;
  bool quit = false;

  // Edits of this session (spreadsheet/Edits.h changes them).
  struct Change {
    size_t sheet;
    Cell before, after;  // an Empty cell: nothing recorded there
  };
  std::vector<std::vector<Change>> undo, redo;  // one group per user action
  // The value the file holds at each position changed since it was loaded or
  // saved; a position whose value is back to it is dropped, so SaveAs keeps
  // its record (and formula) as it was.
  std::map<std::tuple<size_t, uint32_t, uint32_t>, Cell> originals;
  bool editing = false;  // a cell's in-place editor is open

  // Views register here to repaint when the active sheet changes.
  std::vector<std::pair<int, std::function<void()>>> listeners;
  int Listen(std::function<void()> f) {
    listeners.push_back({++lastListener_, std::move(f)});
    return lastListener_;
  }
  void Unlisten(int id) {
    for (size_t i = 0; i < listeners.size(); ++i)
      if (listeners[i].first == id) listeners.erase(listeners.begin() + static_cast<std::ptrdiff_t>(i));
  }
  void Changed() {
    auto copy = listeners;
    for (auto& l : copy) l.second();
  }
  void Activate(size_t sheet) {
    if (sheet < model.sheets.size() && sheet != model.activeSheet) {
      model.activeSheet = sheet;
      Changed();
    }
  }

 private:
  int lastListener_ = 0;
};

// The book behind one of this engine's automation objects; null for others.
std::shared_ptr<Book> BookOf(IUnknown* object);

}  // namespace Spreadsheet
