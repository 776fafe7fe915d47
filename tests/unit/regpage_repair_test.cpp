#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/text.h"
#include "registry_cleaner/registry_finding.h"
#include "registry_cleaner/registry_repair.h"
#include "registry_cleaner/repair_backup.h"
#include "unit/regexport_reader.h"
#include "unit/regpage_gbk.h"

namespace {

using regpage_test::Gbk;

class RegistryRepair : public ::testing::Test {
 protected:
  void SetUp() override {
    tw::SetAnsiCodePage(936);
    tw::ClearScanFlags();
    fs.AddDrive('C', tw::kDriveFixed, "System");
    fs.AddDrive('D', tw::kDriveFixed);
    fs.AddDrive('E', tw::kDriveCdrom);
    fs.AddFolder("C:\\Old");
    fs.AddFile("D:\\Lib\\Foo.DLL");
    fs.AddFile("D:\\Lib\\X.dll");
    fs.AddFile("D:\\Lib\\App.exe");
    fs.AddFile("D:\\Other\\Deep\\x.dll");
    fs.AddFile("C:\\App\\Run.exe");
    fs.AddFolder("C:\\Prog\\A");
    platform.registry = &reg;
    platform.files = &fs;
    platform.shell = &shell;
  }

  tw::CRegistryRepair MakeRepair(bool backupSucceeds = true) {
    return tw::CRegistryRepair(
        platform, run, prefix,
        [this, backupSucceeds](tw::RegKey hive, const std::string& key, const std::string& name) {
          backups.emplace_back(hive, key, name);
          return backupSucceeds;
        },
        [this](const std::string& key) { progress.push_back(key); });
  }
  tw::RepairRequest Row(int category, const std::string& location, const std::string& path,
                        const std::string& valueName = "") {
    return {category, location, prefix + path, valueName};
  }
  std::string Read(tw::RegKey root, const std::string& path, const std::string& name,
                   std::uint32_t* type = nullptr) {
    tw::CRegKeyGuard key(reg);
    if (reg.OpenKey(root, path, tw::kKeyRead, key.Put()) != 0) return "<no key>";
    std::uint32_t t = 0;
    std::vector<std::uint8_t> data;
    if (reg.QueryValue(key.Get(), name, &t, &data, tw::kUnlimited) != 0) return "<no value>";
    if (type) *type = t;
    std::string s(data.begin(), data.end());
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  }

  tw::CMemoryRegistry reg;
  tw::CMemoryFileSystem fs;
  tw::CMemoryShell shell{fs};
  tw::Platform platform;
  std::atomic<std::int32_t> pageStop{0};
  tw::CRunControl run{&pageStop, [](unsigned) {}};
  const std::string prefix = Gbk("无效路径:  ");
  std::vector<std::tuple<tw::RegKey, std::string, std::string>> backups;
  std::vector<std::string> progress;
};

TEST_F(RegistryRepair, SplitsABrokenPathIntoFileNameAndPattern) {
  struct Case {
    const char* path;
    bool result;
    const char* fileName;
    const char* candidate;
    const char* pattern;
  };
  const Case cases[] = {
      {"c:\\old\\gone.dll", true, "gone.dll", "c:\\old\\gone.dll", "%s"},
      {"C:\\Old\\Gone.DLL\\", true, "gone.dll", "c:\\old\\gone.dll", "%s"},
      {"\"c:\\old\\app.exe\" /s", true, "app.exe", "c:\\old\\app.exe", "%s"},
      // An existing program before the marker is the candidate.
      {"c:\\app\\run.exe\\sub", true, "run.exe", "c:\\app\\run.exe", "%s\\sub"},
      // The separator scan stops at the first prefix that exists.
      {"c:\\prog\\a b\\x.exe", true, "a", "c:\\prog\\a", "%s b\\x.exe"},
      {"e:\\setup\\x.dll", false, "", "", ""},  // CD-ROM: never repaired
      {"%systemroot%\\x.dll", false, "", "", ""},
      {"x.dll", false, "", "", ""},
  };
  auto repair = MakeRepair();
  for (const auto& c : cases) {
    auto split = repair.SplitBrokenPath(c.path);
    ASSERT_EQ(split.has_value(), c.result) << c.path;
    if (!split) continue;
    EXPECT_EQ(split->fileName, c.fileName) << c.path;
    EXPECT_EQ(split->candidate, c.candidate) << c.path;
    EXPECT_EQ(split->pattern, c.pattern) << c.path;
  }
  pageStop = 1;
  EXPECT_FALSE(repair.SplitBrokenPath("c:\\old\\gone.dll").has_value());
}

TEST_F(RegistryRepair, SearchesFoldersDepthFirstAndAnswersInLowerCase) {
  auto repair = MakeRepair();
  EXPECT_EQ(repair.SearchFolderTree("D:\\Lib", "foo.dll").value_or("-"), "d:\\lib\\foo.dll");
  EXPECT_EQ(repair.SearchFolderTree("D:", "FOO.DLL").value_or("-"), "d:\\lib\\foo.dll");
  EXPECT_EQ(repair.SearchFolderTree("D:\\Other", "x.dll").value_or("-"),
            "d:\\other\\deep\\x.dll");
  EXPECT_FALSE(repair.SearchFolderTree("D:\\Missing", "x.dll"));
  EXPECT_FALSE(repair.SearchFolderTree("D:", "none.dll"));

  repair.SetFolders({"C:\\Old", "D:\\Other", "D:\\"});
  EXPECT_EQ(repair.FindFileInFolders("x.dll").value_or("-"), "d:\\other\\deep\\x.dll");
  EXPECT_EQ(repair.FindFileInFolders("app.exe").value_or("-"), "d:\\lib\\app.exe");
  EXPECT_FALSE(repair.FindFileInFolders(""));
  pageStop = 1;
  EXPECT_FALSE(repair.FindFileInFolders("x.dll"));
}

TEST_F(RegistryRepair, ALinkedFolderIsNotFollowed) {
  fs.AddFolder("D:\\Loop");
  fs.SetAttributes("D:\\Loop", tw::kAttrDirectory | tw::kAttrReparsePoint);
  fs.AddFile("D:\\Loop\\hidden.dll");
  auto repair = MakeRepair();
  EXPECT_FALSE(repair.SearchFolderTree("D:", "hidden.dll"));
}

TEST_F(RegistryRepair, RewritesAComServerAfterBackingItUp) {
  reg.SeedString(tw::kHkeyClassesRoot, "CLSID\\{X}\\InprocServer32", "", "C:\\Old\\X.dll");
  auto repair = MakeRepair();
  repair.SetFolders({"D:\\"});
  EXPECT_TRUE(repair.RepairFinding(Row(4, "CLSID\\{X}", "c:\\old\\x.dll")));
  EXPECT_EQ(Read(tw::kHkeyClassesRoot, "CLSID\\{X}\\InprocServer32", ""), "d:\\lib\\x.dll")
      << reg.Dump();
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0],
            std::make_tuple(tw::kHkeyLocalMachine,
                            std::string("Software\\Classes\\CLSID\\{X}\\InprocServer32"),
                            std::string()));
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{X}\\InprocServer32");
}

TEST_F(RegistryRepair, KeepsQuotesArgumentsAndTypeAroundTheNewPath) {
  reg.SeedString(tw::kHkeyCurrentUser, "Software\\App", "Run", "\"C:\\Old\\App.exe\" /S");
  reg.Seed(tw::kHkeyLocalMachine, "Software\\App", "Lib", tw::kRegExpandSz,
           std::string("C:\\Old\\Foo.dll\0", 15));
  auto repair = MakeRepair();
  repair.SetFolders({"D:\\Lib"});
  EXPECT_TRUE(repair.RepairFinding(Row(0, "Software\\App", "c:\\old\\app.exe", "Run")));
  EXPECT_EQ(Read(tw::kHkeyCurrentUser, "Software\\App", "Run"), "\"d:\\lib\\app.exe\" /S");
  std::uint32_t type = 0;
  EXPECT_TRUE(repair.RepairFinding(Row(1, "Software\\App", "c:\\old\\foo.dll", "Lib")));
  EXPECT_EQ(Read(tw::kHkeyLocalMachine, "Software\\App", "Lib", &type), "d:\\lib\\foo.dll");
  EXPECT_EQ(type, tw::kRegExpandSz);
  EXPECT_EQ(backups.size(), 2u);
}

TEST_F(RegistryRepair, LeavesEverythingElseAlone) {
  const std::string nameAsPath = "C:\\Old\\X.dll";
  reg.SeedString(tw::kHkeyCurrentUser, "Software\\Names", nameAsPath, "plain text");
  reg.SeedDword(tw::kHkeyCurrentUser, "Software\\Names", "C:\\Old\\App.exe", 7);
  reg.SeedString(tw::kHkeyCurrentUser, "Software\\App", "Run", "C:\\Old\\Missing.exe");
  reg.SeedString(tw::kHkeyClassesRoot, "TypeLib\\{T}\\1.0\\0\\win32", "", "C:\\Old\\X.dll");
  reg.SeedString(tw::kHkeyClassesRoot, "CLSID\\{Y}\\InprocServer32", "", "C:\\Old\\X.dll");
  const std::string before = reg.Dump();
  struct Case {
    const char* name;
    tw::RepairRequest row;
    bool stop;
    bool backupSucceeds;
  };
  const Case cases[] = {
      {"a finding from the value's name", Row(0, "Software\\Names", "c:\\old\\x.dll", nameAsPath),
       false, true},
      {"a name finding of a DWORD value",
       Row(0, "Software\\Names", "c:\\old\\app.exe", "C:\\Old\\App.exe"), false, true},
      {"no file of that name in the folders", Row(0, "Software\\App", "c:\\old\\missing.exe", "Run"),
       false, true},
      {"a type library", Row(5, "TypeLib\\{T}", "c:\\old\\x.dll"), false, true},
      {"an uninstall finding", {6, "SOFTWARE\\X", Gbk("无效反安装"), ""}, false, true},
      {"a file association", {9, ".abc", Gbk("无效文件关联"), ""}, false, true},
      {"the prefix alone", {0, "Software\\App", prefix, "Run"}, false, true},
      {"a key that is gone", Row(4, "CLSID\\{Gone}", "c:\\old\\x.dll"), false, true},
      {"a stop request", Row(4, "CLSID\\{Y}", "c:\\old\\x.dll"), true, true},
      {"a backup that cannot be written", Row(4, "CLSID\\{Y}", "c:\\old\\x.dll"), false, false},
      {"data changed since the scan", Row(4, "CLSID\\{Y}", "c:\\old\\other.dll"), false, true},
  };
  for (const auto& c : cases) {
    pageStop = c.stop ? 1 : 0;
    auto repair = MakeRepair(c.backupSucceeds);
    repair.SetFolders({"D:\\"});
    EXPECT_FALSE(repair.RepairFinding(c.row)) << c.name;
    EXPECT_EQ(reg.Dump(), before) << c.name;
  }
  // Only the failing backup was ever attempted.
  EXPECT_EQ(backups.size(), 1u);
}

// Notes what of the backup file had reached the disk when the first value
// changed.
class CFlushNotingRegistry : public tw::CMemoryRegistry {
 public:
  CFlushNotingRegistry(tw::CMemoryFileSystem& fs, std::string path)
      : m_fs(fs), m_path(std::move(path)) {}
  long SetValue(tw::RegKey key, const std::string& name, std::uint32_t type, const void* data,
                std::size_t size) override {
    if (!changed) flushedAtFirstChange = m_fs.FlushedContents(m_path);
    changed = true;
    return tw::CMemoryRegistry::SetValue(key, name, type, data, size);
  }
  bool changed = false;
  std::string flushedAtFirstChange;

 private:
  tw::CMemoryFileSystem& m_fs;
  std::string m_path;
};

// A repair run's backup is on the disk before the run's first change, and
// whole at its end: importing it gives back every old value.
TEST_F(RegistryRepair, TheBackupReachesTheDiskBeforeTheFirstChange) {
  const std::string path = "C:\\Prog\\RegBackup\\2006_3_7_9_5_0.reg";
  ASSERT_TRUE(fs.AddFolder("C:\\Prog\\RegBackup"));
  CFlushNotingRegistry watching(fs, path);
  watching.SeedString(tw::kHkeyClassesRoot, "CLSID\\{X}\\InprocServer32", "", "C:\\Old\\X.dll");
  watching.SeedString(tw::kHkeyCurrentUser, "Software\\App", "Run", "C:\\Old\\App.exe");
  const std::string before = watching.Dump();
  watching.changed = false;  // seeding counts as a change
  tw::Platform p = platform;
  p.registry = &watching;
  tw::CRepairBackup backup(p, path, 2);
  tw::CRegistryRepair repair(
      p, run, prefix,
      [&](tw::RegKey hive, const std::string& key, const std::string& name) {
        return backup.BackupValue(hive, key, name);
      });
  repair.SetFolders({"D:\\"});
  ASSERT_TRUE(repair.RepairFinding(Row(4, "CLSID\\{X}", "c:\\old\\x.dll")));
  ASSERT_TRUE(repair.RepairFinding(Row(0, "Software\\App", "c:\\old\\app.exe", "Run")));
  EXPECT_EQ(backup.OpenedPath(), path);
  EXPECT_NE(watching.flushedAtFirstChange.find(
                "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{X}\\InprocServer32]"),
            std::string::npos)
      << "flushed:\n" << watching.flushedAtFirstChange;
  EXPECT_EQ(backup.Close(), tw::kErrorSuccess);
  EXPECT_EQ(fs.FlushedContents(path), fs.Contents(path));
  tw::test::RegFile file;
  std::string error;
  ASSERT_TRUE(tw::test::ParseRegFile(fs.Contents(path), &file, &error)) << error;
  tw::test::ApplyRegFile(file, watching);
  EXPECT_EQ(watching.Dump(), before);
}

TEST(RegistryRepairHives, PrefixesByCategory) {
  const std::pair<int, const char*> cases[] = {
      {0, "HKEY_CURRENT_USER\\"}, {1, "HKEY_LOCAL_MACHINE\\"}, {6, "HKEY_LOCAL_MACHINE\\"},
      {2, "HKEY_USERS\\"},        {4, "HKEY_CLASSES_ROOT\\"},  {5, "HKEY_CLASSES_ROOT\\"},
      {8, "HKEY_CLASSES_ROOT\\"}, {9, "HKEY_CLASSES_ROOT\\"},  {3, ""},
      {7, ""}};
  for (const auto& [category, prefix] : cases) {
    EXPECT_EQ(tw::HivePrefixOfCategory(category), prefix) << category;
  }
}

}  // namespace
