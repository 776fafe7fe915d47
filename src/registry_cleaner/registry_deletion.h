// Deletion of findings from the result list. Each deleted finding is first
// written to the backup file and then removed from the registry; the rows go
// in list order and the list closes up behind them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "reg_export/reg_export_file.h"
#include "registry_cleaner/registry_finding.h"
#include "registry_cleaner/registry_row.h"
#include "registry_cleaner/registry_row_store.h"

namespace tw {

// Writes the finding's key or value to the backup, then removes it: its
// category picks the hive and whether one value or the whole key goes.
long ExportAndRemoveFinding(CRegExportFile& file, const std::string& keyPath,
                            const RegistryFinding& finding);

class CRegistryDeletion {
 public:
  enum class Outcome {
    kRemoved,  // written to the backup and gone from the registry (or gone already)
    kKept,     // still in the registry: the row stays, the deletion goes on
    kStop,     // the backup file cannot be written: the row stays, nothing more is removed
  };
  // Writes the finding's section to the open backup file and removes it.
  using ExportAndRemove = std::function<Outcome(const RegistryRow& row)>;
  // Called after each deletion with the hive prefix and key, for the status line.
  using Progress = std::function<void(const std::string& key)>;
  // A deleted row's position before the rows close up, ascending.
  using Removed = std::function<void(std::size_t row)>;

  CRegistryDeletion(ExportAndRemove exportAndRemove, Progress progress, Removed removed = {})
      : m_export(std::move(exportAndRemove)),
        m_progress(std::move(progress)),
        m_removed(std::move(removed)) {}

  // Deletes the checked rows (all rows when `all` is set). `found` loses and
  // `deleted` gains one per row deleted. Returns the number deleted; the rows
  // left keep their order.
  long Delete(CRegistryRowStore* rows, bool all, long* found, long* deleted);

  static bool AnyChecked(const CRegistryRowStore& rows) { return rows.AnyChecked(); }

 private:
  ExportAndRemove m_export;
  Progress m_progress;
  Removed m_removed;
};

// What a deletion with its backup file came to.
struct BackupDeletionResult {
  long count = 0;  // rows deleted
  // The backup file's error: it could not be created, or it stopped taking
  // writes midway (a full disk). The rows not yet deleted then stay.
  long error = kErrorSuccess;
  // With an error: the partial section could not be cut off again, so the
  // file's last section must not be imported.
  bool damagedEnd = false;
  std::string file;  // the backup file written
};

struct BackupDeletionHooks {
  std::function<void()> beforeRow;                  // the page answers messages here
  // And here, before the backup file is flushed and closed, which may take
  // as long as the longest row.
  std::function<void()> beforeClose;
  std::function<void(std::size_t index)> removed;   // a row's list position, ascending
  CRegistryDeletion::Progress progress;
};

// The deletion as the page runs it: a new backup file at `path` (or the
// first free numbered name beside it) with the header for `windowsFamily`,
// then each row written there and removed.
BackupDeletionResult DeleteWithBackup(IRegistry& reg, IFileSystem& fs, const std::string& path,
                                      int windowsFamily, CRegistryRowStore* rows, bool all,
                                      long* found, long* deleted,
                                      const BackupDeletionHooks& hooks);

}  // namespace tw
