#include <windows.h>

#include "platform/threads.h"

namespace tw {

struct CMutex::Impl {
  CRITICAL_SECTION section;
};

CMutex::CMutex() : m_impl(std::make_unique<Impl>()) { InitializeCriticalSection(&m_impl->section); }
CMutex::~CMutex() { DeleteCriticalSection(&m_impl->section); }
void CMutex::Lock() { EnterCriticalSection(&m_impl->section); }
void CMutex::Unlock() { LeaveCriticalSection(&m_impl->section); }

struct CEvent::Impl {
  HANDLE event = nullptr;
};

CEvent::CEvent(bool manualReset) : m_impl(std::make_unique<Impl>()) {
  m_impl->event = CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr);
}
CEvent::~CEvent() {
  if (m_impl->event) CloseHandle(m_impl->event);
}
void CEvent::Set() { SetEvent(m_impl->event); }
void CEvent::Reset() { ResetEvent(m_impl->event); }
bool CEvent::Wait(unsigned timeoutMs) {
  return WaitForSingleObject(m_impl->event, timeoutMs) == WAIT_OBJECT_0;
}

struct CThread::Impl {
  HANDLE thread = nullptr;
  std::function<void()> body;
};

namespace {

DWORD WINAPI ThreadEntry(LPVOID param) {
  // The body is the thread's own until it returns; an exception ends the
  // program as it would for a standard thread.
  (*static_cast<std::function<void()>*>(param))();
  return 0;
}

}  // namespace

CThread::CThread() : m_impl(std::make_unique<Impl>()) {}
CThread::~CThread() { Join(); }

bool CThread::Start(std::function<void()> body) {
  if (m_impl->thread || !body) return false;
  m_impl->body = std::move(body);
  m_impl->thread = CreateThread(nullptr, 0, ThreadEntry, &m_impl->body, 0, nullptr);
  if (!m_impl->thread) m_impl->body = nullptr;
  return m_impl->thread != nullptr;
}

bool CThread::Joinable() const { return m_impl->thread != nullptr; }

void CThread::Join() {
  if (!m_impl->thread) return;
  WaitForSingleObject(m_impl->thread, INFINITE);
  CloseHandle(m_impl->thread);
  m_impl->thread = nullptr;
  m_impl->body = nullptr;
}

void SleepMs(unsigned ms) { Sleep(ms); }

}  // namespace tw
