// The plug-in inventory on seeded in-memory registries: one table of scenes
// and the rows each kind lists, in order.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_registry.h"
#include "plugins/plugin_inventory.h"

namespace tw {
namespace {

const std::string kToolbar = kToolbarKey;
const std::string kExt = kExtensionsKey;
const std::string kMenu = kMenuExtKey;
const std::string kBho = kHelperObjectsKey;
const std::string kExecId = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
const std::string kBandId = "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";

// A class with its server and programmatic name under root's classes.
void SeedClass(CMemoryRegistry& reg, const std::string& id, const std::string& server,
               const std::string& progId, RegKey root = kHkeyLocalMachine,
               const std::string& classes = "Software\\Classes\\CLSID\\") {
  reg.SeedString(root, classes + id + "\\InprocServer32", "", server);
  if (!progId.empty()) reg.SeedString(root, classes + id + "\\VersionIndependentProgID", "", progId);
}

void SeedButton(CMemoryRegistry& reg, RegKey root, const std::string& sub, const std::string& kind,
                const std::vector<std::pair<std::string, std::string>>& values) {
  reg.SeedString(root, kExt + "\\" + sub, "Clsid", kind);
  for (const auto& [name, text] : values) reg.SeedString(root, kExt + "\\" + sub, name, text);
}

const char* RootTag(RegKey root) {
  return root == kHkeyLocalMachine ? "HKLM" : root == kHkeyCurrentUser ? "HKCU" : "?";
}

// name | prog id | button text | status text | server | class | where the
// entry is stored | where its class key is.
std::string Row(const PluginRecord& r) {
  std::string row = r.name + " | " + r.progId + " | " + r.buttonText + " | " + r.statusText + " | " +
                    r.serverPath + " | " + r.classId + " | " + RootTag(r.root) + "\\" +
                    r.storedKeyPath;
  if (r.classRoot) row += " | " + std::string(RootTag(r.classRoot)) + "\\" + r.classKeyPath;
  return row;
}

struct Scene {
  const char* what;
  int kind;
  std::function<void(CMemoryRegistry&)> seed;
  std::vector<std::string> rows;
};

const std::string kLong(300, 'x');

TEST(PluginInventory, ListsEachKindInTheOrderRead) {
  const std::string bhoA = "{A0000000-0000-0000-0000-00000000000A}";
  const std::string clsA = "Software\\Classes\\CLSID\\" + bhoA;
  const Scene scenes[] = {
      {"toolbars of both views, data up to its zero", 1,
       [](CMemoryRegistry& reg) {
         reg.Seed(kHkeyLocalMachine, kToolbar, "{T1}", kRegBinary, std::string("Bar\0junk", 8));
         SeedClass(reg, "{T1}", "C:\\t1.dll", "T1.Bar");
         reg.SeedString(kHkeyLocalMachine,
                        "SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\Toolbar", "{T2}", "");
         SeedClass(reg, "{T2}", "C:\\t2.dll", "", kHkeyLocalMachine,
                   "Software\\Classes\\Wow6432Node\\CLSID\\");
       },
       {"Bar | T1.Bar |  |  | C:\\t1.dll | {T1} | HKLM\\" + kToolbar +
            " | HKLM\\Software\\Classes\\CLSID\\{T1}",
        " |  |  |  | C:\\t2.dll | {T2} | HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Internet "
        "Explorer\\Toolbar | HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{T2}"}},
      {"buttons: exec without class, band, other, dropped ones, both roots", 2,
       [](CMemoryRegistry& reg) {
         SeedButton(reg, kHkeyLocalMachine, "{B1}", kExecId,
                    {{"Exec", "C:\\tools\\run.exe"}, {"ButtonText", "Run"}, {"", "Runner"}});
         SeedButton(reg, kHkeyLocalMachine, "{B2}", kBandId,
                    {{"BandClsid", "{C2}"}, {"ButtonText", "Band"}, {"MenuStatusBar", "Opens"}});
         SeedClass(reg, "{C2}", "C:\\band.ocx", "Band.Obj");
         SeedButton(reg, kHkeyLocalMachine, "{B3}", "{99999999-0000-0000-0000-000000000000}",
                    {{"ButtonText", "Other"}});
         SeedButton(reg, kHkeyLocalMachine, "{B4}", kExecId, {{"ButtonText", "No target"}});
         SeedButton(reg, kHkeyLocalMachine, "{B5}", kExecId, {{"Exec", "C:\\no-text.exe"}});
         reg.SeedString(kHkeyLocalMachine, kExt + "\\{B6}", "ButtonText", "No Clsid");
         SeedButton(reg, kHkeyCurrentUser, "{B1}", "{1fba04ee-3024-11d2-8f1f-0000f87abd16}",
                    {{"ClsidExtension", "{C2}"}, {"ButtonText", "Mine"}});
       },
       {"Runner |  | Run |  | C:\\tools\\run.exe |  | HKLM\\" + kExt + "\\{B1}",
        " | Band.Obj | Band | Opens | C:\\band.ocx | {C2} | HKLM\\" + kExt +
            "\\{B2} | HKLM\\Software\\Classes\\CLSID\\{C2}",
        " |  | Other |  |  |  | HKLM\\" + kExt + "\\{B3}",
        " | Band.Obj | Mine |  | C:\\band.ocx | {C2} | HKCU\\" + kExt +
            "\\{B1} | HKLM\\Software\\Classes\\CLSID\\{C2}"}},
      {"context menus: the user's first, an entry without a default value", 3,
       [](CMemoryRegistry& reg) {
         reg.SeedString(kHkeyLocalMachine, kMenu + "\\Send to &Tool", "", "C:\\tool\\send.htm");
         reg.SeedKey(kHkeyCurrentUser, kMenu + "\\Empty entry");
         reg.SeedString(kHkeyCurrentUser, kMenu + "\\Long", "", kLong);
       },
       {" | Empty entry |  |  |  |  | HKCU\\" + kMenu + "\\Empty entry",
        "Long | Long |  |  | " + kLong + " |  | HKCU\\" + kMenu + "\\Long",
        "Send to &Tool | Send to &Tool |  |  | C:\\tool\\send.htm |  | HKLM\\" + kMenu +
            "\\Send to &Tool"}},
      {"helper objects: no server, a user's class, the 32-bit view", 4,
       [&](CMemoryRegistry& reg) {
         reg.SeedKey(kHkeyLocalMachine, kBho + "\\" + bhoA);
         reg.SeedString(kHkeyLocalMachine, clsA, "", "no server");
         reg.SeedKey(kHkeyLocalMachine, kBho + "\\{H2}");
         SeedClass(reg, "{H2}", "C:\\machine.dll", "H2.Machine");
         SeedClass(reg, "{H2}", "C:\\Users\\me\\mine.dll", "H2.User", kHkeyCurrentUser);
         reg.SeedKey(kHkeyLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
                                        "Explorer\\Browser Helper Objects\\{H3}");
         SeedClass(reg, "{H3}", "C:\\x86\\h3.DLL", "H3.X86", kHkeyLocalMachine,
                   "Software\\Classes\\Wow6432Node\\CLSID\\");
       },
       {" |  |  |  |  | " + bhoA + " | HKLM\\" + kBho + "\\" + bhoA + " | HKLM\\" + clsA,
        // A machine-wide entry takes the machine's class, whatever the user's
        // classes say.
        " | H2.Machine |  |  | C:\\machine.dll | {H2} | HKLM\\" + kBho +
            "\\{H2} | HKLM\\Software\\Classes\\CLSID\\{H2}",
        " | H3.X86 |  |  | C:\\x86\\h3.DLL | {H3} | HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\"
        "CurrentVersion\\Explorer\\Browser Helper Objects\\{H3} | "
        "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\{H3}"}},
      {"no keys at all", 4, [](CMemoryRegistry&) {}, {}},
  };
  for (const Scene& scene : scenes) {
    // Every other kind's entries are there too, so the earlier listing of
    // another kind below has records to leave behind.
    CMemoryRegistry reg;
    for (const Scene& other : scenes) {
      if (other.kind != scene.kind) other.seed(reg);
    }
    scene.seed(reg);
    CPluginInventory inventory(reg);
    // An earlier listing of another kind leaves nothing behind.
    inventory.List(scene.kind == 1 ? 2 : 1);
    ASSERT_FALSE(inventory.Records().empty()) << scene.what;
    ASSERT_EQ(inventory.List(scene.kind), 1);
    std::vector<std::string> rows;
    for (const auto& r : inventory.Records()) rows.push_back(Row(*r));
    EXPECT_EQ(rows, scene.rows) << scene.what << "\n" << reg.Dump();
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << scene.what;
  }
}

// A class text that would name another key (and have its tree removed) is
// no class.
TEST(PluginInventory, ResolveClassTakesNoPathForAClass) {
  CMemoryRegistry reg;
  SeedClass(reg, "{P}\\X", "C:\\x.dll", "");
  std::string progId, server;
  EXPECT_FALSE(CPluginInventory(reg).ResolveClass("{P}\\X", RegView::kDefault, &progId, &server));
  EXPECT_EQ(server, "");
}

}  // namespace
}  // namespace tw
