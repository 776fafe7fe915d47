// The five walks on small seeded registries: which findings, in which
// order, which keys are reported, how many handles stay open, and how stop
// and pause act.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/run_control.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "registry_cleaner/registry_scanner.h"

namespace tw {
namespace {

const ScanTexts kTexts;
const std::string kInvalid = kTexts.invalidPath;

struct Row {
  std::string location, description, valueName;
  int category;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{" << r.location << " | " << r.description << " | " << r.valueName << " | "
            << r.category << "}";
}

class CRecordingSink : public IScanSink {
 public:
  explicit CRecordingSink(CMemoryRegistry& reg) : m_reg(reg) {}
  void OnScanKey(const std::string& text) override {
    keys.push_back(text);
    maxHandles = std::max(maxHandles, m_reg.OpenHandleCount());
  }
  void OnFinding(const RegistryFinding& f) override {
    EXPECT_FALSE(f.checked);
    rows.push_back({f.location, f.description, f.valueName, static_cast<int>(f.category)});
    if (onFinding) onFinding();
  }
  std::vector<std::string> keys;
  std::vector<Row> rows;
  std::size_t maxHandles = 0;
  std::function<void()> onFinding;

 private:
  CMemoryRegistry& m_reg;
};

class ScanWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage(936);
    ClearScanFlags();
    fs.AddDrive('C', kDriveFixed);
    fs.AddDrive('E', kDriveCdrom);
    ASSERT_TRUE(fs.AddFile("C:\\app\\good.dll"));
    ASSERT_TRUE(fs.AddFile("C:\\app\\good.exe"));
    ASSERT_TRUE(fs.AddFolder("C:\\typelibs"));
  }
  void TearDown() override { ClearScanFlags(); }

  std::vector<Row> Scan(ScanCategory category, CRecordingSink* sink = nullptr) {
    CRecordingSink local(reg);
    CRecordingSink& s = sink ? *sink : local;
    CRegistryScanner scanner(reg, fs, run, s);
    scanner.RunCategory(category);
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << "handles left open";
    return s.rows;
  }

  CMemoryRegistry reg;
  CMemoryFileSystem fs;
  CRunControl run{nullptr, [](unsigned) {}};
};

std::string Sz(const std::string& s) { return s + std::string(1, '\0'); }

TEST_F(ScanWalk, HiveWalkIsPostOrderAndSkipsTheRootValues) {
  reg.SeedString(kHkeyCurrentUser, "", "root", "C:\\gone\\root.exe");
  reg.SeedString(kHkeyCurrentUser, "Software\\A", "Path", "C:\\gone\\a.exe");
  reg.SeedDword(kHkeyCurrentUser, "Software\\A", "C:\\gone\\named.txt", 1);
  reg.Seed(kHkeyCurrentUser, "Software\\A", "Expand", kRegExpandSz, Sz("C:\\gone\\x.dll"));
  reg.SeedString(kHkeyCurrentUser, "Software\\A", "Fine", "C:\\app\\good.exe /s");
  reg.SeedString(kHkeyCurrentUser, "Software\\A\\B", "x", "\"C:\\Gone\\B.dll\" -y");
  reg.SeedString(kHkeyCurrentUser, "Software\\Z", "", "c:\\gone\\z.exe");
  CRecordingSink sink(reg);
  const std::vector<Row> rows = Scan(ScanCategory::kCurrentUser, &sink);
  const std::vector<Row> expected = {
      {"Software\\A\\B", kInvalid + "c:\\gone\\b.dll", "x", 0},
      {"Software\\A", kInvalid + "c:\\gone\\named.txt", "C:\\gone\\named.txt", 0},
      {"Software\\A", kInvalid + "c:\\gone\\a.exe", "Path", 0},
      {"Software\\Z", kInvalid + "c:\\gone\\z.exe", "", 0},
  };
  EXPECT_EQ(rows, expected) << reg.Dump();
  const std::vector<std::string> keys = {
      "HKEY_CURRENT_USER\\Software\\A\\B", "HKEY_CURRENT_USER\\Software\\A",
      "HKEY_CURRENT_USER\\Software\\Z", "HKEY_CURRENT_USER\\Software"};
  EXPECT_EQ(sink.keys, keys);
  // One handle per level: the root, Software, A, B.
  EXPECT_LE(sink.maxHandles, 4u);
}

// A value or key name that does not fit the buffer is skipped alone: the
// entries after it are still examined.
TEST_F(ScanWalk, EntryThatDoesNotFitTheBufferIsSkippedAlone) {
  reg.SeedString(kHkeyLocalMachine, "K", "a", "C:\\gone\\" + std::string(300, 'x'));
  reg.SeedString(kHkeyLocalMachine, "K", "b", "C:\\gone\\b.exe");
  reg.SeedString(kHkeyLocalMachine, "L", "b", "C:\\gone\\b.exe");
  reg.SeedString(kHkeyLocalMachine, "M\\" + std::string(300, 'n'), "c", "C:\\gone\\c.exe");
  reg.SeedString(kHkeyLocalMachine, "M\\z", "d", "C:\\gone\\d.exe");
  EXPECT_EQ(Scan(ScanCategory::kLocalMachine),
            (std::vector<Row>{{"K", kInvalid + "c:\\gone\\b.exe", "b", 1},
                              {"L", kInvalid + "c:\\gone\\b.exe", "b", 1},
                              {"M\\z", kInvalid + "c:\\gone\\d.exe", "d", 1}}));
}

TEST_F(ScanWalk, ClassesRootSkipsClassAndTypeLibraryKeysAtAnyDepth) {
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{1}\\InprocServer32", "", "C:\\gone\\1.dll");
  reg.SeedString(kHkeyClassesRoot, "TypeLib\\{2}", "p", "C:\\gone\\2.dll");
  reg.SeedString(kHkeyClassesRoot, "Wow\\clsid\\{3}", "p", "C:\\gone\\3.dll");
  reg.SeedString(kHkeyClassesRoot, "Wow\\typelib", "p", "C:\\gone\\4.dll");
  reg.SeedString(kHkeyClassesRoot, "Wow\\Other", "p", "C:\\gone\\5.dll");
  EXPECT_EQ(Scan(ScanCategory::kClassesRoot),
            (std::vector<Row>{{"Wow\\Other", kInvalid + "c:\\gone\\5.dll", "p", 8}}));
}

TEST_F(ScanWalk, ComServersAreJudgedByTheirLibrary) {
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{A}\\InprocServer32", "", "C:\\gone\\a.dll");
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{B}\\InprocServer32", "", "C:\\app\\good.dll");
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{C}", "", "no server");
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{D}\\InprocServer32", "", "%SystemRoot%\\x.dll");
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{E}\\InprocServer32", "", "E:\\cd\\x.dll");
  CRecordingSink sink(reg);
  EXPECT_EQ(Scan(ScanCategory::kComServers, &sink),
            (std::vector<Row>{{"CLSID\\{A}", kInvalid + "c:\\gone\\a.dll", "", 4}}));
  EXPECT_EQ(sink.keys.front(), "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{A}\\InprocServer32");
  EXPECT_EQ(sink.keys.size(), 4u);  // {C} has no server key
}

TEST_F(ScanWalk, TypeLibrariesCheckTheFolderOfNonLibraryFiles) {
  auto lib = [&](const std::string& id, const std::string& ver, const std::string& path) {
    reg.SeedString(kHkeyClassesRoot, "TypeLib\\" + id + "\\" + ver + "\\0\\win32", "", path);
  };
  lib("{L1}", "1.0", "C:\\gone\\lib.dll");
  lib("{L2}", "1.0", "C:\\typelibs\\missing.tlb");  // folder exists
  lib("{L3}", "1.0", "C:\\goneapp\\x.tlb");
  lib("{L4}", "1.0", "C:\\gone4\\a.DLL");
  lib("{L4}", "2.0", "C:\\gone4\\b.olb");
  lib("{L5}", "1.0", "C:\\app\\good.dll");
  CRecordingSink sink(reg);
  const std::vector<Row> expected = {
      {"TypeLib\\{L1}", kInvalid + "c:\\gone\\lib.dll", "", 5},
      {"TypeLib\\{L3}", kInvalid + "c:\\goneapp", "", 5},
      {"TypeLib\\{L4}", kInvalid + "c:\\gone4\\a.dll", "", 5},
      {"TypeLib\\{L4}", kInvalid + "c:\\gone4", "", 5},
  };
  EXPECT_EQ(Scan(ScanCategory::kTypeLibraries, &sink), expected);
  EXPECT_EQ(sink.keys.front(), "HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{L1}");
  EXPECT_EQ(sink.keys.size(), 5u);
}

TEST_F(ScanWalk, UninstallEntriesNeedOneOfFiveValues) {
  const std::string u = kUninstallKeyPath;
  reg.SeedString(kHkeyLocalMachine, u + "\\Good", "UninstallString", "x");
  reg.SeedDword(kHkeyLocalMachine, u + "\\Sys", "SystemComponent", 1);
  reg.SeedDword(kHkeyLocalMachine, u + "\\Msi", "WindowsInstaller", 1);
  reg.SeedString(kHkeyLocalMachine, u + "\\Loc", "InstallLocation", "");
  reg.SeedString(kHkeyLocalMachine, u + "\\Quiet", "QuietUninstallString", "q");
  reg.SeedString(kHkeyLocalMachine, u + "\\Bad", "DisplayName", "Gone app");
  reg.SeedString(kHkeyLocalMachine, u + "\\Long", "UninstallString", std::string(300, 'u'));
  CRecordingSink sink(reg);
  const std::vector<Row> expected = {
      {u + "\\Bad", kTexts.invalidUninstall, "", 6},
      {u + "\\Long", kTexts.invalidUninstall, "", 6},
  };
  EXPECT_EQ(Scan(ScanCategory::kUninstall, &sink), expected);
  EXPECT_EQ(sink.keys.size(), 7u);
  EXPECT_EQ(sink.keys.front(), "HKEY_LOCAL_MACHINE\\" + u + "\\Bad");
}

TEST_F(ScanWalk, FileAssociationRules) {
  auto ext = [&](const std::string& e, const std::string& cls) {
    reg.SeedString(kHkeyClassesRoot, e, "", cls);
  };
  ext(".aaa", "deadclass");  // class exists, nothing in it
  reg.SeedKey(kHkeyClassesRoot, "deadclass");
  ext(".bbb", "missingclass");  // class key missing: live
  ext(".ccc", "friendly");
  reg.SeedString(kHkeyClassesRoot, "friendly", "FriendlyTypeName", "@x.dll,-1");
  ext(".ddd", "opens");
  reg.SeedString(kHkeyClassesRoot, "opens\\shell\\open\\command", "", "notepad %1");
  ext(".eee", "emptycmd");
  reg.SeedString(kHkeyClassesRoot, "emptycmd\\shell\\open\\command", "", "");
  ext(".fff", "withclsid");
  reg.SeedKey(kHkeyClassesRoot, "withclsid\\CLSID");
  ext(".ggg", "icon");
  reg.SeedString(kHkeyClassesRoot, "icon\\DefaultIcon", "", "x.dll,1");
  ext(".hhh", "");
  ext(".iii", "defaultonly");
  reg.SeedString(kHkeyClassesRoot, "defaultonly", "", "A class with only a default text");
  reg.SeedString(kHkeyClassesRoot, "nodot", "", "deadclass");
  CRecordingSink sink(reg);
  const std::string d = kTexts.invalidAssociation;
  const std::vector<Row> expected = {
      {".aaa", d, "", 9}, {"deadclass", d, "", 9},   {".eee", d, "", 9},
      {"emptycmd", d, "", 9}, {".iii", d, "", 9}, {"defaultonly", d, "", 9},
  };
  EXPECT_EQ(Scan(ScanCategory::kFileAssociations, &sink), expected) << reg.Dump();
  EXPECT_EQ(std::count(sink.keys.begin(), sink.keys.end(), "HKEY_LOCAL_MACHINE\\Software\\Classes\\.bbb"), 1);
  EXPECT_EQ(std::count(sink.keys.begin(), sink.keys.end(), "HKEY_LOCAL_MACHINE\\Software\\Classes\\nodot"), 0);
}

// The memory registry with links as Windows has them: OpenKey goes on to
// the link's target, OpenKeyNoFollow opens the link key itself, which holds
// only the value naming the target.
class CLinkingRegistry : public CMemoryRegistry {
 public:
  void AddLink(RegKey root, const std::string& path, const std::string& target) {
    const std::string text = "\\Registry\\Machine\\" + target;
    std::string wide;
    for (char c : text) wide += std::string{c, '\0'};
    Seed(root, path, "SymbolicLinkValue", kRegLink, wide);
    m_links.push_back({root, path, target});
  }
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
               RegView view = RegView::kDefault) override {
    if (const Link* link = Find(parent, path)) {
      return CMemoryRegistry::OpenKey(link->root, link->target, access, out, view);
    }
    return CMemoryRegistry::OpenKey(parent, path, access, out, view);
  }
  long OpenKeyNoFollow(RegKey parent, const std::string& name, std::uint32_t access, RegKey* out,
                       bool* isLink) override {
    if (isLink) *isLink = Find(parent, name) != nullptr;
    return CMemoryRegistry::OpenKey(parent, name, access, out);
  }

 private:
  struct Link {
    RegKey root;
    std::string path, target;
  };
  const Link* Find(RegKey parent, const std::string& path) const {
    const bool root = parent >= kHkeyClassesRoot && parent <= kHkeyUsers;
    const std::string at = root ? path : KeyPath(parent) + "\\" + path;
    for (const Link& link : m_links) {
      // Classes keys are held below the machine's Software\Classes.
      if (at.size() >= link.path.size() &&
          EqualsNoCase(at.substr(at.size() - link.path.size()), link.path)) {
        return &link;
      }
    }
    return nullptr;
  }
  std::vector<Link> m_links;
};

struct LinkCase {
  const char* what;
  ScanCategory category;
  std::vector<Row> rows;
};

// A link leads elsewhere, and may lead back up without end: its target is
// scanned where it lives, never through the link.
TEST_F(ScanWalk, ALinkIsSeenAmongTheValuesAndNotWalkedThrough) {
  CLinkingRegistry links;
  links.SeedString(kHkeyCurrentUser, "Software\\Target\\Deep", "x", "C:\\gone\\t.exe");
  links.AddLink(kHkeyCurrentUser, "Software\\Link", "Software\\Target");
  links.AddLink(kHkeyCurrentUser, "Software\\Target\\Back", "Software");
  // A class whose only subkey is a link to an empty tree: through the link
  // it would look dead.
  links.SeedString(kHkeyClassesRoot, ".lnk1", "", "Linked.File");
  links.SeedKey(kHkeyClassesRoot, "Empty.Tree");
  links.AddLink(kHkeyClassesRoot, "Linked.File\\shell", "Software\\Classes\\Empty.Tree");
  const LinkCase cases[] = {
      {"hive walk", ScanCategory::kCurrentUser,
       {{"Software\\Target\\Deep", kInvalid + "c:\\gone\\t.exe", "x", 0}}},
      {"class check", ScanCategory::kFileAssociations, {}},
  };
  for (const LinkCase& c : cases) {
    CRecordingSink sink(reg);
    CRegistryScanner scanner(links, fs, run, sink);
    scanner.RunCategory(c.category);
    EXPECT_EQ(sink.rows, c.rows) << c.what << "\n" << links.Dump();
    for (const std::string& key : sink.keys) {
      EXPECT_EQ(key.find("Link"), std::string::npos) << c.what << ": " << key;
      EXPECT_EQ(key.find("Back"), std::string::npos) << c.what << ": " << key;
    }
    EXPECT_EQ(links.OpenHandleCount(), 0u) << c.what;
  }
}

TEST_F(ScanWalk, NoRowsAfterAStop) {
  for (int i = 0; i < 5; ++i) {
    const std::string n = std::to_string(i);
    reg.SeedString(kHkeyCurrentUser, "K" + n + "\\Sub", "v", "C:\\gone\\" + n + ".exe");
    reg.SeedString(kHkeyClassesRoot, ".x" + n, "", "dead" + n);
    reg.SeedKey(kHkeyClassesRoot, "dead" + n);
    reg.SeedString(kHkeyClassesRoot, "CLSID\\{" + n + "}\\InprocServer32", "", "C:\\gone\\" + n + ".dll");
    reg.SeedString(kHkeyLocalMachine, std::string(kUninstallKeyPath) + "\\U" + n, "x", "y");
  }
  for (ScanCategory category : {ScanCategory::kCurrentUser, ScanCategory::kFileAssociations,
                                ScanCategory::kComServers, ScanCategory::kUninstall}) {
    ClearScanFlags();
    CRecordingSink sink(reg);
    sink.onFinding = [] { g_bStopRequested = 1; };
    CRegistryScanner scanner(reg, fs, run, sink);
    EXPECT_FALSE(scanner.RunCategory(category));
    // Findings come in pairs for file associations; never more after the stop.
    EXPECT_EQ(sink.rows.size(), category == ScanCategory::kFileAssociations ? 2u : 1u)
        << static_cast<int>(category);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
  // The page's own stop flag works the same way, and a hive walk reports no
  // further key once stopped.
  ClearScanFlags();
  std::atomic<std::int32_t> pageStop{0};
  CRunControl pageRun(&pageStop, [](unsigned) {});
  CRecordingSink sink(reg);
  std::size_t keysAtStop = 0;
  sink.onFinding = [&] {
    pageStop = 1;
    keysAtStop = sink.keys.size();
  };
  CRegistryScanner scanner(reg, fs, pageRun, sink);
  EXPECT_FALSE(scanner.ScanHive(kHkeyCurrentUser, ScanCategory::kCurrentUser));
  EXPECT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.keys.size(), keysAtStop);
}

TEST_F(ScanWalk, StopDuringClassCheckAddsNoRows) {
  reg.SeedString(kHkeyClassesRoot, ".a", "", "deep");
  reg.SeedKey(kHkeyClassesRoot, "deep\\x\\y");
  reg.SeedString(kHkeyClassesRoot, ".b", "", "flat");
  reg.SeedKey(kHkeyClassesRoot, "flat");
  g_bStopRequested = 1;
  CRecordingSink sink(reg);
  CRegistryScanner scanner(reg, fs, run, sink);
  EXPECT_FALSE(scanner.IsClassKeyDead("deep"));  // a stop answers "alive"
  EXPECT_FALSE(scanner.ScanFileAssociations());
  EXPECT_TRUE(sink.rows.empty());
}

TEST_F(ScanWalk, PauseHoldsTheWalkUntilLifted) {
  reg.SeedString(kHkeyCurrentUser, "K", "a", "C:\\gone\\a.exe");
  reg.SeedString(kHkeyCurrentUser, "K", "b", "C:\\gone\\b.exe");
  int sleeps = 0;
  CRecordingSink sink(reg);
  // The rows found so far, counted at every sleep of the pause.
  std::vector<std::size_t> rowsWhilePaused;
  CRunControl pausing(nullptr, [&](unsigned ms) {
    EXPECT_EQ(ms, 100u);
    rowsWhilePaused.push_back(sink.rows.size());
    if (++sleeps == 3) g_bPauseRequested = 0;
  });
  sink.onFinding = [&] {
    if (sink.rows.size() == 1) g_bPauseRequested = 1;
  };
  CRegistryScanner scanner(reg, fs, pausing, sink);
  EXPECT_TRUE(scanner.ScanHive(kHkeyCurrentUser, ScanCategory::kCurrentUser));
  EXPECT_EQ(sleeps, 3);
  EXPECT_EQ(rowsWhilePaused, (std::vector<std::size_t>{1, 1, 1}));
  EXPECT_EQ(sink.rows.size(), 2u);

  // Stopping while paused ends the walk.
  sleeps = 0;
  CRunControl stopping(nullptr, [&](unsigned) {
    if (++sleeps == 2) g_bStopRequested = 1;
  });
  CRecordingSink second(reg);
  second.onFinding = [] { g_bPauseRequested = 1; };
  CRegistryScanner stopped(reg, fs, stopping, second);
  EXPECT_FALSE(stopped.ScanHive(kHkeyCurrentUser, ScanCategory::kCurrentUser));
  EXPECT_EQ(second.rows.size(), 1u);
  EXPECT_EQ(sleeps, 2);
}

}  // namespace
}  // namespace tw
