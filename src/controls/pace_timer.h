// Spaces out work the interface thread does for a worker (listing found
// rows, taking out rows whose files went): a run comes no sooner than the
// pace after the last one. One asked for too soon waits on a timer of the
// window's, and the asks that come meanwhile join it.
#pragma once

#include <windows.h>

namespace tw {

class CPaceTimer {
 public:
  CPaceTimer(UINT_PTR timerId, ULONGLONG paceMs) : m_timerId(timerId), m_paceMs(paceMs) {}

  // The window whose WM_TIMER `timerId` the timer is; a new window forgets
  // the old one's timer.
  void Attach(HWND window);
  bool IsTimer(UINT_PTR id) const { return m_timerId != 0 && id == m_timerId; }

  // Whether the work runs now. fromTimer: the window's WM_TIMER for this
  // timer. mayWait false lets an ask run at once however soon it comes.
  // When it answers true, the run counts as begun now.
  bool Due(bool fromTimer, bool mayWait = true);
  // No run waits any more (the work was done in full by other means).
  void Cancel();

 private:
  HWND m_hWnd = nullptr;
  UINT_PTR m_timerId;
  ULONGLONG m_paceMs;
  ULONGLONG m_lastMs = 0;  // when the last run began
  bool m_timerSet = false;
};

}  // namespace tw
