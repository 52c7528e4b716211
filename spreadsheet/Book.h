#pragma once
// The state shared by all automation objects of one open workbook: the model
// plus what automation changes (active sheet, Saved flag), and the views that
// follow it.
#include <objbase.h>

#include <functional>
#include <memory>
#include <string>
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
