// The real system clock and the token privilege that setting it needs.
#include <windows.h>

#include "platform/win32/system_clock_win32.h"

#include "platform/system_clock.h"

namespace tw {

SystemTime FromWinSystemTime(const SYSTEMTIME& s) {
  return {s.wYear, s.wMonth, s.wDayOfWeek, s.wDay, s.wHour, s.wMinute, s.wSecond, s.wMilliseconds};
}

namespace {

class CWin32Clock : public ISystemClock {
 public:
  SystemTime GetSystemTime() override {
    SYSTEMTIME s;
    ::GetSystemTime(&s);
    return FromWinSystemTime(s);
  }
  bool GetPreciseSystemTime(std::int64_t* seconds, std::uint32_t* nanoseconds) override {
    // GetSystemTimePreciseAsFileTime exists from Windows 8 on; before that
    // the plain reading, still in 100 ns units.
    using PreciseFn = VOID(WINAPI*)(LPFILETIME);
    static const auto precise = reinterpret_cast<PreciseFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME ft{};
    if (precise) {
      precise(&ft);
    } else {
      ::GetSystemTimeAsFileTime(&ft);
    }
    // 100 ns intervals since 1601-01-01; 11644473600 s lie before 1970.
    const std::uint64_t ticks = (std::uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    *seconds = static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
    *nanoseconds = static_cast<std::uint32_t>(ticks % 10000000u) * 100u;
    return true;
  }
  SystemTime GetLocalTime() override {
    SYSTEMTIME s;
    ::GetLocalTime(&s);
    return FromWinSystemTime(s);
  }
  long SetSystemTime(const SystemTime& t) override {
    const SYSTEMTIME s{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                       t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
    if (::SetSystemTime(&s)) return 0;
    return static_cast<long>(::GetLastError());
  }
  long OpenProcessToken(TokenHandle* token) override {
    HANDLE h = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &h))
      return static_cast<long>(::GetLastError());
    *token = reinterpret_cast<TokenHandle>(h);
    return 0;
  }
  void CloseToken(TokenHandle token) override { ::CloseHandle(reinterpret_cast<HANDLE>(token)); }
  long LookupPrivilegeValue(const std::string& name, Luid* luid) override {
    LUID l{};
    if (!::LookupPrivilegeValueA(nullptr, name.c_str(), &l))
      return static_cast<long>(::GetLastError());
    luid->lowPart = l.LowPart;
    luid->highPart = l.HighPart;
    return 0;
  }
  long AdjustTokenPrivileges(TokenHandle token, const Luid& luid,
                             std::uint32_t attributes) override {
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Luid.LowPart = luid.lowPart;
    tp.Privileges[0].Luid.HighPart = luid.highPart;
    tp.Privileges[0].Attributes = attributes;
    if (!::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &tp, 0, nullptr, nullptr))
      return static_cast<long>(::GetLastError());
    return 0;
  }
};

}  // namespace

ISystemClock& GetMachineClock() {
  static CWin32Clock clock;
  return clock;
}

}  // namespace tw
