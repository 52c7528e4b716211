#pragma once
// The conversion's access to a worksheet: any IDispatch object that answers
// Cells(row, column).Value and Cells().SpecialCells(11).Row by name, as
// Excel's sheets and the built-in engine's do.
#include "framework/AnsiString.h"
#include "framework/Variant.h"

// The text of one cell, trimmed. On failure shows the read-failure message
// (caption as given, flags 0x42030) and returns false with text untouched.
// When the automation server has gone away it shows nothing and raises
// EOleException instead: every further cell would fail the same way.
bool ReadCellText(const Variant& sheet, int row, int column, AnsiString& text, const AnsiString& caption);

// Row number of the sheet's last used cell; failures raise EOleException.
int LastUsedRow(const Variant& sheet);

// True for the HRESULTs that say the server process or its connection is gone.
bool IsServerGone(HRESULT hr);
