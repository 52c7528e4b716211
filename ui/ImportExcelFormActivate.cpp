// First activation, resize and the column lists' change.
#include "ui/ImportExcelForm.h"
#include "ui/HourGlass.h"
#include "ui/OleContainerForm.h"

void TImportExcelForm::FormActivate(TComponent*) {
  if (!FirstActivate) return;
  {
    THourGlass wait;
    pg->SetActivePageIndex(0);
    const AnsiString columns = ColumnListText();
    cmbColShifr->Items().SetText(columns);
    cmbColV->Items().SetText(columns);
    FillTemplateOptions();
    FormResize(this);
    FirstActivate = false;
    LoadTemplateOptions();
    UpdateExcelControls();
  }
  // The hourglass covers the settings, not the opening of the workbook.
  OpenWorkbookAtStart();
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
