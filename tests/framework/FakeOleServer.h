#pragma once
// A small OLE server inside the test program, standing in for Excel: a class
// registered for this process only (CoRegisterClassObject) whose objects
// load from a compound file of their class, embed into a storage, run, open
// "their own window" on the primary verb (telling the site so), close on
// request or by themselves, and answer automation ("Name"). Every call from
// the container is logged; the count of live objects shows whether the
// container let the server go.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

// {5D2E3C31-7A5B-4C11-9E0D-2B1F6A0C8E41}
constexpr CLSID kFakeServerClsid = {0x5D2E3C31, 0x7A5B, 0x4C11, {0x9E, 0x0D, 0x2B, 0x1F, 0x6A, 0x0C, 0x8E, 0x41}};

struct FakeServerState {
  std::vector<std::string> log;
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
class FakeOleServer {
 public:
  explicit FakeOleServer(FakeServerState& state);
  ~FakeOleServer();
  FakeOleServer(const FakeOleServer&) = delete;
  FakeOleServer& operator=(const FakeOleServer&) = delete;
  HRESULT Registered() const { return registered_; }

  // A compound file whose root storage names the fake class, as an .xls
  // names Excel's.
  static HRESULT WriteFile(const std::wstring& path);

 private:
  IClassFactory* factory_;
  DWORD cookie_ = 0;
  HRESULT registered_;
};
