// From start to the list file, in-process, through the main window and the
// built-in engine: start-up (window construction and first activation with
// no workbook), opening a workbook of N rows, and the run; the run's time
// per row split into its own work (the same run with no window), the
// message pump (that run pumping once per row) and the window's share.
//   window_convert_bench [rows...]     (default: 10000 100000)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/Conversion.h"
#include "framework/Application.h"
#include "framework/OleContainer.h"
#include "spreadsheet/Spreadsheet.h"
#include "tests/support/TinyXlsx.h"
#include "ui/ImportExcelForm.h"
#include "ui/OleContainerForm.h"
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
// Milliseconds from the process's creation to now: the whole job as the
// estimating program sees it, Wine's process start included.
double SinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& f) {
    return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  return (ticks(now) - ticks(created)) / 10000.0;
}

std::string MakeBook(const std::string& dir, int rows) {
  const std::string book = dir + "book" + std::to_string(rows) + ".xlsx";
  TinySheet sheet{"Смета", {}};
  sheet.cells.push_back({1, 1, "№"});
  sheet.cells.push_back({1, 2, "Шифр"});
  sheet.cells.push_back({1, 3, "Объем"});
  for (int r = 2; r <= rows; ++r) {
    sheet.cells.push_back({r, 1, std::to_string(r - 1), true});
    sheet.cells.push_back({r, 2, "ТЕР01-01-" + std::to_string(r % 1000)});
    sheet.cells.push_back({r, 3, std::to_string(r % 97) + ".25", true});
  }
  return WriteBytes(book, TinyXlsx({sheet})) ? book : std::string();
}

// One window's life over a book of the given rows; false on a failure.
bool Measure(const std::string& dir, int rows, bool first) {
  const std::string book = MakeBook(dir, rows);
  if (book.empty()) {
    std::fprintf(stderr, "cannot write the book of %d rows\n", rows);
    return false;
  }
  ListFilePath = dir + "list.txt";
  ExcelFilePath = dir + "missing.xlsx";  // start-up without the workbook

  const Clock::time_point t0 = Clock::now();
  auto* form = new TImportExcelForm(nullptr, dir);
  const Clock::time_point built = Clock::now();
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
  form->bbtnConvertClick(form->bbtnConvert);
  const Clock::time_point t3 = Clock::now();
  const double sinceStart = SinceProcessStart();
  const long long listBytes = FileSize(ListFilePath);

  // The workbook is still open in the (closed) window: the same run over it
  // with no window, then pumping messages once per row as the window's does.
  const std::string plainList = dir + "plain.txt";
  auto bare = [&](bool pump) {
    TPlainHost plain(form->ExcelApp.ActiveSheet, plainList, pump, nullptr);
    const Clock::time_point a = Clock::now();
    RunConversion(plain);
    const Clock::time_point b = Clock::now();
    DeleteFileA(plainList.c_str());
    return Ms(a, b);
  };
  form->Show();
  const double ownMs = bare(false), pumpedMs = bare(true);
  const double runMs = Ms(t2, t3);
  auto perRow = [rows](double ms) { return ms * 1000.0 / rows; };

  std::printf("rows %d, workbook %lld bytes, list file %lld bytes, opened %s\n", rows, FileSize(book), listBytes,
              opened ? "yes" : "no");
  if (first) {
    std::printf("  start-up (construction + first activation):  %8.1f ms\n", Ms(t0, t1));
    std::printf("    construction %.1f ms, first activation and first paint %.1f ms\n", Ms(t0, built), Ms(built, t1));
  }
  std::printf("  opening (OpenExcelFile + FillExcelPages):     %8.1f ms\n", Ms(t1, t2));
  std::printf("  run in the window (convert to success):       %8.1f ms\n", runMs);
  if (first) std::printf("  whole job, process start to list file:        %8.1f ms\n", sinceStart);
  std::printf("  per row: run's own work %6.1f us, pump %6.1f us, window %6.1f us\n", perRow(ownMs),
              perRow(pumpedMs - ownMs), perRow(runMs - pumpedMs));
  std::printf("  run in the window / bare run with the pump:   %8.2f\n", runMs / pumpedMs);

  delete form;
  Application->ProcessMessages();
  DeleteFileA(book.c_str());
  DeleteFileA(ListFilePath.c_str());
  return opened && listBytes > 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000};
  for (int rows : sizes)
    if (rows < 1) {
      std::fprintf(stderr, "rows must be at least 1\n");
      return 2;
    }
  const std::string dir = TempFolder();
  // Every box is answered Yes (the start question) or OK.
  Application->SetMessageBoxResponder([](const AnsiString&, const AnsiString&, unsigned) { return IDYES; });
  TOleContainer::SetBuiltinEngine(SpreadsheetOpenWorkbook, SpreadsheetCreateView);
  TOleContainer::SetForceBuiltin(true);
  Application->Initialize();
  bool ok = true;
  for (size_t i = 0; i < sizes.size(); ++i) ok = Measure(dir, sizes[i], i == 0) && ok;
  DeleteFileA((dir + "XLS2ZALBIRO\\XLS2ZALBIRO.ini").c_str());
  RemoveDirectoryA((dir + "XLS2ZALBIRO").c_str());
  RemoveDirectoryA(dir.c_str());
  return ok ? 0 : 1;
}
