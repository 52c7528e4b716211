#pragma once
// The built-in workbook engine's public face: open a workbook file as an
// automation object that answers Excel's members by name, and show it in a
// sheet view. Everything else of the engine stays behind IDispatch.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "framework/AnsiString.h"

// Loads the file and gives its Workbook object (its "Application" gives the
// application object). On refusal: a failed HRESULT, *workbook null, and the
// reason in Russian (Windows-1251), fit for a second line of an open error.
HRESULT SpreadsheetOpenWorkbook(const AnsiString& path, IDispatch** workbook, AnsiString& reason);
// The same for bytes already in memory; path names the file (Workbook.Name).
HRESULT SpreadsheetOpenWorkbookBytes(const std::string& bytes, const AnsiString& path, IDispatch** workbook,
                                     AnsiString& reason);

// The check a file passes before the platform's OLE code may open it: a
// compound file must have a sound structure (the platform's storage code
// follows damaged tables for minutes), else it is refused with the reason;
// one that departs from the format only where this engine tolerates it
// (a header's mini-stream cutoff) is for this engine alone.
enum class SpreadsheetFileCheck { kAnyReader, kEngineOnly, kRefused };
SpreadsheetFileCheck SpreadsheetCheckFile(const AnsiString& path, AnsiString& reason);

// A child window of parent that shows the workbook's active sheet with sheet
// tabs; null when workbook is not one of this engine's objects. The window
// shares the workbook's state until it is destroyed and follows every change
// of the active sheet, whether made by automation or by its own tabs.
HWND SpreadsheetCreateView(HWND parent, IDispatch* workbook, const RECT& rect);
