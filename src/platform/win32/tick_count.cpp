#include <windows.h>

#include "platform/win32/tick_count.h"

namespace tw {

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

TickCount64Fn SystemTickCount64() {
  static const TickCount64Fn fn = reinterpret_cast<TickCount64Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
  return fn;
}

}  // namespace

unsigned long long TickCount64() {
  if (const TickCount64Fn fn = SystemTickCount64()) return fn();
  // Callers on any thread: the last count seen and the wraps so far change
  // together under the lock.
  static CRITICAL_SECTION lock;
  static const bool ready = (InitializeCriticalSection(&lock), true);
  static DWORD last = 0;
  static unsigned long long wraps = 0;
  (void)ready;
  EnterCriticalSection(&lock);
  const DWORD now = GetTickCount();
  if (now < last) ++wraps;
  last = now;
  const unsigned long long ticks = (wraps << 32) | now;
  LeaveCriticalSection(&lock);
  return ticks;
}

}  // namespace tw
