#include "tests/framework/FakeOleServer.h"

#include <algorithm>

#include "framework/ComPtr.h"

namespace {

const wchar_t kBookStream[] = L"Book";

HRESULT WriteBook(IStorage* storage, const TFakeExcel& book) {
  TComPtr<IStream> stream;
  HRESULT hr = storage->CreateStream(kBookStream, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                     stream.Out());
  if (FAILED(hr)) return hr;
  const std::string text = book.Serialize();
  ULONG written = 0;
  hr = stream->Write(text.data(), static_cast<ULONG>(text.size()), &written);
  return FAILED(hr) ? hr : written == text.size() ? S_OK : STG_E_WRITEFAULT;
}

HRESULT ReadBook(IStorage* storage, TFakeExcel& book) {
  TComPtr<IStream> stream;
  HRESULT hr = storage->OpenStream(kBookStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Out());
  if (FAILED(hr)) return hr;
  std::string text;
  char buffer[4096];
  for (;;) {
    ULONG got = 0;
    hr = stream->Read(buffer, sizeof buffer, &got);
    if (FAILED(hr)) return hr;
    if (got == 0) break;
    text.append(buffer, got);
  }
  return book.Parse(text) ? S_OK : STG_E_DOCFILECORRUPT;
}

}  // namespace

bool FakeServerState::Logged(const std::string& entry) const {
  return std::find(log.begin(), log.end(), entry) != log.end();
}

class TFakeServerObject : public IOleObject,
                          public IPersistStorage,
                          public IPersistFile,
                          public IDataObject,
                          public IRunnableObject,
                          public IDispatch {
 public:
  explicit TFakeServerObject(FakeServerState& state) : state_(state) { ++state_.live; }

  void CloseBySelf() {
    running_ = false;
    if (site_) site_->OnShowWindow(FALSE);
    if (advise_) advise_->SendOnClose();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleObject)
      *out = static_cast<IOleObject*>(this);
    else if (riid == IID_IPersistStorage)
      *out = static_cast<IPersistStorage*>(this);
    else if (riid == IID_IPersistFile)
      *out = static_cast<IPersistFile*>(this);
    else if (riid == IID_IPersist)
      *out = static_cast<IPersistStorage*>(this);
    else if (riid == IID_IDataObject)
      *out = static_cast<IDataObject*>(this);
    else if (riid == IID_IRunnableObject)
      *out = static_cast<IRunnableObject*>(this);
    else if (riid == IID_IDispatch)
      *out = static_cast<IDispatch*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    state_.Log(site ? "SetClientSite" : "SetClientSite(null)");
    site_ = TComPtr<IOleClientSite>(site);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    *site = site_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD option) override {
    state_.Log("Close(" + std::to_string(option) + ")");
    if (FAILED(state_.closeResult)) return state_.closeResult;
    if (option == OLECLOSE_SAVEIFDIRTY && site_) {
      HRESULT hr = site_->SaveObject();
      state_.Log(SUCCEEDED(hr) ? "SaveObject ok" : "SaveObject failed");
    }
    CloseBySelf();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override {
    *data = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT) override {
    state_.Log("DoVerb(" + std::to_string(verb) + ")");
    state_.verbParent = parent;
    IOleClientSite* active = site ? site : site_.Get();
    if (!active) return E_UNEXPECTED;
    // Excel activates in place where the site allows it, else opens its window.
    TComPtr<IOleInPlaceSite> inPlace;
    state_.inPlaceSiteOffered = SUCCEEDED(active->QueryInterface(IID_IOleInPlaceSite, inPlace.OutVoid()));
    running_ = true;
    active->ShowObject();
    active->OnShowWindow(TRUE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override {
    *verbs = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override {
    *clsid = kFakeServerClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* type) override {
    *type = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override {
    state_.Log("Advise");
    if (!advise_) {
      HRESULT hr = CreateOleAdviseHolder(advise_.Out());
      if (FAILED(hr)) return hr;
    }
    return advise_->Advise(sink, connection);
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override {
    state_.Log("Unadvise");
    return advise_ ? advise_->Unadvise(connection) : OLE_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override {
    *e = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    *status = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IPersistStorage and IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = kFakeServerClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE InitNew(IStorage*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override {
    state_.embedded = this;
    // A storage without a book keeps the book the state holds.
    if (storage) ReadBook(storage, state_.excel);
    state_.Log("Load(storage)");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL) override {
    state_.Log("Save(storage)");
    if (!storage) return E_POINTER;
    return WriteBook(storage, state_.excel);
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE HandsOffStorage() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR path, DWORD) override {
    if (path) FakeOleServer::ReadFile(path, state_.excel);
    state_.Log("Load(file)");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* name) override {
    *name = nullptr;
    return E_NOTIMPL;
  }

  // IDataObject: nothing to give but the persistent object itself.
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** e) override {
    *e = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** e) override {
    *e = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }

  // IRunnableObject
  HRESULT STDMETHODCALLTYPE GetRunningClass(CLSID* clsid) override {
    *clsid = kFakeServerClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(LPBINDCTX) override {
    state_.Log("Run");
    running_ = true;
    return S_OK;
  }
  BOOL STDMETHODCALLTYPE IsRunning() override { return running_; }
  HRESULT STDMETHODCALLTYPE LockRunning(BOOL, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL contained) override {
    state_.Log(contained ? "SetContainedObject(true)" : "SetContainedObject(false)");
    return S_OK;
  }

  // IDispatch: the book's workbook object answers; a closed object is a
  // server that went away.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    if (!running_) return RPC_E_DISCONNECTED;
    return Book()->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT* argError) override {
    if (!running_) return RPC_E_DISCONNECTED;
    return Book()->Invoke(id, riid, lcid, flags, params, result, info, argError);
  }

 private:
  virtual ~TFakeServerObject() {
    --state_.live;
    if (state_.embedded == this) state_.embedded = nullptr;
    state_.Log("~Server");
  }

  IDispatch* Book() {
    if (!book_) {
      Variant book = state_.excel.Workbook();
      book_ = TComPtr<IDispatch>(V_DISPATCH(&book.Get()));
    }
    return book_.Get();
  }

  FakeServerState& state_;
  long refs_ = 1;
  bool running_ = false;
  TComPtr<IDispatch> book_;
  TComPtr<IOleClientSite> site_;
  TComPtr<IOleAdviseHolder> advise_;
};

void FakeServerState::CloseFromServer() {
  if (embedded) embedded->CloseBySelf();
}

namespace {

class TFakeFactory : public IClassFactory {
 public:
  explicit TFakeFactory(FakeServerState& state) : state_(state) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* object = new TFakeServerObject(state_);
    HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  virtual ~TFakeFactory() = default;
  FakeServerState& state_;
  long refs_ = 1;
};

}  // namespace

IClassFactory* NewFakeServerFactory(FakeServerState& state) { return new TFakeFactory(state); }

FakeOleServer::FakeOleServer(FakeServerState& state) : factory_(new TFakeFactory(state)) {
  registered_ = CoRegisterClassObject(kFakeServerClsid, factory_, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                      REGCLS_MULTIPLEUSE, &cookie_);
}

FakeOleServer::~FakeOleServer() {
  if (SUCCEEDED(registered_)) CoRevokeClassObject(cookie_);
  factory_->Release();
}

HRESULT FakeOleServer::WriteFile(const std::wstring& path, const TFakeExcel* book) {
  TComPtr<IStorage> storage;
  HRESULT hr = StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.Out());
  if (FAILED(hr)) return hr;
  hr = WriteClassStg(storage.Get(), kFakeServerClsid);
  if (FAILED(hr)) return hr;
  if (book && FAILED(hr = WriteBook(storage.Get(), *book))) return hr;
  return storage->Commit(STGC_DEFAULT);
}

bool FakeOleServer::ReadFile(const std::wstring& path, TFakeExcel& book) {
  TComPtr<IStorage> storage;
  if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, storage.Out())))
    return false;
  return SUCCEEDED(ReadBook(storage.Get(), book));
}
