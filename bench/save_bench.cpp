// SaveAs of the built-in engine after one edit: time and peak memory.
// Prints its figures; asserts nothing.
//   save_bench <workbook> <target>
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "bench/BenchClock.h"
#include "framework/ComPtr.h"
#include "framework/Unicode.h"
#include "spreadsheet/Spreadsheet.h"

namespace {

HRESULT Invoke(IDispatch* d, const wchar_t* name, WORD flags, VARIANT* args, UINT count, VARIANT* out) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  if (FAILED(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id))) return DISP_E_UNKNOWNNAME;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS p = {args, flags == DISPATCH_PROPERTYPUT ? &put : nullptr, count, flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  if (out) VariantInit(out);
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, out, nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: save_bench <workbook> <target>\n");
    return 2;
  }
  OleInitialize(nullptr);
  const double mb = 1024.0 * 1024.0;
  TComPtr<IDispatch> wb;
  AnsiString reason;
  double t0 = Now();
  if (FAILED(SpreadsheetOpenWorkbook(argv[1], wb.Out(), reason))) {
    std::printf("%s: not opened: %s\n", argv[1], reason.c_str());
    return 1;
  }
  double loaded = Now() - t0;
  PROCESS_MEMORY_COUNTERS_EX m0 = Memory();
  VARIANT sheet, cell;
  Invoke(wb.Get(), L"ActiveSheet", DISPATCH_PROPERTYGET, nullptr, 0, &sheet);
  VARIANT rc[2];
  V_VT(&rc[0]) = VT_I4;
  V_I4(&rc[0]) = 2;       // column B (arguments go in reverse)
  V_VT(&rc[1]) = VT_I4;
  V_I4(&rc[1]) = 50000;  // row
  Invoke(V_DISPATCH(&sheet), L"Cells", DISPATCH_PROPERTYGET, rc, 2, &cell);
  VARIANT value;
  V_VT(&value) = VT_BSTR;
  V_BSTR(&value) = SysAllocString(L"Изменено вручную");
  HRESULT put = Invoke(V_DISPATCH(&cell), L"Value", DISPATCH_PROPERTYPUT, &value, 1, nullptr);
  VariantClear(&value);
  VARIANT target;
  V_VT(&target) = VT_BSTR;
  V_BSTR(&target) = SysAllocString(AnsiToWide(argv[2]).c_str());
  double t1 = Now();
  HRESULT saved = Invoke(wb.Get(), L"SaveAs", DISPATCH_METHOD, &target, 1, nullptr);
  double saving = Now() - t1;
  VariantClear(&target);
  PROCESS_MEMORY_COUNTERS_EX m1 = Memory();
  std::printf("%s: load %.2f s; one edit (0x%08lx), SaveAs %.2f s (0x%08lx); working set after load %.1f MB, "
              "peak working set %.1f MB, peak private %.1f MB\n",
              argv[1], loaded, static_cast<unsigned long>(put), saving, static_cast<unsigned long>(saved),
              m0.WorkingSetSize / mb, m1.PeakWorkingSetSize / mb, m1.PeakPagefileUsage / mb);
  VariantClear(&cell);
  VariantClear(&sheet);
  wb.Release();
  OleUninitialize();
  return 0;
}
