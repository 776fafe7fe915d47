// One SNTP query (client mode, version 3, UDP) and the setting of the system
// clock with the measured offset.
#pragma once

#include <cstdint>
#include <string>

#include "clock_sync/network_timestamp.h"
#include "platform/system_clock.h"

namespace tw {

// Reasons a reply is not used. They sit in the range Windows leaves to
// applications (bit 29), so they never read as a system error. The report
// says each in words (RejectedReplyTextId).
enum : long {
  kSntpErrorShortReply = 0x20000001,      // fewer than 48 bytes
  kSntpErrorWrongOriginate = 0x20000002,  // not the answer to our request
  kSntpErrorWrongMode = 0x20000003,       // not a server's answer (mode 4)
  kSntpErrorUnsynchronised = 0x20000004,  // leap indicator 3: the server's clock is not set
  kSntpErrorKissOfDeath = 0x20000005,     // stratum 0: the server refuses service
  kSntpErrorBadStratum = 0x20000006,      // stratum above 15
  kSntpErrorZeroTransmit = 0x20000007,    // no transmit timestamp
};

constexpr int kSntpPort = 123;
constexpr std::size_t kSntpRequestSize = 48;
// The header plus room for a key identifier and a digest, which are ignored.
constexpr std::size_t kSntpReplyBufferSize = 68;

struct TimeQueryResult {
  std::int32_t nLeapIndicator = 0;
  std::int32_t nStratum = 0;
  // The server's time in the local time zone (the reading at the reply moved
  // by the offset). Holds the originate timestamp T1 while the query runs.
  CNetworkTimestamp serverTime;
  CNetworkTimestamp receiveTime;   // T2, as the server sent it
  CNetworkTimestamp transmitTime;  // T3, as the server sent it
  // The local-time-zone reading at the reply. Holds T4 (UTC) while the
  // query runs.
  CNetworkTimestamp computerTime;
  double dDelay = 0;   // round trip, seconds
  double dOffset = 0;  // seconds; positive when the server is ahead
};

// Checks a reply against the request it answers. 0 when it may be used,
// otherwise one of the kSntpError reasons.
long CheckReply(const std::uint8_t* reply, std::size_t size, const CNetworkTimestamp& requestSent);

class CTimeSyncClient {
 public:
  explicit CTimeSyncClient(ISystemClock& clock);
  virtual ~CTimeSyncClient();
  CTimeSyncClient(const CTimeSyncClient&) = delete;
  CTimeSyncClient& operator=(const CTimeSyncClient&) = delete;

  // Asks host:port once. On false GetLastError() holds the reason: the
  // socket's Winsock error, 10060 when no reply came in time, or a
  // kSntpError reason for a reply that was not used. The socket layer must
  // be started (SocketStartup) by the caller.
  bool QueryServer(const std::string& host, TimeQueryResult* result, int port);

  // Sets the system clock (UTC), with the system-time privilege enabled for
  // just that call.
  bool SetSystemClock(const CNetworkTimestamp& utc);
  bool EnableClockPrivilege();
  void RestoreClockPrivilege();

  long GetLastError() const { return m_nLastError; }
  std::uint32_t GetTimeout() const { return m_nTimeoutMs; }

 private:
  std::uint32_t m_nTimeoutMs = 5000;
  TokenHandle m_hToken = 0;
  struct {
    std::uint32_t count = 0;
    Luid luid;
    std::uint32_t attributes = 0;
  } m_privileges;
  std::int32_t m_bPrivilegeEnabled = 0;

  ISystemClock& m_clock;
  long m_nLastError = 0;
};

}  // namespace tw
