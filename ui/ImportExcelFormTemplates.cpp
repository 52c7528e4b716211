// Settings variants: the list of names, loading a variant into the column
// lists and the prefix grid, saving it back.
#include <vector>

#include "framework/IniFiles.h"
#include "settings/TemplateOptions.h"
#include "ui/ImportExcelForm.h"
#include "ui/HourGlass.h"
#include "ui/PrefixGridAdapter.h"

void TImportExcelForm::FillTemplateOptions() {
  TIniFile ini(IniFileName);
  for (const AnsiString& name : TemplateOptions::ReadNames(ini)) cmbTemplateOptions->Items().Add(name);
  if (cmbTemplateOptions->Items().Count() == 0) cmbTemplateOptions->Items().Add(TemplateOptions::kDefaultName);
  int index = TemplateOptions::ReadStartIndex(ini, cmbTemplateOptions->Name());
  // A stored index outside the list takes the first entry, so that loading
  // and saving never address a variant without a name.
  if (index < 0 || index >= cmbTemplateOptions->Items().Count()) index = 0;
  cmbTemplateOptions->SetItemIndex(index);
}

void TImportExcelForm::LoadTemplateOptions() {
  const AnsiString section = TemplateOptions::SectionName(cmbTemplateOptions->ItemIndex());
  FrmParams.Load(Str::CStr(IniFileName), Str::CStr(section));
  FrmParams.RebuildControls();
  FrmParams.ApplyToForm(this);
  TIniFile ini(IniFileName);
  TPrefixGridAdapter grid(sgridPrefixCodeReplace);
  TemplateOptions::LoadPrefixTable(ini, section, grid);
}

void TImportExcelForm::SaveTemplateOptions() {
  const int index = cmbTemplateOptions->ItemIndex();
  const AnsiString section = TemplateOptions::SectionName(index);
  FrmParams.Save(Str::CStr(IniFileName), Str::CStr(section));
  TIniFile ini(IniFileName);
  std::vector<AnsiString> names;
  for (int i = 0; i < cmbTemplateOptions->Items().Count(); ++i) names.push_back(cmbTemplateOptions->Items().Strings(i));
  // Also names the positions below that have no name yet: names are read
  // only up to the first gap, and the saved variant must be listed next time.
  TemplateOptions::SaveNames(ini, names, index, cmbTemplateOptions->Text());
  TPrefixGridAdapter grid(sgridPrefixCodeReplace);
  TemplateOptions::SavePrefixTable(ini, section, grid);
}

void TImportExcelForm::bbtnSaveTemplateOptionsClick(TComponent*) {
  cmbTemplateOptionsChange(cmbTemplateOptions);
  SaveTemplateOptions();
}

void TImportExcelForm::cmbTemplateOptionsChange(TComponent*) {
  const AnsiString text = cmbTemplateOptions->Text();
  // An empty text names nothing (it would end the stored list of names).
  if (text.empty()) return;
  const int existing = cmbTemplateOptions->IndexOfCaseless(text);
  if (existing >= 0) {
    // The name of an entry: nothing is added or loaded. Should the box have
    // lost its selection meanwhile, the entry named is the current variant,
    // so that saving never goes to a variant without a name.
    if (cmbTemplateOptions->ItemIndex() < 0) cmbTemplateOptions->SetItemIndex(existing);
    return;
  }
  cmbTemplateOptions->Items().Add(text);
  cmbTemplateOptions->SetItemIndex(cmbTemplateOptions->Items().Count() - 1);
}

void TImportExcelForm::cmbTemplateOptionsKeyDown(TComponent* Sender, WORD& Key) {
  if (Key != VK_RETURN) return;
  Key = 0;
  cmbTemplateOptionsChange(Sender);
}

void TImportExcelForm::cmbTemplateOptionsCloseUp(TComponent* Sender) {
  // A name typed with the list open counts as committed when it closes.
  cmbTemplateOptionsChange(Sender);
  THourGlass wait;
  LoadTemplateOptions();
}
