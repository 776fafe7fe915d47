#include <windows.h>

#include "controls/pace_timer.h"

#include <algorithm>

#include "platform/win32/tick_count.h"

namespace tw {

void CPaceTimer::Attach(HWND window) {
  m_hWnd = window;
  m_timerSet = false;
  m_lastMs = 0;
  m_costMs = 0;
}

bool CPaceTimer::Due(bool fromTimer, bool mayWait, ULONGLONG paceMs) {
  if (m_timerSet) {
    // The timer runs what waits; an ask meanwhile has nothing of its own.
    if (!fromTimer) return false;
    KillTimer(m_hWnd, m_timerId);
    m_timerSet = false;
  } else if (fromTimer) {
    return false;
  }
  const ULONGLONG now = TickCount64();
  const ULONGLONG pace = std::max(paceMs ? paceMs : m_paceMs, kCostShare * m_costMs);
  if (!fromTimer && mayWait && now - m_lastMs < pace) {
    m_timerSet =
        SetTimer(m_hWnd, m_timerId, static_cast<UINT>(pace - (now - m_lastMs)), nullptr) != 0;
    // Without a timer the work runs now rather than never.
    if (m_timerSet) return false;
  }
  m_lastMs = now;
  return true;
}

void CPaceTimer::Ran() {
  const ULONGLONG now = TickCount64();
  m_costMs = now > m_lastMs ? now - m_lastMs : 0;
}

void CPaceTimer::Cancel() {
  if (m_timerSet) KillTimer(m_hWnd, m_timerId);
  m_timerSet = false;
}

}  // namespace tw
