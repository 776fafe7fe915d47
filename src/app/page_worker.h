// The worker thread of a tool page (a scan, a repair, a deletion). A page
// runs one at a time: a stopped worker is let finish before the next starts,
// and none outlives the page.
#pragma once

#include <windows.h>

namespace tw {

class CPageWorker {
 public:
  CPageWorker() = default;
  ~CPageWorker();
  CPageWorker(const CPageWorker&) = delete;
  CPageWorker& operator=(const CPageWorker&) = delete;

  // Starts entry(param) on a new thread, letting go of the last one's handle
  // (the caller has waited for it); false when no thread could be made.
  bool Start(LPTHREAD_START_ROUTINE entry, void* param);
  // Waits for the last worker to end, serving the messages it sends
  // meanwhile: it reports and changes the page's lists through sent
  // messages, so a plain wait would hang both threads.
  void Wait();
  // Wait, then let go of the thread (the page's window is going).
  void End();

 private:
  HANDLE m_hThread = nullptr;
};

}  // namespace tw
