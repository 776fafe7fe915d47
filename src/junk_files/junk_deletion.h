// Removing the found files: one file by the chosen mode (recycle bin, for
// good, or moved into the backup folder) through the shell, and the loop
// over the result rows. A removal counts only when the file is gone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/run_control.h"

namespace tw {

enum class RemoveOutcome {
  kDone,    // the file is gone (or moved), or was gone already; its row goes
  kKept,    // the user declined to overwrite the backup copy; the row stays
  kFailed,  // not removed (in use, denied, no recycle bin, or the path no longer
            // names the plain file the scan found); the row stays
  kAbort,   // the backup folder is unusable; the whole deletion ends
};

struct RemoveContext {
  IFileSystem* files = nullptr;
  IShell* shell = nullptr;
  int deleteMode = 0;
  // The folders the scan walked (WalkedRoots): a file is removed only when
  // it still lies below one of them through plain folders. None: nothing goes.
  const std::vector<std::string>* roots = nullptr;
  std::string backupFolder;  // mode 2: as the user left it in the edit box
  // Mode 2, a copy of that name is in the backup folder already: true to
  // replace it. The argument is the file name.
  std::function<bool(const std::string& name)> askOverwrite;
  // The window that owns the shell's questions (the page), 0 for none.
  std::uintptr_t owner = 0;
  // Mode 2, the backup folder does not exist: tell the user.
  std::function<void()> reportBadFolder;
};

// The shell's buffers hold 259 characters and the list's extra zero.
constexpr std::size_t kShellPathLimit = 258;

RemoveOutcome RemoveFile(const RemoveContext& context, const std::string& path);

// The rows of the result list, as the deletion loop sees them.
class IJunkRows {
 public:
  virtual ~IJunkRows() = default;
  virtual int Count() = 0;
  virtual bool Ticked(int row) = 0;
  virtual std::string Path(int row) = 0;
  // The file of the row is gone: drop the row (the rows after it move up).
  virtual void Removed(int row, const std::string& path) = 0;
};

// A row as a deletion copies it from the list at its start.
struct JunkRowCopy {
  std::string path;
  bool ticked = false;
};

// The rows of a deletion as copied at its start, so that the loop never asks
// the list itself (from the worker, every question to the list is a round
// trip to the interface thread: 0.7 ms under Wine, more than the removal of
// the file). `dropped` hears each row to take out of the list, numbered as
// the list stands at that moment, in order. RunDeletion drops only the row
// it stands on and keeps every row above it, so row r of the list is copy
// r + (rows dropped so far).
class CCopiedJunkRows : public IJunkRows {
 public:
  using Dropped = std::function<void(int row, const std::string& path)>;
  CCopiedJunkRows(std::vector<JunkRowCopy> rows, Dropped dropped)
      : m_rows(std::move(rows)), m_dropped(std::move(dropped)) {}
  int Count() override;
  bool Ticked(int row) override;
  std::string Path(int row) override;
  void Removed(int row, const std::string& path) override;

 private:
  std::vector<JunkRowCopy> m_rows;
  Dropped m_dropped;
  int m_nDropped = 0;
};

struct DeletionCounts {
  long removed = 0;  // m_nDeleted
  long failed = 0;   // rows whose file stayed against the user's wish
};

// Considers each row present at the start once, top to bottom: every row
// (all) or the ticked ones. Ends at a stop, or at kAbort with that row and
// the later ones left. `remove` is RemoveFile with the settings read anew
// for each file.
DeletionCounts RunDeletion(IJunkRows& rows, bool all, const CRunControl& control,
                           const std::function<RemoveOutcome(const std::string&)>& remove);

}  // namespace tw
