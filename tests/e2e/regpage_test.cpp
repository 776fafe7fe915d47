// The registry page end to end: the real tidewell.exe scans a Wine prefix
// seeded with stale entries of every category, deletes with backups that
// restore through the real regedit, repairs through the folder chooser, and
// backs up and restores the whole registry.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/regpage_windows.h"
#include "e2e/registry_seed.h"
#include "e2e/shell_support.h"

namespace tw::e2e {
namespace {

// Everything the tests seed lives below these names, and goes afterwards.
const char kSandbox[] = "Software\\TidewellRegPageE2E";
const char kClsid[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E1}";
const char kRepairClsid[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E2}";
const char kTypeLib[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E3}";
const char kUninstall[] = "TidewellRegPageE2E";
const char kExtension[] = ".twregpagee2e";
const char kClass[] = "TidewellRegPageE2E.File";
const char kScratch[] = "C:\\tidewell_regpage_e2e";

// --- registry helpers (ANSI, as the program reads it) ------------------------

void SetString(HKEY root, const std::string& path, const std::string& name,
               const std::string& data, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                 reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
}

void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof(value));
  RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[512];
  while (true) {
    DWORD len = sizeof(name);
    if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    // DeleteTree removes the subkey itself; one that stays ends the loop.
    DeleteTree(key, name);
    HKEY left = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &left) == ERROR_SUCCESS) {
      RegCloseKey(left);
      break;
    }
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, path.c_str());
}

std::vector<std::string> SandboxState() {
  return SortedDump({
      {HKEY_CURRENT_USER, kSandbox},
      {HKEY_LOCAL_MACHINE, kSandbox},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid},
      {HKEY_CLASSES_ROOT, std::string("CLSID\\") + kRepairClsid},
      {HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kTypeLib},
      {HKEY_LOCAL_MACHINE,
       std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kUninstall},
      {HKEY_CLASSES_ROOT, kExtension},
      {HKEY_CLASSES_ROOT, kClass},
  });
}

void RemoveSandbox() {
  DeleteTree(HKEY_CURRENT_USER, kSandbox);
  DeleteTree(HKEY_LOCAL_MACHINE, kSandbox);
  DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid);
  DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kRepairClsid);
  DeleteTree(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kTypeLib);
  DeleteTree(HKEY_LOCAL_MACHINE,
             std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kUninstall);
  DeleteTree(HKEY_CLASSES_ROOT, kExtension);
  DeleteTree(HKEY_CLASSES_ROOT, kClass);
}

std::wstring Wide(const std::string& ansi) {
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), n);
  return w;
}

const std::wstring kHangulName = L"\uD55C\uAE00";               // 한글
const std::wstring kHangulText = L"\uAC12 \U0001F600 \u4E2D";  // 값, an emoji, 中

std::string Gone(const std::string& name) { return std::string(kScratch) + "\\gone\\" + name; }

// A stale entry of every category, each pointing into a folder that does not
// exist, beside entries that are fine.
void SeedStaleEntries() {
  RemoveSandbox();
  CreateDirectoryA(kScratch, nullptr);
  SetString(HKEY_CURRENT_USER, kSandbox, "Tool", Gone("Tool.exe"));
  SetString(HKEY_CURRENT_USER, kSandbox, "Viewer", std::string(1, '"') + Gone("View.exe") + "\" /s %1");
  SetString(HKEY_CURRENT_USER, kSandbox, "Editor", Gone("Edit.exe"));
  SetString(HKEY_CURRENT_USER, kSandbox, "Fine", "C:\\windows\\regedit.exe");
  SetDword(HKEY_CURRENT_USER, kSandbox, "Count", 7);
  SetString(HKEY_CURRENT_USER, std::string(kSandbox) + "\\Deeper", "Helper", Gone("Helper.dll"));
  SetString(HKEY_LOCAL_MACHINE, kSandbox, "Service", Gone("Service.exe"));
  SetString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid + "\\InprocServer32", "",
            Gone("Server.dll"));
  SetString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid + "\\InprocServer32",
            "ThreadingModel", "Apartment");
  // A name and a text that code page 936 cannot hold (Hangul, an emoji):
  // read through the ANSI calls they become "??", and a backup of that
  // would give back another value.
  SetWideValue(HKEY_CLASSES_ROOT, L"CLSID\\" + Wide(kClsid), kHangulName, REG_SZ, kHangulText);
  SetString(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kTypeLib + "\\1.0\\0\\win32", "",
            Gone("Lib.tlb"));
  SetString(HKEY_LOCAL_MACHINE,
            std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kUninstall,
            "DisplayName", "Tidewell e2e leftover");
  SetString(HKEY_CLASSES_ROOT, kExtension, "", kClass);
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CLASSES_ROOT, kClass, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegCloseKey(key);
}

// --- the page --------------------------------------------------------------

constexpr DWORD kScanTimeoutMs = 240000;

struct RegistryPage : RegistryPageWindows {
  bool WaitForPane(int i, const std::string& text, DWORD timeout = kScanTimeoutMs) const {
    return WaitFor([&] { return Pane(i) == text; }, timeout);
  }
  bool Scan() { return RegistryPageWindows::Scan(kScanTimeoutMs); }
  // Rows whose location (column 0) names one of the seeded entries.
  std::vector<int> RowsOf(const std::vector<std::string>& locations) const {
    std::vector<int> out;
    auto rows = ListViewRows(results, 3);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      for (const auto& l : locations) {
        if (rows[i][0] == l) out.push_back(i);
      }
    }
    return out;
  }
};

// Reads a file the program wrote as UTF-16 or ANSI, as UTF-8.
std::string ReadRegText(const std::string& path) {
  std::string bytes = ReadFileBytes(path);
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring w(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    return Narrow(w);
  }
  int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return Narrow(w);
}

using shell::WaitForBox;

class RegistryPageE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStartCount();
    SeedStaleEntries();
    ClearBackups();
  }
  void TearDown() override {
    app.End();
    RemoveSandbox();
    ClearBackups();
  }
  // n stale values below the sandbox's "Many", named by format ("m%03d").
  std::string SeedMany(int n, const char* format) {
    const std::string many = std::string(kSandbox) + "\\Many";
    char name[16];
    for (int i = 0; i < n; ++i) {
      wsprintfA(name, format, i);
      SetString(HKEY_CURRENT_USER, many, name, Gone(std::string(name) + ".dll"));
    }
    return many;
  }
  // Starts the program and scans HKEY_CURRENT_USER alone.
  bool ScanTheUser() {
    if (!app.Start("tidewell.exe") || !ui.Open(app)) return false;
    ui.TickOnly({1});
    return ui.Scan();
  }
  CAppUnderTest app;
  RegistryPage ui;
};

const std::vector<std::string> kValueRows = {kSandbox, std::string(kSandbox) + "\\Deeper"};

TEST_F(RegistryPageE2E, ScanListsTheSeededEntriesAndStopKeepsTheRows) {
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  EXPECT_EQ(GetText(ui.Button(1035)), "扫描");
  // The eight categories in their order, all ticked.
  ASSERT_EQ(SendMessageW(ui.categories, LB_GETCOUNT, 0, 0), 8);

  Click(ui.Button(1035));
  EXPECT_TRUE(WaitForText(ui.Button(1035), "停止"));
  Sleep(300);
  Screenshot("regpage_during_scan");
  EXPECT_FALSE(IsEnabled(ui.Button(1007)));
  EXPECT_FALSE(IsEnabled(ui.categories));
  ASSERT_TRUE(ui.WaitForPane(0, "扫描完成.")) << ui.Pane(0);
  EXPECT_EQ(GetText(ui.Button(1035)), "扫描");
  EXPECT_TRUE(IsEnabled(ui.Button(1007)));
  Sleep(300);
  Screenshot("regpage_after_scan");

  const auto rows = ListViewRows(ui.results, 3);
  const int count = static_cast<int>(rows.size());
  EXPECT_EQ(ui.Pane(1), "总共: " + std::to_string(count));
  EXPECT_EQ(ui.Pane(2).rfind("时间: ", 0), 0u) << ui.Pane(2);
  std::multiset<std::string> found;
  for (const auto& r : rows) found.insert(r[0] + " | " + r[1] + " | " + r[2]);
  const std::string gone = "c:\\tidewell_regpage_e2e\\gone\\";
  const std::vector<std::string> expected = {
      std::string(kSandbox) + " | 无效路径:  " + gone + "tool.exe | Tool",
      std::string(kSandbox) + " | 无效路径:  " + gone + "view.exe | Viewer",
      std::string(kSandbox) + " | 无效路径:  " + gone + "edit.exe | Editor",
      std::string(kSandbox) + "\\Deeper | 无效路径:  " + gone + "helper.dll | Helper",
      std::string(kSandbox) + " | 无效路径:  " + gone + "service.exe | Service",
      std::string("CLSID\\") + kClsid + " | 无效路径:  " + gone + "server.dll | ",
      std::string("TypeLib\\") + kTypeLib + " | 无效路径:  c:\\tidewell_regpage_e2e\\gone | ",
      std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kUninstall +
          " | 无效反安装 | ",
      std::string(kExtension) + " | 无效文件关联 | ",
      std::string(kClass) + " | 无效文件关联 | ",
  };
  for (const auto& e : expected) EXPECT_EQ(found.count(e), 1u) << e;
  for (const auto& r : rows) {
    if (r[0].find("TidewellRegPageE2E") != std::string::npos && r[0].find("Fine") != std::string::npos) {
      ADD_FAILURE() << "a valid entry was listed: " << r[0];
    }
  }

  // Scan again and stop once rows are listed (held by a pause meanwhile, so
  // the scan cannot end by itself first): the rows found so far stay, and
  // the status ends with the scan's end and their count.
  Click(ui.Button(1035));
  ASSERT_TRUE(WaitForText(ui.Button(1035), "停止"));
  ASSERT_TRUE(WaitFor([&] { return ListViewRowCount(ui.results) > 0; }));
  Command(ui.main, 32810);  // pause
  Sleep(300);
  ASSERT_EQ(GetText(ui.Button(1035)), "停止") << "the scan ended before it could be stopped";
  const int listedAtStop = ListViewRowCount(ui.results);
  Click(ui.Button(1035));
  EXPECT_TRUE(WaitForText(ui.Button(1035), "扫描"));
  ASSERT_TRUE(ui.WaitForPane(0, "扫描完成.", 30000)) << ui.Pane(0);
  // The held scan ends where it stood: nothing is listed after the pause,
  // and the rows are fewer than the whole scan's, which a scan that simply
  // ran on to its end would not leave.
  const int kept = ListViewRowCount(ui.results);
  EXPECT_EQ(kept, listedAtStop);
  EXPECT_LT(kept, count);
  EXPECT_EQ(ui.Pane(1), "总共: " + std::to_string(kept));
}

TEST_F(RegistryPageE2E, PauseHoldsTheScanAndResumeContinues) {
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  // Paused before it starts, the scan is held at its first poll: a scan
  // that ends quickly cannot overtake the check.
  Command(ui.main, 32810);  // pause
  Click(ui.Button(1035));
  ASSERT_TRUE(WaitForText(ui.Button(1035), "停止"));
  Sleep(700);
  const std::string held = ui.Pane(0);
  const int rowsHeld = ListViewRowCount(ui.results);
  Sleep(1500);
  EXPECT_NE(held, "扫描完成.");
  EXPECT_EQ(ui.Pane(0), held);
  EXPECT_EQ(ListViewRowCount(ui.results), rowsHeld);
  EXPECT_EQ(GetText(ui.Button(1035)), "停止");
  Command(ui.main, 32810);  // resume
  ASSERT_TRUE(ui.WaitForPane(0, "扫描完成.")) << ui.Pane(0);
  EXPECT_GT(ListViewRowCount(ui.results), rowsHeld);
}

TEST_F(RegistryPageE2E, DeletedEntriesComeBackFromTheirBackups) {
  const auto before = SandboxState();
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  ASSERT_TRUE(ui.Scan());
  const int total = ListViewRowCount(ui.results);

  // Nothing checked: the page asks for a choice and deletes nothing.
  Click(ui.Button(1007));
  auto box = WaitForBox(app, ui.main);
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text, "请选择注册表项。");
  AnswerMessageBox(box.hwnd, IDOK);
  EXPECT_EQ(ListViewRowCount(ui.results), total);

  // Three checked rows of the sandbox go, with one backup file.
  auto mine = ui.RowsOf({kSandbox, std::string(kSandbox) + "\\Deeper"});
  ASSERT_GE(mine.size(), 4u);
  std::vector<std::string> chosen;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(ListViewSetChecked(ui.results, mine[i], true));
    chosen.push_back(ListViewText(ui.results, mine[i], 2));
  }
  Click(ui.Button(1007));
  ASSERT_TRUE(WaitFor([&] { return ListViewRowCount(ui.results) == total - 3; }));
  // The page answers callers between taking the rows out and its final text.
  EXPECT_TRUE(ui.WaitForPane(0, "Tidewell")) << ui.Pane(0);
  EXPECT_EQ(ui.Pane(1), "总共: " + std::to_string(total - 3) + "   删除: 3");
  auto files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadRegText(files[0]);
  for (const auto& name : chosen) {
    EXPECT_NE(text.find("\"" + name + "\"="), std::string::npos) << name << "\n" << text;
  }
  EXPECT_NE(SandboxState(), before);

  // Then every remaining finding of the sandbox, by the result list's
  // "delete" command after ticking them all.
  for (int row : ui.RowsOf({kSandbox, std::string(kSandbox) + "\\Deeper",
                            std::string("CLSID\\") + kClsid, std::string("TypeLib\\") + kTypeLib,
                            std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                                kUninstall,
                            kExtension, kClass})) {
    ASSERT_TRUE(ListViewSetChecked(ui.results, row, true));
  }
  const int left = ListViewRowCount(ui.results);
  Command(ui.page, 32794);
  ASSERT_TRUE(WaitFor([&] { return ListViewRowCount(ui.results) < left; }));
  EXPECT_TRUE(ui.RowsOf({kSandbox, kExtension, kClass}).empty());
  app.End();

  // Import every backup with the registry editor: nothing is lost.
  files = BackupFiles();
  ASSERT_GE(files.size(), 1u);
  for (const auto& f : files) ImportWithRegedit(f);
  EXPECT_EQ(SandboxState(), before);
}

// Every row goes but the stale class whose key holds a Hangul value name:
// its backup could not give that value back, so the key stays whole and
// unchanged, and keeps its row.
TEST_F(RegistryPageE2E, DeleteAllTakesEveryRowOfTheListAndItsBackupRestores) {
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  // The COM classes and the file associations.
  ui.TickOnly({4, 7});
  ASSERT_TRUE(ui.Scan());
  const auto rows = ListViewRows(ui.results, 3);
  ASSERT_GE(rows.size(), 3u);
  const std::string foreign = std::string("CLSID\\") + kClsid;
  ASSERT_EQ(ui.RowsOf({foreign}).size(), 1u);
  std::vector<std::string> state;
  for (const auto& r : rows) DumpKey(HKEY_CLASSES_ROOT, r[0], &state);
  std::vector<std::string> foreignBefore;
  DumpKey(HKEY_CLASSES_ROOT, foreign, &foreignBefore);
  ASSERT_GE(foreignBefore.size(), 5u);
  Command(ui.page, 32795);
  ASSERT_TRUE(WaitFor([&] { return ListViewRowCount(ui.results) == 1; }))
      << ListViewRowCount(ui.results);
  EXPECT_EQ(ListViewText(ui.results, 0, 0), foreign);
  EXPECT_EQ(ui.Pane(1), "总共: 1   删除: " + std::to_string(rows.size() - 1));
  std::vector<std::string> left;
  for (const auto& r : rows) DumpKey(HKEY_CLASSES_ROOT, r[0], &left);
  EXPECT_EQ(left, foreignBefore);
  app.End();
  for (const auto& f : BackupFiles()) ImportWithRegedit(f);
  std::vector<std::string> back;
  for (const auto& r : rows) DumpKey(HKEY_CLASSES_ROOT, r[0], &back);
  EXPECT_EQ(back, state);
}

// --- entries any program can write, over machine data ---------------------------

// What a program without rights can leave for the cleaner: a per-user file
// type whose class is the shared root Interface, one whose class is a path
// of two keys, a user's broken copy of a healthy machine class, and a stale
// uninstall entry holding a registry link to a machine key and one that
// loops back to the entry.
const char kSteer[] = "TidewellSteerE2E";
const char kSteerClsid[] = "{7E1DE11A-0000-4E2E-9000-00000000E2E4}";
const std::string kUserClasses = "Software\\Classes\\";
const std::string kMachineClasses = "Software\\Classes\\";
const std::string kSteerUninstall =
    std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kSteer;
const std::string kSteerTarget = std::string("Software\\") + kSteer + "Target";

bool MakeLink(const std::string& path, const std::string& target) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring to = L"\\Registry\\Machine\\" + Widen(target);
  const bool ok = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                 reinterpret_cast<const BYTE*>(to.data()),
                                 static_cast<DWORD>(to.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

// Removes a link as itself: a plain delete would open, and remove, its target.
void DeleteLink(const std::string& path) {
  using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
  static const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), REG_OPTION_OPEN_LINK,
                    KEY_ALL_ACCESS | DELETE, &key) != ERROR_SUCCESS) {
    return;
  }
  if (deleteKey) deleteKey(key);
  RegCloseKey(key);
}

// One line per key and value below root\path, never through a link: a link
// is one line naming its target.
void DumpNoFollow(HKEY root, const std::wstring& path, std::vector<std::string>* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  wchar_t target[512] = {};
  DWORD type = 0, size = sizeof target - sizeof(wchar_t);
  if (RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, reinterpret_cast<BYTE*>(target),
                       &size) == ERROR_SUCCESS &&
      type == REG_LINK) {
    out->push_back("[" + Utf8Of(path) + "] link to " + Utf8Of(target));
    RegCloseKey(key);
    return;
  }
  std::vector<std::wstring> subkeys;
  out->push_back("[" + Utf8Of(path) + "]");
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLen = 16384, valueType = 0;
    BYTE data[4096];
    DWORD dataLen = sizeof data;
    if (RegEnumValueW(key, i, name, &nameLen, nullptr, &valueType, data, &dataLen) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string line = "[" + Utf8Of(path) + "] \"" + Utf8Of(std::wstring(name, nameLen)) + "\" " +
                       std::to_string(valueType) + ":";
    char hex[4];
    for (DWORD b = 0; b < dataLen; ++b) {
      wsprintfA(hex, "%02x", data[b]);
      line += hex;
    }
    out->push_back(line);
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD len = 512;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subkeys.emplace_back(name, len);
  }
  RegCloseKey(key);
  for (const auto& sub : subkeys) DumpNoFollow(root, path + L"\\" + sub, out);
}

DWORD SubkeyCount(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD n = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr);
  RegCloseKey(key);
  return n;
}

const std::pair<HKEY, std::string> kSteerRoots[] = {
    {HKEY_CURRENT_USER, kUserClasses + ".twsteere2e1"},
    {HKEY_CURRENT_USER, kUserClasses + ".twsteere2e2"},
    {HKEY_CURRENT_USER, kUserClasses + "CLSID\\" + kSteerClsid},
    {HKEY_LOCAL_MACHINE, kMachineClasses + kSteer},
    {HKEY_LOCAL_MACHINE, kMachineClasses + "CLSID\\" + kSteerClsid},
    {HKEY_LOCAL_MACHINE, kSteerUninstall},
    {HKEY_LOCAL_MACHINE, kSteerTarget},
};

std::vector<std::string> SteerState() {
  std::vector<std::string> lines;
  for (const auto& [root, path] : kSteerRoots) DumpNoFollow(root, Widen(path), &lines);
  return lines;
}

void RemoveSteerSeed() {
  DeleteLink(kSteerUninstall + "\\Link");
  DeleteLink(kSteerUninstall + "\\Sub\\Loop");
  for (const auto& [root, path] : kSteerRoots) DeleteTree(root, path);
}

class RegistrySteeringE2E : public RegistryPageE2E {
 protected:
  void SetUp() override {
    RegistryPageE2E::SetUp();
    RemoveSteerSeed();
    const std::string server = std::string(kScratch) + "\\steer.dll";
    ASSERT_TRUE(WriteFileBytes(server, "MZ"));
    SetString(HKEY_CURRENT_USER, kUserClasses + ".twsteere2e1", "", "Interface");
    SetString(HKEY_CURRENT_USER, kUserClasses + ".twsteere2e2", "", std::string(kSteer) + "\\Deep");
    SetString(HKEY_LOCAL_MACHINE, kMachineClasses + kSteer + "\\Deep", "Note", "machine data");
    const std::string clsid = kMachineClasses + "CLSID\\" + kSteerClsid;
    SetString(HKEY_LOCAL_MACHINE, clsid, "", "Machine class");
    SetString(HKEY_LOCAL_MACHINE, clsid + "\\InprocServer32", "", server);
    SetString(HKEY_LOCAL_MACHINE, clsid + "\\ProgID", "", "TidewellSteerE2E.Class.1");
    SetString(HKEY_CURRENT_USER, kUserClasses + "CLSID\\" + kSteerClsid + "\\InprocServer32", "",
              Gone("steer.dll"));
    SetString(HKEY_LOCAL_MACHINE, kSteerTarget + "\\Inner", "keep", "machine data");
    SetString(HKEY_LOCAL_MACHINE, kSteerUninstall, "DisplayName", "Tidewell steering leftover");
    ASSERT_TRUE(MakeLink(kSteerUninstall + "\\Link", kSteerTarget));
    ASSERT_TRUE(MakeLink(kSteerUninstall + "\\Sub\\Loop", kSteerUninstall));
  }
  void TearDown() override {
    RegistryPageE2E::TearDown();
    RemoveSteerSeed();
  }
};

TEST_F(RegistrySteeringE2E, DeleteAllLeavesMachineDataAloneAndItsBackupRestoresTheSeed) {
  const auto before = SteerState();
  std::vector<std::string> machineBefore, targetBefore;
  DumpKey(HKEY_LOCAL_MACHINE, kMachineClasses + kSteer, &machineBefore);
  DumpKey(HKEY_LOCAL_MACHINE, kMachineClasses + "CLSID\\" + kSteerClsid, &machineBefore);
  DumpKey(HKEY_LOCAL_MACHINE, kSteerTarget, &targetBefore);
  ASSERT_EQ(targetBefore.size(), 3u);
  const DWORD interfaces = SubkeyCount(HKEY_CLASSES_ROOT, "Interface");
  ASSERT_GT(interfaces, 100u);

  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  ASSERT_TRUE(ui.Scan());
  // The user's copy of the class and the stale entry are findings; the file
  // types naming a class-store root or a path are not.
  EXPECT_EQ(ui.RowsOf({std::string("CLSID\\") + kSteerClsid}).size(), 1u);
  EXPECT_EQ(ui.RowsOf({kSteerUninstall}).size(), 1u);
  EXPECT_TRUE(ui.RowsOf({".twsteere2e1", ".twsteere2e2", "Interface", kSteer}).empty());
  Command(ui.page, 32795);  // delete all
  ASSERT_TRUE(ui.WaitForPane(0, "Tidewell", 120000)) << ui.Pane(0);
  app.End();

  EXPECT_EQ(SubkeyCount(HKEY_CLASSES_ROOT, "Interface"), interfaces);
  std::vector<std::string> machineAfter, targetAfter;
  DumpKey(HKEY_LOCAL_MACHINE, kMachineClasses + kSteer, &machineAfter);
  DumpKey(HKEY_LOCAL_MACHINE, kMachineClasses + "CLSID\\" + kSteerClsid, &machineAfter);
  DumpKey(HKEY_LOCAL_MACHINE, kSteerTarget, &targetAfter);
  EXPECT_EQ(machineAfter, machineBefore);
  EXPECT_EQ(targetAfter, targetBefore);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + "CLSID\\" + kSteerClsid));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSteerUninstall));

  // The registry editor cannot make links: the backup names them in a
  // comment, and everything else comes back where it was.
  for (const auto& f : BackupFiles()) ImportWithRegedit(f);
  std::vector<std::string> expected;
  for (const auto& line : before) {
    if (line.find("] link to ") == std::string::npos) expected.push_back(line);
  }
  ASSERT_EQ(before.size() - expected.size(), 2u);
  EXPECT_EQ(SteerState(), expected);
}

// --- the folder chooser, driven in the program's memory ----------------------

HWND WaitForChooser(const CAppUnderTest& app) {
  return app.WaitForWindow("选择路径", "#32770");
}

std::string ReadDefault(HKEY root, const std::string& path, const std::string& name = "") {
  char data[1024] = {};
  DWORD size = sizeof(data) - 1, type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  const LONG rc = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? std::string(data) : "<no value>";
}

// More checked rows than a handful, scattered through the list: exactly
// those rows leave it, the others keep their order and their unchecked boxes,
// and only the checked values leave the registry.
TEST_F(RegistryPageE2E, DeletingManyScatteredCheckedRowsTakesExactlyThose) {
  const std::string many = SeedMany(150, "m%03d");
  char name[16];
  ASSERT_TRUE(ScanTheUser()) << app.LastError();
  const auto rows = ListViewRows(ui.results, 3);
  std::vector<std::vector<std::string>> kept;
  std::set<std::string> chosen;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const auto& r = rows[i];
    const bool even = r[2].size() == 4 && r[2][0] == 'm' && (r[2][3] - '0') % 2 == 0;
    if (r[0] == many && even) {
      ASSERT_TRUE(ListViewSetChecked(ui.results, i, true));
      chosen.insert(r[2]);
    } else {
      kept.push_back(r);
    }
  }
  ASSERT_EQ(chosen.size(), 75u);
  Click(ui.Button(1007));
  ASSERT_TRUE(WaitFor([&] { return ui.Pane(0) == "Tidewell"; })) << ui.Pane(0);
  EXPECT_EQ(ListViewRows(ui.results, 3), kept);
  for (int i = 0; i < static_cast<int>(kept.size()); ++i) {
    EXPECT_FALSE(ListViewChecked(ui.results, i)) << i;
  }
  EXPECT_EQ(ui.Pane(1), "总共: " + std::to_string(kept.size()) + "   删除: 75");
  for (int i = 0; i < 150; ++i) {
    wsprintfA(name, "m%03d", i);
    EXPECT_EQ(ReadDefault(HKEY_CURRENT_USER, many, name) == "<no value>", chosen.count(name) == 1)
        << name;
  }
  EXPECT_EQ(BackupFiles().size(), 1u);
}

// The deletion runs on the interface thread and answers sent messages
// meanwhile; a scan started from one would clear the rows it walks. A click
// on the scan button sent while "delete all" runs is refused, and the
// deletion ends with every row gone and every value in its backup.
TEST_F(RegistryPageE2E, AScanClickedDuringTheDeletionIsRefused) {
  const std::string many = SeedMany(1500, "m%04d");
  char name[16];
  ASSERT_TRUE(ScanTheUser()) << app.LastError();
  const int listed = ListViewRowCount(ui.results);
  ASSERT_GE(listed, 1500);
  std::set<std::string> keys;
  for (const auto& r : ListViewRows(ui.results, 1)) keys.insert(r[0]);
  auto state = [&] {
    std::vector<std::string> lines;
    for (const auto& k : keys) DumpKey(HKEY_CURRENT_USER, k, &lines);
    return lines;
  };
  const auto before = state();

  HWND scan = ui.Button(1035);
  Command(ui.page, 32795);  // delete all
  // The backup file is made as the deletion starts; the click goes at once.
  const ULONGLONG t0 = GetTickCount64();
  while (BackupFiles().empty() && GetTickCount64() - t0 < 60000) Sleep(1);
  // Sent, so that it is served inside the deletion (about 30 ms in, of some
  // 350 ms here) rather than queued behind it.
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(scan, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &result));
  const std::string afterClick = GetText(scan);
  ASSERT_TRUE(ui.WaitForPane(0, "Tidewell", 60000)) << ui.Pane(0);
  EXPECT_EQ(afterClick, "扫描") << "the click started a scan";
  EXPECT_EQ(ListViewRowCount(ui.results), 0);
  EXPECT_EQ(ui.Pane(1), "总共: 0   删除: " + std::to_string(listed));
  for (int i = 0; i < 1500; ++i) {
    wsprintfA(name, "m%04d", i);
    ASSERT_FALSE(ValueExists(HKEY_CURRENT_USER, many, name)) << name;
  }
  app.End();
  const auto files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  ImportWithRegedit(files[0]);
  EXPECT_EQ(state(), before);
}

TEST_F(RegistryPageE2E, RepairPointsAComServerAtTheMovedLibraryAndCanBeUndone) {
  const std::string key = std::string("CLSID\\") + kRepairClsid + "\\InprocServer32";
  const std::string oldPath = std::string(kScratch) + "\\old\\Repair.dll";
  SetString(HKEY_CLASSES_ROOT, key, "", oldPath);
  CreateDirectoryA((std::string(kScratch) + "\\lib").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(std::string(kScratch) + "\\lib\\Repair.DLL", "MZ"));

  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  ui.TickOnly({4});  // COM servers only
  ASSERT_TRUE(ui.Scan());
  auto repairRow = ui.RowsOf({std::string("CLSID\\") + kRepairClsid});
  auto goneRow = ui.RowsOf({std::string("CLSID\\") + kClsid});
  ASSERT_EQ(repairRow.size(), 1u);
  ASSERT_EQ(goneRow.size(), 1u);
  const int total = ListViewRowCount(ui.results);
  ASSERT_TRUE(ListViewSetChecked(ui.results, repairRow[0], true));
  ASSERT_TRUE(ListViewSetChecked(ui.results, goneRow[0], true));

  Click(ui.Button(1059));
  HWND chooser = WaitForChooser(app);
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(GetText(ui.Button(1059)), "停止");
  HWND tree = WaitForControl(chooser, 1012, "SysTreeView32");
  ASSERT_NE(tree, nullptr);
  HTREEITEM root = TreeNext(tree, nullptr, TVGN_ROOT);
  EXPECT_EQ(TreeItemText(tree, root), "我的电脑");
  EXPECT_TRUE(TreeTicked(tree, root));
  HTREEITEM drive = TreeChild(tree, root, "(C:)");
  ASSERT_NE(drive, nullptr);
  HTREEITEM scratch = TreeChild(tree, drive, "tidewell_regpage_e2e");
  ASSERT_NE(scratch, nullptr);
  HTREEITEM lib = TreeChild(tree, scratch, "lib");
  ASSERT_NE(lib, nullptr);
  TreeTick(tree, lib);
  EXPECT_TRUE(TreeTicked(tree, lib));
  EXPECT_TRUE(TreeTicked(tree, scratch));  // ticking a folder ticks what is above it
  EXPECT_TRUE(TreeTicked(tree, drive));
  Sleep(300);
  Screenshot("regpage_choose_path");
  Click(FindControl(chooser, IDOK));

  ASSERT_TRUE(WaitForText(ui.Button(1059), "修复", 60000));
  ASSERT_TRUE(ui.WaitForPane(0, "扫描完成.", 30000)) << ui.Pane(0);
  ASSERT_TRUE(WaitFor([&] { return ListViewRowCount(ui.results) == total - 1; }));
  EXPECT_EQ(ui.Pane(1), "总共: " + std::to_string(total - 1));
  EXPECT_EQ(ReadDefault(HKEY_CLASSES_ROOT, key), "c:\\tidewell_regpage_e2e\\lib\\repair.dll");
  // The finding whose library is nowhere stays, still checked.
  goneRow = ui.RowsOf({std::string("CLSID\\") + kClsid});
  ASSERT_EQ(goneRow.size(), 1u);
  EXPECT_TRUE(ListViewChecked(ui.results, goneRow[0]));
  app.End();

  // The old value was backed up before it was rewritten.
  auto files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  for (const auto& f : files) ImportWithRegedit(f);
  EXPECT_EQ(ReadDefault(HKEY_CLASSES_ROOT, key), oldPath);
}

TEST_F(RegistryPageE2E, ChooserNeedsAFolderAndCancelEndsTheRepairAtOnce) {
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  ui.TickOnly({4});
  ASSERT_TRUE(ui.Scan());
  const int total = ListViewRowCount(ui.results);
  ASSERT_GE(total, 1);
  ASSERT_TRUE(ListViewSetChecked(ui.results, 0, true));

  Click(ui.Button(1059));
  HWND chooser = WaitForChooser(app);
  ASSERT_NE(chooser, nullptr);
  HWND tree = WaitForControl(chooser, 1012, "SysTreeView32");
  HTREEITEM root = TreeNext(tree, nullptr, TVGN_ROOT);
  TreeTick(tree, root);  // untick the root: nothing chosen
  EXPECT_FALSE(TreeTicked(tree, root));
  Click(FindControl(chooser, IDOK));
  MessageBoxInfo box;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : app.TopLevelWindows("Tidewell", "#32770")) {
      if (w != ui.main && IsWindowVisible(w) && GetWindow(w, GW_OWNER) == chooser) {
        box.hwnd = w;
        return true;
      }
    }
    return false;
  }));
  std::string text;
  for (HWND w = GetWindow(box.hwnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (ClassName(w) == "Static") text += GetText(w);
  }
  EXPECT_EQ(text, "请选择修复路径。");
  AnswerMessageBox(box.hwnd, IDOK);
  EXPECT_TRUE(IsWindowVisible(chooser));  // the chooser stays open

  Click(FindControl(chooser, IDCANCEL));
  ASSERT_TRUE(WaitForText(ui.Button(1059), "修复", 10000));
  ASSERT_TRUE(ui.WaitForPane(0, "扫描完成.", 10000)) << ui.Pane(0);
  EXPECT_EQ(ListViewRowCount(ui.results), total);
  EXPECT_TRUE(BackupFiles().empty());
  EXPECT_TRUE(IsEnabled(ui.Button(1035)));
}

// The common file dialog of the program: fills in the name and presses OK.
bool AnswerFileDialog(const CAppUnderTest& app, HWND main, const std::string& path) {
  HWND dialog = nullptr;
  WaitFor([&] {
    for (HWND w : app.TopLevelWindows("", "#32770")) {
      if (w != main && IsWindowVisible(w) && GetText(w) != "Tidewell") {
        dialog = w;
        return true;
      }
    }
    return false;
  });
  if (!dialog) {
    ADD_FAILURE() << "no file dialog";
    return false;
  }
  HWND name = FindControl(dialog, 0x47c);  // the file-name box
  if (!name) name = FindControl(dialog, 0x480);
  if (!name) {
    std::string controls;
    for (HWND w : FindControls(dialog)) {
      controls += ClassName(w) + " " + std::to_string(GetDlgCtrlID(w)) + " \"" + GetText(w) + "\"\n";
    }
    ADD_FAILURE() << "no file-name box in \"" << GetText(dialog) << "\":\n" << controls;
    Screenshot("regpage_file_dialog");
    return false;
  }
  SetText(name, path);
  Command(dialog, IDOK, BN_CLICKED, FindControl(dialog, IDOK));
  if (WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) return true;
  Screenshot("regpage_file_dialog");
  ADD_FAILURE() << "the file dialog \"" << GetText(dialog) << "\" stayed; name box: \""
                << GetText(name) << "\"";
  return false;
}

TEST_F(RegistryPageE2E, WholeRegistryBackupWritesAnExportAndRestoreImportsAFile) {
  const std::string folder = std::string(kScratch) + "\\My Backups";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string backup = folder + "\\full reg.reg";
  DeleteFileA(backup.c_str());
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));

  Click(ui.Button(1009));
  ASSERT_TRUE(AnswerFileDialog(app, ui.main, backup));
  // The editor runs hidden and is not waited for: watch the file fill up.
  std::string text;
  ASSERT_TRUE(WaitFor(
      [&] {
        text = ReadRegText(backup);
        // The whole export lists the current user below HKEY_USERS.
        return text.find(std::string("\\") + kSandbox + "]") != std::string::npos;
      },
      120000))
      << text.size();
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00", 0), 0u) << text.substr(0, 80);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\"), std::string::npos);

  // Restore imports for real: a value that is not there comes in.
  const std::string restore = folder + "\\restore me.reg";
  const std::wstring content = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                               Widen(kSandbox) + L"\\Restored]\r\n\"Back\"=\"yes\"\r\n\r\n";
  ASSERT_TRUE(WriteFileBytes(
      restore, std::string(reinterpret_cast<const char*>(content.data()), content.size() * 2)));
  ASSERT_EQ(ReadDefault(HKEY_CURRENT_USER, std::string(kSandbox) + "\\Restored", "Back"),
            "<no key>");
  Click(ui.Button(1010));
  ASSERT_TRUE(AnswerFileDialog(app, ui.main, restore));
  EXPECT_TRUE(WaitFor(
      [&] {
        return ReadDefault(HKEY_CURRENT_USER, std::string(kSandbox) + "\\Restored", "Back") ==
               "yes";
      },
      60000));
  DeleteFileA(backup.c_str());
  DeleteFileA(restore.c_str());
}

// The 32-bit program on 64-bit Windows restores through the system's own
// registry editor: a machine key of the file comes back in the 64-bit view,
// not below Wow6432Node, where the 32-bit editor would import it.
TEST_F(RegistryPageE2E, TheThirtyTwoBitProgramRestoresIntoTheSystemsOwnView) {
  const std::string key = "SOFTWARE\\TidewellRestoreViewE2E";
  const std::string wow = "SOFTWARE\\Wow6432Node\\TidewellRestoreViewE2E";
  auto clean = [&] {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_64KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
  };
  clean();
  CreateDirectoryA(kScratch, nullptr);
  const std::string restore = std::string(kScratch) + "\\machine restore.reg";
  const std::wstring content = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                               L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\TidewellRestoreViewE2E]\r\n"
                               L"\"Back\"=\"yes\"\r\n\r\n";
  ASSERT_TRUE(WriteFileBytes(
      restore, std::string(reinterpret_cast<const char*>(content.data()), content.size() * 2)));
  ASSERT_TRUE(app.Start(ProgramFolder() + "x86\\tidewell.exe")) << app.LastError();
  ASSERT_TRUE(ui.Open(app));
  Click(ui.Button(1010));
  ASSERT_TRUE(AnswerFileDialog(app, ui.main, restore));
  EXPECT_TRUE(WaitFor([&] { return ReadDefault(HKEY_LOCAL_MACHINE, key, "Back") == "yes"; }, 60000))
      << "below Wow6432Node: " << ReadDefault(HKEY_LOCAL_MACHINE, wow, "Back");
  // The editor has ended (its import is whole once the value is there).
  WaitFor([] { return CountProcesses("regedit.exe") == 0; }, 10000);
  EXPECT_EQ(ReadDefault(HKEY_LOCAL_MACHINE, wow, "Back"), "<no key>");
  clean();
  DeleteFileA(restore.c_str());
}

}  // namespace
}  // namespace tw::e2e
