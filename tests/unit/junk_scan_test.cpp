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

const char kCache[] = "C:\\Users\\U\\AppData\\Local\\Microsoft\\Windows\\INetCache";

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
    // A linked folder that points at its parent; drive D: is never chosen.
    fs.AddFolder("C:\\Data\\Loop");
    fs.SetAttributes("C:\\Data\\Loop", kAttrDirectory | kAttrReparsePoint);
    fs.AddFile("C:\\Data\\Loop\\looped.tmp");
    fs.AddFile("D:\\elsewhere.tmp");
    // The browser cache lies below "Microsoft"; a folder below it may still
    // belong to a program.
    fs.AddFile(std::string(kCache) + "\\Page.htm", "12");
    fs.AddFile(std::string(kCache) + "\\Office\\x.htm", "1");
    types.Add("*.tmp");
  }

  CMemoryFileSystem fs;
  CJunkTypes types;
  std::atomic<std::int32_t> stop{0};
  CRunControl control{&stop, [](unsigned) {}};
};

struct WalkCase {
  const char* what;
  std::vector<std::string> roots;
  std::string cacheFolder;
  bool walkTemp;
  bool typeTicked;  // *.tmp; otherwise no type at all
  bool stopped;
  std::vector<std::string> rows;
};

const WalkCase kWalkCases[] = {
    {"roots for the types, then the temporary folder whole, once",
     {"C:"},
     "",
     true,
     true,
     false,
     {"c:\\data\\ABC.TMP | 3 BYTE", "c:\\data\\sub\\b.tmp | 0 BYTE",
      // "microsoft" in a file name counts only for the types.
      "c:\\windows\\temp\\deeper\\microsoft.tmp | 1 BYTE", "c:\\windows\\temp\\one.log | 5 BYTE",
      "c:\\windows\\temp\\x.tmp | 1 BYTE"}},
    // The temporary folder is no part of a drive's walk, and nothing below
    // a folder named "...office" is ever listed.
    {"temporary folder option off", {"C:\\Windows", "C:\\Program Files"}, "", false, true, false, {}},
    {"no ticked type: only the cache folder", {"C:"}, "C:\\Data\\Sub", false, false, false,
     {"c:\\data\\sub\\b.tmp | 0 BYTE"}},
    {"a stop ends every walk", {"C:"}, "C:\\Data", true, true, true, {}},
    {"the cache below a folder named Microsoft", {}, kCache, false, false, false,
     {"c:\\users\\u\\appdata\\local\\microsoft\\windows\\inetcache\\Page.htm | 2 BYTE"}},
    {"a chosen folder that is a link", {"C:\\Data\\Loop"}, "", false, true, false, {}},
};

TEST_F(JunkScan, WalkTable) {
  for (const WalkCase& c : kWalkCases) {
    RecordingSink sink;
    CJunkTypes none;
    CJunkScanner scanner(fs, control, sink, c.typeTicked ? types : none);
    JunkScanPlan plan;
    plan.roots = c.roots;
    plan.cacheFolder = c.cacheFolder;
    plan.tempFolder = SystemTempFolder(fs);
    plan.walkTemp = c.walkTemp;
    stop = c.stopped ? 1 : 0;
    scanner.Run(plan);
    EXPECT_EQ(sink.rows, c.rows) << c.what << "\n" << fs.Dump();
    // Held and read-only junk is passed over without a status line; the
    // linked folder is never entered.
    for (const std::string& path : sink.scanned) {
      EXPECT_EQ(path.find("held"), std::string::npos) << c.what << ": " << path;
      EXPECT_EQ(path.find("ro.tmp"), std::string::npos) << c.what << ": " << path;
      EXPECT_EQ(path.find("loop"), std::string::npos) << c.what << ": " << path;
    }
    if (c.stopped) {
      EXPECT_TRUE(sink.scanned.empty()) << c.what;
    }
  }
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
