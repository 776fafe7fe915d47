// The plug-in page end to end: the real tidewell.exe lists the extensions
// seeded into the Wine prefix and a COM server registered by Wine's regsvr32,
// removes them with backups that the real regedit imports again, and has the
// real "regsvr32 -u" unregister the component.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/both_programs.h"
#include "e2e/driver.h"
#include "e2e/list_page_windows.h"
#include "e2e/registry_seed.h"

namespace tw::e2e {
namespace {

const char kClsid[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E7}";  // the COM server's
const char kButton[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E8}";
// Built into P:, a drive of the network, and copied to a local drive: the
// page hands regsvr32 only a server on a local drive.
const char kServerBuilt[] = "P:\\tw_plugin_com.dll";
const char kServer[] = "C:\\tw_plugin_com.dll";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kMenuExtKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\MenuExt";
const char kBhoKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kBho32Key[] =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
// Seeded beside the server: a 32-bit helper object, a button that runs a
// program, another toolbar, and context-menu entries.
const char kClsid32[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E9}";
const char kExecButton[] = "{7E1DE11A-0000-4E2E-9000-00000000E2EA}";
const char kOtherToolbar[] = "{7E1DE11A-0000-4E2E-9000-00000000E2EB}";
const char kMenuWithTarget[] = "TidewellPluginE2E &Send";
const char kMenuWithout[] = "TidewellPluginE2E Empty";

// Seeded only by the test of entries that cannot go: a toolbar whose value
// name holds a line break (no backup line can hold it) and a context-menu
// entry whose key refuses removal to everyone.
const char kUnwritableToolbar[] = "{7E1DE11A-0000-4E2E-9000-00000000E2EC}\r\n[HKEY_LOCAL_MACHINE\\X]";
const char kMenuLocked[] = "TidewellPluginE2E Locked";
const char kToolbarDefault[] = "TidewellPluginE2E Default";  // the Toolbar key's own value

void DeleteValue(HKEY root, const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

// Gives the key the security descriptor of this SDDL text; false when it
// cannot.
bool SetKeySecurityText(HKEY root, const std::string& path, const char* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr))
    return false;
  HKEY key = nullptr;
  bool ok = RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS;
  if (ok) {
    ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  LocalFree(sd);
  return ok;
}
// Everyone may read and change the key, but not remove it.
const char kNoRemoval[] = "D:P(D;;SD;;;WD)(A;;KA;;;WD)";
const char kFullAccess[] = "D:(A;;KA;;;WD)";

using Keys = RegKeys;
std::vector<std::string> Dump(const Keys& keys) {
  std::vector<std::string> out;
  for (const auto& [root, path] : keys) DumpKey(root, path, &out);
  return out;
}

void ClearBackups() {
  for (const auto& f : BackupFiles("IE_*.reg")) DeleteFileA(f.c_str());
}

// Imports every backup with the real registry editor.
void ImportBackups(std::size_t expected) {
  const auto backups = BackupFiles("IE_*.reg");
  ASSERT_EQ(backups.size(), expected);
  for (const auto& file : backups) {
    EXPECT_EQ(RunAndWait("regedit.exe /s \"" + file + "\"", 60000), 0u) << file;
  }
}

// Waits for every regsvr32 of the prefix to end, answering the message box
// it may show with its result.
bool WaitForRegsvr32(DWORD timeoutMs = 30000) {
  return WaitFor(
      [] {
        HWND box = nullptr;
        EnumWindows(
            [](HWND w, LPARAM found) -> BOOL {
              char caption[64] = {};
              GetWindowTextA(w, caption, sizeof caption);
              if (IsWindowVisible(w) && ClassName(w) == "#32770" &&
                  lstrcmpiA(caption, "RegSvr32") == 0) {
                *reinterpret_cast<HWND*>(found) = w;
                return FALSE;
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        if (box) AnswerMessageBox(box, IDOK);
        return CountProcesses("regsvr32.exe") == 0;
      },
      timeoutMs);
}

class PluginPageE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStartCount();
    RemoveAll();
    ClearBackups();
    for (const char* key : {kToolbarKey, kExtensionsKey, kBhoKey, kBho32Key}) {
      m_parentsMade.push_back(KeyExists(HKEY_LOCAL_MACHINE, key) ? "" : key);
    }
    m_menuExtMade = !KeyExists(HKEY_CURRENT_USER, kMenuExtKey);
    CreateDirectoryA((ProgramFolder() + "RegBackup").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(kServerBuilt, kServer, FALSE));
    // The component registers itself through Wine's regsvr32.
    ASSERT_EQ(RunAndWait(std::string("regsvr32.exe /s ") + kServer, 60000), 0u);
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid));
    SetString(HKEY_LOCAL_MACHINE, std::string(kBho32Key) + "\\" + kClsid32, nullptr, "");
    SetString(HKEY_LOCAL_MACHINE, ClassKey32(kClsid32) + "\\InprocServer32", nullptr,
              "C:\\x86\\tidewell_e2e32.dll");
    SetString(HKEY_LOCAL_MACHINE, ClassKey32(kClsid32) + "\\VersionIndependentProgID", nullptr,
              "TidewellPluginE2E.X86");
    const std::string exec = std::string(kExtensionsKey) + "\\" + kExecButton;
    SetString(HKEY_CURRENT_USER, exec, "Clsid", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
    SetString(HKEY_CURRENT_USER, exec, "Exec", "C:\\tools\\tidewell_e2e.exe");
    SetString(HKEY_CURRENT_USER, exec, "ButtonText", "TidewellPluginE2E Run");
    SetString(HKEY_LOCAL_MACHINE, kToolbarKey, kOtherToolbar, "TidewellPluginE2E Other");
    SetString(HKEY_CURRENT_USER, std::string(kMenuExtKey) + "\\" + kMenuWithTarget, nullptr,
              "C:\\tools\\tidewell_e2e_send.htm");
    SetString(HKEY_CURRENT_USER, std::string(kMenuExtKey) + "\\" + kMenuWithout, "Contexts", "x");
  }
  void TearDown() override {
    m_app.End();
    WaitForRegsvr32();
    DeleteFileA(kServer);
    RemoveAll();
    ClearBackups();
    for (const auto& key : m_parentsMade) {
      if (!key.empty()) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());  // only when empty
    }
    if (m_menuExtMade) RegDeleteKeyA(HKEY_CURRENT_USER, kMenuExtKey);
    if (!m_savedBackups.empty()) MoveFileA(m_savedBackups.c_str(), (ProgramFolder() + "RegBackup").c_str());
  }
  static void RemoveAll() {
    const std::string locked = std::string(kMenuExtKey) + "\\" + kMenuLocked;
    if (KeyExists(HKEY_CURRENT_USER, locked)) SetKeySecurityText(HKEY_CURRENT_USER, locked, kFullAccess);
    RemoveKey(HKEY_CURRENT_USER, locked);
    DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kUnwritableToolbar);
    char text[64] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kToolbarKey, nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &size) == ERROR_SUCCESS &&
        std::string(text) == kToolbarDefault) {
      DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, "");
    }
    DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid);
    DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kOtherToolbar);
    RemoveKey(HKEY_LOCAL_MACHINE, std::string(kExtensionsKey) + "\\" + kButton);
    RemoveKey(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid);
    RemoveKey(HKEY_LOCAL_MACHINE, ClassKey(kClsid));
    RemoveKey(HKEY_LOCAL_MACHINE, std::string(kBho32Key) + "\\" + kClsid32);
    RemoveKey(HKEY_LOCAL_MACHINE, ClassKey32(kClsid32));
    RemoveKey(HKEY_CURRENT_USER, std::string(kExtensionsKey) + "\\" + kExecButton);
    RemoveKey(HKEY_CURRENT_USER, std::string(kMenuExtKey) + "\\" + kMenuWithTarget);
    RemoveKey(HKEY_CURRENT_USER, std::string(kMenuExtKey) + "\\" + kMenuWithout);
  }
  // Starts the program and opens the plug-in page.
  void Open(const std::string& exe = "tidewell.exe") {
    ASSERT_TRUE(m_app.Start(exe)) << m_app.LastError();
    ASSERT_TRUE(m_page.Open(m_app, 1003, 1074));
  }
  void ShowKind(int button) {
    Click(FindControl(m_page.page, button));
    Sleep(300);
  }
  // The rows this test seeded (or the server registered), whole.
  std::vector<std::vector<std::string>> OurRows() {
    std::vector<std::vector<std::string>> out;
    for (auto& row : ListViewRows(m_page.list)) {
      for (const auto& cell : row) {
        if (cell.find("TidewellPluginE2E") != std::string::npos ||
            cell.find("tidewell_e2e") != std::string::npos || cell == kServer) {
          out.push_back(row);
          break;
        }
      }
    }
    return out;
  }
  std::string Hint() { return GetText(FindControl(m_page.main, 1076)); }

  CAppUnderTest m_app;
  ListPageWindows m_page;
  std::vector<std::string> m_parentsMade;
  bool m_menuExtMade = false;
  std::string m_savedBackups;
};

using Rows = std::vector<std::vector<std::string>>;

// Run by the 64-bit program and by the 32-bit one on 64-bit Windows, which
// must list both views' entries, each once.
class PluginPageBothPrograms : public PluginPageE2E,
                               public ::testing::WithParamInterface<const char*> {};

TEST_P(PluginPageBothPrograms, EachKindListsTheSeededExtensionsAndTheServer) {
  Open(ProgramFolder() + GetParam());
  const std::string x86 = GetParam()[0] == 'x' ? "_x86" : "";
  // Toolbars first, with the general hint.
  EXPECT_TRUE(WaitFor([&] { return Hint().find("温馨提醒") != std::string::npos; })) << Hint();
  EXPECT_EQ(ListViewColumnCount(m_page.list), 3);
  EXPECT_EQ(OurRows(), (Rows{{"TidewellPluginE2E Toolbar", "TidewellPluginE2E.Helper", kServer},
                             {"TidewellPluginE2E Other", "", ""}}));
  Screenshot("plugins_toolbars" + x86);

  ShowKind(1006);
  EXPECT_EQ(ListViewColumnCount(m_page.list), 4);
  EXPECT_EQ(OurRows(), (Rows{{"TidewellPluginE2E Button", "TidewellPluginE2E status",
                              "TidewellPluginE2E.Helper", kServer},
                             {"TidewellPluginE2E Run", "", "", "C:\\tools\\tidewell_e2e.exe"}}));
  Screenshot("plugins_buttons" + x86);

  ShowKind(1007);
  EXPECT_EQ(ListViewColumnCount(m_page.list), 3);
  EXPECT_EQ(OurRows(), (Rows{{kMenuWithTarget, kMenuWithTarget, "C:\\tools\\tidewell_e2e_send.htm"},
                             {"", kMenuWithout, ""}}));
  Screenshot("plugins_context_menus" + x86);

  ShowKind(1008);
  EXPECT_EQ(ListViewColumnCount(m_page.list), 2);
  // The 64-bit view first, then the 32-bit one.
  EXPECT_EQ(OurRows(), (Rows{{"TidewellPluginE2E.Helper", kServer},
                             {"TidewellPluginE2E.X86", "C:\\x86\\tidewell_e2e32.dll"}}));
  // The buttons' hints come and go with the mouse.
  PostMessageA(m_page.page, 0x2AB6, 1073, 0);
  EXPECT_TRUE(WaitFor([&] { return Hint().find("卸载功能") != std::string::npos; })) << Hint();
  Screenshot("plugins_helper_objects" + x86);
  PostMessageA(m_page.page, 0x2AB7, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Hint().find("温馨提醒") != std::string::npos; })) << Hint();
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, PluginPageBothPrograms,
                         BothPrograms(), ProgramName);

// Without a selected row nothing happens. "删除注册信息" on a toolbar takes
// only its value; on context-menu entries of the user, their keys. Each
// removal, two within the same second among them, keeps its own backup, and
// the backups give the registry back byte for byte.
TEST_F(PluginPageE2E, DeletingRegistrationsTakesOnlyTheirOwnAndEachBackupRestores) {
  const std::string withTarget = std::string(kMenuExtKey) + "\\" + kMenuWithTarget;
  const std::string without = std::string(kMenuExtKey) + "\\" + kMenuWithout;
  const Keys keys = {{HKEY_LOCAL_MACHINE, kToolbarKey},
                     {HKEY_LOCAL_MACHINE, ClassKey(kClsid)},
                     {HKEY_CURRENT_USER, withTarget},
                     {HKEY_CURRENT_USER, without}};
  const auto before = Dump(keys);
  Open();
  Click(FindControl(m_page.page, 1009));
  Sleep(300);
  EXPECT_TRUE(BackupFiles("IE_*.reg").empty()) << "a removal without a selected row";

  ASSERT_TRUE(m_page.SelectAndClick("TidewellPluginE2E Toolbar", 1009));
  ASSERT_TRUE(WaitFor([] { return !ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid); }));
  EXPECT_EQ(m_page.RowOf("TidewellPluginE2E Toolbar"), -1);
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kOtherToolbar));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(kClsid)));

  ShowKind(1007);
  for (const char* name : {kMenuWithTarget, kMenuWithout}) {
    ASSERT_TRUE(m_page.SelectAndClick(name, 1009)) << name;
    ASSERT_TRUE(WaitFor([&] { return m_page.RowOf(name) == -1; })) << name;
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, withTarget));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, without));
  ImportBackups(3);
  EXPECT_EQ(Dump(keys), before);
}

// "卸载插件" on the helper object: without the backup folder it says 61859
// and removes nothing; with it, the helper object's key and class tree go,
// the real "regsvr32 -u" runs, and the backup restores both.
TEST_F(PluginPageE2E, UninstallingTheHelperObjectNeedsItsBackupThenTakesKeyAndClass) {
  const Keys keys = {{HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid},
                     {HKEY_LOCAL_MACHINE, ClassKey(kClsid)}};
  const auto before = Dump(keys);
  m_savedBackups = ProgramFolder() + "RegBackup.plugin_e2e";
  ASSERT_TRUE(MoveFileA((ProgramFolder() + "RegBackup").c_str(), m_savedBackups.c_str()));
  Open();
  ShowKind(1008);
  ASSERT_TRUE(m_page.SelectAndClick("TidewellPluginE2E.Helper", 1073));
  MessageBoxInfo box = WaitForMessageBox(m_app.Pid());
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text.rfind("P:\\RegBackup\\IE_", 0), 0u) << box.text;
  EXPECT_NE(box.text.find(".reg contains an invalid path."), std::string::npos) << box.text;
  Screenshot("plugins_no_backup_folder");
  AnswerMessageBox(box.hwnd, IDOK);
  EXPECT_GE(m_page.RowOf("TidewellPluginE2E.Helper"), 0);
  EXPECT_EQ(CountProcesses("regsvr32.exe"), 0);
  EXPECT_EQ(Dump(keys), before) << "removed without a backup";

  ASSERT_TRUE(MoveFileA(m_savedBackups.c_str(), (ProgramFolder() + "RegBackup").c_str()));
  m_savedBackups.clear();
  ASSERT_TRUE(m_page.SelectAndClick("TidewellPluginE2E.Helper", 1073));
  ASSERT_TRUE(WaitFor([&] {
    return !KeyExists(HKEY_LOCAL_MACHINE, keys[0].second) &&
           !KeyExists(HKEY_LOCAL_MACHINE, keys[1].second);
  }));
  // The component's own unregistration takes its toolbar and its button,
  // which the page left alone.
  ASSERT_TRUE(WaitForRegsvr32());
  EXPECT_TRUE(WaitFor([] {
    return !ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid) &&
           !KeyExists(HKEY_LOCAL_MACHINE, std::string(kExtensionsKey) + "\\" + kButton);
  })) << "regsvr32 -u did not run";
  EXPECT_EQ(m_page.RowOf("TidewellPluginE2E.Helper"), -1);
  EXPECT_GE(m_page.RowOf("TidewellPluginE2E.X86"), 0);
  ImportBackups(1);
  EXPECT_EQ(Dump(keys), before);
}

// A row leaves only when its registration has really gone. The Toolbar
// key's own default value is no toolbar, a value name with a line break has
// no line in a backup, and a key that refuses removal stays: each keeps its
// row, the user is told (57930), and the next listing shows it still.
TEST_F(PluginPageE2E, ARegistrationThatCannotGoKeepsItsRowAndSaysSo) {
  ASSERT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, "")) << "the prefix's own default";
  SetString(HKEY_LOCAL_MACHINE, kToolbarKey, "", kToolbarDefault);
  SetString(HKEY_LOCAL_MACHINE, kToolbarKey, kUnwritableToolbar, "TidewellPluginE2E Unwritable");
  const std::string locked = std::string(kMenuExtKey) + "\\" + kMenuLocked;
  SetString(HKEY_CURRENT_USER, locked, nullptr, "C:\\tools\\tidewell_e2e_locked.htm");
  ASSERT_TRUE(SetKeySecurityText(HKEY_CURRENT_USER, locked, kNoRemoval));
  const Keys keys = {{HKEY_LOCAL_MACHINE, kToolbarKey}, {HKEY_CURRENT_USER, locked}};
  const auto before = Dump(keys);
  Open();

  struct Case {
    int kindButton;
    const char* row;
    std::string where;  // the key the message names
  };
  const Case cases[] = {
      {1005, kToolbarDefault, std::string("HKEY_LOCAL_MACHINE\\") + kToolbarKey},
      {1005, "TidewellPluginE2E Unwritable", std::string("HKEY_LOCAL_MACHINE\\") + kToolbarKey},
      {1007, kMenuLocked, "HKEY_CURRENT_USER\\" + locked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    ShowKind(c.kindButton);
    ASSERT_TRUE(m_page.WaitForRow(c.row));
    ASSERT_TRUE(m_page.SelectAndClick(c.row, 1009));
    const MessageBoxInfo box = WaitForMessageBox(m_app.Pid());
    ASSERT_TRUE(box) << "no message";
    EXPECT_EQ(box.text, "没有删除：这一项仍在注册表中（" + c.where + "）。");
    if (c.kindButton == 1007) Screenshot("plugins_not_removed");
    ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
    EXPECT_GE(m_page.RowOf(c.row), 0) << "the row left";
    ShowKind(c.kindButton);
    EXPECT_TRUE(m_page.WaitForRow(c.row)) << "the next listing lost it";
  }
  EXPECT_EQ(Dump(keys), before);
}

}  // namespace
}  // namespace tw::e2e
