// The interface thread's turn at a long step it takes for a worker: a
// listing of found rows or a pass taking out rows whose files went, drawing
// included. Under Wine such a step makes calls to the server and the X
// server, and a worker that keeps both processors and the server busy makes
// each of them wait: a pass of the junk-file list that costs the thread
// 10-20 ms of its own took 50-140 ms beside a deletion of 100,000 files, and
// the window answered no caller meanwhile. While a step runs the worker
// waits before its next item.
#pragma once

#include <windows.h>

#include <atomic>

namespace tw {

class CInterfaceTurn {
 public:
  // A worker never waits longer than this for one step: a step that takes
  // longer (a message box, a machine swapping) must not hold the work up.
  static constexpr ULONGLONG kMaxWaitMs = 200;

  explicit CInterfaceTurn(ULONGLONG maxWaitMs = kMaxWaitMs) : m_maxWaitMs(maxWaitMs) {}

  // Interface thread: a step begins, a step has ended.
  void Begin() { m_held.store(true, std::memory_order_release); }
  void End() { m_held.store(false, std::memory_order_release); }

  // Worker: returns at once unless a step runs, else when it has ended.
  void GiveWay() const;

 private:
  ULONGLONG m_maxWaitMs;
  std::atomic<bool> m_held{false};
};

// Holds the interface thread's turn for a scope.
class CInterfaceStep {
 public:
  explicit CInterfaceStep(CInterfaceTurn& turn) : m_turn(turn) { m_turn.Begin(); }
  ~CInterfaceStep() { m_turn.End(); }
  CInterfaceStep(const CInterfaceStep&) = delete;
  CInterfaceStep& operator=(const CInterfaceStep&) = delete;

 private:
  CInterfaceTurn& m_turn;
};

}  // namespace tw
