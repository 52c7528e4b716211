#pragma once
// Record types of the BIFF8 workbook stream, for its reader and its writer.
#include <cstdint>

namespace Spreadsheet {
enum : uint16_t {
  kRecFormula = 0x0006,
  kRecEof = 0x000A,
  kRecDateMode = 0x0022,
  kRecFilePass = 0x002F,
  kRecFont = 0x0031,
  kRecContinue = 0x003C,
  kRecWindow1 = 0x003D,
  kRecCodePage = 0x0042,
  kRecDefColWidth = 0x0055,
  kRecColInfo = 0x007D,
  kRecBoundSheet = 0x0085,
  kRecMulRk = 0x00BD,
  kRecMulBlank = 0x00BE,
  kRecRString = 0x00D6,
  kRecDbCell = 0x00D7,
  kRecXf = 0x00E0,
  kRecMergedCells = 0x00E5,
  kRecSst = 0x00FC,
  kRecLabelSst = 0x00FD,
  kRecExtSst = 0x00FF,
  kRecDimensions = 0x0200,
  kRecBlank = 0x0201,
  kRecNumber = 0x0203,
  kRecLabel = 0x0204,
  kRecBoolErr = 0x0205,
  kRecString = 0x0207,
  kRecRow = 0x0208,
  kRecIndex = 0x020B,
  kRecDefaultRowHeight = 0x0225,
  kRecArray = 0x0221,
  kRecTable = 0x0236,
  kRecWindow2 = 0x023E,
  kRecRk = 0x027E,
  kRecFormat = 0x041E,
  kRecShrFmla = 0x04BC,
  kRecBof = 0x0809,
};
}  // namespace Spreadsheet
