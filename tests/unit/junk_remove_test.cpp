// Removing found files: what each mode does to the file and what it answers,
// failures included, then the loop over the result rows.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "junk_files/junk_deletion.h"
#include "junk_files/removal_check.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_shell.h"

namespace tw {
namespace {

enum class Scene { kPlain, kInUse, kReadOnly, kMissing, kNoRecycleBin, kBackupCopy, kBadFolder,
                   kFolderAsBackup, kLongPath, kFolderInItsPlace, kLinkOnTheWay };

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
    // Gone already: its row goes, and it is no failure to report.
    {"a file gone meanwhile", 1, Scene::kMissing, false, RemoveOutcome::kDone, false, 0,
     nullptr},
    {"a file gone meanwhile, backup mode", 2, Scene::kMissing, false, RemoveOutcome::kDone, false,
     0, nullptr},
    // A folder put in the file's place keeps all it holds, in every mode.
    {"recycle a folder in the file's place", 0, Scene::kFolderInItsPlace, false,
     RemoveOutcome::kFailed, true, 0, nullptr},
    {"delete a folder in the file's place", 1, Scene::kFolderInItsPlace, false,
     RemoveOutcome::kFailed, true, 0, nullptr},
    {"move a folder in the file's place", 2, Scene::kFolderInItsPlace, false,
     RemoveOutcome::kFailed, true, 0, nullptr},
    {"delete through a folder become a link", 1, Scene::kLinkOnTheWay, false,
     RemoveOutcome::kFailed, true, 0, nullptr},
    {"move through a folder become a link", 2, Scene::kLinkOnTheWay, false,
     RemoveOutcome::kFailed, true, 0, nullptr},
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
    if (c.scene == Scene::kFolderInItsPlace) {
      fs.AddFile(path + "\\inside.txt", "precious");
    } else if (c.scene != Scene::kMissing) {
      fs.AddFile(path, "junk");
    }
    if (c.scene == Scene::kLinkOnTheWay) fs.SetAttributes("C:\\Data", kAttrDirectory | kAttrReparsePoint);
    if (c.scene == Scene::kInUse) fs.SetInUse(path, true);
    if (c.scene == Scene::kReadOnly) fs.SetAttributes(path, kAttrReadOnly);
    if (c.scene == Scene::kNoRecycleBin) shell.SetRecycleBinUsable(false);
    if (c.scene == Scene::kBackupCopy) fs.AddFile("C:\\Backup\\a.tmp", "old");

    RemoveContext context;
    context.files = &fs;
    context.shell = &shell;
    context.deleteMode = c.mode;
    const std::vector<std::string> roots = {"c:"};
    context.roots = &roots;
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
    } else {
      EXPECT_FALSE(fs.Exists("C:\\Backup\\a.tmp")) << c.what << "\n" << fs.Dump();
    }
    if (c.scene == Scene::kFolderInItsPlace) {
      EXPECT_EQ(fs.Contents(path + "\\inside.txt"), "precious") << c.what;
    }
    if (c.scene == Scene::kNoRecycleBin) {
      EXPECT_EQ(shell.NukeQuestions(), 1);
    }
  }
}

struct CheckCase {
  const char* what;
  const char* path;
  PathCheck expected;
};

// What the path of a row must still name when its turn comes. Found below
// the walked folder c:\data: d.tmp, x (no dot), a folder, a linked folder
// and a linked file.
TEST(JunkRemove, RecheckTable) {
  const CheckCase cases[] = {
      {"a plain file", "c:\\data\\sub\\d.tmp", PathCheck::kPlainFile},
      {"gone", "c:\\data\\sub\\e.tmp", PathCheck::kGone},
      {"its folder gone", "c:\\data\\none\\d.tmp", PathCheck::kGone},
      {"outside every walked folder", "c:\\other\\d.tmp", PathCheck::kRefused},
      {"the walked folder's sibling that starts alike", "c:\\database\\d.tmp", PathCheck::kRefused},
      {"a star", "c:\\data\\sub\\*.tmp", PathCheck::kRefused},
      {"a question mark", "c:\\data\\sub\\?.tmp", PathCheck::kRefused},
      {"a question mark in a folder", "c:\\data\\s?b\\d.tmp", PathCheck::kRefused},
      {"a trailing dot names the sibling without it", "c:\\data\\x.", PathCheck::kRefused},
      {"a trailing blank", "c:\\data\\x ", PathCheck::kRefused},
      {"a folder's trailing dot", "c:\\data\\sub.\\d.tmp", PathCheck::kRefused},
      {"the name in other letters", "c:\\data\\sub\\D.TMP", PathCheck::kRefused},
      {"a folder", "c:\\data\\sub", PathCheck::kRefused},
      {"through a linked folder", "c:\\data\\link\\d.tmp", PathCheck::kRefused},
      {"a linked file", "c:\\data\\linked.tmp", PathCheck::kRefused},
      {"an empty part", "c:\\data\\\\x", PathCheck::kRefused},
  };
  CMemoryFileSystem fs;
  fs.AddDrive('C', kDriveFixed);
  fs.AddFile("C:\\Data\\Sub\\d.tmp");
  fs.AddFile("C:\\Data\\x");
  fs.AddFile("C:\\Data\\Link\\d.tmp");
  fs.SetAttributes("C:\\Data\\Link", kAttrDirectory | kAttrReparsePoint);
  fs.AddFile("C:\\Data\\linked.tmp", "", kAttrArchive | kAttrReparsePoint);
  fs.AddFile("C:\\Database\\d.tmp");
  const std::vector<std::string> roots = WalkedRoots({"C:\\Data\\"}, "", "");
  for (const CheckCase& c : cases) {
    EXPECT_EQ(CheckRemovablePath(fs, roots, c.path), c.expected) << c.what << "\n" << fs.Dump();
  }
  // The walked folder itself become a link: nothing below it is removed.
  fs.SetAttributes("C:\\Data", kAttrDirectory | kAttrReparsePoint);
  EXPECT_EQ(CheckRemovablePath(fs, roots, "c:\\data\\sub\\d.tmp"), PathCheck::kRefused);
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
