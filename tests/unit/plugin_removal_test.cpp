// Plug-in removal on the in-memory backends: what goes, in which order, and
// that the backup gives back exactly what went.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "plugins/plugin_inventory.h"
#include "plugins/plugin_removal.h"
#include "unit/regexport_reader.h"

namespace tw {
namespace {

// Notes every removal, in order.
class CLoggingRegistry : public CMemoryRegistry {
 public:
  long DeleteOpenedKey(RegKey key) override {
    log.push_back("key " + KeyPath(key));
    return CMemoryRegistry::DeleteOpenedKey(key);
  }
  long DeleteValue(RegKey key, const std::string& name) override {
    log.push_back("value " + (name.empty() ? std::string("@") : name));
    return CMemoryRegistry::DeleteValue(key, name);
  }
  std::vector<std::string> log;
};

TEST(PluginRemoval, DeleteKeyTreeGoesDepthFirstAfterEachEnumeration) {
  CLoggingRegistry reg;
  reg.SeedString(kHkeyCurrentUser, "K", "", "top");
  reg.SeedString(kHkeyCurrentUser, "K", "v", "1");
  reg.SeedString(kHkeyCurrentUser, "K\\A\\Deep", "d", "2");
  reg.SeedKey(kHkeyCurrentUser, "K\\B");
  reg.SeedKey(kHkeyCurrentUser, "K\\C");
  reg.SeedKey(kHkeyCurrentUser, "Keep");
  EXPECT_TRUE(DeleteKeyTree(reg, kHkeyCurrentUser, "K"));
  const std::vector<std::string> expected = {
      "value @",        "value d",     "key K\\A\\Deep", "value @", "key K\\A", "value @",
      "key K\\B",       "value @",     "key K\\C",       "value @", "value v",  "key K"};
  EXPECT_EQ(reg.log, expected);
  EXPECT_TRUE(reg.KeyExists(kHkeyCurrentUser, "Keep"));
  EXPECT_FALSE(reg.KeyExists(kHkeyCurrentUser, "K"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  // A missing key is tried all the same, and an empty path names nothing.
  EXPECT_TRUE(DeleteKeyTree(reg, kHkeyCurrentUser, "Missing"));
  EXPECT_FALSE(DeleteKeyTree(reg, kHkeyCurrentUser, ""));
}

const char kProgramFolder[] = "C:\\Program Files\\Tidewell";
const std::string kBho = kHelperObjectsKey;
const std::string kToolbar = kToolbarKey;

class PluginRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDrive('C', kDriveFixed);
    fs.SetModuleFileName(std::string(kProgramFolder) + "\\tidewell.exe");
    ASSERT_TRUE(fs.AddFolder(std::string(kProgramFolder) + "\\RegBackup"));
    platform.registry = &reg;
    platform.files = &fs;
    platform.shell = &shell;
    fs.AddFile("C:\\windows\\system32\\regsvr32.exe");
    // A helper object of the machine's classes, with a subkey below its
    // entry, beside a toolbar of its own and one of another component.
    reg.SeedString(kHkeyLocalMachine, kBho + "\\{H}\\Settings", "Level", "3");
    reg.SeedString(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{H}\\InprocServer32", "",
                   "C:\\Plug\\Helper.OCX");
    reg.SeedString(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{H}\\VersionIndependentProgID",
                   "", "Helper.Obj");
    reg.SeedString(kHkeyLocalMachine, kToolbar, "{H}", "Helper bar");
    reg.SeedString(kHkeyLocalMachine, kToolbar, "{Other}", "Other bar");
    reg.SeedString(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{Other}\\InprocServer32", "",
                   "C:\\Other\\other.exe");
  }
  const PluginRecord& Listed(int kind, const std::string& classId) {
    inventory.List(kind);
    for (const auto& r : inventory.Records()) {
      if (r->classId == classId) return *r;
    }
    ADD_FAILURE() << "not listed: " << classId;
    static PluginRecord none;
    return none;
  }
  bool HasValue(RegKey root, const std::string& path, const std::string& name) {
    RegKey key = 0;
    if (reg.OpenKey(root, path, kKeyRead, &key) != kErrorSuccess) return false;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const bool there = reg.QueryValue(key, name, &type, &data, kUnlimited) == kErrorSuccess;
    reg.CloseKey(key);
    return there;
  }
  std::string Backup(const std::string& name) {
    return fs.Contents(std::string(kProgramFolder) + "\\RegBackup\\" + name);
  }
  void Restore(const std::string& name) {
    test::RegFile file;
    std::string error;
    ASSERT_TRUE(test::ParseRegFile(Backup(name), &file, &error)) << error;
    test::ApplyRegFile(file, reg);
  }

  CMemoryRegistry reg;
  CMemoryFileSystem fs;
  CMemoryShell shell{fs};
  Platform platform;
  CPluginInventory inventory{reg};
  CPluginRemoval Removal() { return CPluginRemoval(platform, -1); }
  const SystemTime when{2006, 3, 2, 7, 9, 5, 0, 0};
};

TEST_F(PluginRemovalTest, UnregisteringAHelperObjectTakesEntryAndClassWhereTheyLive) {
  const std::string before = reg.Dump();
  const auto result = Removal().UnregisterPlugin(kPluginHelperObject, Listed(4, "{H}"), when);
  EXPECT_EQ(result.error, kErrorSuccess);
  EXPECT_EQ(result.backupPath, std::string(kProgramFolder) + "\\RegBackup\\IE_2006_3_7_9_5_0.reg");
  EXPECT_FALSE(reg.KeyExists(kHkeyLocalMachine, kBho + "\\{H}"));
  EXPECT_FALSE(reg.KeyExists(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{H}"));
  EXPECT_TRUE(reg.KeyExists(kHkeyLocalMachine, kBho));
  // The component is asked to unregister itself, by regsvr32 of the system
  // folder; ".OCX" counts.
  const auto started = shell.Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].file, "C:\\windows\\system32\\regsvr32.exe");
  EXPECT_EQ(started[0].parameters, "\"C:\\Plug\\Helper.OCX\" -u");
  EXPECT_EQ(started[0].show, kSwHide);
  Restore("IE_2006_3_7_9_5_0.reg");
  EXPECT_EQ(reg.Dump(), before);
}

// A 32-bit library only loads into the 32-bit regsvr32, which 64-bit
// Windows keeps in SysWOW64; a 32-bit system has the one folder.
TEST_F(PluginRemovalTest, EachViewsServerIsUnregisteredByTheRegsvr32OfItsWidth) {
  reg.SeedKey(kHkeyLocalMachine, "Software\\Wow6432Node\\" + kBho.substr(9) + "\\{W}");
  reg.SeedString(kHkeyLocalMachine, "Software\\Classes\\Wow6432Node\\CLSID\\{W}\\InprocServer32",
                 "", "C:\\Plug\\w32.dll");
  fs.AddFile("C:\\windows\\SysWOW64\\regsvr32.exe");
  struct Case {
    const char* what;
    const char* wow64Folder;  // "" on 32-bit Windows
    const char* classId;
    const char* regsvr32;
  };
  const Case cases[] = {
      {"64-bit Windows, a 64-bit server", "C:\\windows\\SysWOW64", "{H}",
       "C:\\windows\\system32\\regsvr32.exe"},
      {"64-bit Windows, a 32-bit server", "C:\\windows\\SysWOW64", "{W}",
       "C:\\windows\\SysWOW64\\regsvr32.exe"},
      {"32-bit Windows", "", "{W}", "C:\\windows\\system32\\regsvr32.exe"},
  };
  const std::string before = reg.Dump();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.SetSystemWow64Directory(c.wow64Folder);
    CMemoryShell started{fs};
    Platform p = platform;
    p.shell = &started;
    const auto result = CPluginRemoval(p, -1).UnregisterPlugin(kPluginHelperObject,
                                                               Listed(4, c.classId), when);
    ASSERT_EQ(result.error, kErrorSuccess);
    ASSERT_EQ(started.Started().size(), 1u) << started.Dump();
    EXPECT_EQ(started.Started()[0].file, c.regsvr32);
    Restore(result.backupPath.substr(result.backupPath.rfind('\\') + 1));
    EXPECT_EQ(reg.Dump(), before);
  }
}

TEST_F(PluginRemovalTest, DeletingAToolbarTakesOnlyItsValueAndBackupsKeepTheirOwnNames) {
  const std::string before = reg.Dump();
  // Two removals within one second: each keeps its own backup.
  EXPECT_EQ(Removal().DeleteRegistration(kPluginToolbar, Listed(1, "{H}"), when).error, 0);
  const auto second = Removal().UnregisterPlugin(kPluginToolbar, Listed(1, "{Other}"), when);
  EXPECT_EQ(second.error, 0);
  EXPECT_EQ(second.backupPath, std::string(kProgramFolder) + "\\RegBackup\\IE_2006_3_7_9_5_0-2.reg");
  EXPECT_FALSE(HasValue(kHkeyLocalMachine, kToolbar, "{H}")) << reg.Dump();
  EXPECT_FALSE(HasValue(kHkeyLocalMachine, kToolbar, "{Other}")) << reg.Dump();
  EXPECT_TRUE(reg.KeyExists(kHkeyLocalMachine, kToolbar));
  EXPECT_TRUE(reg.KeyExists(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{H}"));
  EXPECT_FALSE(reg.KeyExists(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{Other}"));
  // Deleting a registration starts nothing; a server ending in ".exe" is
  // not passed to regsvr32.
  EXPECT_TRUE(shell.Started().empty());
  Restore("IE_2006_3_7_9_5_0.reg");
  Restore("IE_2006_3_7_9_5_0-2.reg");
  EXPECT_EQ(reg.Dump(), before);
}

// What the user's hive (writable by any program the user runs) or the
// registry's text may name never makes the unregistration remove machine
// classes or load a server with administrator rights.
TEST_F(PluginRemovalTest, UnregistrationIsNotSteeredByWhatAnyProgramCanWrite) {
  const std::string hklmClass = "Software\\Classes\\CLSID\\";
  const std::string hkcuClass = "Software\\Classes\\CLSID\\";
  const std::string bandButton = "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";
  struct Case {
    const char* what;
    int kind;
    std::string classId;  // the record listed
    std::string machineServer, userServer;  // the class's server in each hive; "" none
    bool perUserEntry;
    bool machineClassGone;
    std::string started;  // regsvr32's parameters; "" nothing started
  };
  const Case cases[] = {
      {"a user's class shadowing a machine-wide helper", kPluginHelperObject, "{S}",
       "C:\\Machine\\good.dll", "C:\\Evil\\evil.dll", false, true, "\"C:\\Machine\\good.dll\" -u"},
      {"a machine-wide helper whose class only the user names", kPluginHelperObject, "{S}", "",
       "C:\\Evil\\evil.dll", false, false, ""},
      {"a user's own button", kPluginButton, "{S}", "C:\\Machine\\good.dll",
       "C:\\Evil\\evil.dll", true, false, ""},
      {"a server path with a quote", kPluginHelperObject, "{S}",
       "C:\\x.dll\" /i:http://host/x scrobj.dll \"C:\\y.dll", "", false, true, ""},
      {"a server on a share", kPluginHelperObject, "{S}", "\\\\host\\share\\x.dll", "", false,
       true, ""},
      {"a server on a drive of the network", kPluginHelperObject, "{S}", "N:\\x.dll", "", false,
       true, ""},
      {"a context menu has no class tree to back up", kPluginContextMenu, "", "", "", false, false,
       ""},
  };
  fs.AddDrive('N', kDriveRemote);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryRegistry scene;
    CMemoryShell started{fs};
    Platform p = platform;
    p.registry = &scene;
    p.shell = &started;
    const RegKey entryRoot = c.perUserEntry ? kHkeyCurrentUser : kHkeyLocalMachine;
    std::string entryKey;
    if (c.kind == kPluginHelperObject) {
      entryKey = kBho + "\\" + c.classId;
      scene.SeedKey(entryRoot, entryKey);
    } else if (c.kind == kPluginButton) {
      entryKey = std::string(kExtensionsKey) + "\\{Btn}";
      scene.SeedString(entryRoot, entryKey, "Clsid", bandButton);
      scene.SeedString(entryRoot, entryKey, "BandClsid", c.classId);
      scene.SeedString(entryRoot, entryKey, "ButtonText", "Go");
    } else {
      entryKey = std::string(kMenuExtKey) + "\\Open here";
      scene.SeedString(entryRoot, entryKey, "", "C:\\Menu\\menu.dll");
    }
    if (!c.machineServer.empty()) {
      scene.SeedString(kHkeyLocalMachine, hklmClass + c.classId + "\\InprocServer32", "",
                       c.machineServer);
    }
    if (!c.userServer.empty()) {
      scene.SeedString(kHkeyCurrentUser, hkcuClass + c.classId + "\\InprocServer32", "",
                       c.userServer);
    }
    const std::string before = scene.Dump();
    CPluginInventory listing(scene);
    listing.List(c.kind);
    ASSERT_EQ(listing.Records().size(), 1u);
    const auto result =
        CPluginRemoval(p, -1).UnregisterPlugin(c.kind, *listing.Records()[0], when);
    ASSERT_EQ(result.error, kErrorSuccess);
    EXPECT_FALSE(scene.KeyExists(entryRoot, entryKey));
    EXPECT_EQ(result.perUserServerLeft, c.perUserEntry);
    if (!c.machineServer.empty()) {
      EXPECT_EQ(scene.KeyExists(kHkeyLocalMachine, hklmClass + c.classId), !c.machineClassGone);
    }
    // The user's own class is never taken for a machine-wide one, nor removed.
    if (!c.userServer.empty()) {
      EXPECT_TRUE(scene.KeyExists(kHkeyCurrentUser, hkcuClass + c.classId));
    }
    const auto programs = started.Started();
    if (c.started.empty()) {
      EXPECT_TRUE(programs.empty()) << started.Dump();
    } else {
      ASSERT_EQ(programs.size(), 1u);
      EXPECT_EQ(programs[0].file, "C:\\windows\\system32\\regsvr32.exe");
      EXPECT_EQ(programs[0].parameters, c.started);
    }
    // What went comes back from the backup.
    test::RegFile file;
    std::string error;
    ASSERT_TRUE(test::ParseRegFile(fs.Contents(result.backupPath), &file, &error)) << error;
    test::ApplyRegFile(file, scene);
    EXPECT_EQ(scene.Dump(), before);
  }
}

// Refuses what an entry's own rights or data can refuse: one value cannot be
// read, one key cannot be opened for removal.
class CRefusingRegistry : public CMemoryRegistry {
 public:
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
               RegView view = RegView::kDefault) override {
    if (Locked(path, access)) return kErrorAccessDenied;
    return CMemoryRegistry::OpenKey(parent, path, access, out, view);
  }
  long OpenKeyNoFollow(RegKey parent, const std::string& name, std::uint32_t access, RegKey* out,
                       bool* isLink) override {
    if (Locked(name, access)) return kErrorAccessDenied;
    return CMemoryRegistry::OpenKeyNoFollow(parent, name, access, out, isLink);
  }
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* data, std::size_t dataBuf) override {
    if (name == "{Unreadable}") return kErrorAccessDenied;
    return CMemoryRegistry::QueryValue(key, name, type, data, dataBuf);
  }

 private:
  static bool Locked(const std::string& path, std::uint32_t access) {
    const std::string locked = "{Locked}";
    return (access & kKeyDelete) && path.size() >= locked.size() &&
           path.compare(path.size() - locked.size(), locked.size(), locked) == 0;
  }
};

// A registration that could not be removed is reported as still there (the
// page keeps its row and says so), and nothing of it changes.
TEST_F(PluginRemovalTest, ARegistrationThatStaysIsNotReportedRemoved) {
  struct Case {
    const char* what;
    int kind;
    std::string classId;
  };
  const Case cases[] = {
      {"the Toolbar key's own default value", kPluginToolbar, ""},
      {"a toolbar value that cannot be read", kPluginToolbar, "{Unreadable}"},
      {"a toolbar value whose name a backup cannot hold", kPluginToolbar, "{Bad}\r\nName"},
      {"a helper object's key that will not open for removal", kPluginHelperObject, "{Locked}"},
      {"a helper object that can go", kPluginHelperObject, "{Free}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CRefusingRegistry scene;
    Platform p = platform;
    p.registry = &scene;
    if (c.kind == kPluginToolbar) {
      scene.SeedString(kHkeyLocalMachine, kToolbar, c.classId, "A bar");
    } else {
      scene.SeedString(kHkeyLocalMachine, kBho + "\\" + c.classId, "", "A helper");
    }
    CPluginInventory listing(scene);
    listing.List(c.kind);
    const PluginRecord* record = nullptr;
    for (const auto& r : listing.Records()) {
      if (r->classId == c.classId) record = r.get();
    }
    ASSERT_NE(record, nullptr) << "not listed";
    const std::string before = scene.Dump();
    const auto result = CPluginRemoval(p, -1).DeleteRegistration(c.kind, *record, when);
    EXPECT_EQ(result.error, kErrorSuccess);
    const bool goes = c.classId == "{Free}";
    EXPECT_EQ(result.registrationRemoved, goes);
    if (!goes) {
      EXPECT_EQ(scene.Dump(), before);
    } else {
      EXPECT_FALSE(scene.KeyExists(kHkeyLocalMachine, kBho + "\\{Free}"));
    }
    EXPECT_EQ(scene.OpenHandleCount(), 0u);
  }
}

// The disk fills while the backup is written. (A missing RegBackup folder is
// tried end to end.)
TEST_F(PluginRemovalTest, NothingGoesWithoutAWholeBackup) {
  fs.SetWriteLimit(200);
  const std::string before = reg.Dump();
  const auto result = Removal().UnregisterPlugin(kPluginHelperObject, Listed(4, "{H}"), when);
  EXPECT_EQ(result.error, kErrorHandleDiskFull);
  EXPECT_EQ(reg.Dump(), before);
  EXPECT_TRUE(shell.Started().empty());
}

// The disk fills midway through a section, and from some call on the file
// refuses everything, the cut back to its last whole section included.
// Whenever the backup is left ending in a cut line, the result says so.
TEST_F(PluginRemovalTest, ABackupLeftCutShortIsReported) {
  const std::string before = reg.Dump();
  const PluginRecord& record = Listed(4, "{H}");
  // Every whole backup ends with a section's empty line.
  const std::string blankLine("\r\0\n\0\r\0\n\0", 8);
  auto endsWhole = [&](const std::string& bytes) {
    return bytes.empty() || (bytes.size() >= blankLine.size() &&
                             bytes.compare(bytes.size() - blankLine.size(), blankLine.size(),
                                           blankLine) == 0);
  };
  int cutShort = 0;
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE("failing from file call " + std::to_string(n));
    fs.SetWriteLimit(200);
    fs.Faults().FailCall(n, kErrorHandleDiskFull, true, true);
    const auto result = Removal().UnregisterPlugin(kPluginHelperObject, record, when);
    const bool reached = fs.Faults().Calls() >= n;
    fs.Faults().Clear();
    fs.SetWriteLimit(CMemoryFileSystem::Unlimited());
    if (!reached) break;  // the write limit alone stopped it
    ASSERT_NE(result.error, kErrorSuccess);
    EXPECT_EQ(reg.Dump(), before);
    const std::string bytes = fs.Contents(result.backupPath);
    if (!endsWhole(bytes)) {
      ++cutShort;
      EXPECT_TRUE(result.damagedEnd);
    }
    fs.DeleteFile(result.backupPath);
    ASSERT_LT(n, 50u);
  }
  EXPECT_GT(cutShort, 0) << "no run left the backup cut short";
  EXPECT_TRUE(shell.Started().empty());
}

}  // namespace
}  // namespace tw
