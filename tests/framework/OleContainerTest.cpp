// The OLE container over the built-in engine's hooks, with doubles for the
// engine: a workbook whose references are counted and a view that is a plain
// child window holding a reference, as the engine's own view does. Under
// Wine no OLE server is registered for workbooks, so real workbook files
// take the built-in road too; the OLE road is driven through a small server
// registered inside this process (FakeOleServer).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "framework/ComPtr.h"
#include "framework/OleContainer.h"
#include "framework/Unicode.h"
#include "tests/framework/FakeOleServer.h"
#include "tests/support/FormTest.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TestDispatch.h"
#include "tests/support/FakeExcel.h"
#include "workbook/Workbook.h"

namespace {

AnsiString Text(const Variant& v) {
  BSTR b = V_BSTR(&v.ChangeType(VT_BSTR).Get());
  return WideToAnsi(b, SysStringLen(b));
}

// A workbook with nothing but a reference count to watch.
class TCountedBook : public TestDispatch {
 public:
  LONG refs = 1;

  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  // The test owns the object: it is never deleted here.
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

// What the hooks answer and what they were asked.
struct FakeEngine {
  IDispatch* book = nullptr;  // handed out with a new reference
  HRESULT openResult = S_OK;
  AnsiString reason;
  bool failView = false;
  std::vector<AnsiString> opened;
  HWND viewParent = nullptr;
  RECT viewRect{};
  int views = 0;
};
FakeEngine* gEngine = nullptr;

HRESULT FakeOpen(const AnsiString& path, IDispatch** workbook, AnsiString& reason) {
  gEngine->opened.push_back(path);
  *workbook = nullptr;
  if (FAILED(gEngine->openResult)) {
    reason = gEngine->reason;
    return gEngine->openResult;
  }
  *workbook = gEngine->book;
  if (*workbook) (*workbook)->AddRef();
  return gEngine->openResult;
}

LRESULT CALLBACK FakeViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCDESTROY) {
    auto* book = reinterpret_cast<IDispatch*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (book) book->Release();
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND FakeView(HWND parent, IDispatch* workbook, const RECT& rect) {
  gEngine->viewParent = parent;
  gEngine->viewRect = rect;
  if (gEngine->failView) return nullptr;
  WNDCLASSW wc{};
  wc.lpfnWndProc = FakeViewProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"FakeSheetView";
  RegisterClassW(&wc);  // fails harmlessly once registered
  HWND view = CreateWindowExW(0, L"FakeSheetView", L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (view) {
    workbook->AddRef();
    SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(workbook));
    ++gEngine->views;
  }
  return view;
}

RECT WindowRectIn(HWND window, HWND parent) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class OleContainerTest : public FormTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(ole_.Result()));
    FormTest::SetUp();
    engine.book = &book;
    gEngine = &engine;
    TOleContainer::SetBuiltinEngine(FakeOpen, FakeView);
    TOleContainer::SetForceBuiltin(true);
    container = new TOleContainer(form);
    container->SetParent(form);
    container->SetBounds(10, 20, 300, 200);
    Pump();
  }
  void TearDown() override {
    FormTest::TearDown();
    TOleContainer::SetForceBuiltin(false);
    TOleContainer::SetBuiltinEngine(nullptr, nullptr);
    gEngine = nullptr;
    EXPECT_EQ(book.refs, 1) << "the container left references to the workbook";
  }

  TOleInit ole_;
  TCountedBook book;
  FakeEngine engine;
  TOleContainer* container = nullptr;
};

TEST_F(OleContainerTest, EmptyContainerIsAWindowOfItsOwnClassWithNoObject) {
  EXPECT_EQ(container->ClassName(), "TOleContainer");
  EXPECT_EQ(GetParent(container->Handle()), form->Handle());
  EXPECT_EQ(container->State(), osEmpty);
  EXPECT_THROW(container->OleObject(), Exception);
  EXPECT_THROW(container->DoVerb(0), Exception);
  // Closing, refreshing and destroying nothing are harmless.
  container->Close();
  container->Refresh();
  container->DestroyObject();
  EXPECT_EQ(container->State(), osEmpty);
  container->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(container->Handle()));
  container->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(container->Handle()));
}

TEST_F(OleContainerTest, StateFollowsCreateVerbCloseAndDestroy) {
  // Each step: the state after it, the workbook's references (the test's
  // own, the container's, the view's) and whether a view shows.
  struct Step {
    const char* what;
    std::function<void()> run;
    TObjectState state;
    LONG refs;
    bool view;
  } steps[] = {
      {"create", [&] { container->CreateObjectFromFile("C:\\books\\smeta.xls", false); }, osLoaded, 2, false},
      {"verb 0", [&] { container->DoVerb(0); }, osRunning, 3, true},
      {"verb 0 again", [&] { container->DoVerb(0); }, osRunning, 3, true},
      {"close", [&] { container->Close(); }, osLoaded, 2, false},
      {"close again", [&] { container->Close(); }, osLoaded, 2, false},
      {"verb 0 after close", [&] { container->DoVerb(0); }, osRunning, 3, true},
      {"destroy", [&] { container->DestroyObject(); }, osEmpty, 1, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.run();
    Pump();
    EXPECT_EQ(container->State(), s.state);
    EXPECT_EQ(book.refs, s.refs);
    EXPECT_EQ(container->ViewWindow() != nullptr, s.view);
    if (s.view) {
      EXPECT_EQ(GetParent(container->ViewWindow()), container->Handle());
    }
  }
  ASSERT_EQ(engine.opened.size(), 1u);
  EXPECT_EQ(engine.opened[0], "C:\\books\\smeta.xls");
  EXPECT_EQ(engine.views, 2);
}

TEST_F(OleContainerTest, AutomaticActivationRunsThePrimaryVerbOnlyWhenAsked) {
  EXPECT_EQ(container->AutoActivate(), aaDoubleClick);
  EXPECT_FALSE(container->AllowInPlace());
  container->SetAllowInPlace(true);
  EXPECT_FALSE(container->AllowInPlace()) << "in-place activation is never offered";
  struct Case {
    TAutoActivate mode;
    bool byDoubleClick;
    bool byFocus;
  } cases[] = {{aaManual, false, false}, {aaDoubleClick, true, false}, {aaGetFocus, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    container->SetAutoActivate(c.mode);
    SetFocus(form->Handle());
    // Nothing to activate in an empty container.
    SendMessageW(container->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(container->State(), osEmpty);
    container->CreateObjectFromFile("book.xls", false);
    SendMessageW(container->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(container->State(), c.byDoubleClick ? osRunning : osLoaded) << "double click";
    container->Close();
    container->SetFocus();
    Pump();
    EXPECT_EQ(container->State(), c.byFocus ? osRunning : osLoaded) << "focus";
    container->DestroyObject();
  }
}

TEST_F(OleContainerTest, OleObjectIsTheWorkbookDispatchWithBalancedReferences) {
  container->CreateObjectFromFile("book.xlsx", false);
  for (bool running : {false, true}) {
    SCOPED_TRACE(running ? "running" : "loaded");
    if (running) container->DoVerb(0);
    LONG before = book.refs;
    {
      Variant object = container->OleObject();
      EXPECT_EQ(object.Type(), VT_DISPATCH);
      EXPECT_EQ(object.Dispatch(), static_cast<IDispatch*>(&book));
      EXPECT_EQ(book.refs, before + 1);
      Variant copy = object;
      EXPECT_EQ(book.refs, before + 2);
    }
    EXPECT_EQ(book.refs, before);
  }
}

TEST_F(OleContainerTest, ViewFillsTheContainerAndFollowsItsSize) {
  container->CreateObjectFromFile("book.xls", false);
  container->DoVerb(0);
  HWND view = container->ViewWindow();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(engine.viewParent, container->Handle());
  RECT client{};
  GetClientRect(container->Handle(), &client);
  EXPECT_EQ(engine.viewRect.right - engine.viewRect.left, client.right);
  EXPECT_EQ(engine.viewRect.bottom - engine.viewRect.top, client.bottom);

  struct Size {
    int width, height;
  } sizes[] = {{300, 200}, {520, 330}, {40, 10}, {1, 1}, {640, 480}};
  for (const Size& s : sizes) {
    container->SetBounds(5, 5, s.width, s.height);
    Pump();
    GetClientRect(container->Handle(), &client);
    RECT r = WindowRectIn(view, container->Handle());
    EXPECT_EQ(r.left, 0) << s.width << "x" << s.height;
    EXPECT_EQ(r.top, 0) << s.width << "x" << s.height;
    EXPECT_EQ(r.right, client.right) << s.width << "x" << s.height;
    EXPECT_EQ(r.bottom, client.bottom) << s.width << "x" << s.height;
  }

  // Focus given to the container goes on to the view.
  container->SetFocus();
  EXPECT_EQ(GetFocus(), view);
  // Disabled and enabled with the container, also when made while disabled.
  container->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(view));
  container->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(view));
  container->Close();
  container->SetEnabled(false);
  container->DoVerb(0);
  view = container->ViewWindow();
  EXPECT_FALSE(IsWindowEnabled(view));
  container->SetEnabled(true);

  // A view that the engine destroys by itself no longer counts as running.
  DestroyWindow(view);
  EXPECT_EQ(container->State(), osLoaded);
  EXPECT_EQ(container->ViewWindow(), nullptr);
  // The verb shows it again.
  container->DoVerb(0);
  EXPECT_EQ(container->State(), osRunning);
  EXPECT_TRUE(IsWindow(container->ViewWindow()));
}

TEST_F(OleContainerTest, RefusedFileRaisesContainerErrorWithTheEnginesReason) {
  struct Case {
    HRESULT result;
    const char* reason;
    IDispatch* book;
  } cases[] = {
      {E_FAIL, "Файл зашифрован паролем", &book},
      {STG_E_FILENOTFOUND, "Файл не найден", &book},
      {E_OUTOFMEMORY, "", &book},
      {S_OK, "", nullptr},  // success without a workbook is a refusal too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    engine.openResult = c.result;
    engine.reason = c.reason;
    engine.book = c.book;
    try {
      container->CreateObjectFromFile("bad.xls", false);
      ADD_FAILURE() << "no error raised";
    } catch (const EOleContainerError& e) {
      EXPECT_FALSE(e.Message().empty());
      EXPECT_EQ(e.Reason(), c.reason);
    }
    EXPECT_EQ(container->State(), osEmpty);
    EXPECT_THROW(container->OleObject(), Exception);
  }
}

TEST_F(OleContainerTest, ARefusedFileLetsThePreviousObjectGo) {
  container->CreateObjectFromFile("first.xls", false);
  container->DoVerb(0);
  EXPECT_EQ(book.refs, 3);
  engine.openResult = E_FAIL;
  engine.reason = "Повреждён";
  EXPECT_THROW(container->CreateObjectFromFile("second.xls", false), EOleContainerError);
  EXPECT_EQ(book.refs, 1);
  EXPECT_EQ(container->State(), osEmpty);
  EXPECT_EQ(container->ViewWindow(), nullptr);
}

TEST_F(OleContainerTest, AViewTheEngineCannotMakeLeavesTheObjectLoaded) {
  container->CreateObjectFromFile("book.xls", false);
  engine.failView = true;
  EXPECT_THROW(container->DoVerb(0), Exception);
  EXPECT_EQ(container->State(), osLoaded);
  engine.failView = false;
  container->DoVerb(0);
  EXPECT_EQ(container->State(), osRunning);
}

TEST_F(OleContainerTest, WithoutTheEngineThereIsNothingToOpenWith) {
  TOleContainer::SetBuiltinEngine(nullptr, nullptr);
  try {
    container->CreateObjectFromFile("book.xls", false);
    ADD_FAILURE() << "no error raised";
  } catch (const EOleContainerError& e) {
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_EQ(container->State(), osEmpty);
  EXPECT_TRUE(engine.opened.empty());
}

TEST_F(OleContainerTest, DeletingTheContainerLetsTheObjectAndItsViewGo) {
  container->CreateObjectFromFile("book.xls", false);
  container->DoVerb(0);
  HWND view = container->ViewWindow();
  delete container;
  container = nullptr;
  EXPECT_FALSE(IsWindow(view));
  EXPECT_EQ(book.refs, 1);
}

// Not forced: OLE is asked first. Wine registers no server for workbooks,
// so each of these files ends with the built-in engine.
TEST_F(OleContainerTest, FilesWithoutAnOleServerGoToTheBuiltinEngine) {
  TOleContainer::SetForceBuiltin(false);
  TempDir dir;
  WriteFileBytes(dir.File("plain.xlsx"), "PK\x03\x04 not really a zip");
  WriteFileBytes(dir.File("Смета №1.xls"), ReadFileBytes(CorpusFile("xls/cal-issue343.xls")));
  const std::string files[] = {
      CorpusFile("xls/cal-issue343.xls"),
      CorpusFile("xlsx/cal-any_sheets.xlsx"),
      dir.File("plain.xlsx"),
      dir.File("Смета №1.xls"),
      dir.File("missing.xls"),
      dir.File("missing.xlsx"),
  };
  ASSERT_TRUE(FileExists(files[0]) && FileExists(files[1])) << "corpus not found at " << files[0];
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    engine.opened.clear();
    container->CreateObjectFromFile(path, false);
    ASSERT_EQ(engine.opened.size(), 1u);
    EXPECT_EQ(engine.opened[0], path);
    EXPECT_TRUE(container->IsBuiltin());
    EXPECT_EQ(container->State(), osLoaded);
    container->DoVerb(0);
    EXPECT_EQ(container->State(), osRunning);
    container->DestroyObject();
  }
}

// Odd paths end either with the built-in engine or with an error; the
// container stays usable.
TEST_F(OleContainerTest, OddPathsNeverBreakTheContainer) {
  TOleContainer::SetForceBuiltin(false);
  engine.openResult = E_FAIL;
  engine.reason = "Не книга";
  TempDir dir;
  const std::string paths[] = {"", dir.Path(), dir.Path() + "*.xls", std::string(300, 'a') + ".xls", "\\\\?\\"};
  for (const std::string& path : paths) {
    SCOPED_TRACE("[" + path + "]");
    EXPECT_THROW(container->CreateObjectFromFile(path, false), Exception);
    EXPECT_EQ(container->State(), osEmpty);
  }
  engine.openResult = S_OK;
  container->CreateObjectFromFile(dir.File("good.xls"), false);
  EXPECT_EQ(container->State(), osLoaded);
}

TEST_F(OleContainerTest, AMissingFileIsRefusedWithTheEnginesReason) {
  TOleContainer::SetForceBuiltin(false);
  engine.openResult = STG_E_FILENOTFOUND;
  engine.reason = "Файл не найден";
  TempDir dir;
  try {
    container->CreateObjectFromFile(dir.File("nothing.xls"), false);
    ADD_FAILURE() << "no error raised";
  } catch (const EOleContainerError& e) {
    EXPECT_EQ(e.Reason(), "Файл не найден");
  }
  EXPECT_EQ(engine.opened.size(), 1u);
  EXPECT_EQ(container->State(), osEmpty);
}

// Only "nothing serves this file" lets the built-in engine in; a call made
// wrongly must surface, or a machine with Excel would silently lose it.
TEST(OleNoServer, OnlyMissingServersLetTheBuiltinEngineIn) {
  const struct {
    HRESULT hr;
    bool noServer;
  } cases[] = {
      {REGDB_E_CLASSNOTREG, true},         {MK_E_INVALIDEXTENSION, true},
      {CO_E_APPNOTFOUND, true},            {CO_E_DLLNOTFOUND, true},
      {STG_E_FILENOTFOUND, true},          {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), true},
      {CO_E_NOTINITIALIZED, false},        {CO_E_ALREADYINITIALIZED, false},
      {CO_E_ERRORINDLL, false},            {CO_E_OBJNOTCONNECTED, false},
      {RPC_E_CHANGED_MODE, false},         {E_INVALIDARG, false},
      {E_OUTOFMEMORY, false},              {STG_E_ACCESSDENIED, false},
      {E_FAIL, false},                     {S_OK, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNoOleServer(c.hr), c.noServer) << std::hex << c.hr;
}

// The real OLE road, with a server registered in this process for the
// class that the file's storage names, as Excel's is for an .xls.
class OleServerTest : public OleContainerTest {
 protected:
  void SetUp() override {
    OleContainerTest::SetUp();
    TOleContainer::SetForceBuiltin(false);
    ASSERT_TRUE(SUCCEEDED(registration.Registered()));
    TFakeExcel book;
    book.name = "Смета";
    book.sheets = {{"Титул"}, {"Объекты"}};
    book.active = 1;
    book.sheets[1].Set(2, 3, Variant("ФЕР01-01-001-01"));
    ASSERT_TRUE(SUCCEEDED(FakeOleServer::WriteFile(AnsiToWide(path), &book)));
  }
  void TearDown() override {
    OleContainerTest::TearDown();
    EXPECT_EQ(server.live, 0) << "the server was not let go";
  }

  FakeServerState server;
  FakeOleServer registration{server};
  TempDir dir;
  std::string path = dir.File("book.xls");
};

// The engine's file check comes before the platform: a refused file reaches
// neither the server nor the engine, one for the engine alone skips the server.
TFileVerdict gVerdict = fvAnyReader;
TFileVerdict FakeCheck(const AnsiString&, AnsiString& reason) {
  if (gVerdict == fvRefused) reason = "Файл книги повреждён (неверный каталог файла OLE)";
  return gVerdict;
}

TEST_F(OleServerTest, TheEnginesCheckDecidesWhoMayReadTheFile) {
  TOleContainer::SetFileCheck(FakeCheck);
  gVerdict = fvRefused;
  try {
    container->CreateObjectFromFile(path, false);
    ADD_FAILURE() << "no error raised";
  } catch (const EOleContainerError& e) {
    EXPECT_EQ(e.Reason(), "Файл книги повреждён (неверный каталог файла OLE)");
  }
  EXPECT_FALSE(server.Logged("Load(storage)"));
  EXPECT_TRUE(engine.opened.empty());
  gVerdict = fvEngineOnly;
  container->CreateObjectFromFile(path, false);
  EXPECT_TRUE(container->IsBuiltin());
  EXPECT_FALSE(server.Logged("Load(storage)"));
  container->DestroyObject();
  gVerdict = fvAnyReader;
  container->CreateObjectFromFile(path, false);
  EXPECT_FALSE(container->IsBuiltin());
  container->DestroyObject();
  TOleContainer::SetFileCheck(nullptr);
}

TEST_F(OleServerTest, EmbedsRunsOpensClosesAndLetsTheServerGo) {
  container->CreateObjectFromFile(path, false);
  EXPECT_FALSE(container->IsBuiltin());
  EXPECT_TRUE(engine.opened.empty()) << "the built-in engine was asked though a server took the file";
  EXPECT_EQ(container->State(), osLoaded);
  EXPECT_EQ(server.live, 1);
  EXPECT_TRUE(server.Logged("Load(storage)"));
  EXPECT_TRUE(server.Logged("SetClientSite"));
  EXPECT_TRUE(server.Logged("Advise"));
  EXPECT_TRUE(server.Logged("SetContainedObject(true)"));

  container->DoVerb(0);
  EXPECT_TRUE(server.Logged("Run"));
  EXPECT_TRUE(server.Logged("DoVerb(0)"));
  EXPECT_FALSE(server.inPlaceSiteOffered) << "in-place activation must be refused";
  EXPECT_EQ(server.verbParent, container->Handle());
  EXPECT_EQ(container->State(), osOpen);
  container->Refresh();  // draws the object hatched: nothing may fail

  {
    // The object automates the book the file carried, as Excel's does.
    Variant book = container->OleObject();
    ASSERT_EQ(book.Type(), VT_DISPATCH);
    EXPECT_EQ(Text(book.OlePropertyGet("Name")), "Смета");
    Variant app = book.OlePropertyGet("Application");
    Variant sheet = app.OlePropertyGet("ActiveWorkbook").OlePropertyGet("ActiveSheet");
    EXPECT_EQ(Text(sheet.OlePropertyGet("Name")), "Объекты");
    EXPECT_EQ(Text(sheet.OlePropertyGet("Cells", 2, 3).OlePropertyGet("Value")), "ФЕР01-01-001-01");
  }

  // Closed back to loaded: the server saves into the container's storage first.
  server.log.clear();
  container->Close();
  EXPECT_EQ(container->State(), osLoaded);
  EXPECT_EQ(server.log, (std::vector<std::string>{"Close(0)", "Save(storage)", "SaveObject ok"}));
  EXPECT_THROW(container->OleObject().OlePropertyGet("Name"), EOleException);

  container->DoVerb(0);
  EXPECT_EQ(container->State(), osOpen);

  // Destroyed: closed without saving, no sink and no site left to the server.
  server.log.clear();
  container->DestroyObject();
  EXPECT_EQ(container->State(), osEmpty);
  EXPECT_EQ(server.log, (std::vector<std::string>{"Close(1)", "Unadvise", "SetClientSite(null)", "~Server"}));
  EXPECT_EQ(server.live, 0);
}

TEST_F(OleServerTest, AServerThatClosesByItselfLeavesTheObjectLoaded) {
  container->CreateObjectFromFile(path, false);
  container->DoVerb(0);
  ASSERT_EQ(container->State(), osOpen);
  server.CloseFromServer();
  EXPECT_EQ(container->State(), osLoaded);
  // Shown again by the verb, as after the user closed Excel's window.
  container->DoVerb(0);
  EXPECT_EQ(container->State(), osOpen);
}

TEST_F(OleServerTest, AServerThatRefusesToCloseStaysRunning) {
  container->CreateObjectFromFile(path, false);
  container->DoVerb(0);
  server.closeResult = OLE_E_PROMPTSAVECANCELLED;
  container->Close();
  EXPECT_EQ(container->State(), osOpen);
  server.closeResult = S_OK;
}

TEST_F(OleServerTest, DeletingTheContainerLetsARunningServerGo) {
  container->CreateObjectFromFile(path, false);
  container->DoVerb(0);
  delete container;
  container = nullptr;
  EXPECT_EQ(server.live, 0);
  EXPECT_TRUE(server.Logged("SetClientSite(null)"));
}

// Without OLE on the thread the platform answers CO_E_NOTINITIALIZED (the
// program's state before the framework initialised OLE for it): that is a
// fault, never taken for "no server".
TEST_F(OleServerTest, WithoutOleOnTheThreadTheAnswerIsAFaultNotNoServer) {
  TComPtr<ILockBytes> bytes;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Out()), S_OK);
  TComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0,
                                         storage.Out()),
            S_OK);
  const std::wstring file = AnsiToWide(path);
  HRESULT hr = S_OK;
  std::thread([&] {
    TComPtr<IOleObject> object;
    hr = OleCreateFromFile(CLSID_NULL, file.c_str(), IID_IOleObject, OLERENDER_NONE, nullptr, nullptr,
                           storage.Get(), object.OutVoid());
  }).join();
  EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
  EXPECT_FALSE(IsNoOleServer(hr));
  EXPECT_EQ(server.live, 0);
}

TEST_F(OleServerTest, ANewFileReplacesTheEmbeddedObject) {
  container->CreateObjectFromFile(path, false);
  container->DoVerb(0);
  std::string other = dir.File("other.xlsx");
  WriteFileBytes(other, "not a compound file, and no server for its extension");
  container->CreateObjectFromFile(other, false);
  EXPECT_EQ(server.live, 0);
  EXPECT_TRUE(container->IsBuiltin());
  ASSERT_EQ(engine.opened.size(), 1u);
  EXPECT_EQ(engine.opened[0], other);
}

// The workbook operations over a real container whose engine is the
// automation double of Excel.
TFakeExcel* gExcel = nullptr;

HRESULT FakeExcelOpen(const AnsiString& path, IDispatch** workbook, AnsiString& reason) {
  if (!FileExists(path)) {
    reason = "Файл не найден";
    return STG_E_FILENOTFOUND;
  }
  if (ReadFileBytes(path) == "encrypted") {
    reason = "Книга защищена паролем";
    return E_ACCESSDENIED;
  }
  Variant book = gExcel->Workbook();
  VARIANT v = book.Detach();
  *workbook = V_DISPATCH(&v);
  return S_OK;
}

class OleContainerWorkbookTest : public OleContainerTest {
 protected:
  void SetUp() override {
    OleContainerTest::SetUp();
    gExcel = &excel;
    TOleContainer::SetBuiltinEngine(FakeExcelOpen, FakeView);
    WriteFileBytes(dir.File("smeta.xls"), "workbook");
    WriteFileBytes(dir.File("locked.xls"), "encrypted");
  }
  void TearDown() override {
    OleContainerTest::TearDown();
    EXPECT_EQ(excel.LiveObjects(), 0) << "automation objects left alive";
    gExcel = nullptr;
  }

  TFakeExcel excel;
  SExcelApp app;
  TempDir dir;
};

TEST_F(OleContainerWorkbookTest, OpenListCloseAndReleaseRunEndToEnd) {
  MessageBoxRecorder boxes;
  int shown = 0;
  ASSERT_TRUE(OpenWorkbook(*container, app, dir.File("smeta.xls"), "Окно", [&] { ++shown; }));
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(IsWorkbookRunning(*container));
  EXPECT_EQ(container->State(), osRunning);
  EXPECT_NE(container->ViewWindow(), nullptr);
  EXPECT_TRUE(excel.saved);
  EXPECT_EQ(app.FileName, dir.File("smeta.xls"));

  std::vector<AnsiString> names;
  ASSERT_TRUE(ListSheets(*container, app, names, "Окно"));
  EXPECT_EQ(names, (std::vector<AnsiString>{"Лист1", "Лист2", "Лист3"}));
  excel.active = 2;
  EXPECT_EQ(FollowActiveSheet(*container, app, false), 3);

  // The embedded window's own close: back to loaded, the controls go off.
  CloseWorkbookObject(*container, app, "Окно", WriteBackTempPath());
  EXPECT_EQ(container->State(), osLoaded);
  EXPECT_FALSE(IsWorkbookRunning(*container));
  EXPECT_EQ(container->ViewWindow(), nullptr);

  ReleaseWorkbook(*container, app);
  EXPECT_EQ(container->State(), osEmpty);
  EXPECT_EQ(excel.quits, 1);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(OleContainerWorkbookTest, OpeningAgainReplacesTheObject) {
  ASSERT_TRUE(OpenWorkbook(*container, app, dir.File("smeta.xls"), "Окно"));
  ASSERT_TRUE(OpenWorkbook(*container, app, dir.File("smeta.xls"), "Окно"));
  EXPECT_TRUE(IsWorkbookRunning(*container));
  ReleaseWorkbook(*container, app);
}

TEST_F(OleContainerWorkbookTest, ARefusedWorkbookShowsTheReasonUnderTheOpenError) {
  MessageBoxRecorder boxes;
  AnsiString path = dir.File("locked.xls");
  EXPECT_FALSE(OpenWorkbook(*container, app, path, "Окно"));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Ошибка при открытии файла " + path + "!\nКнига защищена паролем");
  EXPECT_EQ(boxes.Boxes()[0].caption, "Окно");
  EXPECT_EQ(boxes.Boxes()[0].flags, kWorkbookWarningFlags);
  EXPECT_EQ(container->State(), osEmpty);
  EXPECT_FALSE(IsWorkbookRunning(*container));
}

}  // namespace
