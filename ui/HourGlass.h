#pragma once
// The hourglass cursor for a scope; the default cursor comes back also when
// the work in it fails.
#include "framework/Forms.h"

class THourGlass {
 public:
  THourGlass() { Screen->SetCursor(crHourGlass); }
  ~THourGlass() { Screen->SetCursor(crDefault); }
  THourGlass(const THourGlass&) = delete;
  THourGlass& operator=(const THourGlass&) = delete;
};
