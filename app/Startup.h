#pragma once
#include <string>

// The whole start-up path from the raw argument text; returns the exit code (0).
int RunProgram(const std::string& argumentText);
