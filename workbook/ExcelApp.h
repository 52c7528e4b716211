#pragma once
// The main window's record of Excel automation references (its nested type
// TImportExcelForm::SExcelApp). All four references are dispatch Variants,
// empty until a workbook has been opened.
#include "framework/AnsiString.h"
#include "framework/Variant.h"

struct SExcelApp {
  Variant App;             // Excel's "Application"
  Variant ActiveWorkbook;  // the workbook loaded from FileName
  Variant WorkSheets;      // its "WorkSheets" collection
  Variant ActiveSheet;     // the sheet the conversion reads
  AnsiString FileName;     // where the workbook came from; the write-back target

  // Releases the references, in the order Excel's objects are let go.
  void Clear() {
    App.Clear();
    WorkSheets.Clear();
    ActiveSheet.Clear();
    ActiveWorkbook.Clear();
  }
};
