#include "app/Startup.h"

#include "app/CommandLine.h"
#include "framework/Application.h"

int RunProgram(const std::string& argumentText) {
  if (!AcceptCommandLine(argumentText)) return 0;
  try {
    // The main window and its message loop come here once the window exists.
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (...) {
    Application->ShowException(Exception(""));
  }
  return 0;
}
