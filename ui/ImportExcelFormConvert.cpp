// The convert and cancel commands, and the window as the conversion run sees it.
#include "convert/Conversion.h"
#include "framework/Application.h"
#include "settings/TemplateOptions.h"
#include "ui/ImportExcelForm.h"
#include "ui/OleContainerForm.h"
#include "ui/ProgramPaths.h"

namespace {

constexpr unsigned kWarningFlags = 0x42030;   // OK, exclamation, task-modal, topmost
constexpr unsigned kQuestionFlags = 0x42023;  // Yes/No/Cancel, question, task-modal, topmost
constexpr unsigned kNoticeFlags = 0x42040;    // OK, information, task-modal, topmost

// The run's inputs and outputs are the window's controls.
class TFormConversionHost : public IConversionHost {
 public:
  // The caption and the columns are asked for at every row; each read of a
  // control costs a round trip to the window system (under Wine, to its
  // server). The columns cannot change during a run (their group is
  // disabled, and a variant chosen meanwhile must not switch the list to
  // other columns halfway), so they are read once, when the run starts.
  explicit TFormConversionHost(TImportExcelForm& form)
      : form_(form),
        caption_(form.Caption()),
        codeColumn_(form.cmbColShifr->ItemIndex()),
        codeColumnText_(SelectedText(form.cmbColShifr)),
        quantityColumn_(form.cmbColV->ItemIndex()) {}

  int CodeColumn() const override { return codeColumn_; }
  AnsiString CodeColumnText() const override { return codeColumnText_; }
  int QuantityColumn() const override { return quantityColumn_; }
  std::vector<TPrefixReplacement> PrefixTable() const override {
    const TStringGrid* g = form_.sgridPrefixCodeReplace;
    std::vector<TPrefixReplacement> table;
    for (int r = g->FixedRows(); r < g->RowCount(); ++r) table.push_back({g->Cells(0, r), g->Cells(1, r)});
    return table;
  }

  void SetProgressRange(int minimum, int maximum) override {
    form_.ProgressBar1->SetMin(minimum);
    form_.ProgressBar1->SetMax(maximum);
    min_ = minimum;
    max_ = maximum;
    shownPixel_ = -1;
    width_ = form_.ProgressBar1->Width();
  }
  void SetProgressPosition(int position) override {
    // Every position given redraws the bar at once, which costs far more
    // than the row's reads (1 ms a row under Wine). The bar moves when it
    // would move a pixel, at most every 40 ms, which the eye takes for
    // smooth; the first and the last position always show.
    const long long span = static_cast<long long>(max_) - min_;
    const long long pixel = span > 0 ? (static_cast<long long>(position) - min_) * width_ / span : 0;
    const ULONGLONG now = GetTickCount64();
    if (position != max_ && shownPixel_ >= 0 && (pixel == shownPixel_ || now - shownAt_ < kProgressStepMs)) return;
    shownPixel_ = pixel;
    shownAt_ = now;
    form_.ProgressBar1->SetPosition(position);
  }
  void ShowProgress(bool visible) override { form_.pnProgressBar->SetVisible(visible); }
  void ProcessMessages() override { Application->ProcessMessages(); }
  bool CancelRequested() const override { return form_.CancelRequested; }
  void SetCancelRequested(bool value) override { form_.CancelRequested = value; }

  AnsiString Caption() const override { return caption_; }
  AnsiString ListFilePath() const override { return ::ListFilePath; }
  Variant ActiveSheet() const override { return form_.ExcelApp.ActiveSheet; }

 private:
  static AnsiString SelectedText(const TComboBox* combo) {
    const int i = combo->ItemIndex();
    return i >= 0 && i < combo->Items().Count() ? combo->Items().Strings(i) : AnsiString();
  }
  static constexpr ULONGLONG kProgressStepMs = 40;
  TImportExcelForm& form_;
  const AnsiString caption_;
  const int codeColumn_;
  const AnsiString codeColumnText_;
  const int quantityColumn_;
  int min_ = 0;
  int max_ = 0;
  long long width_ = 0;
  long long shownPixel_ = -1;
  ULONGLONG shownAt_ = 0;
};

}  // namespace

bool TImportExcelForm::RunConversion() {
  TFormConversionHost host(*this);
  return ::RunConversion(host);
}

bool TImportExcelForm::ColumnsChosen() {
  // "[Нет]" would fail every read of its column, one message per row.
  const char* missing = nullptr;
  if (cmbColShifr->ItemIndex() < 1) missing = "Не выбран столбец «Шифр расценки»!";
  else if (cmbColV->ItemIndex() < 1) missing = "Не выбран столбец «Объем»!";
  if (!missing) return true;
  Application->MessageBox(missing, Caption(), kWarningFlags);
  return false;
}

bool TImportExcelForm::ConvertConfirmed() {
  FrmParams.Save(Str::CStr(IniFileName), Str::CStr(TemplateOptions::kCommonSection));
  return RunConversion();
}

void TImportExcelForm::bbtnConvertClick(TComponent*) {
  // The button stays enabled during a run; a click then reaches here from
  // the run's own message pumping, and does nothing at all.
  if (converting_) return;
  RaiseOleForm();
  if (!QuerySaveExcel()) return;
  if (!ColumnsChosen()) return;
  if (Application->MessageBox("Начать конвертацию ?", Caption(), kQuestionFlags) != IDYES) return;

  // The sheet cannot be changed during the run either: the list comes from
  // the sheet the run starts on.
  gboxColOptions->SetEnabled(false);
  const bool pagesEnabled = cmbExcelPage->Enabled();
  cmbExcelPage->SetEnabled(false);
  if (OleContainerForm) OleContainerForm->SetEnabled(false);
  Screen->SetCursor(crHourGlass);
  auto restore = [this, pagesEnabled] {
    gboxColOptions->SetEnabled(true);
    cmbExcelPage->SetEnabled(pagesEnabled);
    if (OleContainerForm) OleContainerForm->SetEnabled(true);
    SetOleFormStayOnTop();
    RaiseOleForm();
    Screen->SetCursor(crDefault);
  };

  bool completed = false;
  converting_ = true;
  try {
    completed = ConvertConfirmed();
  } catch (const Exception& e) {
    converting_ = false;
    restore();
    Application->ShowException(e);
    return;
  } catch (...) {
    converting_ = false;
    restore();
    Application->ShowException(Exception(AnsiString()));
    return;
  }
  converting_ = false;
  if (completed) {
    Application->MessageBox("Конвертация успешно завершена!", Caption(), kNoticeFlags);
    Close();
  }
  restore();
}

void TImportExcelForm::btnConvertCancelClick(TComponent*) {
  if (Application->MessageBox("Отменить конвертацию?", Caption(), kQuestionFlags) == IDYES) CancelRequested = true;
}
