// Removing found files: what each mode does to the file and what it answers,
// failures included, then the loop over the result rows.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "junk_files/junk_deletion.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_shell.h"

namespace tw {
namespace {

enum class Scene { kPlain, kInUse, kReadOnly, kMissing, kNoRecycleBin, kBackupCopy, kBadFolder,
                   kFolderAsBackup, kLongPath };

struct RemoveCase {
  const char* what;
  int mode;
  Scene scene;
  bool overwriteAnswer;
  RemoveOutcome outcome;
  bool fileStays;
  std::size_t recycled;
  const char* backupContents;  // the backup copy afterwards; null: none expected
};

const RemoveCase kRemoveCases[] = {
    {"recycle", 0, Scene::kPlain, false, RemoveOutcome::kDone, false, 1, nullptr},
    {"delete for good", 1, Scene::kPlain, false, RemoveOutcome::kDone, false, 0, nullptr},
    {"move to the backup folder", 2, Scene::kPlain, false, RemoveOutcome::kDone, false, 0, "junk"},
    {"recycle a file in use", 0, Scene::kInUse, false, RemoveOutcome::kFailed, true, 0, nullptr},
    {"delete a file in use", 1, Scene::kInUse, false, RemoveOutcome::kFailed, true, 0, nullptr},
    {"move a file in use", 2, Scene::kInUse, false, RemoveOutcome::kFailed, true, 0, nullptr},
    {"delete a read-only file", 1, Scene::kReadOnly, false, RemoveOutcome::kFailed, true, 0,
     nullptr},
    {"a file gone meanwhile", 1, Scene::kMissing, false, RemoveOutcome::kFailed, false, 0,
     nullptr},
    // Without a recycle bin the shell would delete for good; it asks, the
    // answer is No, and the file stays.
    {"recycle without a bin", 0, Scene::kNoRecycleBin, false, RemoveOutcome::kFailed, true, 0,
     nullptr},
    {"overwrite the backup copy", 2, Scene::kBackupCopy, true, RemoveOutcome::kDone, false, 0,
     "junk"},
    {"keep the backup copy", 2, Scene::kBackupCopy, false, RemoveOutcome::kKept, true, 0, "old"},
    {"backup folder missing", 2, Scene::kBadFolder, false, RemoveOutcome::kAbort, true, 0,
     nullptr},
    {"backup folder named with a trailing backslash", 2, Scene::kFolderAsBackup, false,
     RemoveOutcome::kAbort, true, 0, nullptr},
    {"recycle a path the shell cannot take", 0, Scene::kLongPath, false, RemoveOutcome::kFailed,
     true, 0, nullptr},
    {"delete a path the shell cannot take", 1, Scene::kLongPath, false, RemoveOutcome::kDone,
     false, 0, nullptr},
    {"unknown mode", 7, Scene::kPlain, false, RemoveOutcome::kFailed, true, 0, nullptr},
};

TEST(JunkRemove, RemoveFileTable) {
  for (const RemoveCase& c : kRemoveCases) {
    CMemoryFileSystem fs;
    CMemoryShell shell(fs);
    fs.AddDrive('C', kDriveFixed);
    fs.AddFolder("C:\\Backup");
    std::string path = "C:\\Data\\a.tmp";
    if (c.scene == Scene::kLongPath) path = "C:\\Data\\" + std::string(300, 'l') + ".tmp";
    if (c.scene != Scene::kMissing) fs.AddFile(path, "junk");
    if (c.scene == Scene::kInUse) fs.SetInUse(path, true);
    if (c.scene == Scene::kReadOnly) fs.SetAttributes(path, kAttrReadOnly);
    if (c.scene == Scene::kNoRecycleBin) shell.SetRecycleBinUsable(false);
    if (c.scene == Scene::kBackupCopy) fs.AddFile("C:\\Backup\\a.tmp", "old");

    RemoveContext context;
    context.files = &fs;
    context.shell = &shell;
    context.deleteMode = c.mode;
    context.backupFolder = c.scene == Scene::kBadFolder        ? "C:\\Nowhere"
                           : c.scene == Scene::kFolderAsBackup ? "C:\\Backup\\"
                                                               : "C:\\Backup";
    int asked = 0, reported = 0;
    context.askOverwrite = [&](const std::string& name) {
      ++asked;
      EXPECT_EQ(name, "a.tmp") << c.what;
      return c.overwriteAnswer;
    };
    context.reportBadFolder = [&] { ++reported; };

    EXPECT_EQ(RemoveFile(context, path), c.outcome) << c.what << "\n" << fs.Dump();
    EXPECT_EQ(fs.Exists(path), c.fileStays) << c.what << "\n" << fs.Dump();
    EXPECT_EQ(fs.RecycleBin().size(), c.recycled) << c.what;
    EXPECT_EQ(asked, c.scene == Scene::kBackupCopy ? 1 : 0) << c.what;
    EXPECT_EQ(reported, c.outcome == RemoveOutcome::kAbort ? 1 : 0) << c.what;
    if (c.backupContents) {
      EXPECT_EQ(fs.Contents("C:\\Backup\\a.tmp"), c.backupContents) << c.what;
    }
    if (c.scene == Scene::kNoRecycleBin) {
      EXPECT_EQ(shell.NukeQuestions(), 1);
    }
  }
}

// The result rows as a list of paths with ticks.
class FakeRows : public IJunkRows {
 public:
  struct Row {
    std::string path;
    bool ticked;
  };
  explicit FakeRows(std::vector<Row> rows) : rows(std::move(rows)) {}
  int Count() override { return static_cast<int>(rows.size()); }
  bool Ticked(int row) override { return rows[row].ticked; }
  std::string Path(int row) override { return rows[row].path; }
  void Removed(int row, const std::string& path) override {
    EXPECT_EQ(rows[row].path, path);
    rows.erase(rows.begin() + row);
  }
  std::vector<std::string> Left() const {
    std::vector<std::string> out;
    for (const Row& r : rows) out.push_back(r.path);
    return out;
  }
  std::vector<Row> rows;
};

struct LoopCase {
  const char* what;
  bool all;
  std::vector<std::string> failing;  // paths whose removal fails
  std::string abortAt;               // the path at which the backup folder is found unusable
  int stopAfter;                     // removals before a stop; -1 none
  std::vector<std::string> tried;
  std::vector<std::string> left;
  long removed, failed;
};

TEST(JunkRemove, DeletionLoopTable) {
  const std::vector<FakeRows::Row> start = {
      {"a", true}, {"b", false}, {"c", true}, {"d", false}, {"e", true}};
  const LoopCase cases[] = {
      {"three ticked of five", false, {}, "", -1, {"a", "c", "e"}, {"b", "d"}, 3, 0},
      {"all rows", true, {}, "", -1, {"a", "b", "c", "d", "e"}, {}, 5, 0},
      {"a failure keeps its row", false, {"c"}, "", -1, {"a", "c", "e"}, {"b", "c", "d"}, 2, 1},
      {"an abort leaves the rest", false, {}, "c", -1, {"a", "c"}, {"b", "c", "d", "e"}, 1, 0},
      {"a stop leaves the rest", true, {}, "", 2, {"a", "b"}, {"c", "d", "e"}, 2, 0},
  };
  for (const LoopCase& c : cases) {
    // The loop on the list itself, and on a copy of it whose dropped rows
    // are taken out of the list in the order told (as the page does).
    for (bool copied : {false, true}) {
      FakeRows rows(start);
      std::vector<JunkRowCopy> copy;
      for (const FakeRows::Row& r : start) copy.push_back({r.path, r.ticked});
      CCopiedJunkRows copyRows(copy, [&rows](int row, const std::string& path) {
        rows.Removed(row, path);
      });
      std::atomic<std::int32_t> stop{0};
      CRunControl control(&stop, [](unsigned) {});
      std::vector<std::string> tried;
      IJunkRows& loopRows = copied ? static_cast<IJunkRows&>(copyRows) : rows;
      const DeletionCounts counts =
          RunDeletion(loopRows, c.all, control, [&](const std::string& path) {
            tried.push_back(path);
            if (static_cast<int>(tried.size()) == c.stopAfter) stop = 1;
            if (path == c.abortAt) return RemoveOutcome::kAbort;
            for (const auto& f : c.failing) {
              if (f == path) return RemoveOutcome::kFailed;
            }
            return RemoveOutcome::kDone;
          });
      const std::string what = std::string(c.what) + (copied ? " (copied rows)" : "");
      EXPECT_EQ(tried, c.tried) << what;
      EXPECT_EQ(rows.Left(), c.left) << what;
      EXPECT_EQ(counts.removed, c.removed) << what;
      EXPECT_EQ(counts.failed, c.failed) << what;
    }
  }
}

}  // namespace
}  // namespace tw
