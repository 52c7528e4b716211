#include "workbook/Workbook.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/support/FakeExcel.h"

namespace {

using Log = std::vector<std::string>;

const AnsiString kCaption = "Перевод XLS в формат Залбиро";
const char kEditing[] = "Текущая ячейка находится в режиме редактирования. Закончите редактирование!";
const char kWriteBackFailed[] =
    "Ошибка при сохранении файла! Возможно текущая ячейка находится в режиме редактирования.";

std::string Box(const AnsiString& text, const AnsiString& caption, unsigned flags) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", flags);
  return Escaped("[" + caption + "] " + text + " 0x" + hex);
}

std::vector<std::string> Boxes(const MessageBoxRecorder& recorder) {
  std::vector<std::string> out;
  for (const auto& b : recorder.Boxes()) out.push_back(Box(b.text, b.caption, b.flags));
  return out;
}

std::string Joined(const Log& log) {
  std::string out;
  for (const auto& entry : log) out += Escaped(entry) + "\n";
  return out;
}

long SheetIndex(const Variant& sheet) { return sheet.OlePropertyGet("Index").AsInteger(); }

// The servers-gone HRESULTs: RPC_E_DISCONNECTED, RPC_S_SERVER_UNAVAILABLE,
// RPC_E_SERVER_DIED, RPC_E_SERVER_DIED_DNE, CO_E_OBJNOTCONNECTED.
const HRESULT kGone[] = {RPC_E_DISCONNECTED, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), RPC_E_SERVER_DIED,
                         RPC_E_SERVER_DIED_DNE, CO_E_OBJNOTCONNECTED};

class WorkbookTest : public ::testing::Test {
 public:  // the case tables' lambdas arrange the fixture
  void SetUp() override {
    source = dir.File("Смета №1.xls");
    temp = dir.File("tmp0001.xls");
    WriteFileBytes(source, "original workbook");
  }
  void TearDown() override {
    // Whatever a test did, once the record lets go no object may be left.
    record.Clear();
    EXPECT_EQ(excel.LiveObjects(), 0) << Joined(excel.log);
  }
  void Open() {
    ASSERT_TRUE(OpenWorkbook(ole, record, source, kCaption));
    ASSERT_TRUE(boxes.Boxes().empty());
    excel.log.clear();
  }
  bool Query() { return QuerySaveWorkbook(ole, record, kCaption, temp); }

  TFakeExcel excel;  // first: outlives every object it hands out
  TFakeOleContainer ole{excel};
  SExcelApp record;
  TempDir dir;
  MessageBoxRecorder boxes;
  std::string source, temp;
  HANDLE lock = INVALID_HANDLE_VALUE;
};

TEST_F(WorkbookTest, OpenRunsTheStepsInOrder) {
  excel.saved = false;
  int shows = 0;
  ASSERT_TRUE(OpenWorkbook(ole, record, source, kCaption, [&] {
    ++shows;
    excel.log.push_back("show");
  }));
  const Log expected = {"show",
                        "Ole.Enabled=1",
                        "Ole.CreateObjectFromFile(" + source + ")",
                        "Ole.DoVerb(0)",
                        "Ole.OleObject",
                        "Book.Application",
                        "App.ActiveWorkbook",
                        "Book.WorkSheets",
                        "Book.ActiveSheet",
                        "Book.Saved=true"};
  EXPECT_EQ(excel.Calls(), expected) << Joined(excel.log);
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(excel.saved);
  EXPECT_EQ(record.FileName, source);
  EXPECT_EQ(ole.state, osRunning);
  EXPECT_TRUE(IsWorkbookRunning(ole));
  for (const Variant* ref : {&record.App, &record.ActiveWorkbook, &record.WorkSheets, &record.ActiveSheet})
    EXPECT_EQ(ref->Type(), VT_DISPATCH);
  // Only the record's four references are alive.
  EXPECT_EQ(excel.LiveObjects(), 4);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(WorkbookTest, OpenOverAnObjectClosesItAndReleasesTheReferencesInOrder) {
  Open();
  ASSERT_TRUE(OpenWorkbook(ole, record, source, kCaption));
  const Log head = {"Ole.Close", "Ole.Enabled=0", "~App", "~Sheets", "~Sheet1", "~Book", "Ole.Enabled=1"};
  ASSERT_GE(excel.log.size(), head.size());
  EXPECT_EQ(Log(excel.log.begin(), excel.log.begin() + static_cast<long>(head.size())), head) << Joined(excel.log);
  EXPECT_EQ(excel.LiveObjects(), 4);
}

TEST_F(WorkbookTest, OpenFailuresNameThePathAndLetTheWindowGo) {
  struct Case {
    const char* name;
    std::function<void(WorkbookTest&)> arrange;
    bool missing;            // the path names no file
    const char* reasonLine;  // second line of the message, if any
    bool excelReached;       // the container was asked to do anything
  };
  const Case cases[] = {
      {"missing file", [](WorkbookTest&) {}, true, nullptr, false},
      {"container refuses", [](WorkbookTest& t) { t.ole.failCreate = true; }, false, nullptr, true},
      {"container refuses with a reason",
       [](WorkbookTest& t) {
         t.ole.failCreate = true;
         t.ole.createReason = "Файл защищён паролем";
       },
       false, "Файл защищён паролем", true},
      {"verb fails", [](WorkbookTest& t) { t.ole.failVerb = true; }, false, nullptr, true},
      {"workbook unreachable", [](WorkbookTest& t) { t.excel.failCall = "App.ActiveWorkbook"; }, false, nullptr, true},
      {"sheets unreachable", [](WorkbookTest& t) { t.excel.failCall = "Book.WorkSheets"; }, false, nullptr, true},
      {"active sheet unreachable", [](WorkbookTest& t) { t.excel.failCall = "Book.ActiveSheet"; }, false, nullptr,
       true},
      {"saved refused", [](WorkbookTest& t) { t.excel.failCall = "Book.Saved="; }, false, nullptr, true},
      {"server gone", [](WorkbookTest& t) { t.excel.goneWith = RPC_E_DISCONNECTED; }, false, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    excel.failCall.clear();
    excel.goneWith = S_OK;
    ole.failCreate = ole.failVerb = false;
    ole.createReason.clear();
    ole.state = osEmpty;
    record = SExcelApp();
    excel.log.clear();
    boxes.ClearBoxes();
    c.arrange(*this);

    AnsiString path = c.missing ? dir.File("нет такого.xls") : source;
    EXPECT_FALSE(OpenWorkbook(ole, record, path, kCaption));
    AnsiString text = c.missing ? "Файл: " + path + " не найден!" : "Ошибка при открытии файла " + path + "!";
    if (c.reasonLine) text += AnsiString("\n") + c.reasonLine;
    EXPECT_EQ(Boxes(boxes), std::vector<std::string>{Box(text, kCaption, 0x42030)});
    EXPECT_EQ(!excel.log.empty(), c.excelReached) << Joined(excel.log);
    EXPECT_TRUE(record.FileName.empty());

    // Nothing was loaded that could be probed or saved: the window may close.
    boxes.ClearBoxes();
    excel.goneWith = S_OK;
    excel.failCall.clear();
    EXPECT_TRUE(Query());
    EXPECT_TRUE(boxes.Boxes().empty());
  }
}

TEST_F(WorkbookTest, OpenRefusesAFolder) {
  std::string folder = dir.Path().substr(0, dir.Path().size() - 1);
  EXPECT_FALSE(OpenWorkbook(ole, record, folder, kCaption));
  EXPECT_EQ(Boxes(boxes), std::vector<std::string>{Box("Файл: " + folder + " не найден!", kCaption, 0x42030)});
  EXPECT_TRUE(excel.log.empty());
}

TEST_F(WorkbookTest, ListSheetsReadsCountThenEachName) {
  excel.sheets = {{"Смета"}, {"Диаграмма", true}, {"Итог"}};
  Open();
  std::vector<AnsiString> names{"old"};
  ASSERT_TRUE(ListSheets(ole, record, names, kCaption));
  EXPECT_EQ(names, (std::vector<AnsiString>{"Смета", "Диаграмма", "Итог"}));
  const Log expected = {"Sheets.Count", "Sheets.Item(1)", "Sheet1.Name", "Sheets.Item(2)",
                        "Sheet2.Name",  "Sheets.Item(3)", "Sheet3.Name"};
  EXPECT_EQ(excel.Calls(), expected) << Joined(excel.log);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(WorkbookTest, ListSheetsFailures) {
  const std::string kListFailed = Box("Ошибка при получении списка листов Excel!", kCaption, 0x42030);
  struct Case {
    const char* failCall;
    std::vector<AnsiString> names;  // what the list holds afterwards
  };
  const Case cases[] = {
      {"Sheets.Count", {"old"}},               // nothing cleared before the count is known
      {"Sheets.Item(3)", {"Лист1", "Лист2"}},  // names read so far stay
      {"Sheet1.Name", {}},
  };
  Open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failCall);
    excel.failCall = c.failCall;
    boxes.ClearBoxes();
    std::vector<AnsiString> names{"old"};
    EXPECT_FALSE(ListSheets(ole, record, names, kCaption));
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(Boxes(boxes), std::vector<std::string>{kListFailed});
  }
}

TEST_F(WorkbookTest, EmptyContainerListsNothingAndFollowsNothing) {
  std::vector<AnsiString> names{"old"};
  EXPECT_FALSE(ListSheets(ole, record, names, kCaption));
  EXPECT_EQ(names, std::vector<AnsiString>{"old"});
  EXPECT_FALSE(SwitchSheet(ole, record, 0));
  EXPECT_EQ(FollowActiveSheet(ole, record, false), 0);
  EXPECT_TRUE(Query());
  EXPECT_TRUE(excel.log.empty());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(WorkbookTest, SwitchSheetActivatesTheChosenItem) {
  Open();
  ASSERT_TRUE(SwitchSheet(ole, record, 2));
  EXPECT_EQ(excel.Calls(), (Log{"Sheets.Item(3)", "Sheet3.Activate"})) << Joined(excel.log);
  EXPECT_EQ(excel.active, 2u);
  EXPECT_EQ(SheetIndex(record.ActiveSheet), 3);
  // No local guard: a bad index reaches the caller.
  EXPECT_THROW(SwitchSheet(ole, record, 3), EOleException);
}

TEST_F(WorkbookTest, FollowTakesExcelsActiveSheetUnlessARunHoldsIt) {
  Open();
  excel.active = 2;  // the user chose the third sheet inside Excel
  EXPECT_EQ(FollowActiveSheet(ole, record, true), 3);
  EXPECT_EQ(SheetIndex(record.ActiveSheet), 1) << "a running conversion keeps its sheet";
  EXPECT_EQ(excel.Calls(), (Log{"Ole.OleObject", "Book.Application", "App.ActiveWorkbook", "Book.ActiveSheet",
                                "Sheet3.Index", "Sheet1.Index"}))
      << Joined(excel.log);

  excel.log.clear();
  EXPECT_EQ(FollowActiveSheet(ole, record, false), 3);
  EXPECT_EQ(excel.Calls(), (Log{"Ole.OleObject", "Book.Application", "App.ActiveWorkbook", "Book.ActiveSheet",
                                "Book.ActiveSheet", "Sheet3.Index"}))
      << Joined(excel.log);
  EXPECT_EQ(SheetIndex(record.ActiveSheet), 3);
  EXPECT_EQ(excel.LiveObjects(), 4) << "temporaries of the tick released";
}

TEST_F(WorkbookTest, FollowSwallowsFailures) {
  Open();
  struct Case {
    const char* name;
    std::function<void(TFakeExcel&)> arrange;
  };
  const Case cases[] = {
      {"editing", [](TFakeExcel& e) { e.editing = true; }},
      {"server gone", [](TFakeExcel& e) { e.goneWith = RPC_E_SERVER_DIED; }},
      {"index refused", [](TFakeExcel& e) { e.failCall = "Sheet2.Index"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    excel.editing = false;
    excel.goneWith = S_OK;
    excel.failCall.clear();
    excel.active = 1;
    c.arrange(excel);
    EXPECT_EQ(FollowActiveSheet(ole, record, false), 0);
  }
  excel.goneWith = S_OK;
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(WorkbookTest, EditProbe) {
  struct Case {
    const char* name;
    std::function<void(TFakeExcel&)> arrange;
    TEditProbe expected;
  };
  std::vector<Case> cases = {
      {"idle", [](TFakeExcel&) {}, TEditProbe::Idle},
      {"editing", [](TFakeExcel& e) { e.editing = true; }, TEditProbe::Editing},
      {"last cell refused", [](TFakeExcel& e) { e.failCall = "Range.SpecialCells"; }, TEditProbe::Editing},
  };
  for (HRESULT hr : kGone)
    cases.push_back({"server gone", [hr](TFakeExcel& e) { e.goneWith = hr; }, TEditProbe::ServerGone});
  Open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    excel.editing = false;
    excel.goneWith = S_OK;
    excel.failCall.clear();
    excel.log.clear();
    boxes.ClearBoxes();
    c.arrange(excel);
    EXPECT_EQ(ProbeCellEditing(record), c.expected);
    bool editing = c.expected == TEditProbe::Editing;
    EXPECT_EQ(IsCellEditing(record, kCaption), editing);
    EXPECT_EQ(Boxes(boxes),
              editing ? std::vector<std::string>{Box(kEditing, kCaption, 0x42030)} : std::vector<std::string>{});
  }
  excel.goneWith = S_OK;
  excel.failCall.clear();
  excel.log.clear();
  ProbeCellEditing(record);
  EXPECT_EQ(excel.Calls(), (Log{"Sheet1.Cells", "Range.SpecialCells(11)", "Range.Row"})) << Joined(excel.log);
}

TEST_F(WorkbookTest, ChartSheetActiveCountsAsEditing) {
  excel.sheets[1].chart = true;
  excel.active = 1;
  Open();
  EXPECT_EQ(ProbeCellEditing(record), TEditProbe::Editing);
  EXPECT_FALSE(Query());
  EXPECT_EQ(Boxes(boxes), std::vector<std::string>{Box(kEditing, kCaption, 0x42030)});
}

TEST_F(WorkbookTest, QuerySave) {
  const std::string kQuestion = Box("Сохранить изменения?", kCaption, 0x42023);
  const std::string kEditBox = Box(kEditing, kCaption, 0x42030);
  const std::string kFailBox = Box(kWriteBackFailed, "Ошибка", 0x42030);
  const std::string kOriginal = "original workbook";
  struct Case {
    const char* name;
    std::function<void(WorkbookTest&)> arrange;
    int answer;  // to the question, if it comes
    bool result;
    std::vector<std::string> boxes;
    bool written;  // the source now holds the workbook as Excel has it
  };
  std::vector<Case> cases = {
      {"not modified", [](WorkbookTest& t) { t.excel.saved = true; }, 0, true, {}, false},
      {"modified, No", [](WorkbookTest&) {}, IDNO, true, {kQuestion}, false},
      {"modified, Cancel", [](WorkbookTest&) {}, IDCANCEL, false, {kQuestion}, false},
      {"modified, Yes", [](WorkbookTest&) {}, IDYES, true, {kQuestion}, true},
      {"modified, Yes over a stale temporary file",
       [](WorkbookTest& t) { WriteFileBytes(t.temp, "stale"); },
       IDYES,
       true,
       {kQuestion},
       true},
      {"Saved unreadable counts as modified",
       [](WorkbookTest& t) {
         t.excel.saved = true;
         t.excel.failCall = "Book.Saved";
       },
       IDNO,
       true,
       {kQuestion},
       false},
      {"Saved unreadable, server gone",
       [](WorkbookTest& t) {
         t.excel.failCall = "Book.Saved";
         t.excel.failWith = RPC_E_DISCONNECTED;
       },
       0,
       true,
       {},
       false},
      {"cell being edited", [](WorkbookTest& t) { t.excel.editing = true; }, 0, false, {kEditBox}, false},
      {"Yes, source read-only",
       [](WorkbookTest& t) { SetFileAttributesA(t.source.c_str(), FILE_ATTRIBUTE_READONLY); },
       IDYES,
       false,
       {kQuestion, kFailBox},
       false},
      // Another program holds the source open without sharing.
      {"Yes, source locked",
       [](WorkbookTest& t) {
         t.lock =
             CreateFileA(t.source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
         ASSERT_NE(t.lock, INVALID_HANDLE_VALUE);
       },
       IDYES,
       false,
       {kQuestion, kFailBox},
       false},
      {"Yes, source folder gone",
       [](WorkbookTest& t) { t.record.FileName = t.dir.File("пропала\\Смета.xls"); },
       IDYES,
       false,
       {kQuestion, kFailBox},
       false},
      {"Yes, SaveAs refused",
       [](WorkbookTest& t) { t.excel.failCall = "Book.SaveAs"; },
       IDYES,
       false,
       {kQuestion, kFailBox},
       false},
  };
  for (HRESULT hr : kGone)
    cases.push_back({"server gone", [hr](WorkbookTest& t) { t.excel.goneWith = hr; }, 0, true, {}, false});

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteFileBytes(source, kOriginal);
    DeleteFileA(temp.c_str());
    record.Clear();
    excel = TFakeExcel();
    ole.state = osEmpty;
    boxes.ClearBoxes();
    Open();
    excel.saved = false;  // an edit in Excel
    c.arrange(*this);
    if (c.answer) boxes.Answer(c.answer);

    EXPECT_EQ(Query(), c.result);
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(lock, INVALID_HANDLE_VALUE));
    EXPECT_EQ(Boxes(boxes), c.boxes);
    EXPECT_EQ(ReadFileBytes(source), c.written ? excel.bookBytes : kOriginal);
    EXPECT_FALSE(FileExists(temp)) << "the temporary file is always removed";
  }
  SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WorkbookTest, WriteBackSavesIntoTheTemporaryFileThenCopies) {
  Open();
  excel.saved = false;
  excel.bookBytes = std::string("\xD0\xCF\x11\xE0 edited\0bytes", 18);
  boxes.Answer(IDYES);
  ASSERT_TRUE(Query());
  EXPECT_EQ(excel.Calls(),
            (Log{"Sheet1.Cells", "Range.SpecialCells(11)", "Range.Row", "Book.Saved", "Book.SaveAs(" + temp + ")"}))
      << Joined(excel.log);
  EXPECT_EQ(Escaped(ReadFileBytes(source)), Escaped(excel.bookBytes));
}

TEST_F(WorkbookTest, WriteBackTemporaryFileLivesBesideTheExecutable) {
  AnsiString exe = Application->ExeName();
  AnsiString tempPath = WriteBackTempPath();
  ASSERT_GT(tempPath.size(), 11u);
  EXPECT_EQ(tempPath.substr(tempPath.size() - 11), "tmp0001.xls");
  EXPECT_EQ(tempPath.substr(0, tempPath.size() - 11), exe.substr(0, exe.find_last_of('\\') + 1));

  Open();
  excel.saved = false;
  boxes.Answer(IDYES);
  ASSERT_TRUE(QuerySaveWorkbook(ole, record, kCaption, tempPath));
  EXPECT_EQ(ReadFileBytes(source), excel.bookBytes);
  EXPECT_FALSE(FileExists(tempPath));
}

TEST_F(WorkbookTest, ClosingTheEmbeddedWindowClosesTheObjectWhateverTheAnswer) {
  Open();
  excel.saved = false;
  boxes.Answer(IDCANCEL);
  CloseWorkbookObject(ole, record, kCaption, temp);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  Log calls = excel.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(Log(calls.end() - 2, calls.end()), (Log{"Ole.Close", "Ole.Refresh"}));
  EXPECT_EQ(ole.state, osLoaded);
  EXPECT_FALSE(IsWorkbookRunning(ole));
}

TEST_F(WorkbookTest, ReleaseQuitsOnceAndLetsEverythingGo) {
  Open();
  ReleaseWorkbook(ole, record);
  EXPECT_EQ(excel.log, (Log{"App.Quit", "~App", "~Sheets", "~Sheet1", "~Book", "Ole.DestroyObject"}));
  EXPECT_EQ(excel.quits, 1);
  EXPECT_EQ(excel.LiveObjects(), 0);
  EXPECT_EQ(ole.state, osEmpty);

  excel.log.clear();
  ReleaseWorkbook(ole, record);
  EXPECT_EQ(excel.quits, 1) << "Excel is told to quit only once";
  EXPECT_EQ(excel.log, Log{"Ole.DestroyObject"});
}

TEST_F(WorkbookTest, ReleaseAfterTheServerHasGoneStillReleases) {
  Open();
  excel.goneWith = RPC_E_SERVER_DIED_DNE;
  ReleaseWorkbook(ole, record);
  EXPECT_EQ(excel.quits, 0);
  EXPECT_EQ(excel.LiveObjects(), 0);
  EXPECT_EQ(ole.state, osEmpty);
  EXPECT_TRUE(record.App.IsEmpty());
}

TEST_F(WorkbookTest, RunningMeansBeyondLoaded) {
  const struct {
    TObjectState state;
    bool running;
  } cases[] = {{osEmpty, false}, {osLoaded, false},       {osRunning, true},
               {osOpen, true},   {osInPlaceActive, true}, {osUIActive, true}};
  for (const auto& c : cases) {
    ole.state = c.state;
    EXPECT_EQ(IsWorkbookRunning(ole), c.running) << "state " << c.state;
  }
}

}  // namespace
