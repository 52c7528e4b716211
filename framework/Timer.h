#pragma once
// A timer: OnTimer every Interval milliseconds while Enabled. Ticks arrive
// through the thread's message queue, so they also come while a modal
// message box is open and inside Application->ProcessMessages.
#include <windows.h>

#include "framework/Controls.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  AnsiString ClassName() const override { return "TTimer"; }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);

  std::function<void(TComponent* sender)> OnTimer;

 private:
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void Update();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  UINT_PTR id_ = 0;
};
