#include "app/Startup.h"

#include "app/CommandLine.h"
#include "framework/Application.h"
#include "ui/ImportExcelForm.h"

int RunProgram(const std::string& argumentText) {
  if (!AcceptCommandLine(argumentText)) return 0;
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
