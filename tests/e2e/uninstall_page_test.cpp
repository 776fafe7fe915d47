// The uninstall page end to end: the real tidewell.exe lists entries seeded
// into the prefix and two real installer packages (32- and 64-bit) installed
// with the system's msiexec, and starts the project's test uninstaller, whose
// row leaves when it removes its entry.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/both_programs.h"
#include "e2e/driver.h"
#include "e2e/list_page_windows.h"
#include "e2e/registry_seed.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "uninstall/software_inventory.h"

namespace tw::e2e {
namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kArpCache[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";
const char kNotesCode[] = "{5A17C0DE-0001-4C6E-8A01-00000000A086}";  // x86, with an icon
const char kAtlasCode[] = "{5A17C0DE-0002-4C6E-8A01-00000000A064}";  // x64
// Every entry the tests seed is named with this prefix, and goes afterwards.
const char kPrefix[] = "TidewellUninstallE2E_";
constexpr DWORD kInstallTimeoutMs = 180000;

std::string Key(const std::string& name) { return std::string(kUninstall) + kPrefix + name; }

// A usage-cache record of the add/remove panel.
std::string SlowInfo(long long size, unsigned long long fileTime, int times) {
  std::string b(552, '\0');
  auto put = [&](int at, unsigned long long v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(0, 552, 4);
  put(8, static_cast<unsigned long long>(size), 8);
  put(16, fileTime, 8);
  put(24, static_cast<unsigned int>(times), 4);
  return b;
}

// Removes every key the tests seed (entries and usage records, both roots).
void RemoveSeeded() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    for (const char* name : {"Editor", "Reader", "Quick", "Mine", "Late", "Next", "Early"}) {
      RegDeleteKeyA(root, Key(name).c_str());
      RegDeleteKeyA(root, (std::string(kArpCache) + kPrefix + name).c_str());
    }
  }
}

// The threads of process pid now, or -1 when they cannot be counted.
int ThreadCount(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry)) {
    if (entry.th32OwnerProcessID == pid) ++count;
  }
  CloseHandle(snap);
  return count;
}

DWORD Msiexec(const std::string& args) { return RunAndWait("msiexec.exe " + args, kInstallTimeoutMs); }

// Registers an entry of the test uninstaller; "/keep" makes it a cancelled one.
void RegisterUninstaller(const char* root, const std::string& name, const std::string& display,
                         bool keep = false) {
  const std::string line = "\"" + ProgramFolder() + "tw_uninstaller.exe\" /register " + root + " " +
                           kPrefix + name + " \"" + display + "\"" + (keep ? " /keep" : "");
  ASSERT_EQ(RunAndWait(line, 30000), 0u) << line;
}

class UninstallPage : public ::testing::Test {
 protected:
  // The packages are installed once for the whole suite, by the system's
  // own Windows Installer, and removed again at its end.
  static void SetUpTestSuite() {
    RemoveSeeded();
    Msiexec(std::string("/x ") + kNotesCode + " /qn");  // a crashed run's leftovers
    Msiexec(std::string("/x ") + kAtlasCode + " /qn");
    s_installed[0] = Msiexec("/i " + ProgramFolder() + "uninstall_packages\\notes_x86.msi /qn");
    s_installed[1] = Msiexec("/i " + ProgramFolder() + "uninstall_packages\\atlas_x64.msi /qn");
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(Msiexec(std::string("/x ") + kNotesCode + " /qn"), 0u);
    EXPECT_EQ(Msiexec(std::string("/x ") + kAtlasCode + " /qn"), 0u);
    RemoveSeeded();
  }
  void SetUp() override {
    ASSERT_EQ(s_installed[0], 0u) << "msiexec /i notes_x86.msi";
    ASSERT_EQ(s_installed[1], 0u) << "msiexec /i atlas_x64.msi";
    ResetStartCount();
    RemoveSeeded();
  }
  void TearDown() override {
    m_app.End();
    RemoveSeeded();
  }
  void Open(const std::string& exe = "tidewell.exe") {
    ASSERT_TRUE(m_app.Start(exe)) << m_app.LastError();
    ASSERT_TRUE(m_page.Open(m_app, 1057, 1065));
  }

  static DWORD s_installed[2];
  CAppUnderTest m_app;
  ListPageWindows m_page;
};
DWORD UninstallPage::s_installed[2] = {1, 1};

// Run by the 64-bit program and by the 32-bit one on 64-bit Windows, which
// must list both views' entries, each once.
class UninstallPageBothPrograms : public UninstallPage,
                                  public ::testing::WithParamInterface<const char*> {};

TEST_P(UninstallPageBothPrograms, ListsSeededEntriesAndInstalledPackages) {
  // 2006-03-07 12:00 UTC: the same calendar day in the prefix's time zone.
  const unsigned long long march7 = (1141732800ULL + 11644473600ULL) * 10000000ULL;
  auto entry = [](HKEY root, const char* name, const std::string& display,
                  const std::string& command) {
    SetString(root, Key(name), "DisplayName", display);
    SetString(root, Key(name), "UninstallString", command);
  };
  entry(HKEY_LOCAL_MACHINE, "Editor", "Seaglass Editor", "C:\\Seaglass\\remove.exe");
  SetValue(HKEY_LOCAL_MACHINE, std::string(kArpCache) + kPrefix + "Editor", "SlowInfoCache",
           REG_BINARY, SlowInfo(153600, march7, 11));
  entry(HKEY_CURRENT_USER, "Reader", "Seaglass Reader", "C:\\Seaglass\\reader.exe /x");
  SetValue(HKEY_CURRENT_USER, std::string(kArpCache) + kPrefix + "Reader", "SlowInfoCache",
           REG_BINARY, SlowInfo(1023, 0, 2));
  Open(ProgramFolder() + GetParam());

  ASSERT_TRUE(m_page.WaitForRow("Saltmarsh Notes")) << "the 32-bit package";
  const auto rows = ListViewRows(m_page.list, 4);
  for (const char* name : {"Saltmarsh Notes", "Saltmarsh Atlas", "Seaglass Editor"}) {
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [&](const auto& r) { return r[0] == name; }),
              1)
        << name;
  }
  auto row = [&](const std::string& name) {
    for (const auto& r : rows)
      if (r[0] == name) return r;
    return std::vector<std::string>{};
  };
  EXPECT_EQ(row("Seaglass Editor"),
            (std::vector<std::string>{"Seaglass Editor", "150.0 KB", "经常(11)", "2006-3-7"}));
  EXPECT_EQ(row("Seaglass Reader"),
            (std::vector<std::string>{"Seaglass Reader", "1023 字节", "很少(2)", ""}));
  EXPECT_EQ(row("Saltmarsh Atlas"), (std::vector<std::string>{"Saltmarsh Atlas", "", "", ""}));
  EXPECT_EQ(row("Saltmarsh Notes"), (std::vector<std::string>{"Saltmarsh Notes", "", "", ""}));

  // Sorted by name, as the list keeps them. Only the rows seeded here are
  // looked at: what else the prefix holds is not this test's to judge.
  const std::vector<std::string> seeded = {"Saltmarsh Atlas", "Saltmarsh Notes",
                                           "Seaglass Editor", "Seaglass Reader"};
  std::vector<std::string> names;
  for (const auto& r : rows) {
    if (std::find(seeded.begin(), seeded.end(), r[0]) != seeded.end()) names.push_back(r[0]);
  }
  EXPECT_EQ(names, seeded);
  // The package's product icon, extracted; a program without one keeps the default.
  EXPECT_GT(ListViewImage(m_page.list, m_page.RowOf("Saltmarsh Notes")), 0);
  EXPECT_EQ(ListViewImage(m_page.list, m_page.RowOf("Saltmarsh Atlas")), 0);
  Screenshot(std::string("uninstall_page") + (GetParam()[0] == 'x' ? "_x86" : ""));

  // The 64-bit package's Windows Installer copy, found where msiexec keeps it.
  CWin32Registry reg;
  std::string package;
  CSoftwareInventory(reg).FindInstallerProduct(kAtlasCode, &package, nullptr);
  EXPECT_TRUE(EqualsNoCase(package.substr(package.size() < 4 ? 0 : package.size() - 4), ".msi") &&
              GetFileAttributesA(package.c_str()) != INVALID_FILE_ATTRIBUTES)
      << package;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, UninstallPageBothPrograms,
                         BothPrograms(), ProgramName);

// Without a selection the button does nothing. The test uninstaller
// removes its own entry a moment after it starts; the row goes within half a
// second of that, for a machine-wide entry and for one of the user's own.
TEST_F(UninstallPage, TheRowLeavesWhenTheUninstallerRemovesItsEntry) {
  RegisterUninstaller("HKLM", "Quick", "Quillwort Machine");
  RegisterUninstaller("HKCU", "Mine", "Quillwort Personal");
  Open();
  ASSERT_TRUE(m_page.WaitForRow("Quillwort Personal"));
  ASSERT_TRUE(ListViewSelection(m_page.list).empty());
  Click(FindControl(m_page.page, 1005));
  Sleep(700);
  EXPECT_EQ(CountProcesses("tw_uninstaller.exe"), 0) << "started without a selection";
  EXPECT_FALSE(WaitForMessageBox(m_app.Pid(), "", 300));

  for (auto [root, name, display] : {std::tuple{HKEY_LOCAL_MACHINE, "Quick", "Quillwort Machine"},
                                     std::tuple{HKEY_CURRENT_USER, "Mine", "Quillwort Personal"}}) {
    const int before = ListViewRowCount(m_page.list);
    ASSERT_TRUE(m_page.SelectAndClick(display, 1005));
    ASSERT_TRUE(WaitFor([&] { return !KeyExists(root, Key(name)); })) << "the uninstaller ran";
    const DWORD gone = GetTickCount();
    EXPECT_TRUE(WaitFor([&] { return m_page.RowOf(display) < 0; }, 2000)) << display;
    EXPECT_LT(GetTickCount() - gone, 500u) << display;
    EXPECT_EQ(ListViewRowCount(m_page.list), before - 1);
  }
}

// A refresh lists what the entries say now, sorted by name whatever the
// case of its letters, also when as many rows come back as went.
TEST_F(UninstallPage, ARefreshListsTheNewRowsInPlaceOfTheOld) {
  auto entry = [](const char* name, const std::string& display) {
    SetString(HKEY_LOCAL_MACHINE, Key(name), "DisplayName", display);
    SetString(HKEY_LOCAL_MACHINE, Key(name), "UninstallString", "C:\\Seaglass\\remove.exe");
  };
  auto seededOrder = [&](const std::vector<std::string>& seeded) {
    std::vector<std::string> names;
    for (const auto& r : ListViewRows(m_page.list, 1)) {
      if (std::find(seeded.begin(), seeded.end(), r[0]) != seeded.end()) names.push_back(r[0]);
    }
    return names;
  };
  entry("Editor", "saltmarsh Mid");
  Open();
  ASSERT_TRUE(m_page.WaitForRow("saltmarsh Mid"));
  EXPECT_EQ(seededOrder({"Saltmarsh Atlas", "saltmarsh Mid", "Saltmarsh Notes"}),
            (std::vector<std::string>{"Saltmarsh Atlas", "saltmarsh Mid", "Saltmarsh Notes"}));
  const int count = ListViewRowCount(m_page.list);

  RegDeleteKeyA(HKEY_LOCAL_MACHINE, Key("Editor").c_str());
  entry("Quick", "SALTMARSH BAY");
  Click(FindControl(m_page.page, 1069));  // refresh
  ASSERT_TRUE(m_page.WaitForRow("SALTMARSH BAY"));
  EXPECT_EQ(m_page.RowOf("saltmarsh Mid"), -1);
  EXPECT_EQ(ListViewRowCount(m_page.list), count);
  EXPECT_EQ(seededOrder({"Saltmarsh Atlas", "SALTMARSH BAY", "Saltmarsh Notes"}),
            (std::vector<std::string>{"Saltmarsh Atlas", "SALTMARSH BAY", "Saltmarsh Notes"}));
}

// A cancelled uninstall keeps its row while its watch runs on, and starting
// it again adds no watch. The watch
// follows its program: after a refresh has rebuilt and re-sorted the rows (a
// new program now sorts before it), the entry's removal takes out that
// program's row and no other.
TEST_F(UninstallPage, ACancelledUninstallKeepsItsRowUntilItsEntryGoesWhateverTheRefreshes) {
  RegisterUninstaller("HKLM", "Late", "Quillwort Late", true);
  RegisterUninstaller("HKLM", "Next", "Quillwort Neighbour");
  Open();
  ASSERT_TRUE(m_page.WaitForRow("Quillwort Late"));
  // Each click runs the uninstaller again (it notes its runs in its entry).
  auto cancelled = [&](DWORD runs) {
    ASSERT_TRUE(m_page.SelectAndClick("Quillwort Late", 1005));
    ASSERT_TRUE(WaitFor([&] {
      DWORD ran = 0, size = sizeof ran;
      return RegGetValueA(HKEY_LOCAL_MACHINE, Key("Late").c_str(), "UninstallerRan",
                          RRF_RT_REG_DWORD, nullptr, &ran, &size) == ERROR_SUCCESS &&
             ran == runs;
    })) << "run " << runs;
    ASSERT_TRUE(WaitFor([] { return CountProcesses("tw_uninstaller.exe") == 0; }));
  };
  cancelled(1);
  Sleep(700);  // several rounds of the watch
  EXPECT_GE(m_page.RowOf("Quillwort Late"), 0) << "the cancelled program's row";
  // Started again twice, the program keeps the one watch it has.
  const int threads = ThreadCount(m_app.Pid());
  ASSERT_GT(threads, 0);
  cancelled(2);
  cancelled(3);
  Sleep(300);
  EXPECT_EQ(ThreadCount(m_app.Pid()), threads) << "a watch thread per click";

  RegisterUninstaller("HKLM", "Early", "Quillwort Early");
  const int lateRow = m_page.RowOf("Quillwort Late");
  Click(FindControl(m_page.page, 1069));  // refresh
  ASSERT_TRUE(m_page.WaitForRow("Quillwort Early"));
  ASSERT_NE(m_page.RowOf("Quillwort Late"), lateRow) << "the refresh moved the row";
  const int count = ListViewRowCount(m_page.list);
  // The uninstaller's work, finished later.
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, Key("Late").c_str()), ERROR_SUCCESS);
  EXPECT_TRUE(WaitFor([&] { return m_page.RowOf("Quillwort Late") < 0; }, 2000));
  EXPECT_EQ(ListViewRowCount(m_page.list), count - 1);
  EXPECT_GE(m_page.RowOf("Quillwort Early"), 0);
  EXPECT_GE(m_page.RowOf("Quillwort Neighbour"), 0);
}

}  // namespace
}  // namespace tw::e2e
