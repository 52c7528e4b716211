#pragma once
// The two paths of the command line: the workbook to open and the list file
// to write. The start-up sets them once, before the main window exists; the
// main window reads them.
#include "framework/AnsiString.h"

extern AnsiString ExcelFilePath;
extern AnsiString ListFilePath;
