#include "ui/OleContainerForm.h"

TOleContainerForm* OleContainerForm = nullptr;

TOleContainerForm::TOleContainerForm(TComponent* owner) : TForm(owner) {
  SetName("OleContainerForm");
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetCaption("OleContainerForm");
  SetClientSize(592, 360);

  {
    TCreateIn in(this);
    oleExcel = new TOleContainer(this);
  }
  oleExcel->SetName("oleExcel");
  oleExcel->SetParent(this);
  oleExcel->SetAlign(alClient);
  // The primary verb opens Excel's own window; only an explicit verb activates.
  oleExcel->SetAllowInPlace(false);
  oleExcel->SetAutoActivate(aaManual);
  oleExcel->SetAutoVerbMenu(false);
}

LRESULT TOleContainerForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // oleExcel is the active control: the keyboard goes on to it.
  if (msg == WM_SETFOCUS && oleExcel) {
    oleExcel->SetFocus();
    return 0;
  }
  return TForm::WndProc(msg, wParam, lParam);
}
