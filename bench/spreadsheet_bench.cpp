// Load time and memory of the built-in workbook engine, and the cost of
// Value reads through IDispatch. Prints its figures; asserts nothing.
//   spreadsheet_bench <workbook> [reads]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchClock.h"
#include "framework/ComPtr.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Spreadsheet.h"

namespace {

std::string ReadAll(const char* path) {
  std::string bytes;
  FILE* f = std::fopen(path, "rb");
  if (!f) return bytes;
  char buf[1 << 16];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

DISPID Id(IDispatch* d, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

// One late-bound property read, looked up by name every time (as the conversion does).
HRESULT Read(IDispatch* d, const wchar_t* name, VARIANT* args, UINT count, VARIANT& out) {
  DISPPARAMS p = {args, nullptr, count, 0};
  VariantClear(&out);
  return d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &p, &out,
                   nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: spreadsheet_bench <workbook> [reads]\n");
    return 2;
  }
  TOleInit ole;
  long reads = argc > 2 ? std::atol(argv[2]) : 0;
  SIZE_T baseline = Memory().WorkingSetSize;  // before the file is read
  std::string bytes = ReadAll(argv[1]);
  double t0 = Now();
  Spreadsheet::Workbook book;
  AnsiString reason;
  if (!Spreadsheet::ReadWorkbook(bytes, book, reason)) {
    std::printf("%s: refused: %s\n", argv[1], reason.c_str());
    return 1;
  }
  double t1 = Now();
  PROCESS_MEMORY_COUNTERS_EX after = Memory();
  size_t cells = 0, modelBytes = book.strings.Bytes();
  for (const auto& s : book.sheets) {
    cells += s.CellCount();
    modelBytes += s.Bytes();
  }
  std::printf("%s: %zu bytes, %zu sheets, %zu cells, last row %u\n", argv[1], bytes.size(), book.sheets.size(), cells,
              book.sheets.empty() ? 0 : book.sheets[0].LastRow());
  // The peak over the baseline includes the file's bytes and the reader's
  // transient buffers: an upper bound of what loading costs.
  double peak = double(after.PeakWorkingSetSize - baseline);
  std::printf("  load %.3f s; model %.1f bytes/cell; peak working set %.1f MB over the %.1f MB baseline "
              "(%.1f bytes/cell, file included)\n",
              t1 - t0, cells ? double(modelBytes) / double(cells) : 0.0, peak / 1048576.0, double(baseline) / 1048576.0,
              cells ? peak / double(cells) : 0.0);
  if (reads <= 0) return 0;

  TComPtr<IDispatch> workbook;
  if (FAILED(SpreadsheetOpenWorkbookBytes(bytes, argv[1], workbook.Out(), reason))) return 1;
  VARIANT sheet, cell, value;
  VariantInit(&sheet);
  VariantInit(&cell);
  VariantInit(&value);
  Read(workbook.Get(), L"ActiveSheet", nullptr, 0, sheet);
  uint32_t rows = book.sheets[book.activeSheet].LastRow(), cols = book.sheets[book.activeSheet].LastCol();
  double t2 = Now();
  long failures = 0;
  for (long i = 0; i < reads; ++i) {
    VARIANT rc[2];
    V_VT(&rc[1]) = VT_I4;
    V_I4(&rc[1]) = static_cast<LONG>(1 + (i / cols) % rows);  // arguments go last to first
    V_VT(&rc[0]) = VT_I4;
    V_I4(&rc[0]) = static_cast<LONG>(1 + i % cols);
    if (FAILED(Read(V_DISPATCH(&sheet), L"Cells", rc, 2, cell)) || FAILED(Read(V_DISPATCH(&cell), L"Value", nullptr, 0, value)))
      ++failures;
  }
  double t3 = Now();
  for (long i = 0; i < reads; ++i)
    if (FAILED(Read(V_DISPATCH(&cell), L"Value", nullptr, 0, value))) ++failures;
  double t4 = Now();
  std::printf("  %ld reads of Cells(r,c).Value: %.3f s (%.2f us each); %ld reads of Value on one cell: %.3f s; %ld failed\n",
              reads, t3 - t2, (t3 - t2) * 1e6 / double(reads), reads, t4 - t3, failures);
  VariantClear(&value);
  VariantClear(&cell);
  VariantClear(&sheet);
  return 0;
}
