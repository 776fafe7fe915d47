// Fault sweeps over deletion with backup: the Nth registry or file call
// fails (or the disk runs full after N bytes), and whatever was removed
// must still be in the file, so that importing it restores the original.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "reg_export/reg_export_file.h"
#include "registry_cleaner/registry_deletion.h"
#include "unit/regexport_reader.h"

namespace tw {
namespace {

const char kPath[] = "C:\\RegBackup\\x.reg";

struct World {
  CMemoryRegistry reg;
  CMemoryFileSystem fs;
  World() {
    SetAnsiCodePage(936);
    fs.AddDrive('C', kDriveFixed);
    fs.AddFolder("C:\\RegBackup");
    reg.SeedString(kHkeyCurrentUser, "Software\\App", "Path", "C:\\gone\\a.exe");
    reg.SeedString(kHkeyCurrentUser, "Software\\App", "", "C:\\gone\\b.exe");
    reg.Seed(kHkeyCurrentUser, "Software\\App", "Big", kRegBinary, std::string(600, '\x7f'));
    reg.SeedString(kHkeyClassesRoot, "CLSID\\{X}\\InprocServer32", "", "C:\\gone\\x.dll");
    reg.SeedString(kHkeyClassesRoot, "CLSID\\{X}\\InprocServer32", "ThreadingModel", "Both");
    reg.SeedString(kHkeyClassesRoot, "CLSID\\{X}\\ProgID", "", "X.1");
    reg.SeedString(kHkeyClassesRoot, "CLSID\\{X}", "", "X class");
    reg.SeedDword(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old",
                  "EstimatedSize", 12);
    reg.SeedKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old\\a\\b");
  }
};

std::vector<RegistryFinding> Findings() {
  auto make = [](const char* location, ScanCategory category, const char* value) {
    RegistryFinding f;
    f.location = location;
    f.category = category;
    f.valueName = value;
    return f;
  };
  return {make("Software\\App", ScanCategory::kCurrentUser, "Path"),
          make("Software\\App", ScanCategory::kCurrentUser, ""),
          make("Software\\App", ScanCategory::kCurrentUser, "Big"),
          make("CLSID\\{X}", ScanCategory::kComServers, ""),
          make("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old",
               ScanCategory::kUninstall, "")};
}

// The deletion loop as the page runs it: it ends at the first write error.
void RunDeletion(World& w, int code) {
  CRegExportFile out(w.reg, w.fs);
  if (out.Open(kPath) != kErrorSuccess) return;
  if (out.WriteHeader(code) != kErrorSuccess) return;
  for (const RegistryFinding& f : Findings()) {
    const long rc = ExportAndRemoveFinding(out, f.location, f);
    if (rc != kErrorSuccess && rc == out.WriteError()) {
      // Every later finding is refused without touching the registry.
      const std::string before = w.reg.Dump();
      EXPECT_EQ(ExportAndRemoveFinding(out, f.location, f), rc);
      EXPECT_EQ(w.reg.Dump(), before);
      break;
    }
  }
  out.Close();
}

// Whatever is missing from the registry must come back from the file.
void ExpectRestorable(World& w, const std::string& original, const std::string& what) {
  EXPECT_EQ(w.reg.OpenHandleCount(), 0u) << what;
  if (w.reg.Dump() == original) return;
  test::RegFile file;
  std::string error;
  ASSERT_TRUE(test::ParseRegFile(w.fs.Contents(kPath), &file, &error)) << what << ": " << error;
  test::ApplyRegFile(file, w.reg);
  EXPECT_EQ(w.reg.Dump(), original) << what << "\nfile:\n" << w.fs.Contents(kPath);
}

class FaultSweep : public ::testing::TestWithParam<int> {};

TEST_P(FaultSweep, NthRegistryCallFails) {
  const int code = GetParam();
  std::uint64_t calls = 0;
  std::string original;
  {
    World w;
    original = w.reg.Dump();
    w.reg.Faults().ResetCount();
    RunDeletion(w, code);
    calls = w.reg.Faults().Calls();
    ASSERT_NE(w.reg.Dump(), original);
    ExpectRestorable(w, original, "no fault");
  }
  ASSERT_GT(calls, 20u);
  for (bool later : {false, true}) {
    for (std::uint64_t n = 1; n <= calls; ++n) {
      World w;
      w.reg.Faults().FailCall(n, kErrorAccessDenied, false, later);
      RunDeletion(w, code);
      w.reg.Faults().Clear();
      ExpectRestorable(w, original, "registry call " + std::to_string(n));
    }
  }
}

TEST_P(FaultSweep, NthFileCallFailsOrDiskRunsFull) {
  const int code = GetParam();
  std::uint64_t calls = 0;
  std::size_t size = 0;
  std::string original;
  {
    World w;
    original = w.reg.Dump();
    w.fs.Faults().ResetCount();
    RunDeletion(w, code);
    calls = w.fs.Faults().Calls();
    size = w.fs.Contents(kPath).size();
  }
  for (std::uint64_t n = 1; n <= calls; ++n) {
    World w;
    w.fs.Faults().FailCall(n, kErrorHandleDiskFull);
    RunDeletion(w, code);
    w.fs.Faults().Clear();
    ExpectRestorable(w, original, "file call " + std::to_string(n));
  }
  for (std::size_t limit = 0; limit < size; limit += 7) {
    World w;
    w.fs.SetWriteLimit(limit);
    RunDeletion(w, code);
    w.fs.SetWriteLimit(CMemoryFileSystem::Unlimited());
    ExpectRestorable(w, original, "disk full after " + std::to_string(limit));
  }
}

INSTANTIATE_TEST_SUITE_P(BothForms, FaultSweep, ::testing::Values(0, 2));

}  // namespace
}  // namespace tw
