#pragma once
#include <optional>
#include <string>
#include <vector>

#include "framework/AnsiString.h"
#include "ui/ProgramPaths.h"

// Splits the argument text into "?"-terminated pieces; text after the last "?"
// is dropped. Gives the pieces only when there are exactly two of them.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& text);


constexpr const char* kStartupErrorText = "Командная строка полученная программой содержит ошибку!";
constexpr const char* kStartupErrorCaption = "Перевод XLS в формат Залбиро";
constexpr unsigned kStartupErrorFlags = 0x2010;  // OK, error icon, task-modal

// Checks and splits the argument text; on a malformed one shows the start-up
// error box and returns false. On success ExcelFilePath and ListFilePath are set.
bool AcceptCommandLine(const std::string& argumentText);
