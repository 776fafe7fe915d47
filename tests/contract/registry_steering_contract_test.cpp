// Entries that any program can write (the user's classes, a stale entry's
// subkeys) must never make the cleaner judge, back up or remove machine
// data: one seeded registry per case, a scan of the case's category, and
// "delete all" over what it found, on the memory backend and on the real
// (Wine) registry.
#include <map>
#include <string>
#include <vector>

#include "contract/backend.h"
#include "platform/run_control.h"
#include "platform/text.h"
#include "plugins/plugin_removal.h"
#include "registry_cleaner/registry_deletion.h"
#include "registry_cleaner/registry_scanner.h"

namespace tw::contract {
namespace {

constexpr RegKey kUser = kHkeyCurrentUser;
constexpr RegKey kMachine = kHkeyLocalMachine;
const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Seed {
  RegKey root;
  std::string path;
  std::string value;  // "-" for the key alone, "~" for a subkey the code page cannot name
  std::string data;
};
struct Link {
  RegKey root;
  std::string path;
  std::string target;  // below HKEY_LOCAL_MACHINE
};
struct Found {
  int category;
  RegKey classesHive;
  std::string location;
  bool operator==(const Found&) const = default;
};
struct Key {
  RegKey root;
  std::string path;
};

struct Case {
  const char* name;
  bool needsLinks;
  std::vector<Seed> seeds;
  std::vector<Link> links;
  ScanCategory category;
  std::vector<Found> found;  // of the seeded entries, in scan order
  std::vector<Key> kept;     // unchanged, with everything below them
  std::vector<Key> gone;     // kept and gone: the seeded trees, removed afterwards
};

std::ostream& operator<<(std::ostream& os, const Found& f) {
  const char* hive = f.classesHive == kUser      ? "user's"
                     : f.classesHive == kMachine ? "machine's"
                                                 : "-";
  return os << "{" << f.category << ", " << hive << ", " << f.location << "}";
}

// {R} is the run's unique part, {S} its scratch folder.
std::string Fill(std::string text, const std::string& run, const std::string& scratch) {
  for (const auto& [mark, with] : {std::pair<std::string, std::string>{"{R}", run},
                                  std::pair<std::string, std::string>{"{S}", scratch}}) {
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, 3, with);
  }
  return text;
}

// The case with {R} and {S} filled in everywhere.
Case Filled(Case c, const std::string& run, const std::string& scratch) {
  auto fill = [&](std::string& s) { s = Fill(std::move(s), run, scratch); };
  for (Seed& s : c.seeds) fill(s.path), fill(s.data);
  for (Link& l : c.links) fill(l.path), fill(l.target);
  for (Found& f : c.found) fill(f.location);
  for (Key& k : c.kept) fill(k.path);
  for (Key& k : c.gone) fill(k.path);
  return c;
}

class RegistrySteering : public ContractTest {
 protected:
  // The tree below root\path as text, never through a link.
  std::string Snap(RegKey root, const std::string& path) {
    RegKey key = 0;
    bool link = false;
    if (RegOpenPathNoFollow(Reg(), root, path, kKeyRead, &key, &link) != 0) return "(missing)";
    std::string out;
    SnapOpened(key, link, path, &out);
    Reg().CloseKey(key);
    return out;
  }
  void SnapOpened(RegKey key, bool link, const std::string& path, std::string* out) {
    *out += path + (link ? " (link)\n" : "\n");
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0;
         Reg().EnumValue(key, i, &name, &type, &data, kUnlimited, kUnlimited) == 0; ++i) {
      *out += "  " + name + "=" + std::to_string(type) + ":" +
              std::string(data.begin(), data.end()) + "\n";
    }
    if (link) return;
    for (std::uint32_t i = 0; Reg().EnumKey(key, i, &name, kUnlimited) == 0; ++i) {
      RegKey sub = 0;
      bool subLink = false;
      if (Reg().OpenKeyNoFollow(key, name, kKeyRead, &sub, &subLink) != 0) continue;
      SnapOpened(sub, subLink, path + "\\" + name, out);
      Reg().CloseKey(sub);
    }
  }
  bool Exists(const Key& k) {
    RegKey key = 0;
    bool link = false;
    if (RegOpenPathNoFollow(Reg(), k.root, k.path, kKeyRead, &key, &link) != 0) return false;
    Reg().CloseKey(key);
    return true;
  }
  // False when a name outside the code page was asked for and the backend
  // has none.
  bool SeedAll(const std::vector<Seed>& seeds) {
    bool all = true;
    for (const Seed& s : seeds) {
      if (s.value == "~") {
        all = m_backend->CreateKeyNamedOutsideCodePage(s.root, s.path) && all;
        continue;
      }
      RegKey key = 0;
      if (Reg().CreateKey(s.root, s.path, &key) != 0) {
        ADD_FAILURE() << "cannot seed " << s.path;
        return false;
      }
      if (s.value != "-") {
        EXPECT_EQ(RegWriteString(Reg(), key, s.value, s.data), 0) << s.path;
      }
      Reg().CloseKey(key);
    }
    return all;
  }
};

TEST_F(RegistrySteering, UserWritableEntriesNeverReachMachineData) {
  const std::string run = "TidewellTest" + Sandbox().substr(FindLastChar(Sandbox(), '\\') + 4);
  const std::string server = Scratch() + "\\server.dll";
  {
    long error = 0;
    auto file = Fs().CreateFile(server, CreateMode::kCreateNew, &error);
    ASSERT_TRUE(file) << error;
    ASSERT_TRUE(file->Write("MZ", 2));
    ASSERT_TRUE(file->Close());
  }
  const std::string classes = "Software\\Classes\\";
  const Case cases[] = {
      {"a user's file type naming a class-store root",
       false,
       {{kMachine, classes + "Interface\\{{R}}", "", "ITidewellTest"},
        {kUser, classes + ".{R}a", "", "Interface"}},
       {},
       ScanCategory::kFileAssociations,
       {},
       {{kMachine, classes + "Interface\\{{R}}"}, {kUser, classes + ".{R}a"}},
       {}},
      {"a file type whose class is a path of two keys",
       false,
       {{kMachine, classes + "{R}Path\\Deep", "-", ""},
        {kMachine, classes + ".{R}b", "", "{R}Path\\Deep"}},
       {},
       ScanCategory::kFileAssociations,
       {},
       {{kMachine, classes + "{R}Path"}, {kMachine, classes + ".{R}b"}},
       {}},
      {"a dead machine class named by a machine file type goes with it",
       false,
       {{kMachine, classes + "{R}Dead", "-", ""}, {kMachine, classes + ".{R}c", "", "{R}Dead"}},
       {},
       ScanCategory::kFileAssociations,
       {{9, kMachine, ".{R}c"}, {9, kMachine, "{R}Dead"}},
       {},
       {{kMachine, classes + "{R}Dead"}, {kMachine, classes + ".{R}c"}}},
      {"a user's file type naming a dead machine class takes only itself",
       false,
       {{kMachine, classes + "{R}Shared", "-", ""}, {kUser, classes + ".{R}d", "", "{R}Shared"}},
       {},
       ScanCategory::kFileAssociations,
       {{9, kUser, ".{R}d"}},
       {{kMachine, classes + "{R}Shared"}},
       {{kUser, classes + ".{R}d"}}},
      {"a user's broken copy of a healthy machine class",
       false,
       {{kMachine, classes + "CLSID\\{{R}}", "", "Machine class"},
        {kMachine, classes + "CLSID\\{{R}}\\InprocServer32", "", "{S}\\server.dll"},
        {kMachine, classes + "CLSID\\{{R}}\\ProgID", "", "{R}.Class.1"},
        {kUser, classes + "CLSID\\{{R}}\\InprocServer32", "", "{S}\\gone.dll"}},
       {},
       ScanCategory::kComServers,
       {{4, kUser, "CLSID\\{{R}}"}},
       {{kMachine, classes + "CLSID\\{{R}}"}},
       {{kUser, classes + "CLSID\\{{R}}"}}},
      {"a stale uninstall entry holding links, one of them a loop",
       true,
       {{kMachine, "Software\\{R}Target\\Inner", "keep", "machine data"},
        {kMachine, "Software\\{R}Target", "keep", "machine data"},
        {kMachine, kUninstall + "{R}", "DisplayName", "Stale"}},
       {{kMachine, kUninstall + "{R}\\Link", "Software\\{R}Target"},
        {kMachine, kUninstall + "{R}\\Sub\\Loop", kUninstall + "{R}"}},
       ScanCategory::kUninstall,
       {{6, 0, kUninstall + "{R}"}},
       {{kMachine, "Software\\{R}Target"}},
       {{kMachine, kUninstall + "{R}"}}},
      // Nothing at a link's target is written, so nothing there can keep
      // the entry from going.
      {"a stale uninstall entry linking to a key whose subkey the code page cannot name",
       true,
       {{kMachine, "Software\\{R}Target", "~", ""},
        {kMachine, kUninstall + "{R}", "DisplayName", "Stale"}},
       {{kMachine, kUninstall + "{R}\\Link", "Software\\{R}Target"}},
       ScanCategory::kUninstall,
       {{6, 0, kUninstall + "{R}"}},
       {{kMachine, "Software\\{R}Target"}},
       {{kMachine, kUninstall + "{R}"}}},
  };
  for (const Case& raw : cases) {
    SCOPED_TRACE(raw.name);
    const Case c = Filled(raw, run, Scratch());
    auto cleanUp = [&] {
      for (const Key& k : c.kept) DeleteKeyTree(Reg(), k.root, k.path);
      for (const Key& k : c.gone) DeleteKeyTree(Reg(), k.root, k.path);
    };
    bool linked = SeedAll(c.seeds);
    for (const Link& l : c.links) {
      linked = linked &&
               m_backend->CreateRegistryLink(l.root, l.path, "\\Registry\\Machine\\" + l.target);
    }
    if (c.needsLinks && !linked) {
      // The memory backend has no links; the case runs on the real registry.
      EXPECT_STREQ(m_backend->Name(), "memory");
      cleanUp();
      continue;
    }
    std::map<std::string, std::string> before;
    for (const Key& k : c.kept) before[k.path] = Snap(k.root, k.path);

    struct Sink : IScanSink {
      void OnScanKey(const std::string&) override {}
      void OnFinding(const RegistryFinding& f) override { rows.push_back(f); }
      std::vector<RegistryFinding> rows;
    } sink;
    CRunControl control;
    CRegistryScanner scanner(Reg(), Fs(), control, sink);
    EXPECT_TRUE(scanner.RunCategory(c.category));
    // Only the seeded entries: the real registry has findings of its own.
    std::vector<Found> found;
    CRegistryRowStore rows;
    for (const RegistryFinding& f : sink.rows) {
      if (f.location.find(run) == std::string::npos) continue;
      found.push_back({static_cast<int>(f.category), f.classesHive, f.location});
      rows.Append({f.location, f.description, f.valueName, static_cast<int>(f.category), true,
                   f.classesHive});
    }
    EXPECT_EQ(found, c.found);

    long nFound = static_cast<long>(rows.Size()), nDeleted = 0;
    const std::size_t listed = rows.Size();
    const std::string backup = Scratch() + "\\" + std::to_string(&raw - cases) + ".reg";
    const BackupDeletionResult result =
        DeleteWithBackup(Reg(), Fs(), backup, 5, &rows, true, &nFound, &nDeleted, {});
    EXPECT_EQ(result.error, kErrorSuccess);
    EXPECT_EQ(result.count, static_cast<long>(listed));
    EXPECT_TRUE(rows.Empty());
    for (const Key& k : c.kept) EXPECT_EQ(Snap(k.root, k.path), before[k.path]) << k.path;
    for (const Key& k : c.gone) EXPECT_FALSE(Exists(k)) << k.path;
    if (!c.links.empty()) {
      std::string text;
      ASSERT_TRUE(Fs().ReadFile(backup, &text));
      const std::string ansi = Utf16ToAnsi(std::u16string(
          reinterpret_cast<const char16_t*>(text.data() + 2), (text.size() - 2) / 2));
      EXPECT_NE(ansi.find("was a registry link to \"\\Registry\\Machine\\Software\\" + run +
                          "Target\""),
                std::string::npos)
          << ansi;
    }
    cleanUp();
  }
}

}  // namespace
}  // namespace tw::contract
