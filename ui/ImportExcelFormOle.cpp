// The embedded workbook window: placement over pnOLE, visibility by page and
// window state, the foreground hand-over.
#include "ui/ImportExcelForm.h"
#include "ui/OleContainerForm.h"

TPoint TImportExcelForm::OleAnchor() const {
  // In the usual layout pnOLE lies right below Panel3, so this is pnOLE's own
  // corner; while the progress strip shows between them it is 34 pixels lower.
  TPoint p{pnOLE->Left(), pnOLE->Top() - Panel3->Height()};
  return pnOLE->ClientToScreen(p);
}

void TImportExcelForm::PlaceOleForm() {
  if (!OleContainerForm) return;
  const TPoint s = OleAnchor();
  OleContainerForm->SetLeft(s.x);
  OleContainerForm->SetTop(s.y);
  OleContainerForm->SetWidth(pnOLE->Width());
  OleContainerForm->SetHeight(pnOLE->Height());
}

void TImportExcelForm::tmrOlePositionTimer(TComponent*) {
  if (!OleContainerForm) return;
  const TPoint s = OleAnchor();
  // Only the corner is compared: a size change that keeps it re-places nothing.
  if (s.x != LastOleLeft || s.y != LastOleTop) {
    PlaceOleForm();
    LastOleLeft = s.x;
    LastOleTop = s.y;
  }
  switch (pg->ActivePageIndex()) {
    case 0:
      if (WindowState() == wsMinimized) {
        ShowWindow(OleContainerForm->Handle(), SW_HIDE);
      } else {
        ShowWindow(OleContainerForm->Handle(), SW_RESTORE);
        SetOleFormStayOnTop();
      }
      break;
    case 1:
      ShowWindow(OleContainerForm->Handle(), SW_HIDE);
      break;
    default:
      break;
  }
}

void TImportExcelForm::RaiseOleForm() {
  // A hidden window (before the first activation, on the options page, while
  // minimised) would take the keyboard away from the main window unseen.
  if (OleContainerForm && OleContainerForm->Visible()) SetForegroundWindow(OleContainerForm->Handle());
}

void TImportExcelForm::SetOleFormStayOnTop() {
  if (OleContainerForm) OleContainerForm->SetFormStyle(fsStayOnTop);
}
