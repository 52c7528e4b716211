#include "ui/ProgramPaths.h"

AnsiString ExcelFilePath;
AnsiString ListFilePath;
