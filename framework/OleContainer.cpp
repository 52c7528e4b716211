#include "framework/OleContainer.h"

#include <cstdio>

#include "framework/Unicode.h"

namespace {

TBuiltinOpen gBuiltinOpen = nullptr;
TBuiltinView gBuiltinView = nullptr;
bool gForceBuiltin = false;
TBuiltinCheck gFileCheck = nullptr;

const char kNoObjectText[] = "Контейнер OLE не содержит объекта";
const char kRefusedText[] = "Для файла нет сервера OLE, а встроенное средство не открыло его";
const char kNoEngineText[] = "Для файла нет сервера OLE";
const char kCheckText[] = "Файл не открыт: встроенное средство нашло в нём ошибку";
const char kNoViewText[] = "Не удалось показать книгу встроенным средством";

// The Packager: Windows wraps a file of a class nobody serves into a package
// object, which has no automation; that is no server either.
constexpr CLSID kClsidPackage = {0x0003000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

AnsiString HexCode(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

[[noreturn]] void RaiseOle(const AnsiString& what, HRESULT hr) {
  throw EOleException(what + " (" + HexCode(hr) + ")", hr, "", "");
}

}  // namespace

// Under Wine an .xls answers REGDB_E_CLASSNOTREG (its storage names Excel's
// class) and an .xlsx or a missing file MK_E_INVALIDEXTENSION. A missing or
// unreadable file is left to the built-in engine too: its reason says more.
// A call made wrongly (OLE not initialised, a server that failed inside) is
// a fault the user must see, never "no server": it would silently hide Excel.
bool IsNoOleServer(HRESULT hr) {
  switch (static_cast<unsigned long>(hr)) {
    case 0x80040150ul:  // REGDB_E_READREGDB
    case 0x80040151ul:  // REGDB_E_WRITEREGDB
    case 0x80040152ul:  // REGDB_E_KEYMISSING
    case 0x80040153ul:  // REGDB_E_INVALIDVALUE
    case 0x80040154ul:  // REGDB_E_CLASSNOTREG
    case 0x80040155ul:  // REGDB_E_IIDNOTREG
    case 0x800401F2ul:  // CO_E_CANTDETERMINECLASS
    case 0x800401F3ul:  // CO_E_CLASSSTRING
    case 0x800401F5ul:  // CO_E_APPNOTFOUND
    case 0x800401F8ul:  // CO_E_DLLNOTFOUND
    case 0x800401FAul:  // CO_E_WRONGOSFORAPP
    case 0x800401FBul:  // CO_E_OBJNOTREG
    case 0x800401FEul:  // CO_E_APPDIDNTREG
      return true;
    default:
      break;
  }
  // HRESULT_FROM_WIN32 is a function in some headers: compare outside the switch.
  return hr == MK_E_INVALIDEXTENSION || hr == MK_E_CANTOPENFILE || hr == CLASS_E_CLASSNOTAVAILABLE ||
         hr == CO_E_SERVER_EXEC_FAILURE || hr == STG_E_FILENOTFOUND || hr == STG_E_PATHNOTFOUND ||
         hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The one site object the server talks to, in the manner of SumatraPDF's
// HtmlWindow: one small class per interface, all sharing the site's
// reference count and identity. IOleInPlaceSite is not offered, so the
// primary verb opens the object in the server's own window. The site outlives
// its container if the server holds on to it: Detach cuts the link.
class TOleSite final : public IUnknown {
 public:
  explicit TOleSite(TOleContainer* owner) : owner_(owner), clientSite_(this), adviseSink_(this) {}
  TOleSite(const TOleSite&) = delete;
  TOleSite& operator=(const TOleSite&) = delete;

  void Detach() { owner_ = nullptr; }
  IOleClientSite* ClientSite() { return &clientSite_; }
  IAdviseSink* AdviseSink() { return &adviseSink_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown) {
      *out = static_cast<IUnknown*>(this);
    } else if (riid == IID_IOleClientSite) {
      *out = &clientSite_;
    } else if (riid == IID_IAdviseSink) {
      *out = &adviseSink_;
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 private:
  ~TOleSite() = default;

  class TClientSite : public IOleClientSite {
   public:
    explicit TClientSite(TOleSite* site) : site_(site) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
      return site_->QueryInterface(riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return site_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return site_->Release(); }

    HRESULT STDMETHODCALLTYPE SaveObject() override {
      try {
        return site_->owner_ ? site_->owner_->ServerSaveObject() : E_UNEXPECTED;
      } catch (...) {
        return E_UNEXPECTED;
      }
    }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
      if (moniker) *moniker = nullptr;
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
      if (container) *container = nullptr;
      return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override {
      try {
        if (site_->owner_) site_->owner_->ServerShowWindow(show != FALSE);
      } catch (...) {
      }
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

   private:
    TOleSite* site_;
  };

  class TAdviseSink : public IAdviseSink {
   public:
    explicit TAdviseSink(TOleSite* site) : site_(site) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
      return site_->QueryInterface(riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return site_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return site_->Release(); }

    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {
      try {
        if (site_->owner_) site_->owner_->ServerViewChanged();
      } catch (...) {
      }
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {
      try {
        if (site_->owner_) site_->owner_->ServerClosed();
      } catch (...) {
      }
    }

   private:
    TOleSite* site_;
  };

  LONG refs_ = 1;
  TOleContainer* owner_;
  TClientSite clientSite_;
  TAdviseSink adviseSink_;
};

TOleContainer::TOleContainer(TComponent* owner) : TWinControl(owner) {
  // Redrawn whole on every size change: the presentation is scaled to the window.
  RegisterOwnClass(L"X2ZOleContainer", CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
  CreateHandle(L"X2ZOleContainer", WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT);
  SetColor(clWindow);
  SetBoundsRaw(0, 0, 121, 121);
}

TOleContainer::~TOleContainer() {
  try {
    DestroyObject();
  } catch (...) {
    // Runs while the window goes: nothing may escape.
  }
}

void TOleContainer::SetBuiltinEngine(TBuiltinOpen open, TBuiltinView view) {
  gBuiltinOpen = open;
  gBuiltinView = view;
}

void TOleContainer::SetFileCheck(TBuiltinCheck check) { gFileCheck = check; }

void TOleContainer::SetForceBuiltin(bool force) { gForceBuiltin = force; }
bool TOleContainer::ForceBuiltin() { return gForceBuiltin; }

TObjectState TOleContainer::State() const {
  if (builtin_) return view_ && IsWindow(view_) ? osRunning : osLoaded;
  if (!object_) return osEmpty;
  // A server that went away without telling (killed, crashed) leaves the
  // object loaded.
  if (!running_ || !OleIsRunning(object_.Get())) return osLoaded;
  return open_ ? osOpen : osRunning;
}

void TOleContainer::CreateObjectFromFile(const AnsiString& path, bool iconic) {
  DestroyObject();
  // The platform's class-file and storage code trusts a compound file's
  // tables (a damaged one can make it loop for minutes): our check reads
  // the file first, and a file it refuses goes nowhere else.
  AnsiString reason;
  TFileVerdict verdict = gFileCheck ? gFileCheck(path, reason) : fvAnyReader;
  if (verdict == fvRefused) throw EOleContainerError(kCheckText, reason);
  if (!gForceBuiltin && verdict == fvAnyReader && CreateOleObject(path, iconic ? DVASPECT_ICON : DVASPECT_CONTENT)) {
    Invalidate();
    return;
  }
  CreateBuiltinObject(path);
  Invalidate();
}

bool TOleContainer::CreateOleObject(const AnsiString& path, DWORD aspect) {
  // A private storage in memory: the object is an embedded copy, gone with the container.
  TComPtr<ILockBytes> bytes;
  HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Out());
  if (FAILED(hr)) RaiseOle("Не удалось создать хранилище объекта", hr);
  TComPtr<IStorage> storage;
  hr = StgCreateDocfileOnILockBytes(bytes.Get(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0,
                                    storage.Out());
  if (FAILED(hr)) RaiseOle("Не удалось создать хранилище объекта", hr);

  TComPtr<TOleSite> site;
  site.Attach(new TOleSite(this));
  FORMATETC format{0, nullptr, aspect, -1, TYMED_NULL};
  std::wstring widePath = AnsiToWide(path);
  TComPtr<IOleObject> object;
  hr = OleCreateFromFile(CLSID_NULL, widePath.c_str(), IID_IOleObject, OLERENDER_DRAW, &format, site->ClientSite(),
                         storage.Get(), object.OutVoid());
  if (FAILED(hr) || !object) {
    site->Detach();
    if (IsNoOleServer(hr)) return false;
    RaiseOle("Не удалось внедрить файл " + path, FAILED(hr) ? hr : E_UNEXPECTED);
  }
  // A static picture or a package: something shows, but nothing to automate.
  CLSID clsid{};
  if (hr == OLE_S_STATIC || (SUCCEEDED(object->GetUserClassID(&clsid)) && IsEqualCLSID(clsid, kClsidPackage))) {
    if (OleIsRunning(object.Get())) object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    site->Detach();
    return false;
  }

  // From here on the object is ours: a failure below still lets it go cleanly.
  object_ = object;
  storage_ = storage;
  site_ = site;
  aspect_ = aspect;
  running_ = open_ = false;
  OleSetContainedObject(object.Get(), TRUE);
  object->SetHostNames(L"XLS2ZALBIRO", L"XLS2ZALBIRO");
  hr = object->Advise(site->AdviseSink(), &adviseConnection_);
  if (FAILED(hr)) adviseConnection_ = 0;
  TComPtr<IViewObject> viewObject;
  if (SUCCEEDED(object.QueryInterface(viewObject))) viewObject->SetAdvise(aspect, 0, site->AdviseSink());
  return true;
}

void TOleContainer::CreateBuiltinObject(const AnsiString& path) {
  if (!gBuiltinOpen) throw EOleContainerError(kNoEngineText, "");
  AnsiString reason;
  TComPtr<IDispatch> workbook;
  HRESULT hr = gBuiltinOpen(path, workbook.Out(), reason);
  if (FAILED(hr) || !workbook) throw EOleContainerError(kRefusedText, reason);
  builtin_ = workbook;
}

void TOleContainer::DoVerb(int verb) {
  RECT rect{};
  GetClientRect(Handle(), &rect);
  if (builtin_) {
    // Every verb shows the workbook; the view is made once per run.
    if (view_ && IsWindow(view_)) return;
    view_ = nullptr;
    if (!gBuiltinView) throw Exception(kNoViewText);
    HWND view = gBuiltinView(Handle(), builtin_.Get(), rect);
    if (!view) throw Exception(kNoViewText);
    view_ = view;
    if (!Enabled()) EnableWindow(view_, FALSE);
    return;
  }
  if (!object_) throw Exception(kNoObjectText);
  HRESULT hr = OleRun(object_.Get());
  if (FAILED(hr)) RaiseOle("Не удалось запустить сервер объекта", hr);
  running_ = true;
  hr = object_->DoVerb(verb, nullptr, site_->ClientSite(), 0, Handle(), &rect);
  if (FAILED(hr)) RaiseOle("Объект не выполнил команду " + IntToStr(verb), hr);
  Invalidate();
}

Variant TOleContainer::OleObject() const {
  if (builtin_) return Variant(builtin_.Get());
  if (!object_) throw Exception(kNoObjectText);
  TComPtr<IDispatch> dispatch;
  HRESULT hr = object_.QueryInterface(dispatch);
  if (FAILED(hr) || !dispatch) RaiseOle("Объект не поддерживает автоматизацию", FAILED(hr) ? hr : E_NOINTERFACE);
  return Variant(dispatch.Get());
}

void TOleContainer::Close() {
  if (builtin_) {
    DestroyView();
    Invalidate();
    return;
  }
  // The server writes unsaved edits into our copy: the object stays as the user left it.
  CloseOleObject(OLECLOSE_SAVEIFDIRTY);
}

void TOleContainer::CloseOleObject(DWORD saveOption) {
  if (!object_) return;
  if (OleIsRunning(object_.Get())) {
    HRESULT hr = object_->Close(saveOption);
    // A server that refused keeps running, and the state says so.
    if (FAILED(hr) && OleIsRunning(object_.Get())) return;
  }
  running_ = open_ = false;
  Invalidate();
}

void TOleContainer::DestroyView() {
  HWND view = view_;
  view_ = nullptr;
  if (view && IsWindow(view)) DestroyWindow(view);
}

void TOleContainer::DestroyObject() {
  DestroyView();
  builtin_.Release();
  if (object_) {
    // This order lets the server go: closed without saving, no sinks left
    // for it to call, no site to hold, then the last reference.
    CloseOleObject(OLECLOSE_NOSAVE);
    TComPtr<IViewObject> viewObject;
    if (SUCCEEDED(object_.QueryInterface(viewObject))) viewObject->SetAdvise(aspect_, 0, nullptr);
    viewObject.Release();
    if (adviseConnection_) object_->Unadvise(adviseConnection_);
    adviseConnection_ = 0;
    object_->SetClientSite(nullptr);
    object_.Release();
  }
  if (site_) {
    site_->Detach();
    // A server that still holds proxies to the site gets them cut.
    CoDisconnectObject(site_.Get(), 0);
    site_.Release();
  }
  storage_.Release();
  running_ = open_ = false;
  if (Handle()) Invalidate();
}

// The view goes with the container: a disabled container would otherwise
// leave a focused view taking keys during a conversion.
void TOleContainer::SetEnabled(bool enabled) {
  TWinControl::SetEnabled(enabled);
  if (view_) EnableWindow(view_, enabled ? TRUE : FALSE);
}

void TOleContainer::Refresh() {
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TOleContainer::ServerShowWindow(bool shown) {
  open_ = shown;
  Invalidate();
}

void TOleContainer::ServerClosed() {
  running_ = open_ = false;
  Invalidate();
}

void TOleContainer::ServerViewChanged() { Invalidate(); }

HRESULT TOleContainer::ServerSaveObject() {
  if (!object_ || !storage_) return E_UNEXPECTED;
  TComPtr<IPersistStorage> persist;
  HRESULT hr = object_.QueryInterface(persist);
  if (FAILED(hr)) return hr;
  hr = OleSave(persist.Get(), storage_.Get(), TRUE);
  persist->SaveCompleted(nullptr);
  return hr;
}

void TOleContainer::Paint(HDC dc) {
  RECT rect{};
  GetClientRect(Handle(), &rect);
  FillRect(dc, &rect, ColorBrush());
  if (!object_) return;
  OleDraw(object_.Get(), aspect_, dc, &rect);
  if (open_) {
    // The usual sign of an object open in its server's window: hatching over
    // the presentation (dest AND pattern keeps the picture between the lines).
    HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, hatch);
    SetBkColor(dc, RGB(255, 255, 255));
    PatBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0x00A000C9);
    SelectObject(dc, old);
    DeleteObject(hatch);
  }
}

LRESULT TOleContainer::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      Paint(dc);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_SIZE: {
      LRESULT r = TWinControl::WndProc(msg, wParam, lParam);
      if (view_) MoveWindow(view_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return r;
    }
    case WM_SETFOCUS:
      if (autoActivate_ == aaGetFocus && State() == osLoaded) DoVerb(OLEIVERB_PRIMARY);
      // The workbook's own view takes the keys.
      if (view_) ::SetFocus(view_);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (autoActivate_ == aaDoubleClick && State() != osEmpty) DoVerb(OLEIVERB_PRIMARY);
      return 0;
    case WM_PARENTNOTIFY:
      // The view destroyed from outside: the workbook no longer runs.
      if (LOWORD(wParam) == WM_DESTROY && reinterpret_cast<HWND>(lParam) == view_) view_ = nullptr;
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
