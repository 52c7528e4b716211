// The main window: layout, construction, first activation, resize, the
// prefix grid's row commands and header drawing.
#include <windows.h>

#include <algorithm>

#include "framework/IniFiles.h"

#include "tests/ui/MainFormFixture.h"

namespace {
TComponent* FindComponent(TComponent* owner, const std::string& name) {
  for (int i = 0; i < owner->ComponentCount(); ++i)
    if (owner->Components(i)->Name() == name) return owner->Components(i);
  return nullptr;
}
}  // namespace

TEST(ColumnList, LettersCountRunsOf26) {
  const std::pair<int, const char*> cases[] = {{1, "A"},   {2, "B"},   {26, "Z"},  {27, "AA"}, {52, "AZ"},
                                               {53, "BA"}, {78, "BZ"}, {79, "CA"}, {255, "IU"}, {256, "IV"}};
  for (const auto& c : cases) EXPECT_EQ(ColumnLetters(c.first), c.second) << "column " << c.first;
}

TEST_F(MainFormTest, LayoutNamesTypesParentsAndPlacement) {
  Open();
  struct Row {
    const char* name;
    const char* type;
    const char* parent;
    int left, top, width, height;
    const char* text;
  };
  const Row rows[] = {
      {"pnlMain", "TPanel", "ImportExcelForm", 0, 0, -1, -1, ""},
      {"pg", "TPageControl", "pnlMain", 0, 0, -1, -1, ""},
      {"tsConvert", "TTabSheet", "pg", -1, -1, -1, -1, "Конвертация"},
      {"Panel3", "TPanel", "tsConvert", 0, 0, -1, 97, ""},
      {"pnlTemplateOptions", "TPanel", "Panel3", -1, -1, -1, 42, ""},
      {"lblTeplateOptions", "TLabel", "pnlTemplateOptions", 8, 16, -1, -1, "Вариант настроек:"},
      {"cmbTemplateOptions", "TComboBox", "pnlTemplateOptions", 139, 12, 470, -1, nullptr},
      {"bbtnSaveTemplateOptions", "TBitBtn", "pnlTemplateOptions", 616, 12, 105, 25, "Сохранить"},
      {"gboxColOptions", "TGroupBox", "Panel3", -1, -1, 393, -1, "Колонки"},
      {"lblShifr", "TLabel", "gboxColOptions", 11, 19, -1, -1, "Шифр расценки:"},
      {"cmbColShifr", "TComboBox", "gboxColOptions", 138, 15, 85, -1, nullptr},
      {"lblV", "TLabel", "gboxColOptions", 233, 18, -1, -1, "Объем:"},
      {"cmbColV", "TComboBox", "gboxColOptions", 295, 15, 85, -1, nullptr},
      {"bbtnConvert", "TBitBtn", "Panel3", 404, 54, 325, 35, "Конвертировать"},
      {"pnProgressBar", "TPanel", "tsConvert", -1, -1, -1, 34, ""},
      {"pnProgressBarMessage", "TPanel", "pnProgressBar", 3, 5, 185, 25, "Конвертирую, Ждите...."},
      {"pnProcent", "TPanel", "pnProgressBar", 195, 7, 422, 21, ""},
      {"ProgressBar1", "TProgressBar", "pnProcent", -1, -1, -1, -1, ""},
      {"btnConvertCancel", "TBitBtn", "pnProgressBar", 628, 5, 109, 25, "Отменить"},
      {"pnOLE", "TPanel", "tsConvert", 0, 97, -1, -1, ""},
      {"pnPageExcel", "TPanel", "tsConvert", 0, -1, -1, 33, ""},
      {"lbExcelPage", "TLabel", "pnPageExcel", 9, 8, -1, -1, "Лист MS Excel:"},
      {"cmbExcelPage", "TComboBox", "pnPageExcel", 128, 5, -1, -1, ""},
      {"tsOptions", "TTabSheet", "pg", -1, -1, -1, -1, "Дополнительные настройки"},
      {"Panel1", "TPanel", "tsOptions", 0, 0, -1, -1, ""},
      {"gboxPrefixCode", "TGroupBox", "Panel1", -1, -1, -1, 160, "Замена префиксов в кодах"},
      {"sgridPrefixCodeReplace", "TStringGrid", "gboxPrefixCode", -1, -1, -1, -1, nullptr},
      {"Panel4", "TPanel", "gboxPrefixCode", -1, -1, 124, -1, ""},
      {"bbtnAddPrefixCodeReplace", "TBitBtn", "Panel4", 12, 8, 100, 25, "Добавить"},
      {"bbtnDelPrefixCodeReplace", "TBitBtn", "Panel4", 12, 40, 100, 25, "Удалить"},
      {"tmrExcelPage", "TTimer", nullptr, 0, 0, 0, 0, nullptr},
      {"tmrOlePosition", "TTimer", nullptr, 0, 0, 0, 0, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TComponent* c = FindComponent(form, row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->ClassName(), row.type);
    auto* w = dynamic_cast<TWinControl*>(c);
    if (!row.parent) continue;
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->Parent(), nullptr);
    EXPECT_EQ(w->Parent()->Name(), row.parent);
    // -1: not fixed by the layout. A combo box's window height includes its
    // list, so its height is never compared.
    if (row.left >= 0) {
      EXPECT_EQ(w->Left(), row.left);
    }
    if (row.top >= 0) {
      EXPECT_EQ(w->Top(), row.top);
    }
    if (row.width >= 0) {
      EXPECT_EQ(w->Width(), row.width);
    }
    if (row.height >= 0) {
      EXPECT_EQ(w->Height(), row.height);
    }
    if (row.text) {
      EXPECT_EQ(w->Caption(), row.text);
    }
  }
  EXPECT_EQ(form->Caption(), "Перевод XLS в формат Залбиро (версия от 04-10-2011)");
  EXPECT_EQ(Application->Title(), form->Caption());
  EXPECT_EQ(form->Width(), 760);
  EXPECT_EQ(form->Height(), 590);
  EXPECT_EQ(form->Constraints().MinWidth, 760);
  EXPECT_EQ(form->Constraints().MinHeight, 590);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(form->Left(), work.left + (work.right - work.left - 760) / 2) << "centred";
  EXPECT_EQ(form->Top(), work.top + (work.bottom - work.top - 590) / 2) << "centred";
  EXPECT_EQ(form->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(form->Font().Height(), -13);
  // The strips: Panel3, then pnOLE, then pnPageExcel at the bottom.
  EXPECT_EQ(form->pnPageExcel->Top() + 33, form->tsConvert->ClientHeight());
  EXPECT_EQ(form->pnOLE->Top() + form->pnOLE->Height(), form->pnPageExcel->Top());
  EXPECT_FALSE(form->pnProgressBar->Visible());
  EXPECT_EQ(form->cmbTemplateOptions->Style(), csDropDown);
  EXPECT_EQ(form->cmbColShifr->Style(), csDropDownList);
  EXPECT_EQ(form->cmbColV->Style(), csDropDownList);
  EXPECT_EQ(form->cmbExcelPage->Style(), csDropDownList);
  EXPECT_EQ(form->cmbExcelPage->Anchors(), akLeft | akTop | akRight | akBottom);
  EXPECT_EQ(form->Panel3->Color(), clTeal);
  EXPECT_EQ(form->lblShifr->Font().Color(), clWhite);
  EXPECT_TRUE(form->lblShifr->Font().Style() & fsBold);
  EXPECT_TRUE(form->cmbColShifr->Font().Style() & fsBold);
  EXPECT_EQ(form->gboxPrefixCode->Font().Color(), clWhite);
  EXPECT_EQ(form->bbtnConvert->Hint(), "Начать конвертацию");
  EXPECT_TRUE(form->bbtnConvert->ShowHint());
  EXPECT_EQ(form->pnProcent->Alignment(), taRightJustify);
  EXPECT_EQ(form->ProgressBar1->Min(), 0);
  EXPECT_EQ(form->ProgressBar1->Max(), 100);
  EXPECT_EQ(form->btnConvertCancel->Kind(), bkAbort);
  for (TBitBtn* b : {form->bbtnSaveTemplateOptions, form->bbtnConvert, form->bbtnAddPrefixCodeReplace,
                     form->bbtnDelPrefixCodeReplace})
    EXPECT_NE(b->Glyph(), nullptr) << b->Name() << " has its glyph";
  EXPECT_EQ(form->tmrExcelPage->Interval(), 250u);
  EXPECT_EQ(form->tmrOlePosition->Interval(), 20u);

  TStringGrid* g = form->sgridPrefixCodeReplace;
  EXPECT_EQ(g->ColCount(), 2);
  EXPECT_EQ(g->FixedRows(), 1);
  EXPECT_EQ(g->FixedCols(), 0);
  EXPECT_EQ(g->ColWidths(0), 276);
  EXPECT_EQ(g->ColWidths(1), 286);
  EXPECT_EQ(g->FixedColor(), clTeal);
  EXPECT_TRUE(g->Options() & goEditing);
  EXPECT_TRUE(g->Options() & goRangeSelect);
  EXPECT_EQ(g->Cells(0, 0), "Префикс");
  EXPECT_EQ(g->Cells(1, 0), "Заменить на");
}

TEST_F(MainFormTest, ConstructionMakesTheSettingsFolderAndRegistersTheColumnLists) {
  TempDir outer;
  const std::string exeFolder = outer.Path() + "prog\\bin\\";
  form = new TImportExcelForm(nullptr, exeFolder);
  EXPECT_EQ(form->IniFileName, exeFolder + "XLS2ZALBIRO\\XLS2ZALBIRO.ini");
  DWORD a = GetFileAttributesA((exeFolder + "XLS2ZALBIRO").c_str());
  EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) << "every missing level is created";
  EXPECT_TRUE(form->FirstActivate);
  EXPECT_FALSE(form->CancelRequested);
  EXPECT_EQ(form->pg->ActivePageIndex(), 1) << "the layout loads with the options page";
  ASSERT_NE(OleContainerForm, nullptr);
  EXPECT_EQ(form->OleExcelRef, OleContainerForm->oleExcel);
  EXPECT_TRUE(form->tmrOlePosition->Enabled());
  EXPECT_FALSE(form->tmrExcelPage->Enabled());
  ASSERT_EQ(form->FrmParams.Count(), 2);
  form->FrmParams.RebuildControls();
  EXPECT_TRUE(form->FrmParams.ControlExists("cmbColShifr"));
  EXPECT_TRUE(form->FrmParams.ControlExists("cmbColV"));
  EXPECT_TRUE(form->FrmParams.GetControl("cmbColV").Count() == 1);
  delete form;
  form = nullptr;
  EXPECT_EQ(OleContainerForm, nullptr);
}

TEST_F(MainFormTest, FirstActivationFillsTheListsAndASecondChangesNothing) {
  Open();
  EXPECT_FALSE(form->FirstActivate);
  EXPECT_EQ(form->pg->ActivePageIndex(), 0);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  for (TComboBox* c : {form->cmbColShifr, form->cmbColV}) {
    SCOPED_TRACE(c->Name());
    ASSERT_EQ(c->Items().Count(), 257);
    EXPECT_EQ(c->Items().Strings(0), "[Нет]");
    EXPECT_EQ(c->Items().Strings(1), "A(1)");
    EXPECT_EQ(c->Items().Strings(26), "Z(26)");
    EXPECT_EQ(c->Items().Strings(27), "AA(27)");
    EXPECT_EQ(c->Items().Strings(53), "BA(53)");
    EXPECT_EQ(c->Items().Strings(256), "IV(256)");
    EXPECT_EQ(c->ItemIndex(), 0);
  }
  // The workbook runs: what needs one is enabled.
  EXPECT_TRUE(form->cmbColShifr->Enabled());
  EXPECT_TRUE(form->cmbColV->Enabled());
  EXPECT_TRUE(form->lblShifr->Enabled());
  EXPECT_TRUE(form->cmbExcelPage->Enabled());
  EXPECT_TRUE(form->bbtnConvert->Enabled());
  EXPECT_TRUE(form->gboxColOptions->Enabled());
  EXPECT_TRUE(IsWindowVisible(OleContainerForm->Handle()));
  EXPECT_TRUE(form->tmrExcelPage->Enabled());

  // A later activation (say after a message box) reloads nothing.
  form->cmbColV->SetItemIndex(5);
  form->sgridPrefixCodeReplace->SetCells(0, 1, "ТЕР");
  form->pg->SetActivePageIndex(1);
  auto* other = new TForm(nullptr);
  other->Show();
  SetForegroundWindow(other->Handle());
  Pump();
  delete other;
  SetForegroundWindow(form->Handle());
  SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  Pump();
  EXPECT_EQ(form->cmbColV->ItemIndex(), 5);
  EXPECT_EQ(form->cmbColV->Items().Count(), 257);
  EXPECT_EQ(form->cmbTemplateOptions->Items().Count(), 1);
  EXPECT_EQ(form->sgridPrefixCodeReplace->Cells(0, 1), "ТЕР");
  EXPECT_EQ(form->pg->ActivePageIndex(), 1);
}

TEST_F(MainFormTest, ResizeKeepsTheSheetSelectorFivePixelsFromTheEdgeAndTheMinimumSize) {
  Open();
  const int sizes[][2] = {{900, 700}, {1200, 800}, {760, 590}, {500, 400}};
  for (const auto& s : sizes) {
    form->SetBounds(10, 10, s[0], s[1]);
    Pump();
    SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
    EXPECT_GE(form->Width(), 760);
    EXPECT_GE(form->Height(), 590);
    EXPECT_EQ(form->cmbExcelPage->Left() + form->cmbExcelPage->Width(), form->pnPageExcel->Width() - 5);
  }
  // The user's drag of the frame is held by the constraints as well.
  MINMAXINFO mmi{};
  SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  EXPECT_EQ(mmi.ptMinTrackSize.x, 760);
  EXPECT_EQ(mmi.ptMinTrackSize.y, 590);
}

TEST_F(MainFormTest, ColumnChangeCapturesOnlyRegisteredControls) {
  Open();
  form->cmbColV->SetItemIndex(7);
  form->cmbColShifrChange(form->cmbColV);
  form->cmbColShifrChange(form->pnOLE);  // no entry: nothing happens
  form->FrmParams.Save(Str::CStr(form->IniFileName), "Check");
  TIniFile ini(form->IniFileName);
  EXPECT_EQ(ini.ReadString("Check", "cmbColV_Value", ""), "7");
  EXPECT_EQ(ini.ReadString("Check", "cmbColShifr_Value", ""), "0");
  EXPECT_EQ(ini.ReadSection("Check").size(), 2u);
}

TEST_F(MainFormTest, AddingAndDeletingGridRows) {
  Open();
  using Rows = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    Rows rows;
    int current;  // -1: add a row instead of deleting
    std::vector<std::string> expected;
    int expectedRow;
  };
  const Case cases[] = {
      {"add to one row", {{"A", "B"}}, -1, {"A|B", "|"}, 2},
      {"add to three rows", {{"A", "B"}, {"C", "D"}, {"E", "F"}}, -1, {"A|B", "C|D", "E|F", "|"}, 4},
      {"delete the only row", {{"A", "B"}}, 1, {"|"}, 1},
      {"delete the middle of three", {{"A", "B"}, {"C", "D"}, {"E", "F"}}, 2, {"A|B", "E|F"}, 2},
      {"delete the first of three", {{"A", "B"}, {"C", "D"}, {"E", "F"}}, 1, {"C|D", "E|F"}, 1},
      {"delete the last of three", {{"A", "B"}, {"C", "D"}, {"E", "F"}}, 3, {"A|B", "C|D"}, 2},
      {"delete the last of two", {{"A", "B"}, {"C", "D"}}, 2, {"A|B"}, 1},
  };
  form->pg->SetActivePageIndex(1);
  TStringGrid* g = form->sgridPrefixCodeReplace;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g->SetEditorMode(false);
    SetGridRows(c.rows);
    if (c.current < 0) {
      g->SetRow(1);
      g->SetCol(1);
      form->bbtnAddPrefixCodeReplace->Click();
      Pump();
      EXPECT_TRUE(g->EditorMode()) << "the editor opens on the new row";
      EXPECT_EQ(g->Col(), 1) << "the current column stays";
      EXPECT_TRUE(g->Focused() || IsChild(g->Handle(), GetFocus()));
    } else {
      g->SetRow(c.current);
      form->bbtnDelPrefixCodeReplace->Click();
      Pump();
    }
    EXPECT_EQ(GridRows(), c.expected);
    EXPECT_EQ(g->Row(), c.expectedRow);
  }
}

TEST_F(MainFormTest, HeaderTextsAreDrawnCentredInWhite) {
  Open();
  form->pg->SetActivePageIndex(1);
  form->tmrOlePositionTimer(form->tmrOlePosition);  // hides the embedded window
  TStringGrid* g = form->sgridPrefixCodeReplace;
  Pump();
  InvalidateRect(g->Handle(), nullptr, TRUE);
  UpdateWindow(g->Handle());
  HDC dc = GetDC(g->Handle());
  for (int col = 0; col < 2; ++col) {
    SCOPED_TRACE(col);
    TRect r = g->CellRect(col, 0);
    int minX = r.Right, maxX = r.Left - 1, minY = r.Bottom, maxY = r.Top - 1;
    int white = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const COLORREF p = GetPixel(dc, x, y);
        white += p == RGB(255, 255, 255);
        // Ink: white, or white blended into the teal by font smoothing
        // (teal has no red at all).
        if (GetRValue(p) >= 96) {
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
          minY = std::min(minY, y);
          maxY = std::max(maxY, y);
        }
      }
    ASSERT_GT(white, 0) << "white header text drawn";
    const AnsiString text = g->Cells(col, 0);
    const int width = g->Canvas()->TextWidth(text);
    const int expectedLeft = r.Left + r.Width() / 2 - width / 2;
    // The ink lies inside the centred text box and is centred in the cell.
    // Side bearings differ from font to font (the machine may resolve the
    // face to any installed font), so the edges are not pinned to the box.
    EXPECT_GE(minX, expectedLeft - 2);
    EXPECT_LE(maxX + 1, expectedLeft + width + 2);
    EXPECT_GT(maxX + 1 - minX, width / 2) << "the whole text is drawn";
    EXPECT_NEAR((minX + maxX + 1) / 2, r.Left + r.Width() / 2, 4);
    EXPECT_NEAR((minY + maxY + 1) / 2, r.Top + r.Height() / 2, 3);
    // The rest of the header cell keeps the fixed colour.
    EXPECT_EQ(GetPixel(dc, r.Left + 2, r.Top + 2), RGB(0, 128, 128));
  }
  ReleaseDC(g->Handle(), dc);
}

TEST_F(MainFormTest, CloseQueryStopsThePlacementAndDestroyRemovesTheEmbeddedWindow) {
  Open();
  bool can = false;
  form->FormCloseQuery(form, can);
  EXPECT_TRUE(can);
  EXPECT_FALSE(form->tmrOlePosition->Enabled());
  HWND ole = OleContainerForm->Handle();
  delete form;
  form = nullptr;
  EXPECT_FALSE(IsWindow(ole));
  EXPECT_EQ(OleContainerForm, nullptr);
}

TEST_F(MainFormTest, CancelAsksAndOnlyYesRequestsIt) {
  Open();
  MessageBoxRecorder boxes;
  const std::pair<int, bool> cases[] = {{IDNO, false}, {IDCANCEL, false}, {IDYES, true}};
  for (const auto& c : cases) {
    form->CancelRequested = false;
    boxes.Answer(c.first);
    form->btnConvertCancel->Click();
    EXPECT_EQ(form->CancelRequested, c.second) << "answer " << c.first;
  }
  ASSERT_EQ(boxes.Boxes().size(), 3u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Отменить конвертацию?");
  EXPECT_EQ(boxes.Boxes()[0].caption, form->Caption());
  EXPECT_EQ(boxes.Boxes()[0].flags, 0x42023u);
}
