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
  // The opening sequence: the embedded window is shown and raised before the
  // workbook is opened, and raised again once the sheets are listed. Opening
  // the workbook named on the command line and listing its sheets come with
  // the workbook control; until then the container stays empty.
  OleContainerForm->Show();
  RaiseOleForm();
  tmrExcelPage->SetEnabled(false);
  tmrExcelPage->SetEnabled(true);
  RaiseOleForm();
  UpdateExcelControls();
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
