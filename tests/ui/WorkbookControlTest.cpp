// The main window with a workbook: opening at the first activation, the
// sheet selector, the close guard, and the convert and cancel commands.
// The built-in engine answers where plain workbook behaviour is enough; the
// Excel double stands in for unsaved edits, edit mode and a vanished server.
#include <windows.h>

#include "framework/IniFiles.h"
#include "framework/Unicode.h"
#include "tests/ui/MainFormFixture.h"
#include "tests/support/FakeExcel.h"
#include "workbook/Workbook.h"

namespace {

const std::string kHeader = "Материал\tКоличество\t\r\n";

// A click as the button reports it to its parent, handled when messages are
// next pumped (inside the conversion run).
void PostClick(TWinControl* button) {
  PostMessageW(GetParent(button->Handle()), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
               reinterpret_cast<LPARAM>(button->Handle()));
}

std::string TextOf(const Variant& v) {
  Variant t = v.ChangeType(VT_BSTR);
  BSTR b = V_BSTR(&t.Get());
  return WideToAnsi(b, b ? SysStringLen(b) : 0);
}

std::vector<std::string> Items(TComboBox* c) {
  std::vector<std::string> items;
  for (int i = 0; i < c->Items().Count(); ++i) items.push_back(c->Items().Strings(i));
  return items;
}

std::vector<std::string> Texts(const MessageBoxRecorder& boxes) {
  std::vector<std::string> texts;
  for (const RecordedBox& b : boxes.Boxes()) texts.push_back(b.text);
  return texts;
}

}  // namespace

class WorkbookFormTest : public MainFormTest {
 protected:
  // A sheet of a few rows: a heading, a column-number row, codes and quantities
  // in columns B and C.
  void WriteListBook() {
    std::vector<TinyCell> cells = {{1, 2, "Шифр"}, {1, 3, "Объем"}};
    for (int c = 1; c <= 9; ++c) cells.push_back({2, c, std::to_string(c), true});
    cells.push_back({3, 2, "AB01-01"});
    cells.push_back({3, 3, "12", true});
    cells.push_back({4, 2, "ТЕР 05"});
    cells.push_back({4, 3, "0,5"});
    cells.push_back({5, 1, "x"});
    WriteBook({{"Смета", cells}, {"Пусто", {}}});
  }
  const std::string kListBytes = kHeader + "Шифр\tОбъем\t\r\nCD01-01\t12\t\r\nТЕР 05\t0,5\t\r\n\t\t\r\n";

  void ChooseColumns(int code, int quantity) {
    form->cmbColShifr->SetItemIndex(code);
    form->cmbColV->SetItemIndex(quantity);
    form->FrmParams.CaptureControl(form->cmbColShifr);
    form->FrmParams.CaptureControl(form->cmbColV);
    SetGridRows({{"AB", "CD"}});
  }
  std::string ListBytes() const { return FileExists(ListFilePath) ? ReadFileBytes(ListFilePath) : "(none)"; }

  // The controls a run freezes are back as before it.
  void ExpectRestored() {
    EXPECT_TRUE(form->gboxColOptions->Enabled());
    EXPECT_TRUE(OleContainerForm->Enabled());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_FALSE(form->pnProgressBar->Visible());
    EXPECT_FALSE(form->Converting());
  }
};

TEST_F(WorkbookFormTest, OpeningListsTheSheetsAndTheFirstTickSelectsTheActiveOne) {
  WriteBook({{"Первый", {}}, {"Второй", {}}, {"Третий", {{1, 1, "a"}}}}, 2);
  Open();
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(Items(form->cmbExcelPage), (std::vector<std::string>{"Первый", "Второй", "Третий"}));
  EXPECT_EQ(form->cmbExcelPage->ItemIndex(), -1) << "nothing is selected before the timer";
  EXPECT_EQ(form->ExcelApp.FileName, ExcelFilePath);
  EXPECT_TRUE(form->bbtnConvert->Enabled());
  EXPECT_TRUE(form->cmbColShifr->Enabled());
  EXPECT_TRUE(form->tmrExcelPage->Enabled());
  EXPECT_TRUE(IsWindowVisible(OleContainerForm->Handle()));
  form->tmrExcelPageTimer(form->tmrExcelPage);
  EXPECT_EQ(form->cmbExcelPage->ItemIndex(), 2);

  // Choosing a sheet activates it in the workbook; the next tick agrees.
  form->cmbExcelPage->SetItemIndex(0);
  form->cmbExcelPageChange(form->cmbExcelPage);
  Variant active = form->ExcelApp.ActiveWorkbook.OlePropertyGet("ActiveSheet");
  EXPECT_EQ(active.OlePropertyGet("Index").AsInteger(), 1);
  EXPECT_EQ(form->ExcelApp.ActiveSheet.OlePropertyGet("Index").AsInteger(), 1);
  form->tmrExcelPageTimer(form->tmrExcelPage);
  EXPECT_EQ(form->cmbExcelPage->ItemIndex(), 0);

  // A workbook that was not edited closes without a question.
  bool can = false;
  form->FormCloseQuery(form, can);
  EXPECT_TRUE(can);
}

TEST_F(WorkbookFormTest, AFailedOpenShowsItsMessageAndClosesTheWindow) {
  struct Case {
    const char* what;
    std::string bytes;  // empty: no file at all
    std::string text;   // the message's first line
  };
  const Case cases[] = {
      {"missing", "", "Файл: %s не найден!"},
      {"not a workbook", "just some text", "Ошибка при открытии файла %s!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExcelFilePath = dir.File("missing.xlsx");
    DeleteFileA(ExcelFilePath.c_str());
    if (!c.bytes.empty()) WriteFileBytes(ExcelFilePath, c.bytes);
    MessageBoxRecorder boxes;
    Open();
    ASSERT_EQ(boxes.Boxes().size(), 1u) << Escaped(Texts(boxes).empty() ? "" : Texts(boxes)[0]);
    std::string expected = c.text;
    expected.replace(expected.find("%s"), 2, ExcelFilePath);
    const std::string& text = boxes.Boxes()[0].text;
    EXPECT_EQ(text.substr(0, text.find('\n')), expected);
    EXPECT_EQ(boxes.Boxes()[0].caption, form->Caption());
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x42030u);
    EXPECT_FALSE(form->Visible()) << "the window closed";
    EXPECT_FALSE(form->bbtnConvert->Enabled());
    EXPECT_EQ(form->cmbExcelPage->Items().Count(), 0);
    delete form;
    form = nullptr;
    Pump();
  }
}

TEST_F(WorkbookFormTest, AFullConversionWritesTheListSavesTheColumnsAndCloses) {
  WriteListBook();
  Open();
  ChooseColumns(2, 3);
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);
  form->bbtnConvert->Click();
  ASSERT_EQ(Texts(boxes), (std::vector<std::string>{"Начать конвертацию ?", "Конвертация успешно завершена!"}));
  EXPECT_EQ(boxes.Boxes()[0].flags, 0x42023u);
  EXPECT_EQ(boxes.Boxes()[1].flags, 0x42040u);
  EXPECT_EQ(boxes.Boxes()[1].caption, form->Caption());
  EXPECT_EQ(Escaped(ListBytes()), Escaped(kListBytes));
  EXPECT_FALSE(form->Visible()) << "the window closed after the success message";
  EXPECT_EQ(form->ProgressBar1->Min(), 1);
  EXPECT_EQ(form->ProgressBar1->Max(), 5);
  EXPECT_EQ(form->ProgressBar1->Position(), 5);
  TIniFile ini(IniPath());
  EXPECT_EQ(ini.ReadString("Common", "cmbColShifr_Value", ""), "2");
  EXPECT_EQ(ini.ReadString("Common", "cmbColV_Value", ""), "3");
  ExpectRestored();
}

TEST_F(WorkbookFormTest, AnswersOtherThanYesStartNothing) {
  WriteListBook();
  Open();
  ChooseColumns(2, 3);
  for (int answer : {IDNO, IDCANCEL}) {
    MessageBoxRecorder boxes;
    boxes.Answer(answer);
    form->bbtnConvert->Click();
    EXPECT_EQ(Texts(boxes), (std::vector<std::string>{"Начать конвертацию ?"}));
  }
  EXPECT_FALSE(FileExists(ListFilePath));
  EXPECT_EQ(IniText().find("cmbColShifr_Value"), std::string::npos) << "nothing saved";
  EXPECT_TRUE(form->Visible());
}

TEST_F(WorkbookFormTest, AColumnLeftAtNoneIsNamedInsteadOfRunning) {
  WriteListBook();
  Open();
  const struct {
    int code, quantity;
    const char* text;
  } cases[] = {
      {0, 3, "Не выбран столбец «Шифр расценки»!"},
      {-1, 3, "Не выбран столбец «Шифр расценки»!"},
      {2, 0, "Не выбран столбец «Объем»!"},
      {0, 0, "Не выбран столбец «Шифр расценки»!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ChooseColumns(c.code, c.quantity);
    MessageBoxRecorder boxes;
    form->bbtnConvert->Click();
    ASSERT_EQ(Texts(boxes), (std::vector<std::string>{c.text}));
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x42030u);
    EXPECT_EQ(boxes.Boxes()[0].caption, form->Caption());
  }
  EXPECT_FALSE(FileExists(ListFilePath));
  EXPECT_TRUE(form->gboxColOptions->Enabled());
}

TEST_F(WorkbookFormTest, CancelDuringARunStopsItAndLeavesTheWindowOpen) {
  WriteListBook();
  Open();
  ChooseColumns(2, 3);
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);  // start
  boxes.Answer(IDYES);  // cancel
  // Handled at the first row's pumping: the run stops before any line.
  PostClick(form->btnConvertCancel);
  form->bbtnConvert->Click();
  EXPECT_EQ(Texts(boxes), (std::vector<std::string>{"Начать конвертацию ?", "Отменить конвертацию?"}));
  EXPECT_EQ(Escaped(ListBytes()), Escaped(kHeader));
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(form->CancelRequested);
  ExpectRestored();
  EXPECT_NE(IniText().find("cmbColShifr_Value=2"), std::string::npos) << "saved before the run";

  // Answering No lets the next run go through; it starts with no cancel.
  boxes.ClearBoxes();
  boxes.Answer(IDYES);
  boxes.Answer(IDNO);
  PostClick(form->btnConvertCancel);
  form->bbtnConvert->Click();
  EXPECT_EQ(Texts(boxes), (std::vector<std::string>{"Начать конвертацию ?", "Отменить конвертацию?",
                                                    "Конвертация успешно завершена!"}));
  EXPECT_EQ(Escaped(ListBytes()), Escaped(kListBytes));
}

TEST_F(WorkbookFormTest, ASecondStartDuringARunDoesNothingAtAll) {
  WriteListBook();
  Open();
  ChooseColumns(2, 3);
  // During the run the main window is brought to the front, the convert
  // button is clicked again, and what is in front is looked at.
  HWND front = nullptr;
  bool mainInFront = false;
  form->bbtnAddPrefixCodeReplace->OnClick = [&](TComponent*) {
    SetForegroundWindow(form->Handle());
    mainInFront = GetForegroundWindow() == form->Handle();
  };
  form->bbtnDelPrefixCodeReplace->OnClick = [&](TComponent*) { front = GetForegroundWindow(); };
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);
  PostClick(form->bbtnAddPrefixCodeReplace);
  PostClick(form->bbtnConvert);
  PostClick(form->bbtnDelPrefixCodeReplace);
  form->bbtnConvert->Click();
  EXPECT_EQ(Texts(boxes), (std::vector<std::string>{"Начать конвертацию ?", "Конвертация успешно завершена!"}));
  EXPECT_EQ(Escaped(ListBytes()), Escaped(kListBytes));
  ASSERT_TRUE(mainInFront) << "the main window could not be brought to the front: the test proves nothing";
  EXPECT_EQ(front, form->Handle()) << "the second click raised the workbook window";
}

TEST_F(WorkbookFormTest, ASheetPickedInTheSelectorDuringARunIsNotRead) {
  WriteBook({{"Первый", {{1, 2, "S1"}, {2, 2, "S1"}, {3, 2, "S1"}}},
             {"Второй", {{1, 2, "S2"}, {2, 2, "S2"}, {3, 2, "S2"}}}});
  Open();
  form->tmrExcelPageTimer(form->tmrExcelPage);
  ASSERT_EQ(form->cmbExcelPage->ItemIndex(), 0);
  ChooseColumns(2, 3);
  bool selectorEnabled = true;
  form->bbtnAddPrefixCodeReplace->OnClick = [&](TComponent*) {
    selectorEnabled = IsWindowEnabled(form->cmbExcelPage->Handle()) != FALSE;
  };
  // Handled at the first row's pumping: the selector is looked at, then the
  // second sheet is picked in it by keyboard.
  PostClick(form->bbtnAddPrefixCodeReplace);
  PostMessageW(form->cmbExcelPage->Handle(), WM_KEYDOWN, VK_DOWN, 1);
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);
  form->bbtnConvert->Click();
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_FALSE(selectorEnabled) << "the sheet selector is open to the user during a run";
  EXPECT_EQ(Escaped(ListBytes()), Escaped(kHeader + "S1\t\t\r\nS1\t\t\r\nS1\t\t\r\n"));
  EXPECT_TRUE(form->cmbExcelPage->Enabled()) << "the selector is given back after the run";
}

// A variant loaded during the run (its combo box stays open to the user)
// sets the column lists: the run keeps the columns it started with, so the
// list never switches columns halfway.
TEST_F(WorkbookFormTest, ColumnsChangedDuringARunDoNotSwitchTheList) {
  WriteBook({{"Лист1", {{1, 2, "B1"}, {1, 4, "D1"}, {2, 2, "B2"}, {2, 4, "D2"}, {3, 2, "B3"}, {3, 4, "D3"}}}});
  Open();
  ChooseColumns(2, 3);
  form->bbtnAddPrefixCodeReplace->OnClick = [&](TComponent*) { form->cmbColShifr->SetItemIndex(4); };
  PostClick(form->bbtnAddPrefixCodeReplace);  // handled at the first row's pumping
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);
  form->bbtnConvert->Click();
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(form->cmbColShifr->ItemIndex(), 4) << "the change did not happen: the test proves nothing";
  EXPECT_EQ(Escaped(ListBytes()), Escaped(kHeader + "B1\t\t\r\nB2\t\t\r\nB3\t\t\r\n"));
}

TEST_F(WorkbookFormTest, ARunReadsTheSheetItStartedOnWhileTheSelectorFollowsExcel) {
  // Long enough for the sheet-follow timer to tick during the run.
  const int rows = 3000;
  std::vector<TinyCell> first, second;
  for (int r = 1; r <= rows; ++r) {
    first.push_back({r, 2, "S1"});
    second.push_back({r, 2, "S2"});
  }
  WriteBook({{"Первый", first}, {"Второй", second}});
  Open();
  form->tmrExcelPageTimer(form->tmrExcelPage);
  ASSERT_EQ(form->cmbExcelPage->ItemIndex(), 0);
  ChooseColumns(2, 3);
  // The user picks the second sheet inside the workbook once the run is on.
  form->ExcelApp.WorkSheets.OlePropertyGet("Item", 2).OleProcedure("Activate");
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);
  form->bbtnConvert->Click();
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  ASSERT_EQ(form->cmbExcelPage->ItemIndex(), 1) << "no tick during the run: the test proves nothing";
  std::string expected = kHeader;
  for (int r = 1; r <= rows; ++r) expected += "S1\t\t\r\n";
  EXPECT_TRUE(ListBytes() == expected) << "lines of the second sheet were read";
}

TEST_F(WorkbookFormTest, ARaisedErrorPutsTheControlsBackAndIsShown) {
  WriteListBook();
  Open();
  ChooseColumns(2, 3);
  ListFilePath = dir.File("no such folder\\list.txt");
  MessageBoxRecorder boxes;
  boxes.Answer(IDYES);
  form->bbtnConvert->Click();
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[1].flags, static_cast<unsigned>(MB_OK | MB_ICONERROR | MB_TASKMODAL));
  EXPECT_FALSE(boxes.Boxes()[1].text.empty());
  ExpectRestored();
  EXPECT_TRUE(form->Visible());
  EXPECT_NE(IniText().find("cmbColV_Value=3"), std::string::npos) << "saved before the run";
}

// Excel behaviours the built-in engine does not have.
class ExcelFormTest : public MainFormTest {
 protected:
  TFakeExcel excel;
  TFakeOleContainer ole{excel};

  void OpenOverExcel() {
    form = new TImportExcelForm(nullptr, dir.Path());
    form->SetWorkbookContainer(&ole);
    form->Show();
    SetForegroundWindow(form->Handle());
    Pump();
    if (form->FirstActivate) SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    Pump();
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    Pump();
    EXPECT_EQ(excel.quits, 1) << "Excel was told to quit";
    EXPECT_EQ(excel.LiveObjects(), 0);
  }
  bool CloseQuery() {
    bool can = false;
    form->FormCloseQuery(form, can);
    return can;
  }
};

TEST_F(ExcelFormTest, UnsavedEditsAskAndEachAnswerDoesItsPart) {
  const std::string source = ReadFileBytes(ExcelFilePath);
  OpenOverExcel();
  EXPECT_EQ(Items(form->cmbExcelPage), (std::vector<std::string>{"Лист1", "Лист2", "Лист3"}));
  EXPECT_TRUE(CloseQuery()) << "opened as saved: nothing to ask";
  excel.saved = false;
  const struct {
    int answer;
    bool closes;
    bool written;
  } cases[] = {{IDCANCEL, false, false}, {IDNO, true, false}, {IDYES, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    form->tmrOlePosition->SetEnabled(true);
    MessageBoxRecorder boxes;
    boxes.Answer(c.answer);
    EXPECT_EQ(CloseQuery(), c.closes);
    ASSERT_EQ(Texts(boxes), (std::vector<std::string>{"Сохранить изменения?"}));
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x42023u);
    EXPECT_EQ(form->tmrOlePosition->Enabled(), !c.closes);
    EXPECT_EQ(ReadFileBytes(ExcelFilePath), c.written ? excel.bookBytes : source);
  }
}

TEST_F(ExcelFormTest, EditModeRefusesCloseAndConvert) {
  OpenOverExcel();
  form->cmbColShifr->SetItemIndex(2);
  form->cmbColV->SetItemIndex(3);
  excel.editing = true;
  MessageBoxRecorder boxes;
  EXPECT_FALSE(CloseQuery());
  form->bbtnConvert->Click();
  const std::string editing = "Текущая ячейка находится в режиме редактирования. Закончите редактирование!";
  EXPECT_EQ(Texts(boxes), (std::vector<std::string>{editing, editing}));
  EXPECT_FALSE(FileExists(ListFilePath));
  excel.editing = false;
  boxes.ClearBoxes();
  EXPECT_TRUE(CloseQuery());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ExcelFormTest, AVanishedServerLetsTheWindowClose) {
  OpenOverExcel();
  excel.saved = false;
  excel.goneWith = RPC_E_DISCONNECTED;
  EXPECT_TRUE(CloseQuery());
  excel.goneWith = S_OK;
}

TEST_F(ExcelFormTest, TheSelectorFollowsExcelUnlessItsListIsOpen) {
  OpenOverExcel();
  excel.active = 2;
  form->tmrExcelPageTimer(form->tmrExcelPage);
  EXPECT_EQ(form->cmbExcelPage->ItemIndex(), 2);
  EXPECT_EQ(TextOf(form->ExcelApp.ActiveSheet.OlePropertyGet("Name")), "Лист3");
  form->cmbExcelPage->SetDroppedDown(true);
  Pump();
  if (form->cmbExcelPage->DroppedDown()) {
    excel.active = 0;
    form->tmrExcelPageTimer(form->tmrExcelPage);
    EXPECT_EQ(form->cmbExcelPage->ItemIndex(), 2) << "left alone while the list is open";
    form->cmbExcelPage->SetDroppedDown(false);
    Pump();
  }
  excel.active = 1;
  form->tmrExcelPageTimer(form->tmrExcelPage);
  EXPECT_EQ(form->cmbExcelPage->ItemIndex(), 1);
}

TEST_F(ExcelFormTest, ClosingTheEmbeddedWindowOffersTheSaveAndDisablesTheControls) {
  OpenOverExcel();
  EXPECT_TRUE(form->cmbColShifr->Enabled());
  excel.saved = false;
  MessageBoxRecorder boxes;
  boxes.Answer(IDCANCEL);  // advice only: the close goes on
  SendMessageW(OleContainerForm->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(Texts(boxes), (std::vector<std::string>{"Сохранить изменения?"}));
  EXPECT_EQ(ole.state, osLoaded);
  EXPECT_GE(ole.refreshes, 1);
  EXPECT_FALSE(form->cmbColShifr->Enabled());
  EXPECT_FALSE(form->cmbExcelPage->Enabled());
  EXPECT_FALSE(form->bbtnConvert->Enabled());
  EXPECT_TRUE(form->gboxColOptions->Enabled()) << "the group box itself is left alone";
}
