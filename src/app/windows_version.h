// The Windows family code that decides the rights check and picks the header
// of registry-export files.
#pragma once

#include <cstdint>

namespace tw {

// What GetVersionExA reports.
struct OsVersion {
  std::uint32_t platformId = 0;  // 0 Win32s, 1 Windows 9x, 2 NT
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

// Where the version comes from; the Win32 build asks the system, tests
// answer what they like.
class IVersionSource {
 public:
  virtual ~IVersionSource() = default;
  // extended: ask with the extended record (156 bytes), otherwise with the
  // plain one (148 bytes). False when the system refuses the request.
  virtual bool GetVersion(bool extended, OsVersion* out) = 0;
};

enum : int {
  kWinNt5 = 0,      // 2000, XP, 2003
  kWinNt4 = 1,      // NT 4 and older
  kWin98Me = 2,     // 98, Me
  kWin95 = 3,       // 95
  kWin32s = 4,
  kWinOther = -1,   // NT 6 and later, or unknown
};

// Tries the extended record first, then the plain one; unknown gives kWinOther.
int ClassifyWindowsVersion(IVersionSource& source);
// The 9x family and Win32s have no user rights to check.
bool NeedsRightsCheck(int windowsCode);

}  // namespace tw
