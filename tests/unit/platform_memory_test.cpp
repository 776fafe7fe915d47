// What the in-memory backends offer tests beyond the contract: fault
// injection, a disk that runs full, the recycle bin, started programs,
// handle counting and dumps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/text.h"

namespace tw {
namespace {

TEST(PlatformMemoryRegistry, NthCallFailsOnce) {
  CMemoryRegistry reg;
  reg.Faults().FailCall(2, kErrorAccessDenied);
  RegKey k = 0;
  EXPECT_EQ(reg.CreateKey(kHkeyCurrentUser, "Software\\A", &k), 0);  // call 1
  EXPECT_EQ(RegWriteString(reg, k, "v", "x"), kErrorAccessDenied);   // call 2
  EXPECT_EQ(RegWriteString(reg, k, "v", "x"), 0);                    // call 3
  EXPECT_EQ(reg.Faults().Calls(), 3u);
  reg.CloseKey(k);  // closing is never made to fail
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(PlatformMemoryRegistry, MutatingOnlyAndFailLater) {
  CMemoryRegistry reg;
  reg.SeedString(kHkeyCurrentUser, "Software\\A", "v", "x");
  reg.Faults().FailCall(2, kErrorWriteFault, /*mutatingOnly=*/true, /*failLater=*/true);
  RegKey k = 0;
  ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "Software\\A", kKeyAllAccess, &k), 0);  // not counted
  CRegKeyGuard guard(reg, k);
  std::string text;
  EXPECT_TRUE(RegReadString(reg, k, "v", &text));                 // not counted
  EXPECT_EQ(RegWriteString(reg, k, "a", "1"), 0);                 // 1
  EXPECT_EQ(RegWriteString(reg, k, "b", "2"), kErrorWriteFault);  // 2
  EXPECT_EQ(reg.DeleteValue(k, "a"), kErrorWriteFault);           // 3, and on
  reg.Faults().Clear();
  EXPECT_EQ(reg.DeleteValue(k, "a"), 0);
}

TEST(PlatformMemoryRegistry, HandlesRootsAndDump) {
  CMemoryRegistry reg;
  // The classes root is the machine's Software\Classes.
  reg.SeedString(kHkeyClassesRoot, ".txt", "", "txtfile");
  EXPECT_TRUE(reg.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Classes\\.TXT"));
  RegKey k = 0;
  ASSERT_EQ(reg.OpenKey(kHkeyClassesRoot, ".txt", kKeyRead, &k), 0);
  EXPECT_EQ(reg.OpenHandleCount(), 1u);
  EXPECT_EQ(reg.CloseKey(k), 0);
  EXPECT_EQ(reg.CloseKey(k), kErrorInvalidHandle);  // closed twice
  std::string text;
  EXPECT_FALSE(RegReadString(reg, k, "", &text));  // used after closing
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Classes"), kErrorAccessDenied);
  reg.SeedDword(kHkeyCurrentUser, "Software\\Tidewell\\Used", "times", 18);
  const std::string dump = reg.Dump();
  EXPECT_NE(dump.find("HKEY_LOCAL_MACHINE\\Software\\Classes\\.txt\n  @ = REG_SZ \"txtfile\\x00\""),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("\"times\" = REG_DWORD 0x00000012"), std::string::npos) << dump;
  EXPECT_NE(reg.Dump(kHkeyCurrentUser, "Software\\Missing").find("(missing)"), std::string::npos);
}

TEST(PlatformMemoryRegistry, WatchWakesAWaitingThread) {
  CMemoryRegistry reg;
  reg.SeedKey(kHkeyLocalMachine, "Software\\Uninstall\\App");
  RegKey k = 0;
  ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Uninstall", kKeyNotify, &k), 0);
  auto watch = reg.WatchKey(k);
  reg.CloseKey(k);
  ASSERT_TRUE(watch);
  std::atomic<bool> woke{false};
  std::thread waiter([&] { woke = watch->Wait(10000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Uninstall\\App"), 0);
  waiter.join();
  EXPECT_TRUE(woke);
}

class PlatformMemoryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDrive('C', kDriveFixed, "System");
    fs.AddFolder("C:\\Data");
  }
  CMemoryFileSystem fs;
  CMemoryShell shell{fs};
};

TEST_F(PlatformMemoryFiles, DiskRunsFull) {
  fs.SetWriteLimit(3);
  auto f = fs.CreateFile("C:\\Data\\x.txt", CreateMode::kCreateAlways);
  ASSERT_TRUE(f);
  EXPECT_FALSE(f->Write("hello", 5));
  EXPECT_EQ(fs.Contents("C:\\Data\\x.txt"), "hel");
  EXPECT_FALSE(f->Write("!", 1));
  fs.SetWriteLimit(CMemoryFileSystem::Unlimited());
  EXPECT_TRUE(f->Write("p", 1));
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(fs.Contents("C:\\Data\\x.txt"), "help");
  EXPECT_NE(fs.Dump().find("C:\\Data\\x.txt  [attr 20, 4 bytes]"), std::string::npos) << fs.Dump();
}

TEST_F(PlatformMemoryFiles, NthCallFailsForFaultSweeps) {
  // Count the calls of a small job, then fail each one in turn: the job
  // must notice every failure.
  auto job = [&]() -> bool {
    auto f = fs.CreateFile("C:\\Data\\out.txt", CreateMode::kCreateAlways);
    return f && f->Write("abc", 3) && f->Close() &&
           fs.MoveFile("C:\\Data\\out.txt", "C:\\Data\\done.txt") == 0;
  };
  fs.Faults().ResetCount();
  ASSERT_TRUE(job());
  const std::uint64_t calls = fs.Faults().Calls();
  EXPECT_EQ(calls, 4u);
  for (std::uint64_t n = 1; n <= calls; ++n) {
    fs.DeleteTree("C:\\Data\\done.txt");
    fs.DeleteTree("C:\\Data\\out.txt");
    fs.Faults().FailCall(n, kErrorHandleDiskFull);
    EXPECT_FALSE(job()) << "call " << n << " failed unnoticed\n" << fs.Dump();
    fs.Faults().Clear();
  }
}

TEST_F(PlatformMemoryFiles, RecycleBinAndShellRecords) {
  fs.AddFile("C:\\Data\\junk.tmp", "12345");
  fs.AddFile("C:\\Data\\keep.txt", "x");
  EXPECT_EQ(shell.FileOperation(kFoDelete, "C:\\Data\\junk.tmp", "", kFofAllowUndo | kFofSilent),
            0);
  ASSERT_EQ(fs.RecycleBin().size(), 1u);
  EXPECT_EQ(fs.RecycleBin()[0].originalPath, "C:\\Data\\junk.tmp");
  EXPECT_EQ(fs.RecycleBin()[0].size, 5u);
  EXPECT_FALSE(fs.Exists("C:\\Data\\junk.tmp"));

  fs.AddFile("C:\\Program Files\\App\\uninst.exe", "MZ");
  std::vector<std::string> seen;
  shell.SetOnStart([&](const StartedProgram& p) { seen.push_back(p.file); });
  EXPECT_TRUE(shell.CreateProcess("C:\\Program Files\\App\\uninst.exe /S"));
  EXPECT_TRUE(shell.CreateProcess("\"C:\\Program Files\\App\\uninst.exe\" /x"));
  EXPECT_TRUE(shell.CreateProcess("MsiExec.exe /X{12345678-1234-1234-1234-123456789012}"));
  EXPECT_FALSE(shell.CreateProcess("C:\\Program Files\\Gone\\uninst.exe"));
  EXPECT_TRUE(shell.ShellExecute("open", "regsvr32", "/s /u \"C:\\x.dll\"", kSwHide));
  const auto started = shell.Started();
  ASSERT_EQ(started.size(), 4u) << shell.Dump();
  EXPECT_EQ(started[0].file, "C:\\Program Files\\App\\uninst.exe");
  EXPECT_EQ(started[0].parameters, "/S");
  EXPECT_EQ(started[1].file, "C:\\Program Files\\App\\uninst.exe");
  EXPECT_EQ(started[1].parameters, "/x");
  EXPECT_EQ(started[2].file, "MsiExec.exe");
  EXPECT_EQ(started[3].how, "ShellExecute");
  EXPECT_EQ(started[3].show, kSwHide);
  EXPECT_EQ(seen.size(), 4u);
  shell.SetStartsFail(true);
  EXPECT_FALSE(shell.ShellExecute("open", "regedit.exe", "", kSwShowNormal));
}

TEST_F(PlatformMemoryFiles, PathsResolveAsTheSystemDoes) {
  fs.AddFile("C:\\Data\\Some Long Name.txt", "x");
  fs.SetCurrentFolder("C:\\Data");
  struct Case {
    const char* path;
    bool found;
  } cases[] = {
      {"Some Long Name.txt", true},
      {"..\\Data\\some long name.TXT", true},
      {"C:Some Long Name.txt", true},
      {"C:/Data/Some Long Name.txt", true},
      {"\\Data\\.\\SOMELO~1.TXT", true},
      {"C:\\Data\\Some Long Name.txt. ", true},
      {"D:\\Data", false},
      {"\\\\server\\share\\x", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(fs.Exists(c.path), c.found) << c.path;
  EXPECT_EQ(fs.GetShortPathName("C:\\Data\\Some Long Name.txt"), "C:\\Data\\SOMELO~1.TXT");
}

}  // namespace
}  // namespace tw
