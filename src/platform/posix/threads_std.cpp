#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/threads.h"

namespace tw {

struct CMutex::Impl {
  std::recursive_mutex mutex;
};

CMutex::CMutex() : m_impl(std::make_unique<Impl>()) {}
CMutex::~CMutex() = default;
void CMutex::Lock() { m_impl->mutex.lock(); }
void CMutex::Unlock() { m_impl->mutex.unlock(); }

struct CEvent::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  bool manual = false;
  bool raised = false;
};

CEvent::CEvent(bool manualReset) : m_impl(std::make_unique<Impl>()) { m_impl->manual = manualReset; }
CEvent::~CEvent() = default;

void CEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->raised = true;
  }
  m_impl->cv.notify_all();
}

void CEvent::Reset() {
  std::lock_guard<std::mutex> lock(m_impl->mutex);
  m_impl->raised = false;
}

bool CEvent::Wait(unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(m_impl->mutex);
  const bool raised = m_impl->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [this] { return m_impl->raised; });
  if (raised && !m_impl->manual) m_impl->raised = false;
  return raised;
}

struct CThread::Impl {
  std::thread thread;
};

CThread::CThread() : m_impl(std::make_unique<Impl>()) {}
CThread::~CThread() { Join(); }

bool CThread::Start(std::function<void()> body) {
  if (m_impl->thread.joinable() || !body) return false;
  try {
    m_impl->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool CThread::Joinable() const { return m_impl->thread.joinable(); }

void CThread::Join() {
  if (m_impl->thread.joinable()) m_impl->thread.join();
}

void SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace tw
