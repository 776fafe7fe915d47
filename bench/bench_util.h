// Benchmarks report a ratio: the code under test against a baseline measured
// in the same run, on the same machine, interleaved, so that a busy or slow
// machine moves both sides alike. Absolute times are printed for context only.
//
// Pattern (see skeleton_bench.cpp):
//   auto r = tw::bench::Compare("LowerCase vs byte loop",
//                               [&] { baseline(); }, [&] { candidate(); });
//   tw::bench::Print(r);
//   return tw::bench::Check(r, 1.5);  // non-zero exit when the ratio is above 1.5
//
// Both builds compile this header (natively and with mingw-w64).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace tw::bench {

struct Result {
  std::string name;
  double baselineNs = 0;   // median time of one baseline call
  double candidateNs = 0;  // median time of one candidate call
  double ratio = 0;        // median of the per-round ratios candidate / baseline
  int rounds = 0;
  long long callsPerRound = 0;
};

// Keeps the compiler from dropping a computation whose result is unused.
template <typename T>
inline void KeepAlive(const T& value) {
#if defined(__GNUC__)
  asm volatile("" : : "g"(&value) : "memory");
#else
  static volatile const void* sink;
  sink = &value;
#endif
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Nanoseconds that `calls` calls of f take.
inline double TimeCalls(const std::function<void()>& f, long long calls) {
  const auto start = std::chrono::steady_clock::now();
  for (long long i = 0; i < calls; ++i) f();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(end - start).count();
}

// Times baseline and candidate in `rounds` alternating rounds. Each round
// calls a function often enough to last about roundMs (found by warming up
// the baseline), so short functions are measured over many calls.
inline Result Compare(const std::string& name, const std::function<void()>& baseline,
                      const std::function<void()>& candidate, int rounds = 15,
                      double roundMs = 20) {
  Result r;
  r.name = name;
  r.rounds = rounds;
  long long calls = 1;
  // Warm-up: caches, lazy initialisation, and the calls per round.
  while (calls < (1LL << 40)) {
    const double ns = TimeCalls(baseline, calls);
    if (ns >= roundMs * 1e6 / 4) {
      calls = std::max<long long>(1, static_cast<long long>(calls * (roundMs * 1e6 / ns)));
      break;
    }
    calls *= 4;
  }
  TimeCalls(candidate, std::max<long long>(1, calls / 4));
  r.callsPerRound = calls;
  std::vector<double> base, cand, ratios;
  for (int i = 0; i < rounds; ++i) {
    // Alternate which side goes first so neither always runs on a warm cache.
    double b, c;
    if (i % 2) {
      c = TimeCalls(candidate, calls);
      b = TimeCalls(baseline, calls);
    } else {
      b = TimeCalls(baseline, calls);
      c = TimeCalls(candidate, calls);
    }
    base.push_back(b / calls);
    cand.push_back(c / calls);
    ratios.push_back(b > 0 ? c / b : 0);
  }
  r.baselineNs = Median(base);
  r.candidateNs = Median(cand);
  r.ratio = Median(ratios);
  return r;
}

// Times two shell commands (or, in the Windows build, cmd.exe commands) the
// same way, one run of each per round.
inline Result CompareCommands(const std::string& name, const std::string& baselineCmd,
                              const std::string& candidateCmd, int rounds = 5) {
  int failures = 0;
  auto run = [&failures](const std::string& cmd) {
    return [&failures, cmd] {
      if (std::system(cmd.c_str()) != 0) ++failures;
    };
  };
  Result r = Compare(name, run(baselineCmd), run(candidateCmd), rounds, 0);
  if (failures) std::fprintf(stderr, "%s: %d command runs failed\n", name.c_str(), failures);
  return r;
}

inline std::string FormatNs(double ns) {
  char buf[32];
  if (ns >= 1e9) std::snprintf(buf, sizeof buf, "%.2f s", ns / 1e9);
  else if (ns >= 1e6) std::snprintf(buf, sizeof buf, "%.2f ms", ns / 1e6);
  else if (ns >= 1e3) std::snprintf(buf, sizeof buf, "%.2f us", ns / 1e3);
  else std::snprintf(buf, sizeof buf, "%.1f ns", ns);
  return buf;
}

// One line per comparison, the ratio first: "name: ratio 1.08 (...)".
inline void Print(const Result& r) {
  std::printf("%s: ratio %.2f (candidate %s, baseline %s per call; median of %d rounds of %lld)\n",
              r.name.c_str(), r.ratio, FormatNs(r.candidateNs).c_str(),
              FormatNs(r.baselineNs).c_str(), r.rounds, r.callsPerRound);
  std::fflush(stdout);
}

// Exit code for a benchmark with a target: 0 when the ratio is within
// maxRatio, 1 (with a message) when it is not.
inline int Check(const Result& r, double maxRatio) {
  if (r.ratio <= maxRatio) return 0;
  std::printf("%s: ratio %.2f is above the target %.2f\n", r.name.c_str(), r.ratio, maxRatio);
  return 1;
}

}  // namespace tw::bench
