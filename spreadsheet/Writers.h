#pragma once
// The file writers: the loaded file's bytes with the changed cells written
// into them, in the file's own format, everything else kept as it was. A
// file they cannot write is refused with WriteError; nothing is half written.
#include <string>
#include <vector>

#include "framework/AnsiString.h"
#include "spreadsheet/Edits.h"
#include "spreadsheet/Model.h"

namespace Spreadsheet {

struct WriteError {
  AnsiString reason;  // Russian (Windows-1251)
};

// .xlsx/.xlsm: only the changed sheets' parts are rewritten (the changed
// cells as inline strings or numbers, their styles kept); every other part's
// compressed bytes are copied as they were.
std::string WriteXlsxEdits(const std::string& original, const Workbook& wb, const ChangedCells& changed);
// One sheet part's XML with the cells at positions set to the sheet's values.
std::string RewriteSheetXml(const std::string& xml, const Workbook& wb, const Sheet& sheet,
                            const std::vector<std::pair<uint32_t, uint32_t>>& positions);

// .xls: the changed cells' records replaced in the workbook stream, the
// offsets that depend on them fixed, every other stream of the compound file
// copied through structured storage. A bare BIFF stream stays bare.
std::string WriteXlsEdits(const std::string& original, const Workbook& wb, const ChangedCells& changed);
// The workbook stream alone.
std::string RewriteBiffStream(const std::string& stream, const Workbook& wb, const ChangedCells& changed);

// Writes bytes under a temporary name beside path, then puts it in place:
// a failed write leaves no partial file under path. Throws WriteError.
void WriteFileReplacing(const std::wstring& path, const std::string& bytes);

}  // namespace Spreadsheet
