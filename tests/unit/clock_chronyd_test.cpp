// The client against a real NTP server: a private chronyd on loopback,
// started and stopped by this test through scripts/chronyd-test.sh.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "clock_sync/clock_synchroniser.h"
#include "clock_sync/time_sync_client.h"
#include "platform/memory/system_clock_memory.h"
#include "platform/system_clock.h"
#include "unit/clock_test_checks.h"

namespace tw {
namespace {

// Not __FILE__: with a compiler cache's base folder it is relative to the
// build folder, and the tests may run from anywhere.
std::string RepoRoot() { return TW_SOURCE_DIR; }

class ClockChronyd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Its state stays in the build folder, like everything else of a run.
    std::string dir = TW_NATIVE_BUILD_DIR "/chronyd-XXXXXX";
    if (!mkdtemp(dir.data())) return;
    s_dir = dir;
    const std::string cmd = RepoRoot() + "/scripts/chronyd-test.sh start " + s_dir;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return;
    char line[64] = {};
    if (fgets(line, sizeof line, p)) s_port = std::atoi(line);
    if (pclose(p) != 0) s_port = 0;
  }
  static void TearDownTestSuite() {
    if (s_dir.empty()) return;
    const std::string cmd =
        RepoRoot() + "/scripts/chronyd-test.sh stop " + s_dir + " && rm -rf " + s_dir;
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "chronyd did not stop";
  }
  void SetUp() override { ASSERT_NE(s_port, 0) << "chronyd did not start"; }

  static inline std::string s_dir;
  static inline int s_port = 0;
};

TEST_F(ClockChronyd, OffsetNearZeroAndDelaySmall) {
  const std::vector<TimeQueryResult> replies = test::QueryTheLocalChronyd(s_port);
  EXPECT_EQ(replies.size(), 5u);
  for (const TimeQueryResult& r : replies) EXPECT_EQ(r.nLeapIndicator, 0);
}

TEST_F(ClockChronyd, ReportAgainstAFakeClockCorrectsIt) {
  CMemorySystemClock clock;
  clock.m_dSkew = 12.25;
  struct View : IClockSyncView {
    std::string LoadText(unsigned id) override { return id == kIdsOffset ? "%f" : ""; }
    std::string GetLog() override { return log; }
    void SetLog(const std::string& t) override { log = t; }
    std::string log;
  } view;
  SynchroniseClock({"127.0.0.1", "", s_port}, clock, view);
  EXPECT_NEAR(std::atof(view.log.c_str() + view.log.find('-')), -12.25, 0.02) << view.log;
  EXPECT_NEAR(clock.m_dSkew, 0.0, 0.02);
}

TEST_F(ClockChronyd, TheMachineClockIsNeverSetByTheNativeBuild) {
  CTimeSyncClient client(GetMachineClock());
  EXPECT_FALSE(client.SetSystemClock(CNetworkTimestamp::Now(GetMachineClock())));
}

// Runs the script with everything it prints; answers its exit code.
int RunScript(const std::string& args, std::string* said) {
  FILE* p = popen((RepoRoot() + "/scripts/chronyd-test.sh " + args + " 2>&1").c_str(), "r");
  if (!p) return -1;
  said->clear();
  char buf[512];
  while (fgets(buf, sizeof buf, p)) *said += buf;
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A process of this test that the script has no business stopping.
pid_t StartBystander() {
  const pid_t pid = fork();
  if (pid == 0) {
    for (int fd = 3; fd < 256; ++fd) close(fd);  // no port of the test's
    pause();
    _exit(0);
  }
  return pid;
}

bool Alive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0 && kill(pid, 0) == 0; }

void WriteFile(const std::string& path, const std::string& text) {
  if (FILE* f = fopen(path.c_str(), "w")) {
    fputs(text.c_str(), f);
    fclose(f);
  }
}

// The script stops only the chronyd it started from its folder: a port
// another program holds is named and waited on by the caller, a pid file
// whose number another process has by now leaves that process running, and
// chronyd's own stale pid file does not keep the next one from starting.
TEST(ChronydScript, LeavesEveryProcessButItsOwnChronydAlone) {
  struct Case {
    const char* name;
    // Readies the folder (and the port) for the command; answers the port to give.
    std::function<int(const std::string& dir, pid_t bystander, int heldPort)> setUp;
    const char* command;
    int exitCode;
    const char* said;  // part of what it prints
  };
  const Case cases[] = {
      {"port held by another program",
       [](const std::string&, pid_t, int heldPort) { return heldPort; }, "start", 3,
       "is taken by \"unit_tests\",pid="},
      {"pid file naming another process",
       [](const std::string& dir, pid_t bystander, int) {
         WriteFile(dir + "/chronyd.pid", std::to_string(bystander) + "\n");
         return 0;
       },
       "stop", 0, "no longer its chronyd; left alone"},
      {"chronyd's own pid file naming another process",
       [](const std::string& dir, pid_t bystander, int) {
         WriteFile(dir + "/chronyd.pid.chrony", std::to_string(bystander) + "\n");
         return 0;
       },
       "start", 0, ""},
  };
  // A UDP port on loopback that this test process holds throughout.
  const int held = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(bind(held, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(getsockname(held, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  const int heldPort = ntohs(addr.sin_port);

  for (const Case& c : cases) {
    std::string dir = TW_NATIVE_BUILD_DIR "/chronyd-script-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir.data()));
    const pid_t bystander = StartBystander();
    ASSERT_GT(bystander, 0);
    const int port = c.setUp(dir, bystander, heldPort);
    std::string said;
    const int code =
        RunScript(std::string(c.command) + " " + dir + (port ? " " + std::to_string(port) : ""),
                  &said);
    EXPECT_EQ(code, c.exitCode) << c.name << ": " << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
    EXPECT_TRUE(Alive(bystander)) << c.name;
    std::string ignored;
    EXPECT_EQ(RunScript("stop " + dir, &ignored), 0) << c.name << ": " << ignored;
    EXPECT_TRUE(Alive(bystander)) << c.name << ", after the last stop";
    kill(bystander, SIGKILL);
    waitpid(bystander, nullptr, 0);
    std::system(("rm -rf " + dir).c_str());
  }
  close(held);
}

}  // namespace
}  // namespace tw
