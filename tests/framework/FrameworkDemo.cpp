// A sample form holding every control of the framework, laid out like the
// converter's main window, for looking at it on a screen:
//   framework_demo.exe [seconds]   (closes itself after the given seconds)
#include <windows.h>

#include <cstdlib>

#include "framework/Application.h"
#include "framework/BitBtn.h"
#include "framework/CSpinEdit.h"
#include "framework/CheckBox.h"
#include "framework/CheckListBox.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/Forms.h"
#include "framework/GroupBox.h"
#include "framework/Label.h"
#include "framework/PageControl.h"
#include "framework/Panel.h"
#include "framework/ProgressBar.h"
#include "framework/RadioButton.h"
#include "framework/RadioGroup.h"
#include "framework/SpeedButton.h"
#include "framework/StringGrid.h"
#include "framework/TabControl.h"
#include "framework/Timer.h"

namespace {
template <class T>
T* Make(TComponent* owner, TWinControl* parent, int left, int top, int width, int height) {
  T* c = new T(owner);
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  return c;
}

TPanel* Strip(TForm* f, TWinControl* parent, TAlign align, int size, TBevelCut bevel) {
  auto* p = Make<TPanel>(f, parent, 0, 0, size, size);
  p->SetColor(clTeal);
  p->SetBevelOuter(bevel);
  p->SetAlign(align);
  return p;
}

TLabel* WhiteLabel(TForm* f, TWinControl* parent, int left, int top, const char* text, bool bold) {
  auto* l = Make<TLabel>(f, parent, left, top, 0, 0);
  l->Font().SetColor(clWhite);
  if (bold) l->Font().SetStyle(fsBold);
  l->SetCaption(text);
  return l;
}

class TDemoForm : public TForm {
 public:
  explicit TDemoForm(TComponent* owner) : TForm(owner) {
    SetCaption("Перевод XLS в формат Залбиро (образец окна)");
    SetBounds(0, 0, 760, 590);
    SetConstraints(TSizeConstraints{760, 590, 0, 0});
    SetPosition(poScreenCenter);

    auto* pg = Make<TPageControl>(this, this, 0, 0, 10, 10);
    pg->SetAlign(alClient);
    auto* tsConvert = new TTabSheet(this);
    tsConvert->SetCaption("Конвертация");
    tsConvert->SetPageControl(pg);
    auto* tsOptions = new TTabSheet(this);
    tsOptions->SetCaption("Дополнительные настройки");
    tsOptions->SetPageControl(pg);

    TPanel* panel3 = Strip(this, tsConvert, alTop, 97, bvRaised);
    TPanel* options = Strip(this, panel3, alTop, 42, bvNone);
    WhiteLabel(this, options, 8, 16, "Вариант настроек:", false);
    auto* variants = Make<TComboBox>(this, options, 139, 12, 470, 21);
    variants->Items().SetText("По умолчанию\nСмета 2011");
    variants->SetItemIndex(0);
    auto* save = Make<TBitBtn>(this, options, 616, 12, 105, 25);
    save->SetCaption("Сохранить");
    auto* columns = Make<TGroupBox>(this, panel3, 0, 42, 393, 50);
    columns->SetCaption("Колонки");
    columns->Font().SetColor(clWhite);
    columns->SetAlign(alLeft);
    WhiteLabel(this, columns, 11, 19, "Шифр расценки:", true);
    auto* shifr = Make<TComboBox>(this, columns, 138, 15, 85, 21);
    shifr->SetStyle(csDropDownList);
    // The group box's white font would reach the combo boxes: they keep their own.
    shifr->Font().SetColor(clWindowText);
    shifr->Font().SetStyle(fsBold);
    shifr->Items().SetText("[Нет]\nA(1)\nB(2)\nC(3)");
    shifr->SetItemIndex(1);
    WhiteLabel(this, columns, 233, 18, "Объем:", true);
    auto* volume = Make<TComboBox>(this, columns, 295, 15, 85, 21);
    volume->SetStyle(csDropDownList);
    volume->Font().SetColor(clWindowText);
    volume->Font().SetStyle(fsBold);
    volume->Items().SetText("[Нет]\nA(1)\nB(2)\nC(3)");
    volume->SetItemIndex(3);
    auto* convert = Make<TBitBtn>(this, panel3, 404, 54, 325, 35);
    convert->SetCaption("Конвертировать");
    convert->SetHint("Начать конвертацию");
    convert->SetShowHint(true);

    TPanel* progress = Strip(this, tsConvert, alTop, 34, bvRaised);
    progress->SetTop(100);
    auto* message = Make<TPanel>(this, progress, 3, 5, 185, 25);
    message->SetColor(clTeal);
    message->SetBevelOuter(bvNone);
    message->Font().SetColor(clWhite);
    message->Font().SetStyle(fsBold);
    message->SetCaption("Конвертирую, Ждите....");
    auto* percent = Make<TPanel>(this, progress, 195, 7, 422, 21);
    percent->SetAlignment(taRightJustify);
    auto* bar = Make<TProgressBar>(this, percent, 0, 0, 10, 10);
    bar->SetAlign(alClient);
    bar->SetPosition(42);
    auto* cancel = Make<TBitBtn>(this, progress, 628, 5, 109, 25);
    cancel->SetKind(bkAbort);
    cancel->SetCaption("Отменить");

    TPanel* sheetStrip = Strip(this, tsConvert, alBottom, 33, bvRaised);
    WhiteLabel(this, sheetStrip, 9, 8, "Лист MS Excel:", true);
    auto* sheets = Make<TComboBox>(this, sheetStrip, 128, 5, 617, 21);
    sheets->SetStyle(csDropDownList);
    sheets->Items().SetText("Смета\nВедомость объемов");
    sheets->SetItemIndex(0);
    sheets->SetAnchors(akLeft | akTop | akRight | akBottom);

    // The rest of the convert page shows the other controls of the framework.
    auto* rest = Make<TPanel>(this, tsConvert, 0, 0, 10, 10);
    rest->SetAlign(alClient);
    auto* grid = Make<TStringGrid>(this, rest, 8, 8, 360, 150);
    grid->SetColCount(2);
    grid->SetRowCount(4);
    grid->SetFixedCols(0);
    grid->SetFixedColor(clTeal);
    grid->SetColWidths(0, 170);
    grid->SetColWidths(1, 170);
    grid->SetOptions(grid->Options() | goEditing);
    grid->SetCells(0, 0, "Префикс");
    grid->SetCells(1, 0, "Заменить на");
    grid->SetCells(0, 1, "ТЕР01");
    grid->SetCells(1, 1, "ФЕР01");
    grid->SetCells(0, 2, "Е");
    grid->SetCells(1, 2, "ГЭСН");
    grid->OnDrawCell = [grid](TComponent*, int col, int row, const TRect& r, TGridDrawState) {
      if (row != 0) return;
      AnsiString text = grid->Cells(col, 0);
      TCanvas* c = grid->Canvas();
      c->Font().SetColor(clWhite);
      c->TextRect(r, r.Left + r.Width() / 2 - c->TextWidth(text) / 2,
                  r.Top + r.Height() / 2 - c->TextHeight(text) / 2, text);
    };
    auto* check = Make<TCheckBox>(this, rest, 390, 10, 160, 20);
    check->SetCaption("Флажок включён");
    check->SetChecked(true);
    auto* radio = Make<TRadioButton>(this, rest, 390, 34, 160, 20);
    radio->SetCaption("Переключатель");
    radio->SetChecked(true);
    auto* edit = Make<TEdit>(this, rest, 390, 60, 150, 21);
    edit->SetText("Поле ввода");
    auto* spin = Make<TCSpinEdit>(this, rest, 390, 88, 60, 21);
    spin->SetValue(12);
    auto* speed = Make<TSpeedButton>(this, rest, 480, 88, 60, 22);
    speed->SetCaption("Нажата");
    speed->SetDown(true);
    auto* button = Make<TButton>(this, rest, 390, 118, 150, 25);
    button->SetCaption("Обычная кнопка");
    auto* group = Make<TRadioGroup>(this, rest, 560, 8, 170, 90);
    group->SetCaption("Группа");
    group->Items().SetText("Первый\nВторой\nТретий");
    group->SetItemIndex(1);
    auto* list = Make<TCheckListBox>(this, rest, 560, 104, 170, 60);
    list->Items().SetText("Отмеченный\nПустой");
    list->SetChecked(0, true);
    auto* tabs = Make<TTabControl>(this, rest, 8, 168, 360, 40);
    tabs->Tabs().SetText("Вкладка 1\nВкладка 2");
    pg->SetActivePageIndex(0);
  }
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int seconds = __argc > 1 ? std::atoi(__argv[1]) : 0;
  Application->Initialize();
  TDemoForm* form = nullptr;
  Application->CreateForm(form);
  TTimer closer(nullptr);
  closer.SetEnabled(seconds > 0);
  closer.SetInterval(static_cast<unsigned>(seconds) * 1000u);
  closer.OnTimer = [&](TComponent*) { form->Close(); };
  Application->Run();
  return 0;
}
