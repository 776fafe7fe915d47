#include "clock_sync/time_sync_client.h"

#include <cstring>
#include <memory>

#include "platform/socket.h"

namespace tw {
namespace {

std::uint32_t ReadWord(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);  // still in network order
  return v;
}

CNetworkTimestamp ReadTimestamp(const std::uint8_t* p) {
  CNetworkTimestamp t;
  t.FromNetwork(ReadWord(p), ReadWord(p + 4));
  return t;
}

}  // namespace

long CheckReply(const std::uint8_t* reply, std::size_t size, const CNetworkTimestamp& requestSent) {
  // A reply is input from the network: anyone who answers first could
  // otherwise move the clock by up to an hour. These are the checks a
  // simple client owes its server's answer.
  if (size < kSntpRequestSize) return kSntpErrorShortReply;
  if (!(ReadTimestamp(reply + 24) == requestSent)) return kSntpErrorWrongOriginate;
  // A unicast query is answered in server mode (4); a broadcast (5) or
  // anything else may be any host's packet that happens to match.
  if ((reply[0] & 0x07) != 4) return kSntpErrorWrongMode;
  if ((reply[0] >> 6) == 3) return kSntpErrorUnsynchronised;
  if (reply[1] == 0) return kSntpErrorKissOfDeath;
  if (reply[1] > 15) return kSntpErrorBadStratum;
  if (ReadTimestamp(reply + 40).IsZero()) return kSntpErrorZeroTransmit;
  return 0;
}

CTimeSyncClient::CTimeSyncClient(ISystemClock& clock) : m_clock(clock) {}

CTimeSyncClient::~CTimeSyncClient() { RestoreClockPrivilege(); }

bool CTimeSyncClient::QueryServer(const std::string& host, TimeQueryResult* result, int port) {
  auto socket = std::make_unique<CDatagramSocket>();
  if (!socket->Create()) {
    m_nLastError = socket->LastError();
    return false;
  }
  if (!socket->Connect(host, port)) {
    m_nLastError = socket->LastError();
    return false;
  }

  std::uint8_t request[kSntpRequestSize] = {};
  request[0] = 0x1B;  // leap indicator 0, version 3, mode 3 (client)
  const CNetworkTimestamp sent = CNetworkTimestamp::Now(m_clock);
  std::uint32_t secondsBE, fractionBE;
  sent.ToNetwork(&secondsBE, &fractionBE);
  std::memcpy(request + 40, &secondsBE, 4);
  std::memcpy(request + 44, &fractionBE, 4);
  if (!socket->Send(request, sizeof request)) {
    m_nLastError = socket->LastError();
    return false;
  }

  bool readable = false;
  if (!socket->WaitReadable(m_nTimeoutMs, &readable) || !readable) {
    m_nLastError = kWsaETimedOut;
    return false;
  }
  // The destination timestamp is taken before the reply is read, and the
  // local reading right after it.
  const CNetworkTimestamp t4 = CNetworkTimestamp::Now(m_clock);
  CNetworkTimestamp local;
  local.FromCalendar(m_clock.GetLocalTime());

  std::uint8_t reply[kSntpReplyBufferSize] = {};
  const int got = socket->Receive(reply, sizeof reply);
  if (got < 0) {
    m_nLastError = socket->LastError();
    return false;
  }
  if (const long rejected = CheckReply(reply, static_cast<std::size_t>(got), sent)) {
    m_nLastError = rejected;
    return false;
  }

  result->nLeapIndicator = reply[0] >> 6;
  result->nStratum = reply[1];
  result->serverTime = ReadTimestamp(reply + 24);  // T1
  result->receiveTime = ReadTimestamp(reply + 32);
  result->transmitTime = ReadTimestamp(reply + 40);
  result->computerTime = t4;
  const CNetworkTimestamp& t1 = result->serverTime;
  const CNetworkTimestamp& t2 = result->receiveTime;
  const CNetworkTimestamp& t3 = result->transmitTime;
  result->dDelay = t4.SecondsSince(t1) - t3.SecondsSince(t2);
  result->dOffset = (t2.SecondsSince(t1) + t3.SecondsSince(t4)) * 0.5;
  result->computerTime = local;
  result->serverTime = local.PlusSeconds(result->dOffset);
  m_nLastError = 0;
  return true;
}

bool CTimeSyncClient::EnableClockPrivilege() {
  m_bPrivilegeEnabled = 0;
  if (m_hToken == 0) {
    const long error = m_clock.OpenProcessToken(&m_hToken);
    if (error != 0) {
      m_hToken = 0;
      // Systems without a security model need no privilege to set the clock.
      if (error == kErrorCallNotImplemented) {
        m_nLastError = 0;
        return true;
      }
      m_nLastError = error;
      return false;
    }
  }
  m_privileges = {};
  if (const long error = m_clock.LookupPrivilegeValue(kSeSystemtimeName, &m_privileges.luid)) {
    m_nLastError = error;
    return false;
  }
  m_privileges.attributes |= kSePrivilegeEnabled;
  m_privileges.count = 1;
  m_bPrivilegeEnabled = 1;
  // Success here only means the call went through: a token without the
  // privilege is still "adjusted", and setting the clock then fails.
  m_nLastError =
      m_clock.AdjustTokenPrivileges(m_hToken, m_privileges.luid, m_privileges.attributes);
  return m_nLastError == 0;
}

void CTimeSyncClient::RestoreClockPrivilege() {
  if (m_bPrivilegeEnabled) {
    m_privileges.attributes &= ~kSePrivilegeEnabled;
    m_clock.AdjustTokenPrivileges(m_hToken, m_privileges.luid, m_privileges.attributes);
    m_bPrivilegeEnabled = 0;
  }
  if (m_hToken != 0) {
    m_clock.CloseToken(m_hToken);
    m_hToken = 0;
  }
}

bool CTimeSyncClient::SetSystemClock(const CNetworkTimestamp& utc) {
  bool set = false;
  if (EnableClockPrivilege()) {
    SystemTime st;
    utc.ToCalendar(&st);
    m_nLastError = m_clock.SetSystemTime(st);
    set = m_nLastError == 0;
  }
  RestoreClockPrivilege();
  return set;
}

}  // namespace tw
