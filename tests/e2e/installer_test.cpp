// The installer package that users run, as they run it: installed with the
// system's Windows Installer, the program started from the program-files
// folder, the package found on the program's own uninstall page, and
// removed again, leaving nothing of it behind.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/list_page_windows.h"
#include "e2e/shell_support.h"

namespace tw::e2e {
namespace {

const char kPackages[] = "C:\\tidewell_dist\\packages\\";
const char kDisplayName[] = "Tidewell (64-bit)";
constexpr DWORD kInstallTimeoutMs = 180000;

// The x64 package that ctest put there (tests/e2e/dist-unpack.sh); empty
// when there is none.
std::string X64Package() {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((std::string(kPackages) + "tidewell-*-x64.msi").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return {};
  FindClose(h);
  return std::string(kPackages) + fd.cFileName;
}

std::string Folder(int csidl) {
  char path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? path : "";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The keys (product codes) of the machine's installed programs of that name.
std::vector<std::string> InstalledAs(const std::string& name) {
  std::vector<std::string> codes;
  HKEY list = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                    KEY_READ, &list) != ERROR_SUCCESS) {
    return codes;
  }
  char key[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof key;
    if (RegEnumKeyExA(list, i, key, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    char display[256] = {};
    DWORD size = sizeof display - 1;
    if (RegGetValueA(list, key, "DisplayName", RRF_RT_REG_SZ, nullptr, display, &size) ==
            ERROR_SUCCESS &&
        name == display) {
      codes.push_back(key);
    }
  }
  RegCloseKey(list);
  return codes;
}

DWORD Msiexec(const std::string& args) { return RunAndWait("msiexec.exe " + args, kInstallTimeoutMs); }

// Removes every installed package of that name: before the test what a
// crashed run left (of this build or an earlier one), after it what a
// failed assertion did not get to.
void RemoveInstalled(const std::string& name) {
  for (const std::string& code : InstalledAs(name)) Msiexec("/x " + code + " /qn");
}

struct RemovedAtEnd {
  ~RemovedAtEnd() { RemoveInstalled(kDisplayName); }
};

TEST(InstallerPackage, InstallsStartsListsItselfOnTheUninstallPageAndGoesAgain) {
  const std::string msi = X64Package();
  ASSERT_FALSE(msi.empty()) << "no package in " << kPackages
                            << ": run through ctest, which builds and copies it there";
  const std::string installed = Folder(CSIDL_PROGRAM_FILES) + "\\Tidewell\\";
  // Windows puts a machine-wide package's shortcut into the common Start
  // menu; Wine's installer into the installing user's.
  const std::string shortcuts[] = {Folder(CSIDL_COMMON_PROGRAMS) + "\\Tidewell\\Tidewell.lnk",
                                   Folder(CSIDL_PROGRAMS) + "\\Tidewell\\Tidewell.lnk"};
  auto shortcut = [&shortcuts] {
    for (const std::string& s : shortcuts) {
      if (Exists(s)) return s;
    }
    return std::string();
  };
  RemoveInstalled(kDisplayName);
  RemovedAtEnd removed;
  shell::RemoveSettings("tidewell");

  ASSERT_EQ(Msiexec("/i \"" + msi + "\" /qn"), 0u);
  EXPECT_TRUE(Exists(installed + "tidewell.exe")) << installed;
  EXPECT_TRUE(Exists(installed + "RC409.dll")) << installed;
  ASSERT_NE(shortcut(), "") << "no shortcut " << shortcuts[0] << " or " << shortcuts[1];
  EXPECT_NE(ReadFileBytes(shortcut()).find("Tidewell\\tidewell.exe"), std::string::npos)
      << "the shortcut does not lead to the installed program";
  EXPECT_EQ(InstalledAs(kDisplayName).size(), 1u);

  {
    CAppUnderTest app;
    ASSERT_TRUE(app.Start(installed + "tidewell.exe")) << app.LastError();
    ListPageWindows page;
    ASSERT_TRUE(page.Open(app, 1057, 1065)) << "the uninstall page";
    EXPECT_TRUE(page.WaitForRow(kDisplayName)) << "the package is not on the uninstall page";
    Sleep(300);
    Screenshot("installer_uninstall_page");
    app.End();
  }

  EXPECT_EQ(Msiexec("/x \"" + msi + "\" /qn"), 0u);
  EXPECT_FALSE(Exists(installed + "tidewell.exe"));
  EXPECT_FALSE(Exists(installed + "RC409.dll"));
  EXPECT_EQ(shortcut(), "");
  EXPECT_TRUE(InstalledAs(kDisplayName).empty());
  shell::RemoveSettings("tidewell");
}

}  // namespace
}  // namespace tw::e2e
