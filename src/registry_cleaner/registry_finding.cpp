#include "registry_cleaner/registry_finding.h"

namespace tw {

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
