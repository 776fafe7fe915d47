// One registered browser extension as the plug-in page lists it, and where
// its registry entries live.
#pragma once

#include <string>

#include "platform/registry.h"

namespace tw {

// The page's kinds, by the number the page keeps.
enum PluginKind : int {
  kPluginToolbar = 1,
  kPluginButton = 2,
  kPluginContextMenu = 3,
  kPluginHelperObject = 4,
};

struct PluginRecord {
  std::string progId;
  std::string serverPath;
  std::string name;
  std::string buttonText;
  std::string statusText;
  std::string classId;  // with braces; empty when the entry names none
  std::string keyPath;  // below root, as the record's view names it
  RegKey root = 0;
  RegView view = RegView::kDefault;

  // The entry's key as the 64-bit view (and the registry editor) names it:
  // what removal backs up and deletes.
  std::string storedKeyPath;
  // The class's own key, where it actually is (the machine's or the
  // user's classes, in the record's view); classRoot 0 when none was found.
  RegKey classRoot = 0;
  std::string classKeyPath;
};

}  // namespace tw
