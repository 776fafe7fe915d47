#include "clock_sync/network_timestamp.h"

#include <array>
#include <cmath>

#include "platform/system_clock.h"

namespace tw {
namespace {

constexpr std::int64_t kJdn1900 = 2415021;  // Julian Day Number of 1900-01-01
constexpr std::int64_t kSecondsPerDay = 86400;
// The fraction is read back with 2^32 - 1 units to the second, so that the
// largest fraction maps to a whole second.
constexpr double kFractionUnit = 1.0 / 4294967295.0;

// Milliseconds to fraction units, rounded to nearest; no entry is a tie.
constexpr std::array<std::uint32_t, 1000> MakeFractionTable() {
  std::array<std::uint32_t, 1000> table{};
  for (std::uint64_t ms = 0; ms < 1000; ++ms)
    table[ms] = static_cast<std::uint32_t>(((ms << 32) + 500) / 1000);
  return table;
}
constexpr std::array<std::uint32_t, 1000> kFractionOfMs = MakeFractionTable();

std::uint32_t ByteSwap(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
bool HostIsLittleEndian() {
  const std::uint16_t probe = 1;
  return *reinterpret_cast<const unsigned char*>(&probe) == 1;
}
std::uint32_t NetToHost(std::uint32_t v) { return HostIsLittleEndian() ? ByteSwap(v) : v; }

// Whole seconds since 1900 on an unlimited time line. The 32-bit seconds
// field repeats every 136 years; its top bit tells the era apart: set means
// 1968-2036 (era 0), clear means 2036-2104 (era 1, counted from
// 2036-02-07 06:28:16).
std::uint64_t UnwrapSeconds(std::uint32_t s) {
  return (s & 0x80000000u) ? s : (std::uint64_t{1} << 32) + s;
}

}  // namespace

std::uint32_t MillisecondsToFraction(unsigned ms) { return kFractionOfMs[ms % 1000]; }

void CNetworkTimestamp::FromCalendar(const SystemTime& st) {
  // Julian Day Number by ACM algorithm 199.
  std::int64_t m = st.wMonth, y = st.wYear;
  if (m > 2) {
    m -= 3;
  } else {
    m += 9;
    y -= 1;
  }
  const std::int64_t c = y / 100;
  const std::int64_t r = y - 100 * c;
  const std::int64_t jdn =
      (146097 * c) / 4 + (1461 * r) / 4 + (153 * m + 2) / 5 + st.wDay + 1721119;
  // A millisecond field past 999 would index past the table: its whole
  // seconds are carried instead.
  const std::int64_t seconds = (((jdn - kJdn1900) * 24 + st.wHour) * 60 + st.wMinute) * 60 +
                               st.wSecond + st.wMilliseconds / 1000;
  // Seconds beyond the 32-bit field wrap into the next era.
  m_nValue = (static_cast<std::uint64_t>(seconds) << 32) + kFractionOfMs[st.wMilliseconds % 1000];
}

void CNetworkTimestamp::ToCalendar(SystemTime* st) const {
  std::uint64_t s = UnwrapSeconds(Seconds());
  // Rounded half up with 2^32 - 1 units to the second. The largest
  // fractions round to 1000, which a calendar record cannot hold: that is the
  // next whole second.
  unsigned ms = static_cast<unsigned>(std::floor(Fraction() * (1000.0 / 4294967295.0) + 0.5));
  if (ms >= 1000) {
    ms = 0;
    s += 1;
  }
  const std::uint64_t days = s / kSecondsPerDay;
  const std::int64_t jdnValue = static_cast<std::int64_t>(days) + kJdn1900;
  st->wDayOfWeek = static_cast<std::uint16_t>((jdnValue + 1) % 7);  // 0 = Sunday

  // The inverse of algorithm 199.
  std::int64_t j = jdnValue - 1721119;
  std::int64_t y = (4 * j - 1) / 146097;
  j = 4 * j - 1 - 146097 * y;
  std::int64_t d = j / 4;
  j = (4 * d + 3) / 1461;
  d = 4 * d + 3 - 1461 * j;
  d = (d + 4) / 4;
  std::int64_t m = (5 * d - 3) / 153;
  d = 5 * d - 3 - 153 * m;
  d = (d + 5) / 5;
  y = 100 * y + j;
  if (m < 10) {
    m += 3;
  } else {
    m -= 9;
    y += 1;
  }
  st->wYear = static_cast<std::uint16_t>(y);
  st->wMonth = static_cast<std::uint16_t>(m);
  st->wDay = static_cast<std::uint16_t>(d);
  st->wHour = static_cast<std::uint16_t>((s / 3600) % 24);
  st->wMinute = static_cast<std::uint16_t>((s / 60) % 60);
  st->wSecond = static_cast<std::uint16_t>(s % 60);
  st->wMilliseconds = static_cast<std::uint16_t>(ms);
}

void CNetworkTimestamp::FromNetwork(std::uint32_t secondsBE, std::uint32_t fractionBE) {
  m_nValue = (std::uint64_t{NetToHost(secondsBE)} << 32) | NetToHost(fractionBE);
}

void CNetworkTimestamp::ToNetwork(std::uint32_t* secondsBE, std::uint32_t* fractionBE) const {
  *secondsBE = NetToHost(Seconds());
  *fractionBE = NetToHost(Fraction());
}

double CNetworkTimestamp::SecondsSince(const CNetworkTimestamp& other) const {
  // The difference is taken modulo 2^64 and read as signed, so two readings
  // on either side of the 2036 era change are still a short span apart.
  // Computing on the magnitude keeps a - b exactly the negation of b - a.
  const std::uint64_t forward = m_nValue - other.m_nValue;
  const bool negative = (forward >> 63) != 0;
  const std::uint64_t d = negative ? other.m_nValue - m_nValue : forward;
  const double magnitude =
      static_cast<double>(d >> 32) + static_cast<double>(d & 0xFFFFFFFFu) * kFractionUnit;
  return negative ? -magnitude : magnitude;
}

CNetworkTimestamp CNetworkTimestamp::PlusSeconds(double seconds) const {
  if (std::isnan(seconds)) return *this;
  const double magnitude = std::fabs(seconds);
  // Whole seconds past the 64-bit range cannot mean anything; they also must
  // not reach a conversion whose result would be undefined.
  if (magnitude >= 18446744073709551616.0) return *this;
  const double whole = std::trunc(magnitude);
  const std::uint64_t w = static_cast<std::uint64_t>(whole);
  const std::uint64_t u = static_cast<std::uint64_t>((magnitude - whole) * 4294967295.0);
  const std::uint64_t delta = (w << 32) + u;
  return CNetworkTimestamp(seconds >= 0 ? m_nValue + delta : m_nValue - delta);
}

CNetworkTimestamp CNetworkTimestamp::Now(ISystemClock& clock) {
  std::int64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  if (clock.GetPreciseSystemTime(&seconds, &nanoseconds) && nanoseconds < 1000000000u) {
    return PreciseTimestampFromUnix(seconds, nanoseconds);
  }
  CNetworkTimestamp t;
  t.FromCalendar(clock.GetSystemTime());
  return t;
}

CNetworkTimestamp TimestampFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
  const std::uint64_t s = static_cast<std::uint64_t>(seconds) + kNtpToUnixSeconds;
  // Whole milliseconds, as GetSystemTime would give them.
  return CNetworkTimestamp((s << 32) + MillisecondsToFraction(nanoseconds / 1000000u));
}

CNetworkTimestamp PreciseTimestampFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
  const std::uint64_t s = static_cast<std::uint64_t>(seconds) + kNtpToUnixSeconds;
  // nanoseconds * 2^32 / 10^9, rounded to the nearest unit; below 10^9 it
  // stays under 2^32.
  const std::uint64_t fraction = ((std::uint64_t{nanoseconds} << 32) + 500000000u) / 1000000000u;
  return CNetworkTimestamp((s << 32) + fraction);
}

}  // namespace tw
