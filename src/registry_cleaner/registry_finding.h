// The scan categories of the registry cleaner and the record every finding
// produces. A category fixes the hive a walk reads and whether a finding
// stands for one value or for a whole key (which decides how it is backed up
// and removed).
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace tw {

enum class ScanCategory : int {
  kCurrentUser = 0,
  kLocalMachine = 1,
  kUsers = 2,
  kComServers = 4,
  kTypeLibraries = 5,
  kUninstall = 6,
  kClassesRoot = 8,
  kFileAssociations = 9,
};

struct ScanCategoryInfo {
  ScanCategory id;
  unsigned listTextId;  // string id of the category list's text
  RegKey hive;
  bool wholeKey;  // a finding stands for a key and everything below it
};

// In the order the category list shows them and a scan runs them.
constexpr ScanCategoryInfo kScanCategories[] = {
    {ScanCategory::kClassesRoot, 32789, kHkeyClassesRoot, false},
    {ScanCategory::kCurrentUser, 32772, kHkeyCurrentUser, false},
    {ScanCategory::kLocalMachine, 32773, kHkeyLocalMachine, false},
    {ScanCategory::kUsers, 32774, kHkeyUsers, false},
    {ScanCategory::kComServers, 32776, kHkeyClassesRoot, true},
    {ScanCategory::kTypeLibraries, 32777, kHkeyClassesRoot, true},
    {ScanCategory::kUninstall, 32778, kHkeyLocalMachine, true},
    {ScanCategory::kFileAssociations, 32790, kHkeyClassesRoot, true},
};

// Null for an id that names no category (3, 7 and anything unknown).
const ScanCategoryInfo* FindScanCategory(int id);
// The hive of a category; 0 for an unknown id.
RegKey CategoryHive(ScanCategory category);
// The hive prefix of a category as the status line shows a finding's key;
// empty for an unknown id.
std::string HivePrefixOfCategory(int category);

// HKEY_CLASSES_ROOT is a view: the user's Software\Classes laid over the
// machine's, and what it shows of a key may come from either. Findings of
// the classes-root categories are judged, backed up and removed in the one
// hive that holds them, below this path.
extern const char kClassesKeyPath[];

// One row of the result list.
struct RegistryFinding {
  std::string location;     // key path below the hive root (the classes key), no leading "\"
  std::string description;  // "无效路径:  " + path, "无效反安装" or "无效文件关联"
  std::string valueName;    // value findings only; empty = the default value
  ScanCategory category = ScanCategory::kCurrentUser;
  bool checked = false;
  // Classes-root categories: the hive whose classes key holds the entry,
  // kHkeyLocalMachine or kHkeyCurrentUser (0 reads as the machine's).
  RegKey classesHive = 0;

  bool operator==(const RegistryFinding&) const = default;
};

// Where a finding's key really is.
struct FindingKey {
  RegKey hive = 0;   // 0 for an unknown category
  std::string path;  // below the hive
};
FindingKey ResolveFindingKey(int category, RegKey classesHive, const std::string& location);

// The three description texts in the ANSI code page 936. The page replaces
// them with its string table's texts (ids 32785, 57732, 57734) when a
// language library is loaded.
struct ScanTexts {
  std::string invalidPath = "\xCE\xDE\xD0\xA7\xC2\xB7\xBE\xB6:  ";    // 无效路径:  + 2 blanks
  std::string invalidUninstall = "\xCE\xDE\xD0\xA7\xB7\xB4\xB0\xB2\xD7\xB0";  // 无效反安装
  std::string invalidAssociation = "\xCE\xDE\xD0\xA7\xCE\xC4\xBC\xFE\xB9\xD8\xC1\xAA";  // 无效文件关联
};

}  // namespace tw
