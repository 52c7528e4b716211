// The workbook-dependent members as they stand while the container holds no
// workbook: controls that need a running workbook stay disabled, nothing is
// guarded on close, and nothing is converted.
#include "framework/Application.h"
#include "ui/ImportExcelForm.h"
#include "ui/OleContainerForm.h"

namespace {
bool Running(const TOleContainer* ole) {
  const TObjectState s = ole ? ole->State() : osEmpty;
  return s != osEmpty && s != osLoaded;
}
}  // namespace

void TImportExcelForm::UpdateExcelControls() {
  const bool running = Running(OleExcelRef);
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

void TImportExcelForm::FormCloseQuery(TComponent*, bool& CanClose) {
  // Without a workbook there are no unsaved edits to guard.
  CanClose = true;
  if (CanClose) tmrOlePosition->SetEnabled(false);
}

void TImportExcelForm::FormDestroy(TComponent*) {
  // The combo box reports losing the focus while its window goes.
  cmbTemplateOptions->OnExit = nullptr;
  if (OleContainerForm) OleContainerForm->Hide();
  if (OleExcelRef) OleExcelRef->DestroyObject();
  if (OleContainerForm) {
    tmrOlePosition->SetEnabled(false);
    tmrExcelPage->SetEnabled(false);
    delete OleContainerForm;
    OleContainerForm = nullptr;
    OleExcelRef = nullptr;
  }
}

void TImportExcelForm::OleContainerFormClose(TComponent*, TCloseAction&) {
  if (OleExcelRef) {
    OleExcelRef->Close();
    OleExcelRef->Invalidate();
  }
  UpdateExcelControls();
}

// With an empty container there is no sheet to switch to or to follow.
void TImportExcelForm::cmbExcelPageChange(TComponent*) {}
void TImportExcelForm::tmrExcelPageTimer(TComponent*) {}

void TImportExcelForm::bbtnConvertClick(TComponent*) {
  RaiseOleForm();
  // An empty container has no sheet to convert (the button is disabled then).
  if (!OleExcelRef || OleExcelRef->State() == osEmpty) return;
}

void TImportExcelForm::btnConvertCancelClick(TComponent*) {
  if (Application->MessageBox("Отменить конвертацию?", Caption(), 0x42023) == IDYES) CancelRequested = true;
}
