#include <windows.h>

#include "app/pending_rows.h"

#include "controls/check_list.h"
#include "platform/win32/tick_count.h"

namespace tw {

namespace {
// Long enough to list a few batches, well short of the 100 ms after which
// a window feels stuck.
constexpr ULONGLONG kSliceMs = 15;
}  // namespace

bool ListPendingSlice(HWND list, const std::function<bool(std::size_t)>& drain) {
  const ULONGLONG start = TickCount64();
  bool more = true;
  SetListRedraw(list, false);
  while (more && TickCount64() - start < kSliceMs) more = drain(kPendingRowBatch);
  SetListRedraw(list, true);
  return more;
}

void ServeSentMessages(ULONGLONG* lastServed, ULONGLONG intervalMs) {
  const ULONGLONG now = TickCount64();
  if (now - *lastServed < intervalMs) return;
  *lastServed = now;
  MSG msg;
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) {
    DispatchMessageA(&msg);
  }
}

void ListAllPending(HWND list, const std::function<bool(std::size_t)>& drain,
                    const std::function<void()>& between) {
  ULONGLONG served = TickCount64();
  SetListRedraw(list, false);
  while (drain(kPendingRowBatch)) {
    if (between) between();
    else ServeSentMessages(&served);
  }
  SetListRedraw(list, true);
}

void CRowListing::OnPending(HWND page, HWND list, const std::function<bool(std::size_t)>& drain,
                            bool fromTimer) {
  if (m_timerSet) {
    // The timer lists what waits; a message meanwhile has nothing of its own.
    if (!fromTimer) return;
    KillTimer(page, m_timerId);
    m_timerSet = false;
  } else if (fromTimer) {
    return;
  }
  const ULONGLONG now = TickCount64();
  if (!fromTimer && m_caughtUp && now - m_lastMs < m_paceMs) {
    m_timerSet = SetTimer(page, m_timerId, static_cast<UINT>(m_paceMs - (now - m_lastMs)),
                          nullptr) != 0;
    if (m_timerSet) return;
  }
  m_lastMs = now;
  m_caughtUp = !ListPendingSlice(list, drain);
  if (!m_caughtUp) PostMessageA(page, m_message, 0, 0);
}

void CRowListing::Stop(HWND page) {
  if (m_timerSet) KillTimer(page, m_timerId);
  m_timerSet = false;
  m_caughtUp = false;
}

}  // namespace tw
