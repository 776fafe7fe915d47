#include <windows.h>

#include "app/pending_rows.h"

#include "platform/win32/tick_count.h"

namespace tw {

void ServeSentMessages(ULONGLONG* lastServed, ULONGLONG intervalMs, bool paint) {
  const ULONGLONG now = TickCount64();
  if (now - *lastServed < intervalMs) return;
  *lastServed = now;
  MSG msg;
  if (!paint) {
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return;
  }
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) {
    DispatchMessageA(&msg);
  }
}

}  // namespace tw
