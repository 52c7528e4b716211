#include <windows.h>

#include "app/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
  // cmdLine is the raw tail after the program's own name, as the system hands
  // it to a GUI program; its rules apply to that text as received.
  return RunProgram(cmdLine ? cmdLine : "");
}
