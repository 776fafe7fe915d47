#include "platform/memory/system_clock_memory.h"

#include <chrono>

#include "clock_sync/network_timestamp.h"

namespace tw {
namespace {

CNetworkTimestamp HostNow() {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  return TimestampFromUnix(ns / 1000000000, static_cast<std::uint32_t>(ns % 1000000000));
}

bool IsValidRecord(const SystemTime& st) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12) return false;
  const bool leap = (st.wYear % 4 == 0 && st.wYear % 100 != 0) || st.wYear % 400 == 0;
  const int days = st.wMonth == 2 && !leap ? 28 : kDays[st.wMonth - 1];
  return st.wDay >= 1 && st.wDay <= days && st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 &&
         st.wMilliseconds < 1000;
}

}  // namespace

SystemTime CMemorySystemClock::GetSystemTime() {
  SystemTime st;
  HostNow().PlusSeconds(m_dSkew).ToCalendar(&st);
  return st;
}

SystemTime CMemorySystemClock::GetLocalTime() {
  SystemTime st;
  HostNow().PlusSeconds(m_dSkew + m_nZoneMinutes * 60.0).ToCalendar(&st);
  return st;
}

long CMemorySystemClock::SetSystemTime(const SystemTime& utc) {
  m_setCalls.push_back(utc);
  if (!m_bNoSecurity && !m_bPrivilegeEnabled) return kErrorPrivilegeNotHeld;
  if (!IsValidRecord(utc)) return kErrorInvalidParameter;
  CNetworkTimestamp wanted;
  wanted.FromCalendar(utc);
  m_dSkew = wanted.SecondsSince(HostNow());
  return 0;
}

long CMemorySystemClock::OpenProcessToken(TokenHandle* token) {
  if (m_bNoSecurity) return kErrorCallNotImplemented;
  if (m_nOpenTokenError) return m_nOpenTokenError;
  *token = kToken;
  ++m_nOpenTokens;
  return 0;
}

void CMemorySystemClock::CloseToken(TokenHandle token) {
  if (token == kToken) --m_nOpenTokens;
}

long CMemorySystemClock::LookupPrivilegeValue(const std::string& name, Luid* luid) {
  if (m_nLookupError) return m_nLookupError;
  if (name != kSeSystemtimeName) return 1313;  // ERROR_NO_SUCH_PRIVILEGE
  luid->lowPart = 12;                          // SE_SYSTEMTIME_PRIVILEGE
  luid->highPart = 0;
  return 0;
}

long CMemorySystemClock::AdjustTokenPrivileges(TokenHandle token, const Luid& luid,
                                               std::uint32_t attributes) {
  ++m_nAdjustCalls;
  if (m_nAdjustError) return m_nAdjustError;
  if (token != kToken || luid.lowPart != 12) return kErrorInvalidHandle;
  // As on Windows, a privilege the account does not hold is silently left
  // out and the call still succeeds.
  if (m_bHoldsPrivilege) m_bPrivilegeEnabled = (attributes & kSePrivilegeEnabled) != 0;
  return 0;
}

}  // namespace tw
