#include <windows.h>

#include "controls/interface_turn.h"

#include "platform/win32/tick_count.h"

namespace tw {

void CInterfaceTurn::GiveWay() const {
  if (!m_held.load(std::memory_order_acquire)) return;
  // A short sleep, not an event: the step itself then costs the interface
  // thread no call to the server, which is what it waits on.
  const ULONGLONG start = TickCount64();
  while (m_held.load(std::memory_order_acquire) && TickCount64() - start < m_maxWaitMs) Sleep(1);
}

}  // namespace tw
