// One row of the registry page's result list: a finding and its check box.
#pragma once

#include <string>

#include "platform/registry.h"

namespace tw {

struct RegistryRow {
  std::string location;     // key path below the hive, column 0
  std::string description;  // column 1
  std::string valueName;    // column 2 (hidden); empty for the default value
  int category = -1;        // the scan category, the row's item data
  bool checked = false;
  RegKey classesHive = 0;   // where a classes-root finding lives (RegistryFinding)
};

}  // namespace tw
