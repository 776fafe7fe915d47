#include <windows.h>

#include "app/pending_rows.h"

namespace tw {

void ServeSentMessages(ULONGLONG* lastServed, ULONGLONG intervalMs) {
  const ULONGLONG now = GetTickCount64();
  if (now - *lastServed < intervalMs) return;
  *lastServed = now;
  MSG msg;
  for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) {
    DispatchMessageA(&msg);
  }
}

}  // namespace tw
