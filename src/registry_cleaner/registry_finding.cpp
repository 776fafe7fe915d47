#include "registry_cleaner/registry_finding.h"

namespace tw {

const char kClassesKeyPath[] = "Software\\Classes";

FindingKey ResolveFindingKey(int category, RegKey classesHive, const std::string& location) {
  FindingKey key;
  key.hive = CategoryHive(static_cast<ScanCategory>(category));
  key.path = location;
  if (key.hive == kHkeyClassesRoot) {
    // Acting through the merged view would reach the user's key when there
    // is one and the machine's otherwise, and write a backup that restores
    // into whichever hive the view picks at import time.
    key.hive = classesHive == kHkeyCurrentUser ? kHkeyCurrentUser : kHkeyLocalMachine;
    key.path = location.empty() ? std::string(kClassesKeyPath)
                                : std::string(kClassesKeyPath) + "\\" + location;
  }
  return key;
}

const ScanCategoryInfo* FindScanCategory(int id) {
  for (const ScanCategoryInfo& info : kScanCategories) {
    if (static_cast<int>(info.id) == id) return &info;
  }
  return nullptr;
}

RegKey CategoryHive(ScanCategory category) {
  const ScanCategoryInfo* info = FindScanCategory(static_cast<int>(category));
  return info ? info->hive : 0;
}

std::string HivePrefixOfCategory(int category) {
  return HivePrefix(CategoryHive(static_cast<ScanCategory>(category)));
}

}  // namespace tw
