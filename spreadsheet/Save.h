#pragma once
#include <string>

#include "spreadsheet/Book.h"

namespace Spreadsheet {

// Writes the book to path in its own format with its edits; afterwards the
// book counts as saved under that name. Throws WriteError with the reason;
// the book is then unchanged and no partial file is left under path.
void SaveBook(Book& book, const std::wstring& path);

}  // namespace Spreadsheet
