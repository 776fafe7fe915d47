// A clock for tests: it runs with the host's clock, moved by a skew that
// SetSystemTime changes, so a test can see the correction it caused without
// the machine's time being touched. It models the system-time privilege as
// Windows does: held or not by the account, enabled per token.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/system_clock.h"

namespace tw {

class CMemorySystemClock : public ISystemClock {
 public:
  SystemTime GetSystemTime() override;
  SystemTime GetLocalTime() override;
  long SetSystemTime(const SystemTime& utc) override;
  long OpenProcessToken(TokenHandle* token) override;
  void CloseToken(TokenHandle token) override;
  long LookupPrivilegeValue(const std::string& name, Luid* luid) override;
  long AdjustTokenPrivileges(TokenHandle token, const Luid& luid,
                             std::uint32_t attributes) override;

  // Seconds the clock runs ahead of the host's (negative: behind).
  double m_dSkew = 0;
  // The local time zone, minutes east of UTC.
  int m_nZoneMinutes = 480;

  // Behaviour of the privilege calls.
  bool m_bNoSecurity = false;     // OpenProcessToken is not implemented (Windows 9x)
  bool m_bHoldsPrivilege = true;  // the account holds SeSystemtimePrivilege
  long m_nOpenTokenError = 0;     // other failures, 0 for none
  long m_nLookupError = 0;
  long m_nAdjustError = 0;

  // What happened.
  std::vector<SystemTime> m_setCalls;  // every record passed to SetSystemTime
  bool m_bPrivilegeEnabled = false;
  int m_nOpenTokens = 0;
  int m_nAdjustCalls = 0;

 private:
  static constexpr TokenHandle kToken = 0x7001;
};

}  // namespace tw
