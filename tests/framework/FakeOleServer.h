#pragma once
// A small OLE server standing in for Excel: objects of one class that load a
// book from a compound file of their class (its "Book" stream), embed into a
// storage, run, open "their own window" on the primary verb (telling the site
// so), close on request or by themselves, and answer Excel's automation over
// that book (the shared fake Excel). Registered for one test process
// (CoRegisterClassObject) or, built into a DLL, in the registry of the
// program's Wine prefix. Every call from the container is logged; the count
// of live objects shows whether the container let the server go.
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/FakeExcel.h"

// {5D2E3C31-7A5B-4C11-9E0D-2B1F6A0C8E41}
constexpr CLSID kFakeServerClsid = {0x5D2E3C31, 0x7A5B, 0x4C11, {0x9E, 0x0D, 0x2B, 0x1F, 0x6A, 0x0C, 0x8E, 0x41}};

struct FakeServerState {
  // The book the embedded object shows and automates.
  TFakeExcel excel;
  std::vector<std::string> log;
  // Sees every entry as it is logged.
  std::function<void(const std::string&)> OnLog;
  void Log(const std::string& entry) {
    log.push_back(entry);
    if (OnLog) OnLog(entry);
  }
  long live = 0;
  // The embedded object (the last one loaded from a storage), while alive.
  class TFakeServerObject* embedded = nullptr;
  bool inPlaceSiteOffered = false;
  HWND verbParent = nullptr;
  // Close fails with this when set, as a server that refuses.
  HRESULT closeResult = S_OK;

  bool Logged(const std::string& entry) const;
  // The server closing on its own, as when the user closes Excel's window.
  void CloseFromServer();
};

// Registers the class for the holder's lifetime.
// The class factory of the fake class, with one reference.
IClassFactory* NewFakeServerFactory(FakeServerState& state);

class FakeOleServer {
 public:
  explicit FakeOleServer(FakeServerState& state);
  ~FakeOleServer();
  FakeOleServer(const FakeOleServer&) = delete;
  FakeOleServer& operator=(const FakeOleServer&) = delete;
  HRESULT Registered() const { return registered_; }

  // A compound file whose root storage names the fake class, as an .xls
  // names Excel's, holding the book (when given) in its "Book" stream.
  static HRESULT WriteFile(const std::wstring& path, const TFakeExcel* book = nullptr);
  // The book of such a file; false when it holds none.
  static bool ReadFile(const std::wstring& path, TFakeExcel& book);

 private:
  IClassFactory* factory_;
  DWORD cookie_ = 0;
  HRESULT registered_;
};
