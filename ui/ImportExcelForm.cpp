// Layout and construction of the main window.
#include "ui/ImportExcelForm.h"

#include "framework/Application.h"
#include "ui/Glyphs.h"
#include "ui/OleContainerForm.h"

TImportExcelForm* ImportExcelForm = nullptr;

namespace {
const char kCaption[] = "Перевод XLS в формат Залбиро (версия от 04-10-2011)";

// Each control is born in its parent's window: see TCreateIn.
template <class T, class... Args>
T* Make(TComponent* owner, TWinControl* parent, const char* name, Args... args) {
  T* c;
  {
    TCreateIn in(parent);
    c = new T(owner, args...);
  }
  c->SetName(name);
  c->SetParent(parent);
  return c;
}

TPanel* MakePanel(TComponent* owner, TWinControl* parent, const char* name, TAlign align, int height) {
  TPanel* p = Make<TPanel>(owner, parent, name);
  p->SetColor(clTeal);
  p->SetHeight(height);
  p->SetAlign(align);
  return p;
}

TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* name, int left, int top, const char* text,
                  bool bold) {
  TLabel* l = Make<TLabel>(owner, parent, name);
  l->Font().SetColor(clWhite);
  if (bold) l->Font().SetStyle(fsBold);
  l->SetCaption(text);
  l->SetLeft(left);
  l->SetTop(top);
  return l;
}

TComboBox* MakeCombo(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width,
                     TComboBoxStyle style, bool bold) {
  TComboBox* c = Make<TComboBox>(owner, parent, name, style);
  // Their group box's title is white; the boxes keep the window's text colour.
  c->Font().SetColor(clWindowText);
  if (bold) c->Font().SetStyle(fsBold);
  c->SetBounds(left, top, width, 21);
  return c;
}

TBitBtn* MakeButton(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width,
                    int height, const char* text) {
  TBitBtn* b = Make<TBitBtn>(owner, parent, name);
  b->Font().SetColor(clBtnText);
  b->Font().SetStyle(0);
  b->SetBounds(left, top, width, height);
  b->SetCaption(text);
  return b;
}

// The executable's folder with its trailing separator.
AnsiString ExeFolder() {
  AnsiString exe = Application->ExeName();
  size_t cut = exe.find_last_of("\\/:");
  return cut == AnsiString::npos ? AnsiString() : exe.substr(0, cut + 1);
}

// Creates the folder with every missing level; failures are left to the
// settings file's own reads and writes.
void ForceDirectories(const AnsiString& path) {
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
    AnsiString prefix = path.substr(0, i);
    if (prefix.empty() || prefix.back() == ':') continue;
    CreateDirectoryA(prefix.c_str(), nullptr);
  }
}
}  // namespace

AnsiString ColumnLetters(int column) {
  if (column < 1) return AnsiString();
  if (column <= 26) return AnsiString(1, static_cast<char>('A' + column - 1));
  // The first letter counts the completed runs of 26.
  return AnsiString(1, static_cast<char>('A' + (column - 1) / 26 - 1)) +
         AnsiString(1, static_cast<char>('A' + (column - 1) % 26));
}

AnsiString ColumnListText() {
  AnsiString text = "[Нет]\r\n";
  for (int n = 1; n <= 256; ++n) text += ColumnLetters(n) + "(" + IntToStr(n) + ")\r\n";
  return text;
}

TImportExcelForm::TImportExcelForm(TComponent* owner, const AnsiString& exeFolder) : TForm(owner) {
  CreateLayout();

  SetCaption(kCaption);
  Application->SetTitle(kCaption);

  sgridPrefixCodeReplace->SetCells(0, 0, "Префикс");
  sgridPrefixCodeReplace->SetCells(1, 0, "Заменить на");

  const AnsiString folder = exeFolder.empty() ? ExeFolder() : exeFolder;
  ForceDirectories(folder + "XLS2ZALBIRO");
  IniFileName = folder + "XLS2ZALBIRO\\XLS2ZALBIRO.ini";
  FirstActivate = true;

  CreateOleContainerForm();
  tmrOlePosition->SetEnabled(true);

  for (TComboBox* c : {cmbColShifr, cmbColV})
    FrmParams.Set(Str::CStr(c->Name()), TParamValue(Str::CStr(c->Name() + "_Value"), Str::CStr(c->Name()), 0, ""));
}

TImportExcelForm::~TImportExcelForm() {
  // OnDestroy must see the members, which are gone by the base destructor.
  Destroying();
  if (ImportExcelForm == this) ImportExcelForm = nullptr;
}

void TImportExcelForm::CreateOleContainerForm() {
  OleContainerForm = nullptr;
  OleContainerForm = new TOleContainerForm(this);
  OleContainerForm->SetFormStyle(fsStayOnTop);
  OleContainerForm->OnClose = [this](TComponent* s, TCloseAction& a) { OleContainerFormClose(s, a); };
  OleExcelRef = OleContainerForm->oleExcel;
}

void TImportExcelForm::CreateLayout() {
  SetName("ImportExcelForm");
  SetColor(clBtnFace);
  // Placed before the constraints take effect: one move of the window, not two.
  SetBounds(0, 0, 760, 590);
  SetConstraints(TSizeConstraints{760, 590, 0, 0});
  SetPosition(poScreenCenter);

  pnlMain = Make<TPanel>(this, this, "pnlMain");
  pnlMain->SetBevelOuter(bvNone);
  pnlMain->SetAlign(alClient);

  pg = Make<TPageControl>(this, pnlMain, "pg");
  pg->SetAlign(alClient);
  {
    TCreateIn in(pg);
    tsConvert = new TTabSheet(this);
    tsOptions = new TTabSheet(this);
  }
  tsConvert->SetName("tsConvert");
  tsConvert->SetCaption("Конвертация");
  tsConvert->SetPageControl(pg);
  tsOptions->SetName("tsOptions");
  tsOptions->SetCaption("Дополнительные настройки");
  tsOptions->SetPageControl(pg);

  CreateConvertPage();
  CreateOptionsPage();
  LoadGlyphs();
  pg->SetActivePageIndex(1);

  tmrExcelPage = new TTimer(this);
  tmrExcelPage->SetName("tmrExcelPage");
  tmrExcelPage->SetEnabled(false);
  tmrExcelPage->SetInterval(250);
  tmrExcelPage->OnTimer = [this](TComponent* s) { tmrExcelPageTimer(s); };
  tmrOlePosition = new TTimer(this);
  tmrOlePosition->SetName("tmrOlePosition");
  tmrOlePosition->SetEnabled(false);
  tmrOlePosition->SetInterval(20);
  tmrOlePosition->OnTimer = [this](TComponent* s) { tmrOlePositionTimer(s); };

  OnActivate = [this](TComponent* s) { FormActivate(s); };
  OnResize = [this](TComponent* s) { FormResize(s); };
  OnCloseQuery = [this](TComponent* s, bool& can) { FormCloseQuery(s, can); };
  OnDestroy = [this](TComponent* s) { FormDestroy(s); };
}

void TImportExcelForm::CreateConvertPage() {
  // The strips stack top-down: Panel3, the progress strip while shown, pnOLE;
  // pnPageExcel keeps the bottom.
  Panel3 = MakePanel(this, tsConvert, "Panel3", alTop, 97);
  pnlTemplateOptions = MakePanel(this, Panel3, "pnlTemplateOptions", alTop, 42);
  pnlTemplateOptions->SetBevelOuter(bvNone);
  lblTeplateOptions = MakeLabel(this, pnlTemplateOptions, "lblTeplateOptions", 8, 16, "Вариант настроек:", false);
  cmbTemplateOptions = MakeCombo(this, pnlTemplateOptions, "cmbTemplateOptions", 139, 12, 470, csDropDown, false);
  // A typed name is taken into the list when the typing is committed (Enter,
  // the list opening or closing, the focus leaving, saving), not at every
  // keystroke: half-typed names would pile up in the list and in the file.
  cmbTemplateOptions->OnDropDown = [this](TComponent* s) { cmbTemplateOptionsChange(s); };
  cmbTemplateOptions->OnExit = [this](TComponent* s) { cmbTemplateOptionsChange(s); };
  cmbTemplateOptions->OnCloseUp = [this](TComponent* s) { cmbTemplateOptionsCloseUp(s); };
  cmbTemplateOptions->OnKeyDown = [this](TComponent* s, WORD& key) { cmbTemplateOptionsKeyDown(s, key); };
  bbtnSaveTemplateOptions = MakeButton(this, pnlTemplateOptions, "bbtnSaveTemplateOptions", 616, 12, 105, 25,
                                       "Сохранить");
  bbtnSaveTemplateOptions->OnClick = [this](TComponent* s) { bbtnSaveTemplateOptionsClick(s); };

  gboxColOptions = Make<TGroupBox>(this, Panel3, "gboxColOptions");
  gboxColOptions->SetWidth(393);
  gboxColOptions->SetAlign(alLeft);
  gboxColOptions->Font().SetColor(clWhite);
  gboxColOptions->SetCaption("Колонки");
  lblShifr = MakeLabel(this, gboxColOptions, "lblShifr", 11, 19, "Шифр расценки:", true);
  cmbColShifr = MakeCombo(this, gboxColOptions, "cmbColShifr", 138, 15, 85, csDropDownList, true);
  cmbColShifr->OnChange = [this](TComponent* s) { cmbColShifrChange(s); };
  lblV = MakeLabel(this, gboxColOptions, "lblV", 233, 18, "Объем:", true);
  cmbColV = MakeCombo(this, gboxColOptions, "cmbColV", 295, 15, 85, csDropDownList, true);
  cmbColV->OnChange = [this](TComponent* s) { cmbColShifrChange(s); };

  bbtnConvert = MakeButton(this, Panel3, "bbtnConvert", 404, 54, 325, 35, "Конвертировать");
  bbtnConvert->SetHint("Начать конвертацию");
  bbtnConvert->SetShowHint(true);
  bbtnConvert->SetEnabled(false);
  bbtnConvert->OnClick = [this](TComponent* s) { bbtnConvertClick(s); };

  pnProgressBar = Make<TPanel>(this, tsConvert, "pnProgressBar");
  pnProgressBar->SetColor(clTeal);
  pnProgressBar->SetVisible(false);
  // Placed below Panel3 so that it stacks there whenever it is shown.
  pnProgressBar->SetBounds(0, 97, 752, 34);
  pnProgressBar->SetAlign(alTop);
  pnProgressBarMessage = Make<TPanel>(this, pnProgressBar, "pnProgressBarMessage");
  pnProgressBarMessage->SetBevelOuter(bvNone);
  pnProgressBarMessage->SetColor(clTeal);
  pnProgressBarMessage->Font().SetColor(clWhite);
  pnProgressBarMessage->Font().SetStyle(fsBold);
  pnProgressBarMessage->SetBounds(3, 5, 185, 25);
  pnProgressBarMessage->SetCaption("Конвертирую, Ждите....");
  pnProcent = Make<TPanel>(this, pnProgressBar, "pnProcent");
  pnProcent->SetAlignment(taRightJustify);
  pnProcent->SetBounds(195, 7, 422, 21);
  ProgressBar1 = Make<TProgressBar>(this, pnProcent, "ProgressBar1");
  ProgressBar1->SetMin(0);
  ProgressBar1->SetMax(100);
  ProgressBar1->SetAlign(alClient);
  btnConvertCancel = MakeButton(this, pnProgressBar, "btnConvertCancel", 628, 5, 109, 25, "Отменить");
  btnConvertCancel->SetKind(bkAbort);
  btnConvertCancel->OnClick = [this](TComponent* s) { btnConvertCancelClick(s); };

  pnPageExcel = MakePanel(this, tsConvert, "pnPageExcel", alBottom, 33);
  lbExcelPage = MakeLabel(this, pnPageExcel, "lbExcelPage", 9, 8, "Лист MS Excel:", true);
  cmbExcelPage = MakeCombo(this, pnPageExcel, "cmbExcelPage", 128, 5, 617, csDropDownList, false);
  cmbExcelPage->SetAnchors(akLeft | akTop | akRight | akBottom);
  cmbExcelPage->OnChange = [this](TComponent* s) { cmbExcelPageChange(s); };

  pnOLE = Make<TPanel>(this, tsConvert, "pnOLE");
  pnOLE->SetAlign(alClient);
  pnOLE->OnClick = [this](TComponent* s) { cmbColShifrChange(s); };
}

void TImportExcelForm::CreateOptionsPage() {
  Panel1 = MakePanel(this, tsOptions, "Panel1", alClient, 0);
  gboxPrefixCode = Make<TGroupBox>(this, Panel1, "gboxPrefixCode");
  gboxPrefixCode->SetHeight(160);
  gboxPrefixCode->SetAlign(alTop);
  gboxPrefixCode->Font().SetColor(clWhite);
  gboxPrefixCode->SetCaption("Замена префиксов в кодах");

  Panel4 = MakePanel(this, gboxPrefixCode, "Panel4", alNone, 0);
  Panel4->SetWidth(124);
  Panel4->SetAlign(alRight);
  bbtnAddPrefixCodeReplace = MakeButton(this, Panel4, "bbtnAddPrefixCodeReplace", 12, 8, 100, 25, "Добавить");
  bbtnAddPrefixCodeReplace->OnClick = [this](TComponent* s) { bbtnAddPrefixCodeReplaceClick(s); };
  bbtnDelPrefixCodeReplace = MakeButton(this, Panel4, "bbtnDelPrefixCodeReplace", 12, 40, 100, 25, "Удалить");
  bbtnDelPrefixCodeReplace->OnClick = [this](TComponent* s) { bbtnDelPrefixCodeReplaceClick(s); };

  TStringGrid* g = Make<TStringGrid>(this, gboxPrefixCode, "sgridPrefixCodeReplace");
  sgridPrefixCodeReplace = g;
  g->Font().SetColor(clWindowText);
  g->SetColCount(2);
  g->SetRowCount(2);
  g->SetFixedRows(1);
  g->SetFixedCols(0);
  g->SetColWidths(0, 276);
  g->SetColWidths(1, 286);
  g->SetFixedColor(clTeal);
  g->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect | goEditing);
  g->SetAlign(alClient);
  g->SetCol(0);
  g->SetRow(1);
  g->OnDrawCell = [this](TComponent* s, int c, int r, const TRect& rect, TGridDrawState st) {
    sgridPrefixCodeReplaceDrawCell(s, c, r, rect, st);
  };
}

void TImportExcelForm::LoadGlyphs() {
  HINSTANCE module = GetModuleHandleW(nullptr);
  bbtnSaveTemplateOptions->LoadGlyph(module, kGlyphSave);
  bbtnConvert->LoadGlyph(module, kGlyphConvert);
  bbtnAddPrefixCodeReplace->LoadGlyph(module, kGlyphAdd);
  bbtnDelPrefixCodeReplace->LoadGlyph(module, kGlyphDelete);
}
