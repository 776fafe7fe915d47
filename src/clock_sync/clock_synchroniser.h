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
  // A reply that came but was not used: host, then the reason in words, one
  // text per kSntpError reason in their order.
  kIdsReplyRejected = 57870,
  kIdsReplyShort = 57871,
  kIdsReplyWrongOriginate = 57872,
  kIdsReplyWrongMode = 57873,
  kIdsReplyUnsynchronised = 57874,
  kIdsReplyKissOfDeath = 57875,
  kIdsReplyBadStratum = 57876,
  kIdsReplyZeroTransmit = 57877,
};

// The text that says why a reply was not used, or 0 when `reason` is no
// kSntpError reason (a Winsock error, shown as its number).
unsigned RejectedReplyTextId(long reason);

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
// log with one line (57716, 57717, 57726 with the error number, or 57870
// with the reason a reply was not used).
void SynchroniseClock(const TimeServer& server, ISystemClock& clock, IClockSyncView& view);

}  // namespace tw
