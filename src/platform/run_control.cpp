#include "platform/run_control.h"

#include "platform/threads.h"

std::atomic<std::int32_t> g_bScanning{0};
std::atomic<std::int32_t> g_bStopRequested{0};
std::atomic<std::int32_t> g_bPauseRequested{0};

namespace tw {

CRunControl::CRunControl(const std::atomic<std::int32_t>* pageStop, Sleeper sleeper)
    : m_pageStop(pageStop), m_sleep(std::move(sleeper)) {
  if (!m_sleep) {
    m_sleep = [](unsigned ms) { SleepMs(ms); };
  }
}

bool CRunControl::StopRequested() const {
  return (m_pageStop && m_pageStop->load(std::memory_order_relaxed)) ||
         g_bStopRequested.load(std::memory_order_relaxed);
}

bool CRunControl::Poll() const {
  if (StopRequested()) return true;
  while (g_bPauseRequested.load(std::memory_order_relaxed)) {
    m_sleep(100);
    if (StopRequested()) return true;
  }
  return false;
}

void ClearScanFlags() {
  g_bScanning = 0;
  g_bStopRequested = 0;
  g_bPauseRequested = 0;
}

}  // namespace tw
