#include "app/windows_version.h"

namespace tw {

int ClassifyWindowsVersion(IVersionSource& source) {
  OsVersion v;
  if (!source.GetVersion(true, &v) && !source.GetVersion(false, &v)) return kWinOther;
  switch (v.platformId) {
    case 0:
      return kWin32s;
    case 1:
      if (v.major < 4 || (v.major == 4 && v.minor == 0)) return kWin95;
      return kWin98Me;
    case 2:
      if (v.major <= 4) return kWinNt4;
      if (v.major == 5) return kWinNt5;
      return kWinOther;
    default:
      return kWinOther;
  }
}

bool NeedsRightsCheck(int windowsCode) {
  return windowsCode != kWin95 && windowsCode != kWin98Me && windowsCode != kWin32s;
}

}  // namespace tw
