#include "registry_cleaner/registry_deletion.h"

namespace tw {

long ExportAndRemoveFinding(CRegExportFile& file, const std::string& keyPath,
                            const RegistryFinding& finding) {
  const ScanCategoryInfo* info = FindScanCategory(static_cast<int>(finding.category));
  if (!info) return kErrorInvalidParameter;
  // An empty path would name the hive (or the classes key) itself.
  if (info->wholeKey && keyPath.empty()) return kErrorInvalidParameter;
  const FindingKey where =
      ResolveFindingKey(static_cast<int>(finding.category), finding.classesHive, keyPath);
  return file.ExportAndRemove(where.hive, where.path, finding.valueName, info->wholeKey);
}

namespace {

// Into `f`, whose strings keep their room from row to row.
void ToFinding(const RegistryRow& row, RegistryFinding* f) {
  f->location = row.location;
  f->description = row.description;
  f->valueName = row.valueName;
  f->category = static_cast<ScanCategory>(row.category);
  f->checked = row.checked;
  f->classesHive = row.classesHive;
}

}  // namespace

long CRegistryDeletion::Delete(CRegistryRowStore* rows, bool all, long* found, long* deleted) {
  // Rows are marked as they go and removed in one pass at the end, which
  // keeps a list of 100,000 rows linear instead of moving its tail each time.
  std::vector<bool> gone(rows->Size(), false);
  long count = 0;
  RegistryRow row;  // the row at hand, read out of the store
  for (std::size_t j = 0; j < rows->Size(); ++j) {
    if (!all && !rows->Checked(j)) continue;
    rows->Read(j, &row);
    const Outcome outcome = m_export(row);
    if (outcome == Outcome::kStop) break;
    if (outcome == Outcome::kKept) continue;
    gone[j] = true;
    if (m_removed) m_removed(j);
    ++count;
    if (deleted) ++*deleted;
    if (found) --*found;
    if (m_progress) {
      const FindingKey where = ResolveFindingKey(row.category, row.classesHive, row.location);
      m_progress(HivePrefix(where.hive) + where.path);
    }
  }
  if (count == 0) return 0;
  if (static_cast<std::size_t>(count) == rows->Size()) {
    rows->Clear();
  } else {
    rows->Erase(gone);
  }
  return count;
}

BackupDeletionResult DeleteWithBackup(IRegistry& reg, IFileSystem& fs, const std::string& path,
                                      int windowsFamily, CRegistryRowStore* rows, bool all,
                                      long* found, long* deleted,
                                      const BackupDeletionHooks& hooks) {
  BackupDeletionResult result;
  CRegExportFile file(reg, fs);
  result.error = file.OpenNew(path, &result.file);
  if (result.error == kErrorSuccess) result.error = file.WriteHeader(windowsFamily);
  // Without its backup nothing is deleted.
  if (result.error != kErrorSuccess) return result;
  RegistryFinding finding;
  CRegistryDeletion deletion(
      [&](const RegistryRow& row) {
        if (hooks.beforeRow) hooks.beforeRow();
        ToFinding(row, &finding);
        const long r = ExportAndRemoveFinding(file, row.location, finding);
        if (file.WriteError() != kErrorSuccess) return CRegistryDeletion::Outcome::kStop;
        if (r != kErrorSuccess && r != kErrorFileNotFound) return CRegistryDeletion::Outcome::kKept;
        return CRegistryDeletion::Outcome::kRemoved;
      },
      hooks.progress, hooks.removed);
  result.count = deletion.Delete(rows, all, found, deleted);
  result.error = file.WriteError();
  result.damagedEnd = file.CutBackFailed();
  if (hooks.beforeClose) hooks.beforeClose();
  const long closed = file.Close();
  if (result.error == kErrorSuccess) result.error = closed;
  return result;
}

}  // namespace tw
