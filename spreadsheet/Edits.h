#pragma once
// Changing cells of an open book: text typed by the user read as a number in
// the user's locale or as text, edits grouped for undo and redo, the record
// of what differs from the file for SaveAs, and cell text exchanged through
// the clipboard the way spreadsheets exchange it.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/Book.h"

namespace Spreadsheet {

struct Separators {
  wchar_t decimal = L',';
  wchar_t group = 0xA0;
};
// The user's locale's, read from Windows.
Separators UserSeparators();

// A number as the locale writes it: up to 15 significant digits, no grouping.
std::wstring NumberText(double d, wchar_t decimal);
// "12,5", "-1 234,5", "1,5E-3" in the locale's separators; false for anything
// else ("12.5" in a comma locale, "1,2,3", "12%", empty).
bool ParseNumber(const std::wstring& text, const Separators& sep, double& out);

// What typed text makes of the cell at row/col: a number, text (a leading
// apostrophe forces it, and is dropped), nothing for empty text. "=..." stays
// text: formulas are not evaluated (formula reports it). A number typed over
// a date or currency cell keeps that kind, as the cell's format stays.
Cell TypedCell(Workbook& wb, const Cell* old, uint32_t row, uint32_t col, const std::wstring& text,
               const Separators& sep, bool* formula = nullptr);
// The cell's value as the user would type it again (what the editor starts with).
std::wstring EditText(const Workbook& wb, const Cell* cell, const Separators& sep);

// Sets the cells (each at its own row/col) of one sheet as one undoable
// action; unchanged cells are left out. Marks the book unsaved and tells its
// views. False when nothing changed.
bool ApplyEdits(Book& book, size_t sheet, const std::vector<Cell>& cells);
bool Undo(Book& book);
bool Redo(Book& book);

// Positions whose value differs from the file's, by sheet, in row-then-column order.
using ChangedCells = std::map<size_t, std::vector<std::pair<uint32_t, uint32_t>>>;
ChangedCells ChangedPositions(const Book& book);

// Cells as tab-separated rows ending in CR LF; a field with a tab, line break
// or quote is quoted, as spreadsheets do.
std::wstring CopyText(const Workbook& wb, size_t sheet, uint32_t row1, uint32_t col1, uint32_t row2, uint32_t col2,
                      const Separators& sep);
// The reverse: rows of fields; a trailing line break adds no row.
std::vector<std::vector<std::wstring>> SplitPasted(const std::wstring& text);

}  // namespace Spreadsheet
