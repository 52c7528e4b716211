#include "app/Startup.h"

#include "app/CommandLine.h"
#include "framework/Application.h"
#include "framework/OleContainer.h"
#include "spreadsheet/Spreadsheet.h"
#include "ui/ImportExcelForm.h"

int RunProgram(const std::string& argumentText) {
  if (!AcceptCommandLine(argumentText)) return 0;
  // Where no OLE server takes the workbook, the built-in engine shows it.
  TOleContainer::SetBuiltinEngine(SpreadsheetOpenWorkbook, SpreadsheetCreateView);
  TOleContainer::SetFileCheck([](const AnsiString& path, AnsiString& reason) {
    switch (SpreadsheetCheckFile(path, reason)) {
      case SpreadsheetFileCheck::kAnyReader: return fvAnyReader;
      case SpreadsheetFileCheck::kEngineOnly: return fvEngineOnly;
      default: return fvRefused;
    }
  });
  try {
    Application->Initialize();
    Application->CreateForm(ImportExcelForm);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (...) {
    Application->ShowException(Exception(""));
  }
  return 0;
}
