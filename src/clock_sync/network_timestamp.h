// An SNTP timestamp: seconds since 1900-01-01 00:00:00 UTC in the high 32
// bits, a binary fraction of a second in the low 32 bits, kept in host order.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace tw {

class ISystemClock;

class CNetworkTimestamp {
 public:
  CNetworkTimestamp() = default;
  explicit CNetworkTimestamp(std::uint64_t value) : m_nValue(value) {}

  // From a calendar record (UTC or local, the caller decides).
  void FromCalendar(const SystemTime& st);
  // Fills every field of st, the day of the week included.
  void ToCalendar(SystemTime* st) const;
  // Two words as they arrive on the wire: big-endian seconds, then fraction.
  void FromNetwork(std::uint32_t secondsBE, std::uint32_t fractionBE);
  void ToNetwork(std::uint32_t* secondsBE, std::uint32_t* fractionBE) const;

  // this minus other, in seconds.
  double SecondsSince(const CNetworkTimestamp& other) const;
  // this moved by a signed number of seconds.
  CNetworkTimestamp PlusSeconds(double seconds) const;
  // The clock's UTC reading, as finely as the clock gives it.
  static CNetworkTimestamp Now(ISystemClock& clock);

  std::uint32_t Seconds() const { return static_cast<std::uint32_t>(m_nValue >> 32); }
  std::uint32_t Fraction() const { return static_cast<std::uint32_t>(m_nValue); }
  std::uint64_t Value() const { return m_nValue; }
  bool IsZero() const { return m_nValue == 0; }
  void Clear() { m_nValue = 0; }

  bool operator==(const CNetworkTimestamp&) const = default;

 private:
  std::uint64_t m_nValue = 0;
};

// Fraction units of a whole millisecond count, round(ms * 2^32 / 1000).
std::uint32_t MillisecondsToFraction(unsigned ms);
// Seconds from 1900-01-01 (era 0) to 1970-01-01.
constexpr std::uint64_t kNtpToUnixSeconds = 2208988800u;

// A Unix time (seconds and nanoseconds since 1970) as a timestamp, for the
// clock backends that read the host's time.
CNetworkTimestamp TimestampFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);
// The same to the nanosecond, for clocks read finer than a millisecond.
CNetworkTimestamp PreciseTimestampFromUnix(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace tw
