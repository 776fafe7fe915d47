#include <windows.h>

#include "app/page_worker.h"

namespace tw {

CPageWorker::~CPageWorker() {
  if (m_hThread) CloseHandle(m_hThread);
}

bool CPageWorker::Start(LPTHREAD_START_ROUTINE entry, void* param) {
  if (m_hThread) {
    CloseHandle(m_hThread);
    m_hThread = nullptr;
  }
  m_hThread = CreateThread(nullptr, 0, entry, param, 0, nullptr);
  return m_hThread != nullptr;
}

void CPageWorker::Wait() {
  if (!m_hThread) return;
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &m_hThread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void CPageWorker::End() {
  Wait();
  if (m_hThread) {
    CloseHandle(m_hThread);
    m_hThread = nullptr;
  }
}

}  // namespace tw
