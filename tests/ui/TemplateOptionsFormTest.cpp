// Settings variants through the main window: the INI file as the window
// reads and writes it, compared byte for byte (Windows-1251 text).
#include <windows.h>

#include <memory>

#include "framework/IniFiles.h"
#include "tests/support/ComboInput.h"
#include "tests/ui/MainFormFixture.h"

namespace {
const char kTwoVariants[] =
    "[Common]\r\n"
    "TemplateOptions0=Основной\r\n"
    "TemplateOptions1=Второй\r\n"
    "cmbTemplateOptions=%s\r\n"
    "[TemplateOptions0]\r\n"
    "cmbColShifr_Value=2\r\n"
    "cmbColV_Value=3\r\n"
    "sgridPrefixCodeReplace_Cell_0_1=ТЕР\r\n"
    "sgridPrefixCodeReplace_Cell_1_1=ФЕР\r\n"
    "sgridPrefixCodeReplace_RowCount=1\r\n"
    "[TemplateOptions1]\r\n"
    "cmbColShifr_Value=4\r\n"
    "cmbColV_Value=5\r\n"
    "sgridPrefixCodeReplace_Cell_0_1=EF\r\n"
    "sgridPrefixCodeReplace_Cell_1_1=GH\r\n"
    "sgridPrefixCodeReplace_RowCount=1\r\n";

std::string WithStart(const char* start) {
  std::string s = kTwoVariants;
  s.replace(s.find("%s"), 2, start);
  return s;
}

// Types into the editable combo box's edit field, one character a message.
void Type(TComboBox* c, const std::wstring& text) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  GetComboBoxInfo(c->Handle(), &info);
  SetFocus(info.hwndItem);
  SendMessageW(info.hwndItem, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  for (wchar_t ch : text) PostMessageW(info.hwndItem, WM_CHAR, ch, 1);
  Application->ProcessMessages();
}

void PressEnter(TComboBox* c) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  GetComboBoxInfo(c->Handle(), &info);
  PostMessageW(info.hwndItem, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(info.hwndItem, WM_CHAR, VK_RETURN, 1);
  Application->ProcessMessages();
}
}  // namespace

TEST_F(MainFormTest, WithoutAnIniFileTheDefaultVariantIsSavedInTheLayout) {
  Open();
  EXPECT_EQ(VariantNames(), std::vector<std::string>{"По умолчанию"});
  EXPECT_EQ(form->cmbTemplateOptions->ItemIndex(), 0);
  EXPECT_EQ(form->cmbColShifr->Text(), "[Нет]");
  EXPECT_EQ(form->cmbColV->Text(), "[Нет]");
  EXPECT_EQ(GridRows(), std::vector<std::string>{"|"});
  EXPECT_FALSE(FileExists(IniPath())) << "loading writes nothing";

  form->bbtnSaveTemplateOptions->Click();
  EXPECT_EQ(Escaped(IniText()), Escaped("[TemplateOptions0]\r\n"
                                        "cmbColShifr_Value=0\r\n"
                                        "cmbColV_Value=0\r\n"
                                        "sgridPrefixCodeReplace_Cell_0_1=\r\n"
                                        "sgridPrefixCodeReplace_Cell_1_1=\r\n"
                                        "sgridPrefixCodeReplace_RowCount=1\r\n"
                                        "[Common]\r\n"
                                        "TemplateOptions0=По умолчанию\r\n"));
}

TEST_F(MainFormTest, NamesAreListedUpToTheFirstGapOrEmptyName) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"[Common]\r\nTemplateOptions0=Первый\r\nTemplateOptions2=Третий\r\n", {"Первый"}},
      {"[Common]\r\nTemplateOptions0=Первый\r\nTemplateOptions1=\r\nTemplateOptions2=Третий\r\n", {"Первый"}},
      {"[Common]\r\nTemplateOptions1=Второй\r\n", {"По умолчанию"}},
      {"[Common]\r\nTemplateOptions0=А\r\nTemplateOptions1=Б\r\nTemplateOptions2=В\r\n", {"А", "Б", "В"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    WriteIni(c.first);
    Open();
    EXPECT_EQ(VariantNames(), c.second);
    EXPECT_EQ(form->cmbTemplateOptions->ItemIndex(), 0);
    delete form;
    form = nullptr;
  }
}

TEST_F(MainFormTest, TheStoredStartIndexSelectsAndLoadsItsVariant) {
  struct Case {
    const char* start;
    int index, shifr, v;
    const char* row;
  };
  // An index outside the list takes the first entry instead of none.
  const Case cases[] = {
      {"1", 1, 4, 5, "EF|GH"},  {"0", 0, 2, 3, "ТЕР|ФЕР"},  {"7", 0, 2, 3, "ТЕР|ФЕР"},
      {"-1", 0, 2, 3, "ТЕР|ФЕР"}, {" 1x", 1, 4, 5, "EF|GH"}, {"нет", 0, 2, 3, "ТЕР|ФЕР"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    WriteIni(WithStart(c.start));
    Open();
    EXPECT_EQ(form->cmbTemplateOptions->ItemIndex(), c.index);
    EXPECT_EQ(form->cmbColShifr->ItemIndex(), c.shifr);
    EXPECT_EQ(form->cmbColV->ItemIndex(), c.v);
    EXPECT_EQ(GridRows(), std::vector<std::string>{c.row});
    form->bbtnSaveTemplateOptions->Click();
    EXPECT_EQ(IniText().find("TemplateOptions-1"), std::string::npos) << "no variant without a name";
    delete form;
    form = nullptr;
  }
}

TEST_F(MainFormTest, ARowWithAnEmptyPrefixIsNotLoaded) {
  WriteIni(
      "[TemplateOptions0]\r\n"
      "sgridPrefixCodeReplace_Cell_0_1=AB\r\nsgridPrefixCodeReplace_Cell_1_1=CD\r\n"
      "sgridPrefixCodeReplace_Cell_0_2=\r\nsgridPrefixCodeReplace_Cell_1_2=XY\r\n"
      "sgridPrefixCodeReplace_Cell_0_3=EF\r\nsgridPrefixCodeReplace_Cell_1_3=\r\n"
      "sgridPrefixCodeReplace_RowCount=3\r\n");
  Open();
  EXPECT_EQ(GridRows(), (std::vector<std::string>{"AB|CD", "|", "EF|"}));
  // The column values of a section without them stay as registered.
  EXPECT_EQ(form->cmbColShifr->ItemIndex(), 0);
}

TEST_F(MainFormTest, SavingFewerRowsOverMoreLeavesOnlyTheNewRows) {
  WriteIni(
      "[Common]\r\nTemplateOptions0=Смета\r\n"
      "[TemplateOptions0]\r\n"
      "cmbColShifr_Value=2\r\ncmbColV_Value=6\r\n"
      "sgridPrefixCodeReplace_Cell_0_1=ТЕР\r\nsgridPrefixCodeReplace_Cell_1_1=ФЕР\r\n"
      "sgridPrefixCodeReplace_Cell_0_2=ГЭСН\r\nsgridPrefixCodeReplace_Cell_1_2=ФЕР\r\n"
      "sgridPrefixCodeReplace_Cell_0_3=Е\r\nsgridPrefixCodeReplace_Cell_1_3=ТЕР\r\n"
      "sgridPrefixCodeReplace_RowCount=3\r\n");
  Open();
  ASSERT_EQ(GridRows(), (std::vector<std::string>{"ТЕР|ФЕР", "ГЭСН|ФЕР", "Е|ТЕР"}));
  form->sgridPrefixCodeReplace->SetRow(1);
  form->bbtnDelPrefixCodeReplace->Click();
  form->bbtnDelPrefixCodeReplace->Click();
  form->sgridPrefixCodeReplace->SetCells(1, 1, "ТЕРр");
  form->cmbColV->SetItemIndex(9);
  form->cmbColShifrChange(form->cmbColV);
  form->bbtnSaveTemplateOptions->Click();
  EXPECT_EQ(Escaped(IniText()), Escaped("[Common]\r\nTemplateOptions0=Смета\r\n"
                                        "[TemplateOptions0]\r\n"
                                        "cmbColShifr_Value=2\r\ncmbColV_Value=9\r\n"
                                        "sgridPrefixCodeReplace_RowCount=1\r\n"
                                        "sgridPrefixCodeReplace_Cell_0_1=Е\r\n"
                                        "sgridPrefixCodeReplace_Cell_1_1=ТЕРр\r\n"));
}

TEST_F(MainFormTest, TypedNamesAreTakenWhenCommittedAndSavedWithTheNamesBelow) {
  WriteIni("[Common]\r\nTemplateOptions0=Основной\r\ncmbTemplateOptions=0\r\n");
  Open();
  TComboBox* c = form->cmbTemplateOptions;
  // Typing alone adds nothing, whatever was typed on the way.
  Type(c, L"\u041d\u043e\u0432");  // "Нов"
  EXPECT_EQ(VariantNames(), std::vector<std::string>{"Основной"});
  PressEnter(c);
  EXPECT_EQ(VariantNames(), (std::vector<std::string>{"Основной", "Нов"}));
  EXPECT_EQ(c->ItemIndex(), 1);
  // A name equal to an entry apart from letter case adds nothing.
  Type(c, L"\u043e\u0441\u043d\u043e\u0432\u043d\u043e\u0439");  // "основной"
  PressEnter(c);
  EXPECT_EQ(VariantNames().size(), 2u);
  // An empty text names nothing.
  Type(c, L"");
  PressEnter(c);
  EXPECT_EQ(VariantNames().size(), 2u);
  // The focus leaving the box commits as well.
  Type(c, L"\u0422\u0440\u0435\u0442\u0438\u0439");  // "Третий"
  form->bbtnSaveTemplateOptions->SetFocus();
  Application->ProcessMessages();
  EXPECT_EQ(VariantNames(), (std::vector<std::string>{"Основной", "Нов", "Третий"}));
  ASSERT_EQ(c->ItemIndex(), 2);
  // Saving the third also names the second, so both are listed next time.
  form->sgridPrefixCodeReplace->SetCells(0, 1, "ТЕР");
  form->bbtnSaveTemplateOptions->Click();
  TIniFile ini(IniPath());
  EXPECT_EQ(ini.ReadSection("Common"),
            (std::vector<AnsiString>{"TemplateOptions0", "cmbTemplateOptions", "TemplateOptions1", "TemplateOptions2"}));
  EXPECT_EQ(ini.ReadString("Common", "TemplateOptions1", ""), "Нов");
  EXPECT_EQ(ini.ReadString("Common", "TemplateOptions2", ""), "Третий");
  EXPECT_EQ(ini.ReadString("Common", "cmbTemplateOptions", ""), "0") << "the start index is only read";
  EXPECT_FALSE(ini.SectionExists("TemplateOptions1"));
  EXPECT_EQ(ini.ReadString("TemplateOptions2", "sgridPrefixCodeReplace_Cell_0_1", ""), "ТЕР");

  // "Сохранить" itself takes a typed name in before saving; an existing name
  // is never rewritten.
  Type(c, L"\u0427\u0435\u0442\u0432\u0435\u0440\u0442\u044b\u0439");  // "Четвертый"
  form->bbtnSaveTemplateOptions->Click();
  EXPECT_EQ(ini.ReadString("Common", "TemplateOptions3", ""), "Четвертый");
  EXPECT_EQ(ini.ReadString("Common", "TemplateOptions0", ""), "Основной");

  delete form;
  form = nullptr;
  Open();
  EXPECT_EQ(VariantNames(), (std::vector<std::string>{"Основной", "Нов", "Третий", "Четвертый"}));
}

TEST_F(MainFormTest, ClosingTheListLoadsTheChosenVariantOrReloadsTheCurrent) {
  WriteIni(WithStart("0"));
  Open();
  TComboBox* c = form->cmbTemplateOptions;
  // Closing without a new choice puts back the saved state.
  form->sgridPrefixCodeReplace->SetCells(0, 1, "изменено");
  form->cmbColShifr->SetItemIndex(100);
  c->SetDroppedDown(true);
  Pump();
  c->SetDroppedDown(false);
  Pump();
  EXPECT_EQ(GridRows(), std::vector<std::string>{"ТЕР|ФЕР"});
  EXPECT_EQ(form->cmbColShifr->ItemIndex(), 2);
  // Choosing the second entry loads it when the list closes.
  c->SetDroppedDown(true);
  Pump();
  c->SetItemIndex(1);
  c->SetDroppedDown(false);
  Pump();
  EXPECT_EQ(GridRows(), std::vector<std::string>{"EF|GH"});
  EXPECT_EQ(form->cmbColV->ItemIndex(), 5);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(VariantNames().size(), 2u);
}

TEST_F(MainFormTest, AnEntryClickedInTheOpenListWinsOverTextTypedThere) {
  WriteIni(WithStart("0"));
  Open();
  TComboBox* c = form->cmbTemplateOptions;
  Type(c, L"");
  c->SetDroppedDown(true);
  Pump();
  PostTyping(c, L"\u041d\u043e\u0432\u044b\u0439");  // "Новый"
  ASSERT_TRUE(c->DroppedDown()) << "typing closed the list";
  ASSERT_EQ(c->Text(), "Новый");
  PostListClick(c, 1);
  EXPECT_FALSE(c->DroppedDown());
  EXPECT_EQ(VariantNames(), (std::vector<std::string>{"Основной", "Второй"}));
  EXPECT_EQ(c->ItemIndex(), 1);
  EXPECT_EQ(c->Text(), "Второй");
  EXPECT_EQ(GridRows(), std::vector<std::string>{"EF|GH"});
  EXPECT_EQ(form->cmbColV->ItemIndex(), 5);

  // Closed without a pick, the list leaves the typed name to be taken.
  c->SetDroppedDown(true);
  Pump();
  PostTyping(c, L"\u0422\u0440\u0435\u0442\u0438\u0439");  // "Третий"
  c->SetDroppedDown(false);
  Pump();
  EXPECT_EQ(VariantNames(), (std::vector<std::string>{"Основной", "Второй", "Третий"}));
  EXPECT_EQ(c->ItemIndex(), 2);
  EXPECT_EQ(GridRows(), std::vector<std::string>{"|"}) << "the new variant has no table yet";
}

// A settings file that cannot be read: a folder in its place, or a file
// another program holds locked.
TEST_F(MainFormTest, AnUnreadableSettingsFileIsNamedOnceAndDefaultsServe) {
  struct Case {
    const char* what;
    bool folder;
    const char* problem;
  };
  const Case cases[] = {
      {"a folder in its place", true, "на его месте находится папка"},
      {"locked by another program", false, "он недоступен для чтения"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    // Held until the case ends, however it ends.
    std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> lock(nullptr, CloseHandle);
    if (k.folder) {
      CreateDirectoryA(SettingsFolder().c_str(), nullptr);
      ASSERT_TRUE(CreateDirectoryA(IniPath().c_str(), nullptr));
    } else {
      WriteIni(WithStart("1"));
      HANDLE h = CreateFileA(IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      lock.reset(h);
    }
    MessageBoxRecorder boxes;
    Open();
    ASSERT_EQ(boxes.Boxes().size(), 1u) << (boxes.Boxes().empty() ? "" : boxes.Boxes().back().text);
    EXPECT_EQ(boxes.Boxes()[0].text, "Не удалось прочитать файл настроек " + IniPath() + ": " + k.problem +
                                         ".\nПрограмма продолжит работу с настройками по умолчанию.");
    EXPECT_EQ(boxes.Boxes()[0].caption, form->Caption());
    EXPECT_EQ(boxes.Boxes()[0].flags, 0x42030u);
    EXPECT_FALSE(form->FirstActivate);
    EXPECT_EQ(VariantNames(), std::vector<std::string>{"По умолчанию"});
    EXPECT_EQ(form->cmbTemplateOptions->ItemIndex(), 0);
    EXPECT_EQ(form->cmbColShifr->ItemIndex(), 0);
    EXPECT_EQ(GridRows(), std::vector<std::string>{"|"});
    EXPECT_TRUE(form->bbtnConvert->Enabled()) << "the workbook was opened";
    // Later activations say nothing more.
    SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    Pump();
    EXPECT_EQ(boxes.Boxes().size(), 1u);

    // Saving is refused by the file and says so, once.
    boxes.ClearBoxes();
    SendMessageW(form->bbtnSaveTemplateOptions->Handle(), BM_CLICK, 0, 0);
    Pump();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Ошибка записи в файл настроек: " + IniPath());
    EXPECT_EQ(boxes.Boxes()[0].flags, static_cast<unsigned>(MB_OK | MB_ICONERROR | MB_TASKMODAL));

    delete form;
    form = nullptr;
    lock.reset();
    if (k.folder) RemoveDirectoryA(IniPath().c_str());
    else DeleteFileA(IniPath().c_str());
    Pump();
  }
}
