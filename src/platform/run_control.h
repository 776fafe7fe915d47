// The process-wide scan flags and the run control that long operations poll.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

// Set while a page's long operation runs; cleared when it ends.
extern std::atomic<std::int32_t> g_bScanning;
// Toggled by command 32809; cleared when an operation ends.
extern std::atomic<std::int32_t> g_bStopRequested;
// Toggled by command 32810; cleared when an operation ends.
extern std::atomic<std::int32_t> g_bPauseRequested;

namespace tw {

// What a worker polls: its page's own stop flag and the two shared requests.
class CRunControl {
 public:
  using Sleeper = std::function<void(unsigned ms)>;
  // pageStop may be null. sleeper defaults to a real sleep; tests pass their own.
  explicit CRunControl(const std::atomic<std::int32_t>* pageStop = nullptr, Sleeper sleeper = {});

  // True when the page's stop flag or g_bStopRequested is set.
  bool StopRequested() const;
  // The poll point of a walk: while a pause is requested, sleeps in 100 ms
  // steps, re-checking both stop flags after each step. True when the caller
  // must stop.
  bool Poll() const;

 private:
  const std::atomic<std::int32_t>* m_pageStop;
  Sleeper m_sleep;
};

// Clears all three flags (start-up and the end of every operation).
void ClearScanFlags();

}  // namespace tw
