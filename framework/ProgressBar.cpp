#include "framework/ProgressBar.h"

#include <commctrl.h>

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
  CreateHandle(PROGRESS_CLASSW, WS_VISIBLE, 0);
  SendMessageW(Handle(), PBM_SETRANGE32, 0, 100);
  SetBoundsRaw(0, 0, 150, 16);
}

// PBM_GETRANGE with TRUE gives the low limit, with FALSE the high limit.
int TProgressBar::Min() const { return static_cast<int>(SendMessageW(Handle(), PBM_GETRANGE, TRUE, 0)); }
int TProgressBar::Max() const { return static_cast<int>(SendMessageW(Handle(), PBM_GETRANGE, FALSE, 0)); }
void TProgressBar::SetMin(int value) { SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(value), Max()); }
void TProgressBar::SetMax(int value) { SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(Min()), value); }
// PBM_GETPOS: the current position.
int TProgressBar::Position() const { return static_cast<int>(SendMessageW(Handle(), PBM_GETPOS, 0, 0)); }
void TProgressBar::SetPosition(int value) { SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(value), 0); }
