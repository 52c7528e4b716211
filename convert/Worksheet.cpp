#include "convert/Worksheet.h"

#include "convert/CellText.h"
#include "framework/Application.h"

namespace {

constexpr unsigned kWarningFlags = 0x42030;  // OK, exclamation, task-modal, topmost
constexpr long kLastCellType = 11;           // Excel's xlCellTypeLastCell

AnsiString CellPlace(int row, int column) {
  return "Строка Excel №" + IntToStr(row) + ", Столбец " + ColumnDesignation(column);
}

}  // namespace

bool IsServerGone(HRESULT hr) {
  // HRESULT_FROM_WIN32 is a function in some headers: compare outside the switch.
  if (hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)) return true;
  switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
      return true;
    default:
      return false;
  }
}

bool ReadCellText(const Variant& sheet, int row, int column, AnsiString& text, const AnsiString& caption) {
  try {
    Variant cell = sheet.OlePropertyGet("Cells", row, column);
    Variant value = cell.OlePropertyGet("Value");
    text = TrimControlChars(CellValueText(value.Get()));
    return true;
  } catch (const EOleException& e) {
    if (IsServerGone(e.ErrorCode())) {
      throw EOleException(CellPlace(row, column) + ": связь с Excel потеряна\n" + e.Message(), e.ErrorCode(),
                          e.Source(), e.Description());
    }
  } catch (const std::exception&) {
  }
  Application->MessageBox(CellPlace(row, column) + ": Ошибка при чтении значения\n", caption, kWarningFlags);
  return false;
}

int LastUsedRow(const Variant& sheet) {
  Variant cells = sheet.OlePropertyGet("Cells");
  Variant last = cells.OlePropertyGet("SpecialCells", kLastCellType);
  return static_cast<int>(last.OlePropertyGet("Row").AsInteger());
}
