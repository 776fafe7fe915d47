// One installed program as the uninstall page lists it: read from its
// uninstall entry, the Windows Installer data and the usage cache, with every
// value already turned into the text the page shows.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace tw {

struct InstalledProgram {
  virtual ~InstalledProgram() = default;

  std::string displayName;
  std::string keyName;           // the entry's subkey (an installer product's code)
  std::string uninstallCommand;  // "UninstallString", or the installed package
  std::string icon;              // path, or "path,index" for an installer product icon
  std::string lastUsedText;
  std::string usageText;
  std::int32_t timesUsed = 0;
  std::int64_t size = 0;
  std::string sizeText;
  // Where the entry was read, so that it can be found again (the page's
  // watch on a started uninstaller opens exactly this key).
  RegKey root = 0;
  RegView view = RegView::kDefault;
};

}  // namespace tw
