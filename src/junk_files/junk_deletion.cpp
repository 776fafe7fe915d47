#include "junk_files/junk_deletion.h"

#include "junk_files/removal_check.h"
#include "platform/text.h"

namespace tw {

namespace {

bool StillThere(IFileSystem& fs, const std::string& path) {
  return fs.GetFileAttributes(path) != kInvalidAttributes;
}

bool IsFolder(IFileSystem& fs, const std::string& path) {
  const std::uint32_t attrs = fs.GetFileAttributes(path);
  return attrs != kInvalidAttributes && (attrs & kAttrDirectory);
}

}  // namespace

RemoveOutcome RemoveFile(const RemoveContext& context, const std::string& path) {
  IFileSystem& fs = *context.files;
  const std::string& folder = context.backupFolder;
  if (context.deleteMode == 2) {
    // Looked up as a directory entry by name: a text ending in "\" or
    // naming a file does not pass. Told at the first row, whatever its file.
    FindData found;
    if (folder.empty() || !fs.FindFirst(folder, &found) || !found.IsDirectory()) {
      if (context.reportBadFolder) context.reportBadFolder();
      return RemoveOutcome::kAbort;
    }
  } else if (context.deleteMode != 0 && context.deleteMode != 1) {
    // A mode no settings screen offers (a hand-edited file): touch nothing.
    return RemoveOutcome::kFailed;
  }
  if (!context.roots) return RemoveOutcome::kFailed;
  switch (CheckRemovablePath(fs, *context.roots, path)) {
    case PathCheck::kPlainFile:
      break;
    case PathCheck::kGone:
      // Someone else removed it: nothing is left to fail.
      return RemoveOutcome::kDone;
    case PathCheck::kRefused:
      return RemoveOutcome::kFailed;
  }
  const bool fitsShell = path.size() <= kShellPathLimit;
  long rc = kErrorSuccess;
  switch (context.deleteMode) {
    case 0:
      // The recycle bin cannot hold what the shell cannot name; and when the
      // bin takes nothing, the shell must ask before deleting for good. The
      // question is the page's: a dialog of the worker thread without an
      // owner can sit behind the window.
      if (!fitsShell) return RemoveOutcome::kFailed;
      rc = context.shell->FileOperation(
          kFoDelete, path, "",
          kFofAllowUndo | kFofNoConfirmation | kFofNoErrorUi | kFofWantNukeWarning, context.owner);
      break;
    case 1:
      // Not the shell's delete: that takes a whole folder tree, and a folder
      // put in the file's place after the check would go with all it holds.
      rc = fs.DeleteFile(path);
      break;
    case 2: {
      std::string name;
      SplitAtLastBackslash(path, nullptr, &name);
      const std::string target = folder + "\\" + name;
      if (StillThere(fs, target)) {
        if (IsFolder(fs, target)) return RemoveOutcome::kFailed;
        if (!context.askOverwrite || !context.askOverwrite(name)) return RemoveOutcome::kKept;
      }
      rc = (fitsShell && target.size() <= kShellPathLimit)
               ? context.shell->FileOperation(kFoMove, path, target,
                                              kFofNoConfirmation | kFofNoErrorUi)
               : fs.MoveFileReplace(path, target);
      if (rc == kErrorSuccess && !StillThere(fs, target)) return RemoveOutcome::kFailed;
      break;
    }
    default:
      return RemoveOutcome::kFailed;
  }
  // The shell can report success for an operation that did nothing: only a
  // file that is gone counts as removed. DeleteFile succeeds only once the
  // name is gone; the look-up after it doubled the time of deleting
  // 100,000 files under Wine.
  if (rc != kErrorSuccess) return RemoveOutcome::kFailed;
  if (context.deleteMode != 1 && StillThere(fs, path)) return RemoveOutcome::kFailed;
  return RemoveOutcome::kDone;
}

int CCopiedJunkRows::Count() { return static_cast<int>(m_rows.size()) - m_nDropped; }

bool CCopiedJunkRows::Ticked(int row) {
  return m_rows[static_cast<std::size_t>(row + m_nDropped)].ticked;
}

std::string CCopiedJunkRows::Path(int row) {
  return m_rows[static_cast<std::size_t>(row + m_nDropped)].path;
}

void CCopiedJunkRows::Removed(int row, const std::string& path) {
  ++m_nDropped;
  if (m_dropped) m_dropped(row, path);
}

DeletionCounts RunDeletion(IJunkRows& rows, bool all, const CRunControl& control,
                           const std::function<RemoveOutcome(const std::string&)>& remove) {
  DeletionCounts counts;
  const int total = rows.Count();
  int row = 0;
  for (int step = 0; step < total; ++step) {
    if (control.Poll()) break;
    if (row >= rows.Count()) break;
    if (!all && !rows.Ticked(row)) {
      ++row;
      continue;
    }
    if (control.Poll()) break;
    const std::string path = rows.Path(row);
    const RemoveOutcome outcome = remove(path);
    if (outcome == RemoveOutcome::kAbort) break;
    if (outcome == RemoveOutcome::kDone) {
      ++counts.removed;
      rows.Removed(row, path);
      continue;
    }
    if (outcome == RemoveOutcome::kFailed) ++counts.failed;
    ++row;
  }
  return counts;
}

}  // namespace tw
