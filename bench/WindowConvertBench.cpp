// From start to the list file, in-process, through the main window and the
// built-in engine: start-up (window construction and first activation with
// no workbook), opening a workbook of N rows (default 10000), and the run.
//   window_convert_bench [rows]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/Conversion.h"
#include "framework/Application.h"
#include "framework/OleContainer.h"
#include "spreadsheet/Spreadsheet.h"
#include "tests/support/TinyXlsx.h"
#include "ui/ImportExcelForm.h"
#include "ui/ProgramPaths.h"

namespace {
using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

std::string TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  std::string dir = std::string(base) + "x2z_window_bench_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

// The same run without the window, optionally pumping messages or moving a
// progress bar at every row: tells the automation reads apart from the
// window's share.
class TPlainHost : public IConversionHost {
 public:
  TPlainHost(Variant sheet, AnsiString path, bool pump, TProgressBar* bar)
      : sheet_(std::move(sheet)), path_(std::move(path)), pump_(pump), bar_(bar) {}
  int CodeColumn() const override { return 2; }
  AnsiString CodeColumnText() const override { return "B(2)"; }
  int QuantityColumn() const override { return 3; }
  std::vector<TPrefixReplacement> PrefixTable() const override { return {{"", ""}}; }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int position) override {
    if (bar_) bar_->SetPosition(position);
  }
  void ShowProgress(bool) override {}
  void ProcessMessages() override {
    if (pump_) Application->ProcessMessages();
  }
  bool CancelRequested() const override { return false; }
  void SetCancelRequested(bool) override {}
  AnsiString Caption() const override { return "bench"; }
  AnsiString ListFilePath() const override { return path_; }
  Variant ActiveSheet() const override { return sheet_; }

 private:
  Variant sheet_;
  AnsiString path_;
  bool pump_;
  TProgressBar* bar_;
};

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
  return (static_cast<long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}
}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (rows < 1) {
    std::fprintf(stderr, "rows must be at least 1\n");
    return 2;
  }
  const std::string dir = TempFolder();
  const std::string book = dir + "book.xlsx";
  TinySheet sheet{"Смета", {}};
  sheet.cells.push_back({1, 1, "№"});
  sheet.cells.push_back({1, 2, "Шифр"});
  sheet.cells.push_back({1, 3, "Объем"});
  for (int r = 2; r <= rows; ++r) {
    sheet.cells.push_back({r, 1, std::to_string(r - 1), true});
    sheet.cells.push_back({r, 2, "ТЕР01-01-" + std::to_string(r % 1000)});
    sheet.cells.push_back({r, 3, std::to_string(r % 97) + ".25", true});
  }
  if (!WriteBytes(book, TinyXlsx({sheet}))) {
    std::fprintf(stderr, "cannot write %s\n", book.c_str());
    return 1;
  }

  // Every box is answered Yes (the start question) or OK, and counted.
  int boxes = 0;
  Application->SetMessageBoxResponder([&boxes](const AnsiString&, const AnsiString&, unsigned) {
    ++boxes;
    return IDYES;
  });
  TOleContainer::SetBuiltinEngine(SpreadsheetOpenWorkbook, SpreadsheetCreateView);
  TOleContainer::SetForceBuiltin(true);
  ListFilePath = dir + "list.txt";
  ExcelFilePath = dir + "missing.xlsx";  // start-up without the workbook

  const Clock::time_point t0 = Clock::now();
  Application->Initialize();
  auto* form = new TImportExcelForm(nullptr, dir);
  form->Show();
  SendMessageW(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  Application->ProcessMessages();
  const Clock::time_point t1 = Clock::now();

  form->Show();
  const bool opened = form->OpenExcelFile(book) && form->FillExcelPages(form->cmbExcelPage);
  form->UpdateExcelControls();
  const Clock::time_point t2 = Clock::now();

  form->cmbColShifr->SetItemIndex(2);
  form->cmbColV->SetItemIndex(3);
  const int boxesBefore = boxes;
  form->bbtnConvertClick(form->bbtnConvert);
  const Clock::time_point t3 = Clock::now();

  const long long listBytes = FileSize(ListFilePath);

  // The workbook is still open in the (closed) window: the bare run over it.
  const std::string plainList = dir + "plain.txt";
  auto bare = [&](bool pump, TProgressBar* bar) {
    TPlainHost plain(form->ExcelApp.ActiveSheet, plainList, pump, bar);
    const Clock::time_point a = Clock::now();
    RunConversion(plain);
    const Clock::time_point b = Clock::now();
    DeleteFileA(plainList.c_str());
    return Ms(a, b);
  };
  form->Show();
  form->pnProgressBar->SetVisible(true);
  const double bareMs = bare(false, nullptr), pumpMs = bare(true, nullptr), barMs = bare(false, form->ProgressBar1);
  form->pnProgressBar->SetVisible(false);
  std::printf("rows %d, workbook %lld bytes, list file %lld bytes, opened %s, boxes during the run %d\n", rows,
              FileSize(book), listBytes, opened ? "yes" : "no", boxes - boxesBefore);
  std::printf("start-up (construction + first activation, no workbook): %8.1f ms\n", Ms(t0, t1));
  std::printf("opening (OpenExcelFile + FillExcelPages):                %8.1f ms\n", Ms(t1, t2));
  std::printf("conversion (convert command to success message):         %8.1f ms\n", Ms(t2, t3));
  std::printf("total, start to list file written:                       %8.1f ms\n", Ms(t0, t3));
  std::printf("for comparison, the same rows without the window:        %8.1f ms\n", bareMs);
  std::printf("  with messages pumped once per row:                     %8.1f ms\n", pumpMs);
  std::printf("  with the shown progress bar set at every row:          %8.1f ms\n", barMs);

  delete form;
  Application->ProcessMessages();
  DeleteFileA(book.c_str());
  DeleteFileA(ListFilePath.c_str());
  DeleteFileA((dir + "XLS2ZALBIRO\\XLS2ZALBIRO.ini").c_str());
  RemoveDirectoryA((dir + "XLS2ZALBIRO").c_str());
  RemoveDirectoryA(dir.c_str());
  return opened && listBytes > 0 ? 0 : 1;
}
