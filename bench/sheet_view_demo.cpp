// Shows a workbook in the sheet view for a few seconds (for a screenshot).
//   sheet_view_demo <file> [seconds] [sheet to activate, 1-based] [pages to scroll down, or "end"]
#include <windows.h>

#include <cstdlib>
#include <cstdio>
#include <string>

#include "framework/ComPtr.h"
#include "spreadsheet/Spreadsheet.h"

namespace {
LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_TIMER || m == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  if (m == WM_SIZE) {
    HWND child = GetWindow(h, GW_CHILD);
    if (child) MoveWindow(child, 0, 0, LOWORD(l), HIWORD(l), TRUE);
  }
  return DefWindowProcW(h, m, w, l);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sheet_view_demo <file> [seconds] [sheet] [rows]\n");
    return 2;
  }
  TOleInit ole;
  TComPtr<IDispatch> workbook;
  AnsiString reason;
  if (FAILED(SpreadsheetOpenWorkbook(argv[1], workbook.Out(), reason))) {
    std::fprintf(stderr, "refused: %s\n", reason.c_str());
    return 1;
  }
  int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SheetViewDemo";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&wc);
  HWND frame = CreateWindowW(L"SheetViewDemo", L"Sheet view", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 560,
                             nullptr, nullptr, wc.hInstance, nullptr);
  RECT rc;
  GetClientRect(frame, &rc);
  HWND view = SpreadsheetCreateView(frame, workbook.Get(), rc);
  if (!view) return 1;
  if (argc > 3) {
    // Choose a sheet the way the workbook control does: WorkSheets.Item(i).Activate.
    DISPID id;
    LPOLESTR name = const_cast<LPOLESTR>(L"Sheets");
    workbook->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    VARIANT sheets;
    VariantInit(&sheets);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    workbook->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &sheets, nullptr, nullptr);
    VARIANT index;
    V_VT(&index) = VT_I4;
    V_I4(&index) = std::atoi(argv[3]);
    DISPPARAMS one = {&index, nullptr, 1, 0};
    name = const_cast<LPOLESTR>(L"Item");
    V_DISPATCH(&sheets)->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    VARIANT sheet;
    VariantInit(&sheet);
    V_DISPATCH(&sheets)->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &one, &sheet, nullptr, nullptr);
    name = const_cast<LPOLESTR>(L"Activate");
    if (V_VT(&sheet) == VT_DISPATCH && SUCCEEDED(V_DISPATCH(&sheet)->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)))
      V_DISPATCH(&sheet)->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    VariantClear(&sheet);
    VariantClear(&sheets);
  }
  if (argc > 4 && std::string(argv[4]) == "end") SendMessageW(view, WM_KEYDOWN, VK_END, 0);
  else if (argc > 4)
    for (int i = 0, n = std::atoi(argv[4]); i < n; ++i) SendMessageW(view, WM_VSCROLL, SB_PAGEDOWN, 0);
  SetTimer(frame, 1, static_cast<UINT>(seconds * 1000), nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DestroyWindow(frame);
  return 0;
}
