#include "settings/FrmParams.h"

#include <windows.h>

#include "framework/CSpinEdit.h"
#include "framework/CheckBox.h"
#include "framework/CheckListBox.h"
#include "framework/ColorDialog.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/Panel.h"
#include "framework/RadioButton.h"
#include "framework/RadioGroup.h"
#include "framework/SpeedButton.h"
#include "framework/TabControl.h"
#include "lib/WIniFile.h"

namespace {
bool Has(const Str::CStr& name, const char* suffix) { return name.find(suffix) != std::string::npos; }

enum class Direction { Apply, Capture };

// The class rules of the table (the width and height rules come before them).
void ClassRule(Direction dir, TComponent* c, const Str::CStr& name, TParamValue& v) {
  const AnsiString cls = c->ClassName();
  const bool apply = dir == Direction::Apply;
  if (cls == "TPanel" && Has(name, "_Color")) {
    auto* panel = dynamic_cast<TPanel*>(c);
    if (!panel) return;
    if (apply) {
      panel->SetColor(v.GetInt());
      return;
    }
    // The dialog lives for this rule only and is released on every path.
    TColorDialog dialog(nullptr);
    dialog.SetColor(panel->Color());
    if (dialog.Execute()) {
      panel->SetColor(dialog.Color());
      v.SetInt(panel->Color());
    }
  } else if (cls == "TCheckListBox" && Has(name, "_Checked")) {
    auto* list = dynamic_cast<TCheckListBox*>(c);
    if (!list) return;
    if (apply) {
      list->Items().Add(v.GetItemText());
      list->SetChecked(list->Items().Count() - 1, v.GetBool());
      return;
    }
    // Without a selected item there is no item to follow: nothing is stored.
    int i = list->ItemIndex();
    if (i >= 0 && Str::CStr(list->Items().Strings(i)) == v.GetItemText()) v.SetBool(list->Checked(i));
  } else if (cls == "TCheckBox" && Has(name, "_Checked")) {
    auto* box = dynamic_cast<TCheckBox*>(c);
    if (!box) return;
    if (apply) box->SetChecked(v.GetBool());
    else v.SetBool(box->Checked());
  } else if (cls == "TRadioButton" && Has(name, "_Checked")) {
    auto* radio = dynamic_cast<TRadioButton*>(c);
    if (!radio) return;
    if (apply) radio->SetChecked(v.GetBool());
    else v.SetBool(radio->Checked());
  } else if (cls == "TComboBox" && Has(name, "_Value")) {
    auto* combo = dynamic_cast<TComboBox*>(c);
    if (!combo) return;
    if (apply) combo->SetItemIndex(v.GetInt());
    else v.SetInt(combo->ItemIndex());
  } else if (cls == "TRadioGroup" && Has(name, "_Value")) {
    auto* group = dynamic_cast<TRadioGroup*>(c);
    if (!group) return;
    if (apply) group->SetItemIndex(v.GetInt());
    else v.SetInt(group->ItemIndex());
  } else if (cls == "TCSpinEdit" && Has(name, "_Value")) {
    auto* spin = dynamic_cast<TCSpinEdit*>(c);
    if (!spin) return;
    if (apply) spin->SetValue(v.GetInt());
    else v.SetInt(spin->Value());
  } else if (cls == "TEdit" && Has(name, "_Value")) {
    auto* edit = dynamic_cast<TEdit*>(c);
    if (!edit) return;
    if (apply) edit->SetText(v.GetStr());
    else v.SetStr(Str::CStr(edit->Text()));
  } else if (cls == "TSpeedButton" && Has(name, "_Down")) {
    auto* button = dynamic_cast<TSpeedButton*>(c);
    if (!button) return;
    if (apply) button->SetDown(v.GetBool());
    else v.SetBool(button->Down());
  } else if (cls == "TTabControl" && Has(name, "_Value")) {
    auto* tabs = dynamic_cast<TTabControl*>(c);
    if (!tabs) return;
    if (apply) tabs->SetTabIndex(v.GetInt());
    else v.SetInt(tabs->TabIndex());
  }
}

void Transfer(TFrmParams& params, Direction dir, TComponent* c) {
  if (!c) return;
  const Str::CStr name(c->Name());
  if (!params.ControlExists(name)) return;
  TFrmParams::TControlParams& entry = params.GetControl(name);
  // Width and height values of a component without a window are ignored.
  auto* control = dynamic_cast<TWinControl*>(c);
  Str::CStr key;
  TParamValue* v = nullptr;
  entry.Rewind();
  while (entry.Next(key, v)) {
    if (!v) continue;
    if (Has(key, "_Width")) {
      if (!control) continue;
      if (dir == Direction::Apply) control->SetWidth(v->GetInt());
      else v->SetInt(control->Width());
    } else if (Has(key, "_Height")) {
      if (!control) continue;
      if (dir == Direction::Apply) control->SetHeight(v->GetInt());
      else v->SetInt(control->Height());
    } else {
      ClassRule(dir, c, key, *v);
    }
  }
}
}  // namespace

TFrmParams::TControlParams::~TControlParams() = default;

TFrmParams::TControls::~TControls() = default;

void TFrmParams::TControls::ThrowNotExist() { throw TControl_Error_Not_Exist(); }

void TFrmParams::ThrowNotExist() { throw TFrmParams_Error_Not_Exist(); }

TFrmParams::~TFrmParams() {
  Controls.Clear();
  Clear();
}

void TFrmParams::Save(const Str::CStr& file, const Str::CStr& section) {
  Str::CStr key;
  TParamValue* v = nullptr;
  Rewind();
  while (Next(key, v)) v->Save(file, section);
}

void TFrmParams::Load(const Str::CStr& file, const Str::CStr& section) {
  if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  WIniFile ini;
  if (!ini.SectionExists(file, section)) return;
  Str::CStr key;
  TParamValue* v = nullptr;
  Rewind();
  while (Next(key, v)) v->Load(file, section);
}

void TFrmParams::RebuildControls() {
  Str::CStr key;
  TParamValue* v = nullptr;
  Rewind();
  while (Next(key, v)) {
    const Str::CStr& owner = v->GetOwnerName();
    if (owner.empty()) continue;
    if (!Controls.Exists(owner)) Controls.Set(owner, TControlParams());
    Controls.Get(owner).Set(v->GetName(), v);
  }
}

bool TFrmParams::ControlExists(const Str::CStr& controlName) const { return Controls.Exists(controlName); }

TFrmParams::TControlParams& TFrmParams::GetControl(const Str::CStr& controlName) {
  return Controls.Get(controlName);
}

void TFrmParams::ApplyToForm(TComponent* form) {
  if (!form) return;
  for (int i = 0; i < form->ComponentCount(); ++i) ApplyToControl(form->Components(i));
}

void TFrmParams::ApplyToControl(TComponent* control) { Transfer(*this, Direction::Apply, control); }

void TFrmParams::CaptureControl(TComponent* control) { Transfer(*this, Direction::Capture, control); }
