// Repair of registry findings: a value that names a missing file is pointed
// at a file of the same name found in folders the user chose. Runs on the
// page's repair worker; polls the run control like the scan walks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/run_control.h"
#include "platform/platform.h"

namespace tw {

struct BrokenPathSplit {
  std::string fileName;   // the missing file's own name
  std::string candidate;  // the path that names it
  std::string pattern;    // the text with each occurrence of candidate as "%s"
};

// What a repair needs to know of one row of the result list.
struct RepairRequest {
  int category = -1;
  std::string location;
  std::string description;
  std::string valueName;
  RegKey classesHive = 0;  // RegistryFinding::classesHive
};

class CRegistryRepair {
 public:
  // Writes the value's current state to a backup file before it is changed;
  // false when that could not be done (the value is then left alone).
  using BackupValue = std::function<bool(RegKey hive, const std::string& keyPath,
                                         const std::string& valueName)>;
  // The status line's progress text (hive prefix and key).
  using Progress = std::function<void(const std::string& key)>;

  // `invalidPathPrefix` is the scan's description prefix "无效路径:  ".
  CRegistryRepair(const Platform& platform, const CRunControl& run, std::string invalidPathPrefix,
                  BackupValue backup, Progress progress = {});

  void SetFolders(std::vector<std::string> folders) { m_folders = std::move(folders); }
  const std::vector<std::string>& Folders() const { return m_folders; }

  // The file name and the path that names it in a broken path text; none
  // when the text names no fixed-drive path or a stop came first.
  std::optional<BrokenPathSplit> SplitBrokenPath(const std::string& path) const;
  // The first hit of SearchFolderTree over the folders, in list order.
  std::optional<std::string> FindFileInFolders(const std::string& fileName) const;
  // Depth first below `folder`; the hit as folder\name in lower case.
  std::optional<std::string> SearchFolderTree(const std::string& folder,
                                              const std::string& fileName) const;

  // Rewrites the finding's value to point at the found file, after backing
  // the old value up. False (and nothing written) when the finding is not a
  // broken path in a value's data, no file is found, or a stop came.
  bool RepairFinding(const RepairRequest& row);

 private:
  bool Exists(const std::string& pattern) const;

  const Platform& m_platform;
  const CRunControl& m_run;
  std::string m_prefix;
  BackupValue m_backup;
  Progress m_progress;
  std::vector<std::string> m_folders;
};

}  // namespace tw
