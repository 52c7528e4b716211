// First activation, resize and the column lists' change.
#include "framework/Application.h"
#include "framework/IniFiles.h"
#include "ui/ImportExcelForm.h"
#include "ui/HourGlass.h"
#include "ui/OleContainerForm.h"

void TImportExcelForm::FormActivate(TComponent*) {
  if (!FirstActivate) return;
  // Cleared first: any box shown from here on activates the window again,
  // and a raise must not start the loading over (and raise again).
  FirstActivate = false;
  {
    THourGlass wait;
    // The page switch and the filled lists are drawn once, when all is in
    // place (drawn at each step, the page switch alone took ~40 ms under Wine).
    TDrawingLock still(pnlMain);
    pg->SetActivePageIndex(0);
    const AnsiString columns = ColumnListText();
    cmbColShifr->Items().SetText(columns);
    cmbColV->Items().SetText(columns);
    FillTemplateOptions();
    FormResize(this);
    LoadTemplateOptions();
    UpdateExcelControls();
  }
  ReportUnreadableSettings();
  // The hourglass covers the settings, not the opening of the workbook.
  OpenWorkbookAtStart();
}

void TImportExcelForm::ReportUnreadableSettings() {
  // Every read of such a file gives its default; the user learns once why
  // the saved settings are missing.
  const AnsiString problem = TIniFile(IniFileName).ReadProblem();
  if (problem.empty()) return;
  Application->MessageBox("Не удалось прочитать файл настроек " + IniFileName + ": " + problem +
                              ".\nПрограмма продолжит работу с настройками по умолчанию.",
                          Caption(), 0x42030);  // OK, exclamation, task-modal, topmost
}

void TImportExcelForm::FormResize(TComponent*) {
  cmbExcelPage->SetWidth(pnPageExcel->Width() - cmbExcelPage->Left() - 5);
  RaiseOleForm();
}

void TImportExcelForm::cmbColShifrChange(TComponent* Sender) {
  SetOleFormStayOnTop();
  RaiseOleForm();
  // The panel pnOLE has no entry in the store: capturing it changes nothing.
  FrmParams.CaptureControl(Sender);
}
