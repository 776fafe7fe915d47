// The plug-in page end to end: the real tidewell.exe lists the extensions
// seeded into the Wine prefix and a COM server registered by Wine's regsvr32,
// removes them with backups that the real regedit imports again, and has the
// real "regsvr32 -u" unregister the component.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace tw::e2e {
namespace {

const char kClsid[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E7}";  // the COM server's
const char kButton[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E8}";
const char kServer[] = "P:\\tw_plugin_com.dll";
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

std::string Clsid(const std::string& id) { return "Software\\Classes\\CLSID\\" + id; }
std::string Clsid32(const std::string& id) { return "Software\\Classes\\Wow6432Node\\CLSID\\" + id; }

void SetString(HKEY root, const std::string& path, const char* name, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool ValueExists(HKEY root, const std::string& path, const char* name) {
  return RegGetValueA(root, path.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

// One line per key and per value (type and bytes in hex), so two states
// compare as texts; `only` limits a key's values to one.
void DumpKey(HKEY root, const std::string& path, std::vector<std::string>* out,
             const char* only = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  if (!only) out->push_back("[" + path + "]");
  for (DWORD i = 0;; ++i) {
    char name[16384];
    BYTE data[16384];
    DWORD nameLen = sizeof(name), type = 0, size = sizeof(data);
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    if (only && lstrcmpiA(name, only) != 0) continue;
    std::string line = "[" + path + "] \"" + std::string(name, nameLen) + "\" " +
                       std::to_string(type) + ":";
    char hex[4];
    for (DWORD b = 0; b < size; ++b) {
      wsprintfA(hex, "%02x", data[b]);
      line += hex;
    }
    out->push_back(line);
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0; !only; ++i) {
    char name[512];
    DWORD len = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  for (const auto& s : subkeys) DumpKey(root, path + "\\" + s, out);
}

std::vector<std::string> Files(const std::string& pattern) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA fd;
  const std::string folder = ProgramFolder() + "RegBackup\\";
  HANDLE h = FindFirstFileA((folder + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.push_back(folder + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

void ClearBackups() {
  for (const auto& f : Files("IE_*.reg")) DeleteFileA(f.c_str());
}

DWORD Regedit(const std::string& file) { return RunAndWait("regedit.exe /s \"" + file + "\"", 60000); }

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
    RemoveAll();
    ClearBackups();
    for (const char* key : {kToolbarKey, kExtensionsKey, kBhoKey, kBho32Key}) {
      m_parentsMade.push_back(KeyExists(HKEY_LOCAL_MACHINE, key) ? "" : key);
    }
    m_menuExtMade = !KeyExists(HKEY_CURRENT_USER, kMenuExtKey);
    CreateDirectoryA((ProgramFolder() + "RegBackup").c_str(), nullptr);
    // The component registers itself through Wine's regsvr32.
    ASSERT_EQ(RunAndWait(std::string("regsvr32.exe /s ") + kServer, 60000), 0u);
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid));
    SetString(HKEY_LOCAL_MACHINE, std::string(kBho32Key) + "\\" + kClsid32, nullptr, "");
    SetString(HKEY_LOCAL_MACHINE, Clsid32(kClsid32) + "\\InprocServer32", nullptr,
              "C:\\x86\\tidewell_e2e32.dll");
    SetString(HKEY_LOCAL_MACHINE, Clsid32(kClsid32) + "\\VersionIndependentProgID", nullptr,
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
    app.End();
    WaitForRegsvr32();
    RemoveAll();
    ClearBackups();
    for (const auto& key : m_parentsMade) {
      if (!key.empty()) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());  // only when empty
    }
    if (m_menuExtMade) RegDeleteKeyA(HKEY_CURRENT_USER, kMenuExtKey);
    if (!m_savedBackups.empty()) MoveFileA(m_savedBackups.c_str(), (ProgramFolder() + "RegBackup").c_str());
  }
  static void RemoveAll() {
    DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid);
    DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kOtherToolbar);
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kExtensionsKey) + "\\" + kButton);
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid);
    DeleteTree(HKEY_LOCAL_MACHINE, Clsid(kClsid));
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kBho32Key) + "\\" + kClsid32);
    DeleteTree(HKEY_LOCAL_MACHINE, Clsid32(kClsid32));
    DeleteTree(HKEY_CURRENT_USER, std::string(kExtensionsKey) + "\\" + kExecButton);
    DeleteTree(HKEY_CURRENT_USER, std::string(kMenuExtKey) + "\\" + kMenuWithTarget);
    DeleteTree(HKEY_CURRENT_USER, std::string(kMenuExtKey) + "\\" + kMenuWithout);
  }
  // Starts the program and opens the plug-in page.
  void Open() {
    ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
    main = app.WaitForWindow("Tidewell");
    ASSERT_TRUE(main);
    ClickId(main, 1003);
    list = WaitForControl(main, 1074, "SysListView32");
    ASSERT_TRUE(list);
    page = GetParent(list);
    ASSERT_TRUE(WaitFor([&] { return IsShown(list); }));
  }
  void ShowKind(int button) {
    const HWND b = FindControl(page, button);
    const int before = ListViewColumnCount(list);
    Click(b);
    Sleep(300);
    (void)before;
  }
  // The rows this test seeded (or the server registered), whole.
  std::vector<std::vector<std::string>> OurRows() {
    std::vector<std::vector<std::string>> out;
    for (auto& row : ListViewRows(list)) {
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
  int RowWith(const std::string& text) {
    auto rows = ListViewRows(list);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      for (const auto& cell : rows[i]) {
        if (cell == text) return i;
      }
    }
    return -1;
  }
  std::string Hint() { return GetText(FindControl(main, 1076)); }

  CAppUnderTest app;
  HWND main = nullptr, page = nullptr, list = nullptr;
  std::vector<std::string> m_parentsMade;
  bool m_menuExtMade = false;
  std::string m_savedBackups;
};

using Rows = std::vector<std::vector<std::string>>;

TEST_F(PluginPageE2E, EachKindListsTheSeededExtensionsAndTheServer) {
  Open();
  // Toolbars first, with the general hint.
  EXPECT_TRUE(WaitFor([&] { return Hint().find("温馨提醒") != std::string::npos; })) << Hint();
  EXPECT_EQ(ListViewColumnCount(list), 3);
  EXPECT_EQ(OurRows(), (Rows{{"TidewellPluginE2E Toolbar", "TidewellPluginE2E.Helper", kServer},
                             {"TidewellPluginE2E Other", "", ""}}));
  Screenshot("plugins_toolbars");

  ShowKind(1006);
  EXPECT_EQ(ListViewColumnCount(list), 4);
  EXPECT_EQ(OurRows(), (Rows{{"TidewellPluginE2E Button", "TidewellPluginE2E status",
                              "TidewellPluginE2E.Helper", kServer},
                             {"TidewellPluginE2E Run", "", "", "C:\\tools\\tidewell_e2e.exe"}}));
  Screenshot("plugins_buttons");

  ShowKind(1007);
  EXPECT_EQ(ListViewColumnCount(list), 3);
  EXPECT_EQ(OurRows(), (Rows{{kMenuWithTarget, kMenuWithTarget, "C:\\tools\\tidewell_e2e_send.htm"},
                             {"", kMenuWithout, ""}}));
  Screenshot("plugins_context_menus");

  ShowKind(1008);
  EXPECT_EQ(ListViewColumnCount(list), 2);
  // The 64-bit view first, then the 32-bit one.
  EXPECT_EQ(OurRows(), (Rows{{"TidewellPluginE2E.Helper", kServer},
                             {"TidewellPluginE2E.X86", "C:\\x86\\tidewell_e2e32.dll"}}));
  // The buttons' hints come and go with the mouse.
  PostMessageA(page, 0x2AB6, 1073, 0);
  EXPECT_TRUE(WaitFor([&] { return Hint().find("卸载功能") != std::string::npos; })) << Hint();
  Screenshot("plugins_helper_objects");
  PostMessageA(page, 0x2AB7, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return Hint().find("温馨提醒") != std::string::npos; })) << Hint();
}

TEST_F(PluginPageE2E, DeletingAToolbarRegistrationTakesOnlyItsValueAndTheBackupRestoresIt) {
  std::vector<std::string> before;
  DumpKey(HKEY_LOCAL_MACHINE, kToolbarKey, &before);
  DumpKey(HKEY_LOCAL_MACHINE, Clsid(kClsid), &before);
  Open();
  // Without a selected row nothing happens.
  Click(FindControl(page, 1009));
  Sleep(300);
  EXPECT_TRUE(Files("IE_*.reg").empty());
  const int row = RowWith("TidewellPluginE2E Toolbar");
  ASSERT_GE(row, 0);
  ListViewSelect(list, row);
  Click(FindControl(page, 1009));
  ASSERT_TRUE(WaitFor([] { return !ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid); }));
  EXPECT_EQ(RowWith("TidewellPluginE2E Toolbar"), -1);
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kOtherToolbar));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Clsid(kClsid)));
  const auto backups = Files("IE_*.reg");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(Regedit(backups[0]), 0u);
  std::vector<std::string> after;
  DumpKey(HKEY_LOCAL_MACHINE, kToolbarKey, &after);
  DumpKey(HKEY_LOCAL_MACHINE, Clsid(kClsid), &after);
  EXPECT_EQ(after, before);
}

TEST_F(PluginPageE2E, UninstallingTheHelperObjectTakesKeyAndClassAndRunsRegsvr32) {
  std::vector<std::string> before;
  DumpKey(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid, &before);
  DumpKey(HKEY_LOCAL_MACHINE, Clsid(kClsid), &before);
  Open();
  ShowKind(1008);
  const int row = RowWith("TidewellPluginE2E.Helper");
  ASSERT_GE(row, 0);
  ListViewSelect(list, row);
  Click(FindControl(page, 1073));
  ASSERT_TRUE(WaitFor([] {
    return !KeyExists(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid) &&
           !KeyExists(HKEY_LOCAL_MACHINE, Clsid(kClsid));
  }));
  // The component's own unregistration takes its toolbar and its button,
  // which the page left alone.
  ASSERT_TRUE(WaitForRegsvr32());
  EXPECT_TRUE(WaitFor([] {
    return !ValueExists(HKEY_LOCAL_MACHINE, kToolbarKey, kClsid) &&
           !KeyExists(HKEY_LOCAL_MACHINE, std::string(kExtensionsKey) + "\\" + kButton);
  }));
  EXPECT_EQ(RowWith("TidewellPluginE2E.Helper"), -1);
  EXPECT_GE(RowWith("TidewellPluginE2E.X86"), 0);
  const auto backups = Files("IE_*.reg");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(Regedit(backups[0]), 0u);
  std::vector<std::string> after;
  DumpKey(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid, &after);
  DumpKey(HKEY_LOCAL_MACHINE, Clsid(kClsid), &after);
  EXPECT_EQ(after, before);
}

TEST_F(PluginPageE2E, TwoRemovalsWithinOneSecondKeepTwoBackups) {
  const std::string withTarget = std::string(kMenuExtKey) + "\\" + kMenuWithTarget;
  const std::string without = std::string(kMenuExtKey) + "\\" + kMenuWithout;
  std::vector<std::string> before;
  DumpKey(HKEY_CURRENT_USER, withTarget, &before);
  DumpKey(HKEY_CURRENT_USER, without, &before);
  Open();
  ShowKind(1007);
  for (const char* name : {kMenuWithTarget, kMenuWithout}) {
    const int row = RowWith(name);
    ASSERT_GE(row, 0) << name;
    ListViewSelect(list, row);
    Click(FindControl(page, 1009));
    ASSERT_TRUE(WaitFor([&] { return RowWith(name) == -1; })) << name;
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, withTarget));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, without));
  const auto backups = Files("IE_*.reg");
  ASSERT_EQ(backups.size(), 2u);
  for (const auto& file : backups) EXPECT_EQ(Regedit(file), 0u) << file;
  std::vector<std::string> after;
  DumpKey(HKEY_CURRENT_USER, withTarget, &after);
  DumpKey(HKEY_CURRENT_USER, without, &after);
  EXPECT_EQ(after, before);
}

TEST_F(PluginPageE2E, WithoutTheBackupFolderNothingIsRemoved) {
  m_savedBackups = ProgramFolder() + "RegBackup.plugin_e2e";
  ASSERT_TRUE(MoveFileA((ProgramFolder() + "RegBackup").c_str(), m_savedBackups.c_str()));
  std::vector<std::string> before;
  DumpKey(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid, &before);
  DumpKey(HKEY_LOCAL_MACHINE, Clsid(kClsid), &before);
  Open();
  ShowKind(1008);
  const int row = RowWith("TidewellPluginE2E.Helper");
  ASSERT_GE(row, 0);
  ListViewSelect(list, row);
  Click(FindControl(page, 1073));
  MessageBoxInfo box;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : app.TopLevelWindows("Tidewell", "#32770")) {
      if (w != main && IsWindowVisible(w)) box.hwnd = w;
    }
    return box.hwnd != nullptr;
  }));
  for (HWND w = GetWindow(box.hwnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (ClassName(w) == "Static") box.text += GetText(w);
  }
  EXPECT_EQ(box.text.rfind("P:\\RegBackup\\IE_", 0), 0u) << box.text;
  EXPECT_NE(box.text.find(".reg contains an invalid path."), std::string::npos) << box.text;
  Screenshot("plugins_no_backup_folder");
  AnswerMessageBox(box.hwnd, IDOK);
  EXPECT_GE(RowWith("TidewellPluginE2E.Helper"), 0);
  EXPECT_EQ(CountProcesses("regsvr32.exe"), 0);
  std::vector<std::string> after;
  DumpKey(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + kClsid, &after);
  DumpKey(HKEY_LOCAL_MACHINE, Clsid(kClsid), &after);
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace tw::e2e
