// A window of the benchmark's own, on a thread that does nothing else, and a
// thread that sends it WM_NULL every 25 ms as CPinger does the page's. A
// round trip of the page's that one of these shared a long wait with was
// held by Wine's server or by the machine (both processors taken, the
// virtual machine not run for a while), not by the page: the benchmark's
// own idle window could not answer either.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace tw::bench {

class CControlPinger {
 public:
  CControlPinger() : m_window([this] { Serve(); }) {
    while (!m_hWnd && !m_failed) Sleep(1);
    if (m_hWnd) m_pinger = std::thread([this] { Ping(); });
  }
  ~CControlPinger() {
    m_stop = true;
    if (m_pinger.joinable()) m_pinger.join();
    if (m_threadId) PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    m_window.join();
  }
  CControlPinger(const CControlPinger&) = delete;
  CControlPinger& operator=(const CControlPinger&) = delete;

  // The longest of its round trips that overlapped [from, to], in NowMs
  // times (the same clock).
  double LongestOverlapping(double from, double to) {
    std::lock_guard<std::mutex> lock(m_mutex);
    double longest = 0;
    // Sorted by their send; none waited longer than a few seconds.
    auto it = std::lower_bound(m_samples.begin(), m_samples.end(), from - 10000,
                               [](const Sample& s, double t) { return s.sent < t; });
    for (; it != m_samples.end() && it->sent <= to; ++it) {
      if (it->sent + it->ms >= from) longest = std::max(longest, it->ms);
    }
    if (m_pendingSince > 0 && m_pendingSince <= to) longest = std::max(longest, Now() - m_pendingSince);
    return longest;
  }

 private:
  struct Sample {
    double sent = 0, ms = 0;
  };
  static double Now() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
  }
  void Serve() {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
    m_threadId = GetCurrentThreadId();
    if (!hwnd) {
      m_failed = true;
      return;
    }
    m_hWnd = hwnd;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(hwnd);
  }
  void Ping() {
    while (!m_stop) {
      const double sent = Now();
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingSince = sent;
      }
      DWORD_PTR result = 0;
      SendMessageTimeoutW(m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result);
      const double ms = Now() - sent;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingSince = 0;
        m_samples.push_back({sent, ms});
      }
      Sleep(25);
    }
  }

  std::atomic<HWND> m_hWnd{nullptr};
  std::atomic<bool> m_failed{false};
  std::atomic<DWORD> m_threadId{0};
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<Sample> m_samples;
  double m_pendingSince = 0;
  std::thread m_window;
  std::thread m_pinger;
};

}  // namespace tw::bench
