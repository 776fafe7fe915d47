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
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "control_pinger.h"
#include "hive_saves.h"
#include "stall_sampler.h"

namespace tw::bench {

// The main window answers a message round trip within this, throughout. A
// round trip inside which Wine's server finished a registry save is shown
// but not held against the page: Windows does not hold callers while it
// writes the registry out. Nor is one that an idle window of the
// benchmark's own waited at least half as long with (CControlPinger): Wine's
// server or the machine held both.
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

// The median of the rounds' own ratios, page[i] / base[i]. The machine's
// speed drifts by a factor of two or more over minutes: two runs of one
// round share the speed of their minutes, two medians taken over the whole
// run need not.
inline double MedianRatio(const std::vector<double>& page, const std::vector<double>& base) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < page.size() && i < base.size(); ++i) {
    if (base[i] > 0) ratios.push_back(page[i] / base[i]);
  }
  return MedianMs(ratios);
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

// Sends WM_NULL to the window every 25 ms from its own thread and keeps each
// round trip with the time it was sent, and whether Wine's server finished a
// registry save while it waited (see hive_saves.h). A second thread looks at
// the interface thread whenever a round trip has waited kSampleAfterMs, and
// again every kSampleEveryMs after that, so a stall can be named.
class CPinger {
 public:
  static constexpr double kSampleAfterMs = 40;
  static constexpr double kSampleEveryMs = 20;
  static constexpr int kSamplesPerSend = 4;

  explicit CPinger(HWND target)
      : m_target(target),
        m_sampler(target),
        m_thread([this] { Run(); }),
        m_watcher([this] { Watch(); }) {
    if (!m_hives.Known()) {
      std::printf("(the registry files of Wine's prefix cannot be read: no round trip is put down "
                  "to a registry save)\n");
    }
  }
  ~CPinger() {
    m_stop = true;
    m_thread.join();
    m_watcher.join();
    if (m_interface) CloseHandle(m_interface);
  }
  // A round trip that waited kSampleAfterMs or more: what the interface
  // thread was doing meanwhile.
  struct Stall {
    double sentMs = 0;  // from `from`
    unsigned long long sentTicks = 0;  // SystemTicks when it was sent
    double ms = 0;
    bool hiveSave = false;
    double cpuMs = -1;  // the interface thread's CPU time meanwhile; -1 unknown
    double controlMs = 0;  // the longest wait of the benchmark's own window meanwhile
    std::vector<std::string> samples;
  };
  struct Stats {
    std::size_t samples = 0;
    double maxMs = 0, p99Ms = 0;
    double worstAtMs = 0;  // when the slowest one was sent, from `from`
    // The same for the round trips inside which no registry save ended.
    double maxOutsideSavesMs = 0, worstOutsideSavesAtMs = 0;
    std::size_t hiveSaves = 0;  // round trips inside which a registry save ended
    // The same outside registry saves and outside the waits the benchmark's
    // own window shared: what the limit is judged on.
    double maxOwnMs = 0, worstOwnAtMs = 0;
    std::size_t machineWaits = 0;  // round trips the own window waited with
    std::vector<Stall> stalls;

    // Keeps the worse of two runs' figures.
    void Merge(const Stats& other) {
      samples += other.samples;
      if (other.maxMs > maxMs) {
        maxMs = other.maxMs;
        worstAtMs = other.worstAtMs;
      }
      if (other.maxOutsideSavesMs > maxOutsideSavesMs) {
        maxOutsideSavesMs = other.maxOutsideSavesMs;
        worstOutsideSavesAtMs = other.worstOutsideSavesAtMs;
      }
      if (other.maxOwnMs > maxOwnMs) {
        maxOwnMs = other.maxOwnMs;
        worstOwnAtMs = other.worstOwnAtMs;
      }
      hiveSaves += other.hiveSaves;
      machineWaits += other.machineWaits;
      p99Ms = std::max(p99Ms, other.p99Ms);
      stalls.insert(stalls.end(), other.stalls.begin(), other.stalls.end());
    }
  };
  // Round trips sent between from and to (NowMs times); a send still waiting
  // counts with the time it has waited so far.
  Stats Between(double from, double to) {
    std::vector<double> v;
    Stats s;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto add = [&](const Sample& r) {
        v.push_back(r.ms);
        if (r.ms > s.maxMs) {
          s.maxMs = r.ms;
          s.worstAtMs = r.sent - from;
        }
        if (r.hiveSave) {
          ++s.hiveSaves;
          return;
        }
        if (r.ms > s.maxOutsideSavesMs) {
          s.maxOutsideSavesMs = r.ms;
          s.worstOutsideSavesAtMs = r.sent - from;
        }
        // Only a slow one is looked up: the look walks the other samples.
        if (r.ms >= kSampleAfterMs / 4 &&
            m_control.LongestOverlapping(r.sent, r.sent + r.ms) >= r.ms / 2) {
          ++s.machineWaits;
        } else if (r.ms > s.maxOwnMs) {
          s.maxOwnMs = r.ms;
          s.worstOwnAtMs = r.sent - from;
        }
      };
      for (const Sample& r : m_samples) {
        if (r.sent >= from && r.sent <= to) add(r);
      }
      if (m_pendingSince > 0 && m_pendingSince <= to) {
        add({m_pendingSince, NowMs() - m_pendingSince, false});
      }
      for (const auto& [sent, stall] : m_stalls) {
        if (sent < from || sent > to) continue;
        s.stalls.push_back(stall);
        Stall& kept = s.stalls.back();
        kept.sentMs = sent - from;
        // Its round trip, once it has come back (the look may end after it).
        const auto done = std::lower_bound(
            m_samples.begin(), m_samples.end(), sent,
            [](const Sample& r, double t) { return r.sent < t; });
        if (done != m_samples.end() && done->sent == sent) {
          kept.ms = done->ms;
          kept.hiveSave = done->hiveSave;
          kept.cpuMs = done->cpuMs;
        } else {
          kept.ms = NowMs() - sent;
        }
        kept.controlMs = m_control.LongestOverlapping(sent, sent + kept.ms);
      }
    }
    s.samples = v.size();
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.p99Ms = v[std::min(v.size() - 1, static_cast<std::size_t>(v.size() * 0.99))];
    return s;
  }

 private:
  struct Sample {
    double sent = 0, ms = 0;
    bool hiveSave = false;
    double cpuMs = -1;  // kept for slow ones only
  };
  void Run() {
    while (!m_stop) {
      // The interface thread's CPU time tells a stall it spent working from
      // one it spent waiting (for Wine's server, the X server, a processor).
      // Read before the clock starts: the read itself goes through Wine's
      // server.
      const double cpuBefore = m_interface ? ThreadCpuMs(m_interface) : -1;
      const double sent = NowMs();
      const unsigned long long sentTicks = SystemTicks();
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingSince = sent;
        m_pendingTicks = sentTicks;
      }
      DWORD_PTR result = 0;
      SendMessageTimeoutW(m_target, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result);
      const double ms = NowMs() - sent;
      const double cpuMs = ms >= kSampleAfterMs && cpuBefore >= 0 && m_interface
                               ? ThreadCpuMs(m_interface) - cpuBefore
                               : -1;
      // Only a slow one is worth the look at the files.
      const bool saved = ms >= kSampleAfterMs / 4 && m_hives.SavedBetween(sentTicks, SystemTicks());
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingSince = 0;
        m_samples.push_back({sent, ms, saved, cpuMs});
      }
      Sleep(25);
    }
  }
  void Watch() {
    double sampledSend = 0;
    int taken = 0;
    while (!m_stop) {
      Sleep(5);
      double pending;
      unsigned long long pendingTicks;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending = m_pendingSince;
        pendingTicks = m_pendingTicks;
      }
      if (pending == 0) continue;
      if (pending != sampledSend) {
        sampledSend = pending;
        taken = 0;
      }
      const double waited = NowMs() - pending;
      if (taken >= kSamplesPerSend || waited < kSampleAfterMs + taken * kSampleEveryMs) continue;
      const double t0 = NowMs();
      std::string sample = m_sampler.Sample();
      // Wine stops a thread only once it takes the signal for it: a look
      // that waits (a long host-side call, or a busy machine) sees what
      // the thread did after, perhaps once the round trip was answered.
      const double lookMs = NowMs() - t0;
      char head[96];
      std::snprintf(head, sizeof head, "at %.0f ms (the look took %.0f ms%s): ", waited, lookMs,
                    lookMs > 20 ? ", late" : "");
      sample = head + sample;
      ++taken;
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_stalls.empty() || m_stalls.back().first != pending) {
        m_stalls.emplace_back(pending, Stall{});
        m_stalls.back().second.sentTicks = pendingTicks;
      }
      m_stalls.back().second.samples.push_back(sample);
    }
  }
  static HANDLE OpenInterfaceThread(HWND window) {
    const DWORD tid = GetWindowThreadProcessId(window, nullptr);
    return tid ? OpenThread(THREAD_QUERY_INFORMATION, FALSE, tid) : nullptr;
  }
  HWND m_target;
  CControlPinger m_control;  // before the threads that read it
  HANDLE m_interface = OpenInterfaceThread(m_target);
  CHiveSaves m_hives;
  CStallSampler m_sampler;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<Sample> m_samples;
  std::vector<std::pair<double, Stall>> m_stalls;  // by the NowMs time of their send
  double m_pendingSince = 0;
  unsigned long long m_pendingTicks = 0;
  std::thread m_thread;
  std::thread m_watcher;
};

// Lets Wine's server write what a benchmark's set-up changed in the registry
// before a timed phase starts (see CHiveSaves::WaitForNextSave), and says
// how long that took. Its mark stays until the program ends.
inline void WaitForRegistrySave(const char* page, const char* before) {
  static CHiveSaves hives;
  const double t0 = NowMs();
  const bool saved = hives.WaitForNextSave();
  if (saved) {
    std::printf("%s: Wine's server saved the registry %.1f s before %s\n", page,
                (NowMs() - t0) / 1000, before);
  } else {
    std::printf("%s: no registry save of Wine's server seen in %.1f s before %s\n", page,
                (NowMs() - t0) / 1000, before);
  }
  std::fflush(stdout);
}

// Two lines and then one for each round trip that waited kSampleAfterMs or
// more (at most kMaxStallsShown): the worst round trip, and the worst one
// inside which Wine's server finished no registry save.
inline void PrintRoundTrips(const char* page, const char* what, const CPinger::Stats& s) {
  constexpr std::size_t kMaxStallsShown = 12;
  std::printf(
      "%s round trips %s: max %.1f ms, p99 %.1f ms (%zu WM_NULL sends every 25 ms, the slowest "
      "sent at %.1f s; limit %.0f ms)\n",
      page, what, s.maxMs, s.p99Ms, s.samples, s.worstAtMs / 1000, kMaxRoundTripMs);
  std::printf(
      "%s round trips %s outside registry saves: max %.1f ms (sent at %.1f s); %zu round trips "
      "waited for a registry save of Wine's server\n",
      page, what, s.maxOutsideSavesMs, s.worstOutsideSavesAtMs / 1000, s.hiveSaves);
  std::printf(
      "%s round trips %s outside registry saves and waits of the machine: max %.1f ms (sent at "
      "%.1f s); %zu slow round trips had an idle window of this program wait half as long or more "
      "(Wine's server or the machine held both)\n",
      page, what, s.maxOwnMs, s.worstOwnAtMs / 1000, s.machineWaits);
  std::size_t shown = 0;
  for (const CPinger::Stall& stall : s.stalls) {
    if (shown++ == kMaxStallsShown) {
      std::printf("%s   ... %zu more\n", page, s.stalls.size() - kMaxStallsShown);
      break;
    }
    FILETIME ft{static_cast<DWORD>(stall.sentTicks), static_cast<DWORD>(stall.sentTicks >> 32)};
    SYSTEMTIME utc{};
    FileTimeToSystemTime(&ft, &utc);
    char cpu[64] = "";
    if (stall.cpuMs >= 0) std::snprintf(cpu, sizeof cpu, "; interface thread CPU %.0f ms", stall.cpuMs);
    std::printf(
        "%s   stall of %.1f ms sent at %.2f s (%02u:%02u:%02u.%03u UTC)%s; this program's own "
        "window waited up to %.1f ms meanwhile%s\n",
        page, stall.ms, stall.sentMs / 1000, utc.wHour, utc.wMinute, utc.wSecond,
        utc.wMilliseconds, cpu, stall.controlMs,
        stall.hiveSave ? ", a registry save ended inside it" : "");
    for (const std::string& sample : stall.samples) std::printf("%s     %s\n", page, sample.c_str());
  }
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
