// The host clock for the native build. It is read, never set: the native
// build runs tests and benchmarks, which must leave the machine's time alone.
#include <ctime>

#include "clock_sync/network_timestamp.h"
#include "platform/system_clock.h"

namespace tw {
namespace {

class CPosixClock : public ISystemClock {
 public:
  SystemTime GetSystemTime() override { return Read(false); }
  bool GetPreciseSystemTime(std::int64_t* seconds, std::uint32_t* nanoseconds) override {
    timespec ts{};
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return false;
    *seconds = ts.tv_sec;
    *nanoseconds = static_cast<std::uint32_t>(ts.tv_nsec);
    return true;
  }
  SystemTime GetLocalTime() override { return Read(true); }
  long SetSystemTime(const SystemTime&) override { return kErrorPrivilegeNotHeld; }
  // No token model here; setting is refused by SetSystemTime itself.
  long OpenProcessToken(TokenHandle*) override { return kErrorCallNotImplemented; }
  void CloseToken(TokenHandle) override {}
  long LookupPrivilegeValue(const std::string&, Luid*) override { return kErrorCallNotImplemented; }
  long AdjustTokenPrivileges(TokenHandle, const Luid&, std::uint32_t) override {
    return kErrorCallNotImplemented;
  }

 private:
  static SystemTime Read(bool local) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::int64_t seconds = ts.tv_sec;
    if (local) {
      tm parts{};
      localtime_r(&ts.tv_sec, &parts);
      seconds += parts.tm_gmtoff;
    }
    SystemTime st;
    TimestampFromUnix(seconds, static_cast<std::uint32_t>(ts.tv_nsec)).ToCalendar(&st);
    return st;
  }
};

}  // namespace

ISystemClock& GetMachineClock() {
  static CPosixClock clock;
  return clock;
}

}  // namespace tw
