// The Win32 backend checked against the system's own Unicode view: names
// with double-byte characters (trail byte "\" or an ASCII capital) reach the
// registry and the disk as the right characters, not as split bytes; started
// programs really run and are not waited for.
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

namespace tw {
namespace {

std::wstring Wide936(const std::string& s) {
  const int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()),
                                    nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(936, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

class PlatformWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 936u) << "the test prefix runs with code page 936";
    const std::string unique = std::to_string(GetCurrentProcessId());
    m_key = "Software\\TidewellTest\\win" + unique;
    m_folder = "D:\\twwin_" + unique;
    RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
    CreateDirectoryA(m_folder.c_str(), nullptr);
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TidewellTest");
    SHFILEOPSTRUCTA fo = {};
    const std::string from = m_folder + std::string("\0\0", 2);
    fo.wFunc = FO_DELETE;
    fo.pFrom = from.c_str();
    fo.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationA(&fo);
  }
  CWin32Registry reg;
  CWin32FileSystem fs;
  CWin32Shell shell;
  std::string m_key;
  std::string m_folder;
};

TEST_F(PlatformWin32, DoubleByteKeyNamesAreWholeCharacters) {
  for (const std::string name : {"\xB1\x5C", "\x95\x5C", "\x83\x41"}) {
    const std::wstring wide = Wide936(name);
    ASSERT_EQ(wide.size(), 1u) << "one character";
    RegKey k = 0;
    ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser, m_key + "\\" + name + "\\sub", &k), 0);
    reg.CloseKey(k);
    // The system sees a key named by that one character, with "sub" below it.
    const std::wstring wpath = std::wstring(m_key.begin(), m_key.end()) + L"\\" + wide + L"\\sub";
    HKEY hk = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wpath.c_str(), 0, KEY_READ, &hk), ERROR_SUCCESS)
        << "key for bytes " << name;
    if (hk) RegCloseKey(hk);
    // And nothing was made of the lead byte alone.
    EXPECT_NE(reg.OpenKey(kHkeyCurrentUser, m_key + "\\" + name.substr(0, 1), kKeyRead, &k), 0);
  }
}

TEST_F(PlatformWin32, DoubleByteFileNamesAreWholeCharacters) {
  const std::string name = "\xB1\x5C\x83\x41.txt";
  auto f = fs.CreateFile(m_folder + "\\" + name, CreateMode::kCreateAlways);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->Write("x", 1));
  ASSERT_TRUE(f->Close());
  const std::wstring wfolder(m_folder.begin(), m_folder.end());
  WIN32_FIND_DATAW wfd;
  const HANDLE h = FindFirstFileW((wfolder + L"\\" + Wide936(name)).c_str(), &wfd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  EXPECT_EQ(std::wstring(wfd.cFileName), Wide936(name));
  EXPECT_EQ(std::wstring(wfd.cFileName).size(), 6u);  // two characters and ".txt"
  FindData fd;
  ASSERT_TRUE(fs.FindFirst(m_folder + "\\*.txt", &fd));
  EXPECT_EQ(fd.name, name);
}

TEST_F(PlatformWin32, StartedProgramsRunWithoutBeingWaitedFor) {
  const std::string out = m_folder + "\\started.txt";
  ASSERT_TRUE(shell.CreateProcess("C:\\windows\\system32\\cmd.exe /c echo started> " + out));
  const std::string out2 = m_folder + "\\shell.txt";
  ASSERT_TRUE(shell.ShellExecute("open", "C:\\windows\\system32\\cmd.exe", "/c echo shell> " + out2,
                                 kSwHide));
  bool both = false;
  for (int i = 0; i < 200 && !both; ++i) {
    both = fs.GetFileAttributes(out) != kInvalidAttributes &&
           fs.GetFileAttributes(out2) != kInvalidAttributes;
    if (!both) Sleep(50);
  }
  EXPECT_TRUE(both);
  Sleep(200);  // let cmd.exe finish writing and close the files
}

TEST_F(PlatformWin32, LastErrorReachesTheCaller) {
  long error = 0;
  FindData fd;
  EXPECT_FALSE(fs.FindFirst(m_folder + "\\missing\\*", &fd, &error));
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.CreateDirectory(m_folder), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(fs.CreateFile(m_folder + "\\no\\file", CreateMode::kCreateAlways, &error));
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
}

}  // namespace
}  // namespace tw
