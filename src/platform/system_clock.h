// The system clock and the privilege needed to set it, named after the
// kernel32 and advapi32 calls they stand for. Results are Win32 error numbers
// (0 = success).
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace tw {

using TokenHandle = std::uintptr_t;

// A locally unique identifier (LUID).
struct Luid {
  std::uint32_t lowPart = 0;
  std::int32_t highPart = 0;
};

constexpr std::uint32_t kSePrivilegeEnabled = 0x00000002;
constexpr const char* kSeSystemtimeName = "SeSystemtimePrivilege";

class ISystemClock {
 public:
  virtual ~ISystemClock() = default;

  virtual SystemTime GetSystemTime() = 0;  // UTC, millisecond resolution
  // UTC as Unix seconds and nanoseconds, where the clock can be read finer
  // than GetSystemTime's whole milliseconds; false where it cannot. The time
  // client stamps its queries with it: with whole milliseconds a loopback
  // round trip comes out as zero or less and the offset leans by half a
  // millisecond.
  virtual bool GetPreciseSystemTime(std::int64_t* /*unixSeconds*/, std::uint32_t* /*nanoseconds*/) {
    return false;
  }
  virtual SystemTime GetLocalTime() = 0;   // the local time zone's reading
  virtual long SetSystemTime(const SystemTime& utc) = 0;

  // OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES |
  // TOKEN_QUERY). kErrorCallNotImplemented on systems without security.
  virtual long OpenProcessToken(TokenHandle* token) = 0;
  virtual void CloseToken(TokenHandle token) = 0;
  // LookupPrivilegeValueA on the local system.
  virtual long LookupPrivilegeValue(const std::string& name, Luid* luid) = 0;
  // AdjustTokenPrivileges with one entry, no previous state. 0 when the call
  // itself succeeded, which does not mean the token holds the privilege.
  virtual long AdjustTokenPrivileges(TokenHandle token, const Luid& luid,
                                     std::uint32_t attributes) = 0;
};

// The machine's own clock. On Windows it is the real one; the native build's
// reads the host clock and never sets it (it serves tests and benchmarks).
ISystemClock& GetMachineClock();

}  // namespace tw
