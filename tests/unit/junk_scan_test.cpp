// The junk-file walk on the in-memory file system: what it lists, in what
// order, and what it leaves alone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "junk_files/junk_scanner.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"

namespace tw {
namespace {

class RecordingSink : public IJunkScanSink {
 public:
  void OnScanFile(const std::string& path) override { scanned.push_back(path); }
  void OnJunkFile(const std::string& path, std::uint64_t size) override {
    rows.push_back(path + " | " + SizeText(size));
  }
  std::vector<std::string> scanned;
  std::vector<std::string> rows;
};

class JunkScan : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage(936);
    fs.AddDrive('C', kDriveFixed);
    fs.AddDrive('D', kDriveFixed);
    fs.SetTempPath("C:\\Windows\\Temp\\");
    fs.AddFile("C:\\Windows\\Temp\\one.log", "12345");
    fs.AddFile("C:\\Windows\\Temp\\Deeper\\microsoft.tmp", "1");
    fs.AddFile("C:\\Windows\\Temp\\x.tmp", "1");
    fs.AddFile("C:\\Data\\ABC.TMP", "123");
    fs.AddFile("C:\\Data\\keep.txt");
    fs.AddFile("C:\\Data\\Sub\\b.tmp", "");
    fs.AddFile("C:\\Data\\microsoft.tmp");
    fs.AddFile("C:\\Program Files\\Microsoft Office\\x.tmp");
    fs.AddFile("C:\\Data\\held.tmp");
    fs.SetInUse("C:\\Data\\held.tmp", true);
    fs.AddFile("C:\\Data\\ro.tmp", "", kAttrReadOnly);
    // A linked folder that points at its parent, and one to another drive.
    fs.AddFolder("C:\\Data\\Loop");
    fs.SetAttributes("C:\\Data\\Loop", kAttrDirectory | kAttrReparsePoint);
    fs.AddFile("C:\\Data\\Loop\\looped.tmp");
    fs.AddFile("D:\\elsewhere.tmp");
    types.Add("*.tmp");
  }

  std::vector<std::string> Scan(const JunkScanPlan& plan) {
    RecordingSink sink;
    CJunkScanner scanner(fs, control, sink, types);
    scanner.Run(plan);
    scanned = sink.scanned;
    return sink.rows;
  }

  CMemoryFileSystem fs;
  CJunkTypes types;
  std::atomic<std::int32_t> stop{0};
  CRunControl control{&stop, [](unsigned) {}};
  std::vector<std::string> scanned;
};

TEST_F(JunkScan, WalksRootsForTypesAndTheTemporaryFolderWhole) {
  JunkScanPlan plan;
  plan.roots = {"C:"};
  plan.tempFolder = SystemTempFolder(fs);
  EXPECT_EQ(plan.tempFolder, "C:\\Windows\\Temp");
  plan.walkTemp = true;
  const std::vector<std::string> expected = {
      "c:\\data\\ABC.TMP | 3 BYTE",
      "c:\\data\\sub\\b.tmp | 0 BYTE",
      // The temporary folder comes last and whole, once; "microsoft" in a
      // file name counts only for the types.
      "c:\\windows\\temp\\deeper\\microsoft.tmp | 1 BYTE",
      "c:\\windows\\temp\\one.log | 5 BYTE",
      "c:\\windows\\temp\\x.tmp | 1 BYTE",
  };
  EXPECT_EQ(Scan(plan), expected) << fs.Dump();
  // Held and read-only files are passed over without a status line; the
  // linked folder is never entered.
  for (const std::string& path : scanned) {
    EXPECT_EQ(path.find("held"), std::string::npos) << path;
    EXPECT_EQ(path.find("ro.tmp"), std::string::npos) << path;
    EXPECT_EQ(path.find("loop"), std::string::npos) << path;
  }
}

TEST_F(JunkScan, TemporaryFolderOffLeavesItOutOfTheDrive) {
  JunkScanPlan plan;
  plan.roots = {"C:\\Windows", "C:\\Program Files"};
  plan.tempFolder = SystemTempFolder(fs);
  EXPECT_TRUE(Scan(plan).empty()) << fs.Dump();
  // The file under "microsoft office" is looked at, never listed.
  EXPECT_EQ(scanned, std::vector<std::string>{"c:\\program files\\microsoft office\\x.tmp"});
}

TEST_F(JunkScan, NoTickedTypeWalksOnlyTheTemporaryAndCacheFolders) {
  CJunkTypes none;
  RecordingSink sink;
  CJunkScanner scanner(fs, control, sink, none);
  JunkScanPlan plan;
  plan.roots = {"C:"};
  plan.tempFolder = "C:\\Windows\\Temp";
  plan.cacheFolder = "C:\\Data\\Sub";
  scanner.Run(plan);
  EXPECT_EQ(sink.rows, std::vector<std::string>{"c:\\data\\sub\\b.tmp | 0 BYTE"});
}

TEST_F(JunkScan, FilesOver4GBShowTheirWholeSize) {
  // Sizes come from the directory entry; the memory file system reports its
  // contents' length, so the text is checked directly.
  EXPECT_EQ(SizeText(5368709120ull), "5368709120 BYTE");
}

TEST_F(JunkScan, AStopEndsEveryWalk) {
  stop = 1;
  JunkScanPlan plan;
  plan.roots = {"C:"};
  plan.tempFolder = "C:\\Windows\\Temp";
  plan.walkTemp = true;
  EXPECT_TRUE(Scan(plan).empty());
  EXPECT_TRUE(scanned.empty());
}

TEST_F(JunkScan, BrowserCacheFolderFromTheShellFolders) {
  CMemoryRegistry reg;
  EXPECT_EQ(BrowserCacheFolder(reg), "");
  RegKey key = 0;
  ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                          &key),
            0);
  const char value[] = "C:\\Cache";
  ASSERT_EQ(reg.SetValue(key, "Cache", kRegSz, value, sizeof value), 0);
  reg.CloseKey(key);
  EXPECT_EQ(BrowserCacheFolder(reg), "C:\\Cache");
}

}  // namespace
}  // namespace tw
