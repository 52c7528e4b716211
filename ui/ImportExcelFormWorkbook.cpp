// The workbook in the embedded window: opening it at the first activation,
// the sheet selector, the guards on close and convert, the controls that
// need a running workbook, letting Excel go. The work itself is workbook/'s.
#include <vector>

#include "framework/Application.h"
#include "ui/ImportExcelForm.h"
#include "ui/OleContainerForm.h"
#include "ui/ProgramPaths.h"
#include "workbook/Workbook.h"

IOleContainerOps* TImportExcelForm::WorkbookContainer() const {
  if (workbookOle_) return workbookOle_;
  return OleExcelRef;
}

void TImportExcelForm::OpenWorkbookAtStart() {
  OleContainerForm->Show();
  RaiseOleForm();
  tmrExcelPage->SetEnabled(false);
  // A failed open or listing closes the window once this handler is done.
  if (!OpenExcelFile(ExcelFilePath)) Close();
  if (!FillExcelPages(cmbExcelPage)) Close();
  tmrExcelPage->SetEnabled(true);
  RaiseOleForm();
  UpdateExcelControls();
}

bool TImportExcelForm::OpenExcelFile(const AnsiString& Path) {
  IOleContainerOps* ole = WorkbookContainer();
  if (!ole) return false;
  const bool opened = OpenWorkbook(*ole, ExcelApp, Path, Caption(), [this] {
    PlaceOleForm();
    OleContainerForm->Show();
    RaiseOleForm();
  });
  if (opened) bbtnConvert->SetEnabled(true);
  return opened;
}

bool TImportExcelForm::FillExcelPages(TComboBox* Combo) {
  IOleContainerOps* ole = WorkbookContainer();
  if (!ole) return false;
  std::vector<AnsiString> names;
  const bool listed = ListSheets(*ole, ExcelApp, names, Caption());
  if (ole->State() == osEmpty) return false;
  // The names read before a failure stay listed.
  Combo->Items().Clear();
  for (const AnsiString& name : names) Combo->Items().Add(name);
  return listed;
}

void TImportExcelForm::cmbExcelPageChange(TComponent*) {
  // The selector is disabled during a run; the sheet-follow timer puts its
  // index back should a change still arrive.
  if (converting_) return;
  IOleContainerOps* ole = WorkbookContainer();
  if (ole && SwitchSheet(*ole, ExcelApp, cmbExcelPage->ItemIndex())) RaiseOleForm();
}

void TImportExcelForm::tmrExcelPageTimer(TComponent*) {
  IOleContainerOps* ole = WorkbookContainer();
  if (!ole) return;
  // A run reads the sheet it started on; the selector may still follow Excel.
  const int index = FollowActiveSheet(*ole, ExcelApp, converting_);
  if (index >= 1 && !cmbExcelPage->DroppedDown()) cmbExcelPage->SetItemIndex(index - 1);
}

bool TImportExcelForm::IsCellEditing() { return ::IsCellEditing(ExcelApp, Caption()); }

bool TImportExcelForm::QuerySaveExcel() {
  IOleContainerOps* ole = WorkbookContainer();
  if (!ole) return true;
  return QuerySaveWorkbook(*ole, ExcelApp, Caption(), WriteBackTempPath());
}

void TImportExcelForm::UpdateExcelControls() {
  IOleContainerOps* ole = WorkbookContainer();
  const bool running = ole && IsWorkbookRunning(*ole);
  SetChildrenEnabled(gboxColOptions, running);
  SetChildrenEnabled(pnPageExcel, running);
  bbtnConvert->SetEnabled(running);
}

void TImportExcelForm::SetChildrenEnabled(TWinControl* Parent, bool Enabled) {
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TWinControl* child = Parent->Controls(i);
    if (child->ClassName() == "TGroupBox") {
      SetChildrenEnabled(child, Enabled);
      continue;
    }
    try {
      child->SetEnabled(Enabled);
    } catch (...) {
      // One control refusing does not stop the others.
    }
  }
}

void TImportExcelForm::OleContainerFormClose(TComponent*, TCloseAction&) {
  IOleContainerOps* ole = WorkbookContainer();
  if (ole) CloseWorkbookObject(*ole, ExcelApp, Caption(), WriteBackTempPath());
  UpdateExcelControls();
}

void TImportExcelForm::FormCloseQuery(TComponent*, bool& CanClose) {
  CanClose = QuerySaveExcel();
  if (CanClose) tmrOlePosition->SetEnabled(false);
}

void TImportExcelForm::FormDestroy(TComponent*) {
  // The combo box reports losing the focus while its window goes.
  cmbTemplateOptions->OnExit = nullptr;
  if (OleContainerForm) OleContainerForm->Hide();
  if (IOleContainerOps* ole = WorkbookContainer()) ReleaseWorkbook(*ole, ExcelApp);
  if (OleContainerForm) {
    tmrOlePosition->SetEnabled(false);
    tmrExcelPage->SetEnabled(false);
    delete OleContainerForm;
    OleContainerForm = nullptr;
    OleExcelRef = nullptr;
  }
}
