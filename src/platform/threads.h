// Threads and locks of the platform. The Windows builds use the system's own
// (CreateThread, critical sections, events): the standard library's threads
// of the mingw toolchain import functions Windows XP lacks. The native build
// uses the standard library.
#pragma once

#include <functional>
#include <memory>

namespace tw {

// A lock that the thread holding it may take again.
class CMutex {
 public:
  CMutex();
  ~CMutex();
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;
  void Lock();
  void Unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// Holds a mutex for its scope.
class CMutexLock {
 public:
  explicit CMutexLock(CMutex& mutex) : m_mutex(mutex) { m_mutex.Lock(); }
  ~CMutexLock() { m_mutex.Unlock(); }
  CMutexLock(const CMutexLock&) = delete;
  CMutexLock& operator=(const CMutexLock&) = delete;

 private:
  CMutex& m_mutex;
};

// A signal one thread raises and another waits for. An auto-reset event
// lets one Wait through per Set; a manual-reset one stays raised until Reset.
class CEvent {
 public:
  explicit CEvent(bool manualReset = false);
  ~CEvent();
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  void Set();
  void Reset();
  // True when the event was raised within timeoutMs.
  bool Wait(unsigned timeoutMs);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// One thread running one function. Join before destruction; a thread still
// running then is joined by the destructor.
class CThread {
 public:
  CThread();
  ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;
  // False when a thread was started already and not joined, or when the
  // system could not start one.
  bool Start(std::function<void()> body);
  bool Joinable() const;
  void Join();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

void SleepMs(unsigned ms);

}  // namespace tw
