#include "clock_sync/clock_synchroniser.h"

#include <cmath>

#include "clock_sync/message_format.h"
#include "clock_sync/time_sync_client.h"
#include "platform/socket.h"

namespace tw {
namespace {

constexpr std::uint16_t kWinsock11 = 0x0101;

std::vector<FormatArg> CalendarArgs(const CNetworkTimestamp& t) {
  SystemTime st;
  t.ToCalendar(&st);
  return {static_cast<long long>(st.wDay),         static_cast<long long>(st.wMonth),
          static_cast<long long>(st.wYear),        static_cast<long long>(st.wHour),
          static_cast<long long>(st.wMinute),      static_cast<long long>(st.wSecond),
          static_cast<long long>(st.wMilliseconds)};
}

}  // namespace

unsigned RejectedReplyTextId(long reason) {
  if (reason < kSntpErrorShortReply || reason > kSntpErrorZeroTransmit) return 0;
  return kIdsReplyShort + static_cast<unsigned>(reason - kSntpErrorShortReply);
}

bool MayCorrectClock(double offsetSeconds) {
  return std::fabs(offsetSeconds) < kMaxClockCorrection;  // false for NaN too
}

long IClockSyncView::StartNetwork(std::uint16_t* granted) {
  return SocketStartup(kWinsock11, granted);
}

void IClockSyncView::StopNetwork() { SocketCleanup(); }

void SynchroniseClock(const TimeServer& server, ISystemClock& clock, IClockSyncView& view) {
  std::uint16_t granted = 0;
  if (view.StartNetwork(&granted) != 0) {
    view.SetLog(view.LoadText(kIdsWinsockLoadFailed));
    return;
  }
  if (granted != kWinsock11) {
    view.SetLog(view.LoadText(kIdsWinsockVersion));
    view.StopNetwork();  // it did start, so it is stopped again
    return;
  }

  CTimeSyncClient client(clock);
  TimeQueryResult result;
  if (!client.QueryServer(server.host, &result, server.port)) {
    const long error = client.GetLastError();
    // Our own reasons are no system error numbers: a user could look up
    // 536870913 nowhere, so they are said in words.
    if (const unsigned reason = RejectedReplyTextId(error)) {
      view.SetLog(
          FormatText(view.LoadText(kIdsReplyRejected), {server.host, view.LoadText(reason)}));
    } else {
      view.SetLog(
          FormatText(view.LoadText(kIdsQueryFailed), {server.host, static_cast<long long>(error)}));
    }
    view.StopNetwork();
    return;
  }

  // Each line goes into the box as soon as it is known.
  auto append = [&view](const std::string& text) { view.SetLog(view.GetLog() + text); };
  view.SetLog(FormatText(view.LoadText(kIdsTimeObtained), {server.host}));
  append(FormatText(view.LoadText(kIdsComputerTime), CalendarArgs(result.computerTime)));
  append(FormatText(view.LoadText(kIdsServerTime), CalendarArgs(result.serverTime)));
  append("\r\n" + FormatText(view.LoadText(kIdsDelay), {result.dDelay}));
  append("\r\n" + FormatText(view.LoadText(kIdsOffset), {result.dOffset}));

  unsigned verdict;
  if (!MayCorrectClock(result.dOffset)) {
    verdict = kIdsOffsetTooLarge;
  } else {
    // A fresh reading: the report took time since the reply came.
    const CNetworkTimestamp corrected = CNetworkTimestamp::Now(clock).PlusSeconds(result.dOffset);
    verdict = client.SetSystemClock(corrected) ? kIdsSyncSucceeded : kIdsSetTimeFailed;
  }
  append("\r\n" + view.LoadText(verdict));
  view.StopNetwork();
}

}  // namespace tw
