// Spaces out work the interface thread does for a worker (listing found
// rows, taking out rows whose files went): a run comes no sooner than the
// pace after the last one. One asked for too soon waits on a timer of the
// window's, and the asks that come meanwhile join it.
#pragma once

#include <windows.h>

namespace tw {

class CPaceTimer {
 public:
  // A run that cost the interface thread c milliseconds is followed by the
  // next no sooner than kCostShare * c after it began, whatever the pace:
  // at most a tenth of the thread's time goes to this work, however dear a
  // run becomes (a long list, a loaded machine).
  static constexpr ULONGLONG kCostShare = 10;

  CPaceTimer(UINT_PTR timerId, ULONGLONG paceMs) : m_timerId(timerId), m_paceMs(paceMs) {}

  // The window whose WM_TIMER `timerId` the timer is; a new window forgets
  // the old one's timer.
  void Attach(HWND window);
  bool IsTimer(UINT_PTR id) const { return m_timerId != 0 && id == m_timerId; }

  // Whether the work runs now. fromTimer: the window's WM_TIMER for this
  // timer. mayWait false lets an ask run at once however soon it comes.
  // paceMs other than 0 stands for the pace of the constructor for this ask.
  // When it answers true, the run counts as begun now.
  bool Due(bool fromTimer, bool mayWait = true, ULONGLONG paceMs = 0);
  // The run that Due let begin has ended; its cost stretches the pace.
  void Ran();
  // Work the last run left for later (its drawing) cost `ms` more.
  void Spent(ULONGLONG ms) { m_costMs += ms; }
  // No run waits any more (the work was done in full by other means).
  void Cancel();

 private:
  HWND m_hWnd = nullptr;
  UINT_PTR m_timerId;
  ULONGLONG m_paceMs;
  ULONGLONG m_lastMs = 0;  // when the last run began
  ULONGLONG m_costMs = 0;  // what the last run cost
  bool m_timerSet = false;
};

}  // namespace tw
