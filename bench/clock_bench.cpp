// The time client against ntpsec's ntpdig, both asking a private chronyd on
// 127.0.0.1:123 (ntpdig asks no other port): the median time of one query
// and the offsets both report, which must agree within a millisecond.
// Started and stopped here: chronyd (with -x, so the clock is never touched).
// TW_CLOCK_BENCH_QUERIES sets the number of queries of each side (1000).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "clock_sync/time_sync_client.h"
#include "platform/system_clock.h"

extern char** environ;

namespace {

std::string RepoRoot() {
  std::string file = __FILE__;  // .../bench/clock_bench.cpp
  return file.substr(0, file.rfind("/bench/"));
}

// Runs a program and returns what it printed; false when it failed.
bool RunCapture(const std::vector<std::string>& argv, std::string* out) {
  int fds[2];
  // Close-on-exec, so that a daemon the program leaves running does not
  // keep the pipe open.
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  const int e = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (e != 0) {
    close(fds[0]);
    return false;
  }
  out->clear();
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out->append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool JsonNumber(const std::string& json, const std::string& key, double* value) {
  const std::size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return false;
  *value = std::atof(json.c_str() + at + key.size() + 3);
  return true;
}

}  // namespace

int main() {
  int queries = 1000;
  if (const char* n = std::getenv("TW_CLOCK_BENCH_QUERIES")) queries = std::max(1, std::atoi(n));

  const std::string script = RepoRoot() + "/scripts/chronyd-test.sh";
  const std::string dir = RepoRoot() + "/build/native/clock_bench_chronyd";
  std::string started;
  if (!RunCapture({script, "start", dir, "123"}, &started)) {
    std::printf("clock: FAILED to start chronyd on 127.0.0.1:123\n");
    return 1;
  }

  tw::CTimeSyncClient client(tw::GetMachineClock());
  std::vector<double> oursMs, digMs, oursOffset, digOffset;
  int failures = 0;
  for (int i = 0; i < queries; ++i) {
    // One of each per round, alternating which goes first.
    for (int side = 0; side < 2; ++side) {
      const bool ours = (side == 0) == (i % 2 == 0);
      const auto start = std::chrono::steady_clock::now();
      double offset = 0;
      bool ok;
      if (ours) {
        tw::TimeQueryResult r;
        ok = client.QueryServer("127.0.0.1", &r, 123);
        offset = r.dOffset;
      } else {
        std::string json;
        ok = RunCapture({"setpriv", "--bounding-set", "-sys_time", "--inh-caps", "-sys_time",
                         "ntpdig", "-j", "127.0.0.1"},
                        &json) &&
             JsonNumber(json, "offset", &offset);
      }
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      if (!ok) {
        ++failures;
        continue;
      }
      (ours ? oursMs : digMs).push_back(ms);
      (ours ? oursOffset : digOffset).push_back(offset);
    }
  }
  std::string ignored;
  RunCapture({script, "stop", dir}, &ignored);

  if (oursMs.empty() || digMs.empty()) {
    std::printf("clock: FAILED, no successful queries (%d failures)\n", failures);
    return 1;
  }
  const double oursMedian = tw::bench::Median(oursMs), digMedian = tw::bench::Median(digMs);
  const double oursOff = tw::bench::Median(oursOffset), digOff = tw::bench::Median(digOffset);
  std::printf(
      "clock query vs ntpdig: ratio %.4f (candidate %.3f ms, baseline %.3f ms per query, "
      "incl. its process start; median of %zu and %zu queries, %d failed)\n",
      oursMedian / digMedian, oursMedian, digMedian, oursMs.size(), digMs.size(), failures);
  std::printf("clock offsets: ours %+.6f s, ntpdig %+.6f s (medians), difference %.3f ms\n",
              oursOff, digOff, std::fabs(oursOff - digOff) * 1000);
  int rc = 0;
  if (std::fabs(oursOff - digOff) >= 0.001) {
    std::printf("clock: offsets differ by 1 ms or more\n");
    rc = 1;
  }
  if (failures) rc = 1;
  return rc;
}
