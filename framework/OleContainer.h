#pragma once
// The OLE container control: a child window that holds one embedded object.
//
// Where an OLE server is registered for the file (Microsoft Excel on a
// user's machine) the object is a real OLE embedding in a private storage:
// the primary verb opens it in the server's own window (in-place activation
// is refused) while the container draws the object's presentation. Where
// none is (as under Wine), the container holds the built-in engine's
// workbook instead, and verb 0 shows the engine's sheet view inside the
// container. The framework knows the engine only through the two hooks that
// the application sets at start, so framework/ stays free of it.
#include <windows.h>
#include <ole2.h>

#include "framework/ComPtr.h"
#include "framework/Controls.h"
#include "framework/OleContainerOps.h"

class TOleSite;

// The built-in engine: opens a file as a workbook automation object (on
// refusal a failed HRESULT and a reason the user can read), and makes a child
// window of parent that shows it.
using TBuiltinOpen = HRESULT (*)(const AnsiString& path, IDispatch** workbook, AnsiString& reason);
using TBuiltinView = HWND (*)(HWND parent, IDispatch* workbook, const RECT& rect);
// The engine's check of a file before anything of the platform reads it: a
// file fit for any reader, one only the engine may read (the platform
// misreads it), or one refused with a reason the user can read.
enum TFileVerdict { fvAnyReader, fvEngineOnly, fvRefused };
using TBuiltinCheck = TFileVerdict (*)(const AnsiString& path, AnsiString& reason);

// True for the failures of OleCreateFromFile that mean "nothing here serves
// this file", so the built-in engine may take it; false for every fault.
bool IsNoOleServer(HRESULT hr);

// What activates the object without an explicit verb.
enum TAutoActivate { aaManual, aaGetFocus, aaDoubleClick };

class TOleContainer : public TWinControl, public IOleContainerOps {
 public:
  explicit TOleContainer(TComponent* owner);
  // Lets the object go (its server with it) before the window goes.
  ~TOleContainer() override;
  AnsiString ClassName() const override { return "TOleContainer"; }

  // The built-in engine, for files no OLE server takes.
  static void SetBuiltinEngine(TBuiltinOpen open, TBuiltinView view);
  // Runs before the platform's OLE code opens a file (none when null).
  static void SetFileCheck(TBuiltinCheck check);
  // Use the built-in engine even where an OLE server is registered (tests).
  static void SetForceBuiltin(bool force);
  static bool ForceBuiltin();

  TObjectState State() const override;
  void Close() override;
  void CreateObjectFromFile(const AnsiString& path, bool iconic) override;
  void DoVerb(int verb) override;
  Variant OleObject() const override;
  void DestroyObject() override;
  void SetEnabled(bool enabled) override;
  void Refresh() override;

  // Double click or focus runs the primary verb unless activation is manual.
  TAutoActivate AutoActivate() const { return autoActivate_; }
  void SetAutoActivate(TAutoActivate value) { autoActivate_ = value; }
  // This container never activates an object in place and has no verb
  // menu: the properties are kept for the form's layout, which turns both
  // off, and say so when read.
  bool AllowInPlace() const { return false; }
  void SetAllowInPlace(bool) {}
  bool AutoVerbMenu() const { return false; }
  void SetAutoVerbMenu(bool) {}

  // True while the object is the built-in engine's workbook.
  bool IsBuiltin() const { return builtin_.Get() != nullptr; }
  // The built-in engine's view while the object runs, else null.
  HWND ViewWindow() const { return view_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class TOleSite;

  // OLE: the embedding in a fresh storage; false when no server takes the
  // file (the built-in engine is tried then). Other failures are raised.
  bool CreateOleObject(const AnsiString& path, DWORD aspect);
  void CreateBuiltinObject(const AnsiString& path);
  void CloseOleObject(DWORD saveOption);
  void DestroyView();
  void Paint(HDC dc);

  // Calls from the object's server, through the site.
  void ServerShowWindow(bool shown);
  void ServerClosed();
  void ServerViewChanged();
  HRESULT ServerSaveObject();

  // The real embedding.
  TComPtr<IStorage> storage_;
  TComPtr<IOleObject> object_;
  TComPtr<TOleSite> site_;
  DWORD adviseConnection_ = 0;
  DWORD aspect_ = DVASPECT_CONTENT;
  // Set by the verb, cleared when the server closes the object.
  bool running_ = false;
  // The server shows the object in its own window.
  bool open_ = false;

  TAutoActivate autoActivate_ = aaDoubleClick;

  // The built-in engine's workbook and, while it runs, its view.
  TComPtr<IDispatch> builtin_;
  HWND view_ = nullptr;
};
