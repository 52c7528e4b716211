// The tests' stand-in for Excel on the real program's OLE road: the fake OLE
// server built into an in-process server DLL, registered in the Wine prefix
// for its class, which the book files of the tests name in their root
// storage. In process because Wine's default handler does not marshal an
// embedding's automation to an out-of-process server well enough for a
// container to drive it; to the program the road is the same: it embeds the
// file with OleCreateFromFile and drives the object by name.
//
// The test steers the server through two files the book names:
//   log      every call of the container and of the automation, one a line;
//   control  read before every automation call; whenever its text changed,
//            its lines are applied, as a user working in Excel would change
//            the book: "saved<TAB>0|1", "editing<TAB>0|1" (a cell in edit
//            mode), "active<TAB>n" (the user picks sheet n), "cell<TAB>sheet
//            <TAB>row<TAB>column<TAB>text" (an edit: the book becomes
//            unsaved), "gone<TAB>n" (the server vanishes after n more calls).
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "framework/Unicode.h"
#include "tests/framework/FakeOleServer.h"

namespace {

// One book per process, never freed: the program may hold automation objects
// of it until the process ends.
FakeServerState* gState = nullptr;
std::string gAppliedControl;
long gCallsUntilGone = -1;

std::string Extra(const char* key) {
  auto it = gState->excel.extra.find(key);
  return it == gState->excel.extra.end() ? std::string() : it->second;
}

void AppendLog(const std::string& entry) {
  const std::string path = Extra("log");
  if (path.empty()) return;
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fprintf(f, "%s\n", entry.c_str());
    std::fclose(f);
  }
}

std::string ReadWhole(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
    std::fclose(f);
  }
  return text;
}

void ApplyControl(const std::string& text) {
  TFakeExcel& excel = gState->excel;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
      size_t tab = line.find('\t', start);
      f.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    const long n = f.size() > 1 ? std::atol(f[1].c_str()) : 0;
    if (f[0] == "saved" && f.size() == 2) {
      excel.saved = n != 0;
    } else if (f[0] == "editing" && f.size() == 2) {
      excel.editing = n != 0;
    } else if (f[0] == "active" && f.size() == 2 && n >= 1 && static_cast<size_t>(n) <= excel.sheets.size()) {
      excel.active = static_cast<size_t>(n - 1);
    } else if (f[0] == "cell" && f.size() == 5 && n >= 1 && static_cast<size_t>(n) <= excel.sheets.size()) {
      excel.sheets[static_cast<size_t>(n - 1)].Set(std::atoi(f[2].c_str()), std::atoi(f[3].c_str()), Variant(f[4]));
      excel.saved = false;
    } else if (f[0] == "gone" && f.size() == 2) {
      gCallsUntilGone = n;
    }
    AppendLog("control: " + line);
  }
}

// Before every automation call: the test's latest word, then the countdown
// to the server's vanishing.
void BeforeCall() {
  const std::string path = Extra("control");
  if (!path.empty()) {
    std::string text = ReadWhole(path);
    if (text != gAppliedControl) {
      gAppliedControl = text;
      ApplyControl(text);
    }
  }
  if (gCallsUntilGone >= 0 && gCallsUntilGone-- == 0) {
    gState->excel.goneWith = RPC_E_DISCONNECTED;
    AppendLog("gone");
  }
}

FakeServerState& State() {
  if (!gState) {
    gState = new FakeServerState;
    gState->OnLog = AppendLog;
    gState->excel.logging = false;
    gState->excel.OnLog = AppendLog;
    gState->excel.BeforeCall = BeforeCall;
    // SaveAs writes the book in the server's own format, whatever the name.
    gState->excel.saveAs = [](const std::string& path) {
      if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
      return FakeOleServer::WriteFile(AnsiToWide(path), &gState->excel);
    };
  }
  return *gState;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kFakeServerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = NewFakeServerFactory(State());
  HRESULT hr = factory->QueryInterface(riid, out);
  factory->Release();
  return hr;
}

// Kept loaded: the book lives as long as the process.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
