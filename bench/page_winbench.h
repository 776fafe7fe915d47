// What the page benchmarks share: a clock in milliseconds, medians, polling,
// and the thread that keeps sending WM_NULL to the program's main window to
// time how quickly its interface answers.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tw::bench {

// The main window answers a message round trip within this, throughout.
constexpr double kMaxRoundTripMs = 50;
constexpr double kMaxBytesPerRow = 200;

inline double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

inline double MedianMs(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One round of a page benchmark: the bare baseline, the engine alone and the
// page, in an order that turns round every round, so that no side always
// runs first on a cold cache or last on a warm one.
inline void RunRound(int round, const std::function<void()>& bare,
                     const std::function<void()>& core, const std::function<void()>& page) {
  if (round % 2) {
    page();
    core();
    bare();
  } else {
    bare();
    core();
    page();
  }
}

// Polls every 20 ms until done() holds; answers the NowMs time it first held,
// or 0 after timeoutMs.
inline double PollUntil(const std::function<bool()>& done, double timeoutMs) {
  const double until = NowMs() + timeoutMs;
  for (;;) {
    if (done()) return NowMs();
    if (NowMs() > until) return 0;
    Sleep(20);
  }
}

// Sends WM_NULL to the window every 25 ms from its own thread and keeps each
// round trip with the time it was sent.
class CPinger {
 public:
  explicit CPinger(HWND target) : m_target(target), m_thread([this] { Run(); }) {}
  ~CPinger() {
    m_stop = true;
    m_thread.join();
  }
  struct Stats {
    std::size_t samples = 0;
    double maxMs = 0, p99Ms = 0;
    double worstAtMs = 0;  // when the slowest one was sent, from `from`

    // Keeps the worse of two runs' figures.
    void Merge(const Stats& other) {
      samples += other.samples;
      if (other.maxMs > maxMs) {
        maxMs = other.maxMs;
        worstAtMs = other.worstAtMs;
      }
      p99Ms = std::max(p99Ms, other.p99Ms);
    }
  };
  // Round trips sent between from and to (NowMs times); a send still waiting
  // counts with the time it has waited so far.
  Stats Between(double from, double to) {
    std::vector<double> v;
    Stats s;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto add = [&](double sent, double ms) {
        v.push_back(ms);
        if (ms > s.maxMs) {
          s.maxMs = ms;
          s.worstAtMs = sent - from;
        }
      };
      for (const auto& [sent, ms] : m_samples) {
        if (sent >= from && sent <= to) add(sent, ms);
      }
      if (m_pendingSince > 0 && m_pendingSince <= to) add(m_pendingSince, NowMs() - m_pendingSince);
    }
    s.samples = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.p99Ms = v[std::min(v.size() - 1, static_cast<std::size_t>(v.size() * 0.99))];
    return s;
  }

 private:
  void Run() {
    while (!m_stop) {
      const double sent = NowMs();
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingSince = sent;
      }
      DWORD_PTR result = 0;
      SendMessageTimeoutW(m_target, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result);
      const double ms = NowMs() - sent;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingSince = 0;
        m_samples.emplace_back(sent, ms);
      }
      Sleep(25);
    }
  }
  HWND m_target;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::pair<double, double>> m_samples;
  double m_pendingSince = 0;
  std::thread m_thread;
};

inline void PrintRoundTrips(const char* page, const char* what, const CPinger::Stats& s) {
  std::printf(
      "%s round trips %s: max %.1f ms, p99 %.1f ms (%zu WM_NULL sends every 25 ms, the slowest "
      "sent at %.1f s; limit %.0f ms)\n",
      page, what, s.maxMs, s.p99Ms, s.samples, s.worstAtMs / 1000, kMaxRoundTripMs);
  std::fflush(stdout);
}

// The working set of another process (of the benchmark's own user), in
// bytes; 0 when it cannot be read.
inline std::size_t WorkingSetBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

// One line: the working set with `rows` rows listed against the same page
// empty. Answers whether it stayed under kMaxBytesPerRow a row.
inline bool PrintWorkingSet(const char* page, std::size_t rows, std::size_t emptyBytes,
                            std::size_t fullBytes) {
  const double perRow =
      rows ? (static_cast<double>(fullBytes) - static_cast<double>(emptyBytes)) / rows : 0;
  std::printf(
      "%s working set at %zu rows: %.0f bytes a row (%.1f MB listed, %.1f MB empty; limit %.0f)\n",
      page, rows, perRow, fullBytes / 1048576.0, emptyBytes / 1048576.0, kMaxBytesPerRow);
  std::fflush(stdout);
  return emptyBytes && fullBytes && perRow < kMaxBytesPerRow;
}

// CPU time (kernel and user) of one thread, in milliseconds; -1 when it
// cannot be read.
inline double ThreadCpuMs(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1;
  const auto ms = [](FILETIME f) {
    return ((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

// CPU time of another process's interface thread, in milliseconds (Wine
// answers no sound process total for another process, so the workers' time
// is not read from here); -1 when it cannot be read.
inline double InterfaceCpuMs(DWORD interfaceThread) {
  double ms = -1;
  if (HANDLE t = OpenThread(THREAD_QUERY_INFORMATION, FALSE, interfaceThread)) {
    ms = ThreadCpuMs(t);
    CloseHandle(t);
  }
  return ms;
}

// One line: what the program's interface thread spent in wallMs, against
// what the baseline's own thread in this process spent in ownWallMs.
inline void PrintThreadCpu(const char* page, const char* what, double interfaceMs, double wallMs,
                           double ownMs, double ownWallMs) {
  std::printf(
      "%s thread CPU %s: interface %.1f s in %.1f s; the baseline's own thread %.1f s in "
      "%.1f s\n",
      page, what, interfaceMs / 1000, wallMs / 1000, ownMs / 1000, ownWallMs / 1000);
  std::fflush(stdout);
}

}  // namespace tw::bench
