// Every Windows the program is meant for, as Wine presents it to one program
// (the REG_SZ "Version" under HKCU\Software\Wine\AppDefaults\<program>.exe):
// the start with or without the rights check, and a registry clean-up whose
// backup is written in the form that system's registry editor reads (the
// ANSI REGEDIT4 form up to NT 4, the Unicode one from Windows 2000) and gives
// the registry back exactly through the real regedit.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/regpage_windows.h"
#include "e2e/registry_seed.h"
#include "e2e/shell_support.h"
#include "resources/resource.h"

namespace tw::e2e {
namespace {

const char kSandbox[] = "Software\\TidewellVersionsE2E";
// Two stale values, one in a subkey; the names and the text are in the ANSI
// code page 936, one of them with a trail byte 0x5C (乗), which the 9x form
// keeps as ANSI bytes and the NT form as UTF-16.
const char kGone[] = "C:\\tidewell_versions_e2e\\gone\\";
const char kWideName[] = "\xb9\xa4\xbe\xdf\x81\x5c";  // 工具乗

// Wine's per-program Windows version, set for the programs the test starts.
class WineVersion {
 public:
  WineVersion(const char* exe, const char* version) : m_key(std::string(kAppDefaults) + exe) {
    SetString(HKEY_CURRENT_USER, m_key, "Version", version);
  }
  ~WineVersion() { RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str()); }
  WineVersion(const WineVersion&) = delete;
  WineVersion& operator=(const WineVersion&) = delete;

 private:
  static constexpr char kAppDefaults[] = "Software\\Wine\\AppDefaults\\";
  std::string m_key;
};

std::vector<std::string> SandboxState() { return SortedDump({{HKEY_CURRENT_USER, kSandbox}}); }

void RemoveSandbox() { RemoveKey(HKEY_CURRENT_USER, kSandbox); }

void Seed() {
  RemoveSandbox();
  SetString(HKEY_CURRENT_USER, kSandbox, "Tool", std::string(kGone) + "Tool.exe");
  SetString(HKEY_CURRENT_USER, kSandbox, kWideName, std::string(kGone) + kWideName + ".exe");
  SetString(HKEY_CURRENT_USER, kSandbox, "Fine", "C:\\windows\\regedit.exe");
  SetString(HKEY_CURRENT_USER, std::string(kSandbox) + "\\Deeper", "Helper",
            std::string(kGone) + "Helper.dll");
}

struct VersionCase {
  const char* version;
  bool family9x;  // no user rights to check
  bool regedit4;  // the registry editor there reads only the ANSI REGEDIT4 form
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.version; }

class WindowsVersionsE2E : public ::testing::TestWithParam<VersionCase> {
 protected:
  void SetUp() override {
    Seed();
    ClearBackups();
  }
  void TearDown() override {
    RemoveSandbox();
    ClearBackups();
    SetEnvironmentVariableA("TW_PROBE_NOT_ADMIN", nullptr);
  }
};

TEST_P(WindowsVersionsE2E, StartsScansDeletesAndTheBackupRestores) {
  const VersionCase& c = GetParam();

  // The start, for a user without administrator rights: refused on the NT
  // family, never asked on the 9x family.
  {
    WineVersion version("tw_shell_probe.exe", c.version);
    SetEnvironmentVariableA("TW_PROBE_NOT_ADMIN", "1");
    CAppUnderTest probe;
    ASSERT_TRUE(probe.Start("tw_shell_probe.exe")) << probe.LastError();
    if (c.family9x) {
      EXPECT_NE(probe.WaitForWindow("Tidewell"), nullptr) << "no main window";
      probe.End();
    } else {
      MessageBoxInfo box = shell::WaitForBox(probe, nullptr);
      ASSERT_TRUE(box);
      EXPECT_EQ(GetText(FindControl(box.hwnd, IDC_1081)), shell::kNotAdmin);
      EXPECT_EQ(FindControl(box.hwnd, IDC_1000), nullptr) << "the main window came up";
      ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
      EXPECT_TRUE(probe.WaitForExit());
    }
    SetEnvironmentVariableA("TW_PROBE_NOT_ADMIN", nullptr);
  }

  // The program itself, as an administrator: scan the user's hive, delete
  // the seeded rows.
  const auto before = SandboxState();
  WineVersion version("tidewell.exe", c.version);
  CAppUnderTest app;
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  RegistryPageWindows ui;
  ASSERT_TRUE(ui.Open(app));
  ui.TickOnly({1});  // HKEY_CURRENT_USER
  ASSERT_TRUE(ui.Scan(120000)) << ui.Pane(0);
  const auto rows = ListViewRows(ui.results, 3);
  std::vector<int> mine;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    if (rows[i][0].rfind(kSandbox, 0) == 0) mine.push_back(i);
  }
  ASSERT_EQ(mine.size(), 3u) << "the seeded stale values are not all listed";
  ASSERT_TRUE(ui.DeleteRows(mine));
  app.End();
  EXPECT_NE(SandboxState(), before);

  // One backup, in that system's form.
  const auto files = BackupFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::string bytes = ReadFileBytes(files[0]);
  const std::string bom = "\xFF\xFE";
  if (c.regedit4) {
    EXPECT_EQ(bytes.rfind("REGEDIT4\r\n", 0), 0u) << bytes.substr(0, 40);
    EXPECT_NE(bytes.find(std::string("\"") + kWideName + "\"=\""), std::string::npos)
        << "the name is not in the ANSI code page";
  } else {
    const std::wstring header = L"Windows Registry Editor Version 5.00\r\n";
    ASSERT_EQ(bytes.rfind(bom, 0), 0u) << "no UTF-16 byte-order mark";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_EQ(text.rfind(header, 0), 0u) << Narrow(text.substr(0, 40));
    EXPECT_NE(text.find(L"\"\x5DE5\x5177\x4E57\"=\""), std::wstring::npos) << Narrow(text);
  }

  // The system's registry editor gives everything back.
  ImportWithRegedit(files[0]);
  EXPECT_EQ(SandboxState(), before);
}

INSTANTIATE_TEST_SUITE_P(EveryWindows, WindowsVersionsE2E,
                         ::testing::Values(VersionCase{"win98", true, true},
                                           VersionCase{"winme", true, true},
                                           VersionCase{"nt40", false, true},
                                           VersionCase{"win2k", false, false},
                                           VersionCase{"winxp", false, false},
                                           VersionCase{"win7", false, false},
                                           VersionCase{"win10", false, false}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                           return std::string(info.param.version);
                         });

}  // namespace
}  // namespace tw::e2e
