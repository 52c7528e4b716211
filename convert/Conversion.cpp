#include "convert/Conversion.h"

#include <windows.h>

#include "convert/CellText.h"
#include "convert/Worksheet.h"
#include "framework/Application.h"

namespace {

constexpr unsigned kWarningFlags = 0x42030;  // OK, exclamation, task-modal, topmost

// A read-only list file left by an earlier run must not stop this one.
// Failures here are ignored: creating the file reports what matters.
void RemoveOldListFile(const AnsiString& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  DeleteFileA(path.c_str());
}

// Closes the list file and hides the progress panel on every way out.
class TRunCleanup {
 public:
  TRunCleanup(IConversionHost& host, std::unique_ptr<TStream>& file) : host_(host), file_(file) {}
  ~TRunCleanup() {
    file_.reset();
    try {
      host_.ShowProgress(false);
    } catch (...) {
      // Nothing may leave a destructor; the panel stays as it is.
    }
  }
  TRunCleanup(const TRunCleanup&) = delete;
  TRunCleanup& operator=(const TRunCleanup&) = delete;

 private:
  IConversionHost& host_;
  std::unique_ptr<TStream>& file_;
};

}  // namespace

bool RunConversion(IConversionHost& host) {
  return RunConversion(host, [](const AnsiString& path) -> std::unique_ptr<TStream> {
    return std::make_unique<TFileStream>(path, TFileStream::fmCreate);
  });
}

bool RunConversion(IConversionHost& host, const TListFileOpener& open) {
  host.SetCancelRequested(false);
  bool writeFailed = false;

  std::unique_ptr<TStream> file;
  TRunCleanup cleanup(host, file);
  const AnsiString path = host.ListFilePath();
  RemoveOldListFile(path);
  file = open(path);
  file->WriteBuffer(kListHeader);

  // The whole list comes from the sheet active now: Excel's own window stays
  // open to the user during the run, and another sheet may become active.
  const Variant sheet = host.ActiveSheet();
  const int lastRow = LastUsedRow(sheet);
  host.SetProgressRange(1, lastRow);
  host.SetProgressPosition(1);
  host.ShowProgress(true);

  // 64-bit counter: a last row of INT_MAX must not overflow the loop.
  for (long long r = 1; r <= lastRow; ++r) {
    const int row = static_cast<int>(r);
    host.SetProgressPosition(row);
    host.ProcessMessages();
    if (writeFailed || host.CancelRequested()) break;

    auto read = [&host, &sheet, row](int column, AnsiString& text) {
      return ReadCellText(sheet, row, column, text, host.Caption());
    };
    if (IsColumnNumberRow(read)) continue;
    AnsiString code;
    if (!read(host.CodeColumn(), code)) continue;
    code = ApplyPrefixTable(code, host.PrefixTable());
    AnsiString quantity;
    if (!read(host.QuantityColumn(), quantity)) continue;

    try {
      file->WriteBuffer(ComposeListLine(code, quantity));
    } catch (const std::exception&) {
      Application->MessageBox("Строка Excel №" + IntToStr(row) + ", Столбец " + host.CodeColumnText() +
                                  ": Ошибка при добавлении в файл с индексом\n",
                              host.Caption(), kWarningFlags);
      writeFailed = true;
    }
  }
  return !writeFailed && !host.CancelRequested();
}
