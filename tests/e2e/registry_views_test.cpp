// Both programs, the 64-bit one and the 32-bit one on 64-bit Windows, clean
// the same machine: stale values of the machine's 64-bit keys and of the
// 32-bit view (below Wow6432Node) are found once each and, deleted, come
// back into their own view from the backup through the real 64-bit regedit;
// a class server or a value naming a file that exists only in the 64-bit
// system folder is no finding, though the 32-bit program's own view of that
// folder lacks the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/regpage_windows.h"
#include "e2e/registry_seed.h"

namespace tw::e2e {
namespace {

const char kKey64[] = "Software\\TidewellViewsE2E";
const char kKey32[] = "Software\\Wow6432Node\\TidewellViewsE2E";
const char kStale64[] = "{7E1DE11A-0000-4E2E-9000-00000000E2F1}";
const char kNativeOnly[] = "{7E1DE11A-0000-4E2E-9000-00000000E2F3}";
const char kGone[] = "C:\\tidewell_views_e2e\\gone\\";
const char kNativeServer[] = "tw_views_native_only.dll";

// Both views of every key the test seeds, so an entry restored into the
// wrong view shows as a difference.
RegKeys SeededKeys() {
  RegKeys keys = {{HKEY_LOCAL_MACHINE, kKey64}, {HKEY_LOCAL_MACHINE, kKey32}};
  for (const char* id : {kStale64, kNativeOnly}) {
    keys.push_back({HKEY_LOCAL_MACHINE, ClassKey(id)});
    keys.push_back({HKEY_LOCAL_MACHINE, ClassKey32(id)});
  }
  return keys;
}

std::string SystemFolder() {
  char buf[MAX_PATH] = {};
  GetSystemDirectoryA(buf, MAX_PATH);  // this test is a 64-bit program: the 64-bit folder
  return buf;
}

std::string SystemWow64Folder() {
  char buf[MAX_PATH] = {};
  GetSystemWow64DirectoryA(buf, MAX_PATH);
  return buf;
}

void RemoveSeed() {
  for (const auto& [root, path] : SeededKeys()) RemoveKey(root, path);
  DeleteFileA((SystemFolder() + "\\" + kNativeServer).c_str());
}

void Seed() {
  RemoveSeed();
  SetString(HKEY_LOCAL_MACHINE, ClassKey(kStale64) + "\\InprocServer32", "",
            std::string(kGone) + "server64.dll");
  const std::string nativeServer = "C:\\windows\\system32\\" + std::string(kNativeServer);
  SetString(HKEY_LOCAL_MACHINE, ClassKey(kNativeOnly) + "\\InprocServer32", "", nativeServer);
  SetString(HKEY_LOCAL_MACHINE, kKey64, "Tool", std::string(kGone) + "tool64.exe");
  SetString(HKEY_LOCAL_MACHINE, kKey64, "Native", nativeServer);
  SetString(HKEY_LOCAL_MACHINE, kKey32, "Tool", std::string(kGone) + "tool32.exe");
  const std::string file = SystemFolder() + "\\" + kNativeServer;
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << file;
  CloseHandle(h);
  ASSERT_EQ(GetFileAttributesA((SystemWow64Folder() + "\\" + kNativeServer).c_str()),
            INVALID_FILE_ATTRIBUTES)
      << "the 32-bit system folder must lack the server";
}

struct ProgramCase {
  const char* name;
  const char* folder;  // the program's, below the programs' folder
  std::string Exe() const { return ProgramFolder() + folder + "tidewell.exe"; }
  std::string Backups() const { return ProgramFolder() + folder + "RegBackup\\"; }
};

void ClearBackups(const ProgramCase& c) {
  for (const auto& f : BackupFiles("*.reg", c.Backups())) DeleteFileA(f.c_str());
}

void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.name; }

class RegistryViewsE2E : public ::testing::TestWithParam<ProgramCase> {
 protected:
  void SetUp() override {
    Seed();
    ClearBackups(GetParam());
  }
  void TearDown() override {
    app.End();
    RemoveSeed();
    ClearBackups(GetParam());
  }
  CAppUnderTest app;
};

TEST_P(RegistryViewsE2E, EachViewsStaleValueGoesOnceAndComesBackIntoItsOwnView) {
  const auto before = SortedDump(SeededKeys());
  ASSERT_TRUE(app.Start(GetParam().Exe())) << app.LastError();
  RegistryPageWindows ui;
  ASSERT_TRUE(ui.Open(app));
  ui.TickOnly({2});  // HKEY_LOCAL_MACHINE
  ASSERT_TRUE(ui.Scan(240000)) << ui.Pane(0);

  const auto rows = ListViewRows(ui.results, 3);
  std::string listed;
  std::vector<int> stale64, stale32, native;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const std::string& where = rows[i][0];
    const std::string line = where + " | " + rows[i][1] + " | " + rows[i][2];
    if (where.find("TidewellViewsE2E") == std::string::npos && where.find(kStale64) == std::string::npos &&
        where.find(kNativeOnly) == std::string::npos) {
      continue;
    }
    listed += line + "\n";
    if (line.find(kNativeServer) != std::string::npos || where.find(kNativeOnly) != std::string::npos) {
      native.push_back(i);
    } else if (where.find("Wow6432Node") != std::string::npos) {
      stale32.push_back(i);
    } else {
      stale64.push_back(i);
    }
  }
  EXPECT_TRUE(native.empty()) << "a file in the 64-bit system folder was taken for missing:\n"
                              << listed;
  // The 64-bit view's value and class server, the 32-bit view's value.
  ASSERT_EQ(stale64.size(), 2u) << listed;
  ASSERT_EQ(stale32.size(), 1u) << listed;

  ASSERT_TRUE(ui.DeleteRows({stale64[0], stale64[1], stale32[0]}));
  app.End();
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, ClassKey(kStale64) + "\\InprocServer32", ""));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kKey64, "Tool"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kKey32, "Tool"));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kKey64, "Native"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(kNativeOnly)));

  // The 64-bit registry editor (this test is a 64-bit program) gives each
  // class back where it was.
  const auto files = BackupFiles("*.reg", GetParam().Backups());
  ASSERT_EQ(files.size(), 1u);
  ImportWithRegedit(files[0]);
  EXPECT_EQ(SortedDump(SeededKeys()), before);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, RegistryViewsE2E,
                         ::testing::Values(ProgramCase{"x64", ""},
                                           ProgramCase{"x86", "x86\\"}),
                         [](const ::testing::TestParamInfo<ProgramCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tw::e2e
