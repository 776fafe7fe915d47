// What a click on the clock page's synchronise button does, apart from the
// window itself: start the socket layer, ask the server, write the report
// into the log line by line, correct the clock, stop the socket layer.
#pragma once

#include <cstdint>
#include <string>

#include "clock_sync/time_servers.h"
#include "platform/system_clock.h"

namespace tw {

// String-table ids of the report.
enum : unsigned {
  kIdsWinsockLoadFailed = 57716,  // "Winsock stack 装入失败\n"
  kIdsWinsockVersion = 57717,     // "Winsock stack 版本不支持\n"
  kIdsTimeObtained = 57718,       // host
  kIdsComputerTime = 57719,       // day, month, year, hour, minute, second, ms
  kIdsServerTime = 57720,         // same order
  kIdsDelay = 57721,              // seconds
  kIdsOffset = 57722,             // seconds
  kIdsSyncSucceeded = 57723,
  kIdsSetTimeFailed = 57724,
  kIdsOffsetTooLarge = 57725,
  kIdsQueryFailed = 57726,  // host, error number
};

// An offset this large (either way) is never applied.
constexpr double kMaxClockCorrection = 3600.0;
// True for an offset below the limit (and a number at all).
bool MayCorrectClock(double offsetSeconds);

// The page as the handler sees it.
class IClockSyncView {
 public:
  virtual ~IClockSyncView() = default;
  virtual std::string LoadText(unsigned id) = 0;
  virtual std::string GetLog() = 0;
  virtual void SetLog(const std::string& text) = 0;
  // WSAStartup for version 1.1 and WSACleanup.
  virtual long StartNetwork(std::uint16_t* granted);
  virtual void StopNetwork();
};

// One synchronisation with the server. The final line tells the user
// whether the clock was set (57723), could not be set (57724) or was too
// far off to be trusted (57725); a failure before the report replaces the
// log with one line (57716, 57717 or 57726).
void SynchroniseClock(const TimeServer& server, ISystemClock& clock, IClockSyncView& view);

}  // namespace tw
