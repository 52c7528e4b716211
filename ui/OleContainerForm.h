#pragma once
// TOleContainerForm: the borderless stay-on-top window whose only content is
// the container oleExcel. The main window keeps it lying over its panel pnOLE.
#include "framework/Forms.h"
#include "framework/OleContainer.h"

class TOleContainerForm : public TForm {
 public:
  // Built hidden from its layout; the owner places and shows it.
  explicit TOleContainerForm(TComponent* owner);
  AnsiString ClassName() const override { return "TOleContainerForm"; }

  TOleContainer* oleExcel = nullptr;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The one embedded window; null before the main window creates it.
extern TOleContainerForm* OleContainerForm;
