#pragma once
// Fixture of the main-window tests: the window over a private folder that
// stands for the executable's, shown and activated as the program does.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/Application.h"
#include "framework/OleContainer.h"
#include "spreadsheet/Spreadsheet.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TinyXlsx.h"
#include "ui/ImportExcelForm.h"
#include "ui/OleContainerForm.h"
#include "ui/ProgramPaths.h"

class MainFormTest : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    // The built-in engine answers, whatever OLE servers the machine has.
    TOleContainer::SetBuiltinEngine(SpreadsheetOpenWorkbook, SpreadsheetCreateView);
    TOleContainer::SetForceBuiltin(true);
    WriteBook({{"Лист1", {{1, 1, "Шифр"}, {1, 2, "Объем"}}}});
    ListFilePath = dir.File("list.txt");
  }
  void TearDown() override {
    delete form;
    Pump();
  }

  static void Pump() { Application->ProcessMessages(); }
  // Lets the timers run for about ms milliseconds.
  static void Wait(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (static_cast<int>(end - GetTickCount()) > 0) {
      Pump();
      Sleep(5);
    }
    Pump();
  }

  // The workbook named on the command line.
  void WriteBook(const std::vector<TinySheet>& sheets, size_t active = 0) {
    ExcelFilePath = dir.File("book.xlsx");
    WriteFileBytes(ExcelFilePath, TinyXlsx(sheets, active));
  }

  std::string SettingsFolder() const { return dir.Path() + "XLS2ZALBIRO\\"; }
  std::string IniPath() const { return SettingsFolder() + "XLS2ZALBIRO.ini"; }
  void WriteIni(const std::string& text) {
    CreateDirectoryA(SettingsFolder().c_str(), nullptr);
    WriteFileBytes(IniPath(), text);
  }
  std::string IniText() const { return FileExists(IniPath()) ? ReadFileBytes(IniPath()) : std::string(); }

  // Creates the window, shows it and lets the first activation run.
  TImportExcelForm* Open() {
    form = new TImportExcelForm(nullptr, dir.Path());
    form->Show();
    SetForegroundWindow(form->Handle());
    Pump();
    if (form->FirstActivate) SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    Pump();
    return form;
  }

  // The grid's data rows as "prefix|replacement" lines.
  std::vector<std::string> GridRows() const {
    std::vector<std::string> rows;
    TStringGrid* g = form->sgridPrefixCodeReplace;
    for (int r = g->FixedRows(); r < g->RowCount(); ++r) rows.push_back(g->Cells(0, r) + "|" + g->Cells(1, r));
    return rows;
  }
  void SetGridRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    TStringGrid* g = form->sgridPrefixCodeReplace;
    g->SetRowCount(static_cast<int>(rows.size()) + 1);
    for (size_t i = 0; i < rows.size(); ++i) {
      g->SetCells(0, static_cast<int>(i) + 1, rows[i].first);
      g->SetCells(1, static_cast<int>(i) + 1, rows[i].second);
    }
  }
  std::vector<std::string> VariantNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < form->cmbTemplateOptions->Items().Count(); ++i)
      names.push_back(form->cmbTemplateOptions->Items().Strings(i));
    return names;
  }

  TempDir dir;
  TImportExcelForm* form = nullptr;
};
