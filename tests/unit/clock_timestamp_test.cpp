#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>

#include "clock_sync/network_timestamp.h"

namespace tw {
namespace {

SystemTime Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  SystemTime st;
  st.wYear = static_cast<std::uint16_t>(y);
  st.wMonth = static_cast<std::uint16_t>(mo);
  st.wDay = static_cast<std::uint16_t>(d);
  st.wHour = static_cast<std::uint16_t>(h);
  st.wMinute = static_cast<std::uint16_t>(mi);
  st.wSecond = static_cast<std::uint16_t>(s);
  st.wMilliseconds = static_cast<std::uint16_t>(ms);
  return st;
}

std::string Show(const SystemTime& st) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d dow %d", st.wYear, st.wMonth,
                st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return buf;
}

CNetworkTimestamp From(const SystemTime& st) {
  CNetworkTimestamp t;
  t.FromCalendar(st);
  return t;
}

SystemTime To(const CNetworkTimestamp& t) {
  SystemTime st;
  t.ToCalendar(&st);
  return st;
}

// Day of the week and seconds since 1900 by the standard library's calendar,
// which shares nothing with the conversion under test.
int ReferenceDayOfWeek(const SystemTime& st) {
  using namespace std::chrono;
  return static_cast<int>(
      weekday(sys_days(year(st.wYear) / month(st.wMonth) / day(st.wDay))).c_encoding());
}
std::int64_t ReferenceSeconds(const SystemTime& st) {
  using namespace std::chrono;
  const auto days = sys_days(year(st.wYear) / month(st.wMonth) / day(st.wDay)) -
                    sys_days(year(1900) / January / 1);
  return ((days.count() * 24 + st.wHour) * 60 + st.wMinute) * 60 + st.wSecond;
}

struct CalendarCase {
  SystemTime date;
  std::uint32_t seconds;
  std::uint32_t fraction;
  int dayOfWeek;
};

TEST(ClockTimestamp, KnownDatesConvertBothWays) {
  const CalendarCase cases[] = {
      {Date(1970, 1, 1), 2208988800u, 0, 4},  // Unix epoch, Thursday
      {Date(2000, 1, 1), 3155673600u, 0, 6},  // Saturday
      {Date(2000, 2, 29, 12), 3155673600u + 59 * 86400 + 43200, 0, 2},
      {Date(2036, 2, 7, 6, 28, 15), 0xFFFFFFFFu, 0, 4},  // last second of era 0
      {Date(2026, 12, 8, 13, 5, 9, 500), 4005723909u, 0x80000000u, 2},
      {Date(1999, 12, 31, 23, 59, 59, 999), 3155673599u, 4290672329u, 5},
      {Date(2024, 1, 31, 0, 0, 0, 1), 3915648000u, 4294967u,
       3},                                                 // January: year before in the shift
      {Date(2023, 2, 28, 23, 59, 59), 3886617599u, 0, 2},  // February of a common year
  };
  for (const auto& c : cases) {
    const CNetworkTimestamp t = From(c.date);
    EXPECT_EQ(t.Seconds(), c.seconds) << Show(c.date);
    EXPECT_EQ(t.Fraction(), c.fraction) << Show(c.date);
    SystemTime expected = c.date;
    expected.wDayOfWeek = static_cast<std::uint16_t>(c.dayOfWeek);
    EXPECT_EQ(Show(To(t)), Show(expected));
  }
}

TEST(ClockTimestamp, StartOfEraZeroIsTimestampZero) {
  EXPECT_EQ(From(Date(1900, 1, 1)).Value(), 0u);
  // 1900-01-01 was a Monday; the day after the era's last second is read in
  // the new era (see below), so the weekday is checked one day later too.
  EXPECT_EQ(ReferenceDayOfWeek(Date(1900, 1, 1)), 1);
  EXPECT_EQ(From(Date(1900, 1, 2)).Seconds(), 86400u);
}

TEST(ClockTimestamp, SecondsWithTopBitClearAreReadInTheNextEra) {
  // The 32-bit seconds repeat after 2036-02-07 06:28:15; a reading with the
  // top bit clear belongs to 2036-2104.
  EXPECT_EQ(Show(To(CNetworkTimestamp(0))), Show([] {
              auto d = Date(2036, 2, 7, 6, 28, 16);
              d.wDayOfWeek = 4;
              return d;
            }()));
  const SystemTime later[] = {Date(2036, 2, 7, 6, 28, 16), Date(2040, 2, 29, 1, 2, 3, 456),
                              Date(2100, 3, 1), Date(2104, 1, 1)};
  for (SystemTime d : later) {
    const CNetworkTimestamp t = From(d);
    EXPECT_EQ(t.Seconds() & 0x80000000u, 0u) << Show(d);
    EXPECT_EQ(static_cast<std::int64_t>(t.Seconds()) + (std::int64_t{1} << 32),
              ReferenceSeconds(d));
    d.wDayOfWeek = static_cast<std::uint16_t>(ReferenceDayOfWeek(d));
    EXPECT_EQ(Show(To(t)), Show(d));
  }
}

TEST(ClockTimestamp, MillisecondTable) {
  EXPECT_EQ(MillisecondsToFraction(0), 0u);
  EXPECT_EQ(MillisecondsToFraction(1), 4294967u);
  EXPECT_EQ(MillisecondsToFraction(500), 2147483648u);
  EXPECT_EQ(MillisecondsToFraction(999), 4290672329u);
  for (unsigned ms = 0; ms < 1000; ++ms) {
    // Nearest unit, never a tie.
    const double exact = ms * 4294967296.0 / 1000.0;
    EXPECT_LT(std::fabs(MillisecondsToFraction(ms) - exact), 0.5) << ms;
    // Every table entry reads back as its own millisecond.
    EXPECT_EQ(To(CNetworkTimestamp((std::uint64_t{3974360709u} << 32) | MillisecondsToFraction(ms)))
                  .wMilliseconds,
              ms);
  }
}

// Clocks read finer than a millisecond keep their nanoseconds.
TEST(ClockTimestamp, PreciseReadingsKeepTheirNanoseconds) {
  const std::uint64_t s1970 = std::uint64_t{kNtpToUnixSeconds} << 32;
  EXPECT_EQ(PreciseTimestampFromUnix(0, 500000000).Value(), s1970 | 0x80000000u);
  EXPECT_EQ(PreciseTimestampFromUnix(0, 999999999).Value(), s1970 | 0xFFFFFFFCu);
  EXPECT_EQ(PreciseTimestampFromUnix(0, 250).Value(), s1970 | 1074u);  // 250 ns = 1073.7 units
  // Past 2036 the seconds wrap into era 1 as the calendar form does.
  SystemTime later{2040, 1, 0, 1, 0, 0, 0, 0};
  CNetworkTimestamp fromCalendar;
  fromCalendar.FromCalendar(later);
  EXPECT_EQ(PreciseTimestampFromUnix(2208988800LL, 0), fromCalendar);  // 2040-01-01 in Unix time
}

TEST(ClockTimestamp, FractionRoundsHalfUpAndCarriesIntoTheSecond) {
  struct Case {
    std::uint32_t fraction;
    int second;
    int ms;
  };
  // 2026-12-31 23:59:58 plus a fraction.
  const std::uint64_t base = From(Date(2026, 12, 31, 23, 59, 58)).Value();
  const Case cases[] = {
      {0x80000000u, 58, 500}, {2145336164u, 58, 500},                        // 499.5 ms: half up
      {2145336163u, 58, 499}, {4292819811u, 58, 999}, {4292819812u, 59, 0},  // would round to 1000
      {0xFFFFFFFFu, 59, 0},
  };
  for (const auto& c : cases) {
    const SystemTime st = To(CNetworkTimestamp(base | c.fraction));
    EXPECT_EQ(st.wSecond, c.second) << c.fraction;
    EXPECT_EQ(st.wMilliseconds, c.ms) << c.fraction;
  }
  // The carry runs through minutes, hours, days, months and years.
  const SystemTime newYear =
      To(CNetworkTimestamp(From(Date(2026, 12, 31, 23, 59, 59)).Value() | 0xFFFFFFFFu));
  EXPECT_EQ(Show(newYear), "2027-01-01 00:00:00.000 dow 5");
  // And across the era boundary.
  EXPECT_EQ(Show(To(CNetworkTimestamp(0xFFFFFFFFFFFFFFFFull))), "2036-02-07 06:28:16.000 dow 4");
}

TEST(ClockTimestamp, MillisecondFieldPastTheTableCarriesInsteadOfReadingPastIt) {
  EXPECT_EQ(From(Date(2026, 1, 1, 0, 0, 0, 1250)).Value(),
            From(Date(2026, 1, 1, 0, 0, 1, 250)).Value());
}

TEST(ClockTimestamp, NetworkOrder) {
  const unsigned char wire[8] = {0x83, 0xAA, 0x7E, 0x80, 0x80, 0x00, 0x00, 0x01};
  std::uint32_t s, f;
  std::memcpy(&s, wire, 4);
  std::memcpy(&f, wire + 4, 4);
  CNetworkTimestamp t;
  t.FromNetwork(s, f);
  EXPECT_EQ(t.Seconds(), 2208988800u);
  EXPECT_EQ(t.Fraction(), 0x80000001u);
  std::uint32_t s2, f2;
  t.ToNetwork(&s2, &f2);
  EXPECT_EQ(std::memcmp(&s2, wire, 4), 0);
  EXPECT_EQ(std::memcmp(&f2, wire + 4, 4), 0);
}

TEST(ClockTimestamp, SecondsSince) {
  const std::uint64_t one = std::uint64_t{1} << 32;
  struct Case {
    std::uint64_t a, b;
    double expected;
  };
  const Case cases[] = {
      {5 * one, 5 * one, 0.0},
      {6 * one, 5 * one, 1.0},
      {5 * one + 0xFFFFFFFFu, 5 * one, 1.0},  // the fraction counts 2^32 - 1 to the second
      {5 * one + 0x80000000u, 5 * one, 2147483648.0 / 4294967295.0},
      {1 * one, 0xFFFFFFFFull * one, 2.0},  // across the 2036 era change
      {3974360709ull * one, 3974360000ull * one, 709.0},
  };
  for (const auto& c : cases) {
    const CNetworkTimestamp a(c.a), b(c.b);
    EXPECT_DOUBLE_EQ(a.SecondsSince(b), c.expected) << std::hex << c.a << " " << c.b;
    // Exactly antisymmetric, not just nearly.
    EXPECT_EQ(b.SecondsSince(a), -a.SecondsSince(b));
  }
  std::mt19937_64 rng(7);
  for (int i = 0; i < 1000; ++i) {
    const CNetworkTimestamp a(rng()), b(rng());
    EXPECT_EQ(a.SecondsSince(b), -b.SecondsSince(a));
  }
}

TEST(ClockTimestamp, PlusSeconds) {
  const std::uint64_t one = std::uint64_t{1} << 32;
  const CNetworkTimestamp t(3974360709ull * one + 0x80000000u);
  EXPECT_EQ(t.PlusSeconds(-1.5).Value(), t.Value() - one - 2147483647u);
  EXPECT_EQ(t.PlusSeconds(1.5).Value(), t.Value() + one + 2147483647u);
  EXPECT_EQ(t.PlusSeconds(0).Value(), t.Value());
  EXPECT_EQ(t.PlusSeconds(-3599.25).Value(), t.Value() - 3599 * one - 1073741823u);
  // Wraps into the next era and back.
  const CNetworkTimestamp last(0xFFFFFFFFull * one);
  EXPECT_EQ(last.PlusSeconds(2).Value(), one);
  EXPECT_EQ(CNetworkTimestamp(one).PlusSeconds(-2).Value(), last.Value());
  // Nonsense leaves the time alone instead of converting out of range.
  EXPECT_EQ(t.PlusSeconds(std::nan("")).Value(), t.Value());
  EXPECT_EQ(t.PlusSeconds(1e30).Value(), t.Value());
  EXPECT_EQ(t.PlusSeconds(-1e30).Value(), t.Value());
  // Moving by a difference gets back to the other time within a unit or two.
  const CNetworkTimestamp u(3974369999ull * one + 12345);
  EXPECT_NEAR(static_cast<double>(
                  static_cast<std::int64_t>(t.PlusSeconds(u.SecondsSince(t)).Value() - u.Value())),
              0.0, 2.0);
}

TEST(ClockTimestamp, RandomDatesSurviveTheRoundTrip) {
  // Every date the two eras can hold: 1968-01-20 03:14:08 to 2104-02-26.
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> year(1969, 2103), month(1, 12), hour(0, 23), minute(0, 59),
      second(0, 59), ms(0, 999);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int i = 0; i < 200000; ++i) {
    SystemTime d = Date(year(rng), month(rng), 1, hour(rng), minute(rng), second(rng), ms(rng));
    const bool leap = d.wYear % 4 == 0 && (d.wYear % 100 != 0 || d.wYear % 400 == 0);
    const int days = kDays[d.wMonth - 1] + (d.wMonth == 2 && leap ? 1 : 0);
    d.wDay = static_cast<std::uint16_t>(std::uniform_int_distribution<int>(1, days)(rng));
    d.wDayOfWeek = static_cast<std::uint16_t>(ReferenceDayOfWeek(d));
    const CNetworkTimestamp t = From(d);
    ASSERT_EQ(static_cast<std::uint32_t>(ReferenceSeconds(d)), t.Seconds()) << Show(d);
    ASSERT_EQ(Show(To(t)), Show(d));
  }
}

}  // namespace
}  // namespace tw
