#include "app/CommandLine.h"

#include "framework/Application.h"

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& text) {
  std::vector<std::string> pieces;
  std::string acc;
  for (char c : text) {
    if (c == '?') {
      pieces.push_back(acc);
      acc.clear();
    } else {
      acc += c;
    }
  }
  if (pieces.size() != 2) return std::nullopt;
  return pieces;
}

bool AcceptCommandLine(const std::string& argumentText) {
  std::optional<std::vector<std::string>> pieces;
  if (!argumentText.empty()) pieces = SplitCommandLine(argumentText);
  if (!pieces) {
    Application->MessageBox(kStartupErrorText, kStartupErrorCaption, kStartupErrorFlags);
    return false;
  }
  ExcelFilePath = (*pieces)[0];
  ListFilePath = (*pieces)[1];
  return true;
}
