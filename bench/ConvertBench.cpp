// Conversion run over an in-process worksheet of 100,000 rows: rows per
// second, peak memory, and how the time splits between the automation
// calls and the conversion's own work (text, rules, file writes).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/CellText.h"
#include "convert/Conversion.h"
#include "convert/RowRules.h"
#include "convert/Worksheet.h"
#include "framework/Application.h"
#include "framework/ComPtr.h"
#include "tests/convert/StubHost.h"
#include "tests/support/FakeExcel.h"

namespace {

constexpr int kRows = 100000;
constexpr int kColumns = 9;

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double PeakMegabytes() {
  PROCESS_MEMORY_COUNTERS pmc = {};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return static_cast<double>(pmc.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// A bill of quantities: a column-number row, then numbered items with a
// description, a rate code, a unit and a quantity; a few section headings.
void Fill(TFakeExcel& sheet) {
  for (int c = 1; c <= kColumns; ++c) sheet.SetNumber(1, c, c);
  for (int r = 2; r <= kRows; ++r) {
    if (r % 50 == 0) {
      sheet.SetText(r, 2, (L"Раздел " + std::to_wstring(r / 50) + L". Земляные работы").c_str());
      continue;
    }
    sheet.SetNumber(r, 1, r);
    sheet.SetText(r, 2, L"Разработка грунта в отвал экскаваторами с ковшом вместимостью 0,65 м3");
    std::wstring code = (r % 3 ? L"ГЭСН01-01-" : L"AB 01-02-") + std::to_wstring(r % 997) + L"-01";
    sheet.SetText(r, 3, code.c_str());
    sheet.SetText(r, 4, L"1000 м3");
    sheet.SetNumber(r, 5, r * 0.37);
  }
}

class TBenchHost : public TStubHost {
 public:
  void ProcessMessages() override {
    ++pumps;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
};

AnsiString TempFile(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return AnsiString(dir) + name;
}

}  // namespace

int main() {
  OleInitialize(nullptr);
  Application->SetMessageBoxResponder([](const AnsiString& text, const AnsiString&, unsigned) {
    std::printf("unexpected message: %s\n", text.c_str());
    return IDOK;
  });

  TFakeExcel fake;
  fake.logging = false;
  double t0 = Seconds();
  Fill(fake);
  double fillSeconds = Seconds() - t0;
  double peakAfterFill = PeakMegabytes();

  TBenchHost host;
  host.sheet = fake.SheetObject();
  host.listFilePath = TempFile("x2z-bench-list.txt");
  host.prefixTable = {{"AB", "CD"}, {"ГЭСН", "Г"}, {"XYZ", ""}};

  // 1. The whole run, automation calls included.
  t0 = Seconds();
  bool ok = RunConversion(host);
  double runSeconds = Seconds() - t0;
  double peakAfterRun = PeakMegabytes();
  long calls = fake.Invokes() + fake.Lookups();

  // 2. The same cells fetched once into memory, then the run's own work over
  // them: eleven cell texts per row, the row test, prefixes, the line, the
  // file write through the same kind of stream.
  std::vector<Variant> values(static_cast<size_t>(kRows) * kColumns);
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= kColumns; ++c)
      values[static_cast<size_t>(r - 1) * kColumns + (c - 1)] =
          host.sheet.OlePropertyGet("Cells", r, c).OlePropertyGet("Value");
  t0 = Seconds();
  {
    TFileStream out(TempFile("x2z-bench-pure.txt"), TFileStream::fmCreate);
    out.WriteBuffer(kListHeader);
    for (int r = 1; r <= kRows; ++r) {
      auto text = [&](int c) {
        return TrimControlChars(CellValueText(values[static_cast<size_t>(r - 1) * kColumns + (c - 1)].Get()));
      };
      bool dropped = IsColumnNumberRow([&](int c, AnsiString& t) {
        t = text(c);
        return true;
      });
      if (dropped) continue;
      AnsiString code = ApplyPrefixTable(text(3), host.prefixTable);
      out.WriteBuffer(ComposeListLine(code, text(5)));
    }
  }
  double pureSeconds = Seconds() - t0;

  // 3. The automation calls alone: eleven Cells(r, c).Value reads per row.
  t0 = Seconds();
  for (int r = 1; r <= kRows; ++r)
    for (int read = 0; read < 11; ++read) {
      int c = read < 9 ? read + 1 : (read == 9 ? 3 : 5);
      Variant v = host.sheet.OlePropertyGet("Cells", r, c).OlePropertyGet("Value");
    }
  double callSeconds = Seconds() - t0;

  // 4. The message pump alone, once per row as the run does it.
  t0 = Seconds();
  for (int r = 1; r <= kRows; ++r) host.ProcessMessages();
  double pumpSeconds = Seconds() - t0;

  // 5. The whole run again with a pump that does nothing.
  TStubHost quiet;
  quiet.sheet = host.sheet;
  quiet.listFilePath = host.listFilePath;
  quiet.prefixTable = host.prefixTable;
  t0 = Seconds();
  RunConversion(quiet);
  double quietSeconds = Seconds() - t0;

  std::printf("rows: %d, result: %s, list file: %s\n", kRows, ok ? "true" : "false", host.listFilePath.c_str());
  std::printf("sheet filled in %.2f s; peak working set after filling: %.1f MB\n", fillSeconds, peakAfterFill);
  std::printf("conversion run: %.2f s = %.0f rows/s (%ld automation calls, %.2f us each incl. the run's share)\n",
              runSeconds, kRows / runSeconds, calls, runSeconds * 1e6 / static_cast<double>(calls));
  std::printf("peak working set after the run: %.1f MB (run added %.1f MB)\n", peakAfterRun,
              peakAfterRun - peakAfterFill);
  std::printf("own work alone (texts, rules, lines, file writes) over prefetched values: %.2f s = %.0f rows/s\n",
              pureSeconds, kRows / pureSeconds);
  std::printf("automation reads alone (11 per row, lookup + invoke each): %.2f s = %.0f rows/s\n", callSeconds,
              kRows / callSeconds);
  std::printf("message pump alone (PeekMessage loop, once per row): %.2f s\n", pumpSeconds);
  std::printf("conversion run with a pump that does nothing: %.2f s = %.0f rows/s\n", quietSeconds,
              kRows / quietSeconds);
  DeleteFileA(host.listFilePath.c_str());
  DeleteFileA(TempFile("x2z-bench-pure.txt").c_str());
  host.sheet.Clear();
  quiet.sheet.Clear();
  values.clear();
  OleUninitialize();
  return ok ? 0 : 1;
}
