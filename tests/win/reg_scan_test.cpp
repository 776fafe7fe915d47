// The scan on the real (Wine) registry and file system: stale entries seeded
// under their real locations, with names of their own, must all be found.
// The test also prints what else the prefix yields.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/run_control.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "reg_sandbox.h"
#include "registry_cleaner/registry_scanner.h"

namespace tw {
namespace {

class CListSink : public IScanSink {
 public:
  void OnScanKey(const std::string&) override { ++keys; }
  void OnFinding(const RegistryFinding& f) override { rows.push_back(f); }
  std::size_t keys = 0;
  std::vector<RegistryFinding> rows;
};

class RegScanWine : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage(GetACP());
    ClearScanFlags();
    unique = wintest::UniqueName("SC");
    char guid[64];
    std::snprintf(guid, sizeof guid, "{7D1E0000-0000-4000-8000-%012lX}",
                  static_cast<unsigned long>(GetCurrentProcessId()) * 65536ul + (GetTickCount() & 0xFFFF));
    clsid = std::string("CLSID\\") + guid;
    typelib = std::string("TypeLib\\") + guid;
    uninstall = std::string(kUninstallKeyPath) + "\\TidewellTest-" + unique;
    ext = ".twtest" + unique;
    cls = "TidewellTest." + unique;
    user = "Software\\TidewellTest\\" + unique;
    missing = "C:\\tidewell-missing-" + unique;
  }
  void TearDown() override {
    wintest::DeleteTree(reg, kHkeyClassesRoot, clsid);
    wintest::DeleteTree(reg, kHkeyClassesRoot, typelib);
    // Wine mirrors type libraries into the 32-bit view.
    wintest::DeleteTree(reg, kHkeyLocalMachine, "Software\\Classes\\Wow6432Node\\" + typelib);
    wintest::DeleteTree(reg, kHkeyLocalMachine, "Software\\Wow6432Node\\Classes\\" + typelib);
    wintest::DeleteTree(reg, kHkeyLocalMachine, uninstall);
    wintest::DeleteTree(reg, kHkeyClassesRoot, ext);
    wintest::DeleteTree(reg, kHkeyClassesRoot, cls);
    wintest::DeleteTree(reg, kHkeyCurrentUser, user);
    RegKey k = 0;
    reg.OpenKey(kHkeyCurrentUser, "Software", kKeyAllAccess, &k);
    reg.DeleteKey(k, "TidewellTest");
    reg.CloseKey(k);
  }
  void PutString(RegKey root, const std::string& path, const std::string& name, const std::string& text) {
    RegKey key = 0;
    ASSERT_EQ(reg.CreateKey(root, path, &key), 0) << path;
    ASSERT_EQ(RegWriteString(reg, key, name, text), 0);
    reg.CloseKey(key);
  }

  CWin32Registry reg;
  CWin32FileSystem fs;
  std::string unique, clsid, typelib, uninstall, ext, cls, user, missing;
};

bool Has(const std::vector<RegistryFinding>& rows, ScanCategory category, const std::string& location,
         const std::string& value = "") {
  return std::any_of(rows.begin(), rows.end(), [&](const RegistryFinding& f) {
    return f.category == category && EqualsNoCase(f.location, location) && f.valueName == value;
  });
}

TEST_F(RegScanWine, FindsEverySeededStaleEntry) {
  PutString(kHkeyClassesRoot, clsid + "\\InprocServer32", "", missing + "\\server.dll");
  PutString(kHkeyClassesRoot, typelib + "\\1.0\\0\\win32", "", missing + "\\types.tlb");
  PutString(kHkeyLocalMachine, uninstall, "DisplayName", "Tidewell test leftover");
  PutString(kHkeyClassesRoot, ext, "", cls);
  RegKey k = 0;
  ASSERT_EQ(reg.CreateKey(kHkeyClassesRoot, cls, &k), 0);
  reg.CloseKey(k);
  PutString(kHkeyCurrentUser, user, "Tool", missing + "\\tool.exe");
  PutString(kHkeyCurrentUser, user, "Fine", "C:\\windows\\notepad.exe");
  if (HasFatalFailure()) return;

  CRunControl run;
  CListSink sink;
  CRegistryScanner scanner(reg, fs, run, sink);
  const ScanTexts texts;
  std::string lowerMissing = LowerCase(missing);
  std::printf("[ scan    ] category: seconds, keys reported, findings\n");
  for (const ScanCategoryInfo& info : kScanCategories) {
    const std::size_t rowsBefore = sink.rows.size(), keysBefore = sink.keys;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(scanner.RunCategory(info.id));
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ scan    ] %d: %.1f s, %zu keys, %zu findings\n", static_cast<int>(info.id), s,
                sink.keys - keysBefore, sink.rows.size() - rowsBefore);
  }
  const auto& rows = sink.rows;
  EXPECT_TRUE(Has(rows, ScanCategory::kComServers, clsid));
  EXPECT_TRUE(Has(rows, ScanCategory::kTypeLibraries, typelib));
  EXPECT_TRUE(Has(rows, ScanCategory::kUninstall, uninstall));
  EXPECT_TRUE(Has(rows, ScanCategory::kFileAssociations, ext));
  EXPECT_TRUE(Has(rows, ScanCategory::kFileAssociations, cls));
  EXPECT_TRUE(Has(rows, ScanCategory::kCurrentUser, user, "Tool"));
  EXPECT_FALSE(Has(rows, ScanCategory::kCurrentUser, user, "Fine"));
  for (const RegistryFinding& f : rows) {
    if (EqualsNoCase(f.location, typelib)) {
      EXPECT_EQ(f.description, texts.invalidPath + lowerMissing);
    }
    if (EqualsNoCase(f.location, clsid)) {
      EXPECT_EQ(f.description, texts.invalidPath + lowerMissing + "\\server.dll");
    }
  }
  // What else the prefix yields.
  for (const RegistryFinding& f : rows) {
    if (f.location.find(unique) != std::string::npos || EqualsNoCase(f.location, clsid) ||
        EqualsNoCase(f.location, typelib)) {
      continue;
    }
    std::printf("[ other   ] %d %s%s | %s | %s\n", static_cast<int>(f.category),
                HivePrefix(CategoryHive(f.category)).c_str(), f.location.c_str(),
                f.valueName.c_str(), f.description.c_str());
  }
}

}  // namespace
}  // namespace tw
