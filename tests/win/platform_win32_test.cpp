// The Win32 backend checked against the system's own Unicode view: names
// with double-byte characters (trail byte "\" or an ASCII capital) reach the
// registry and the disk as the right characters, not as split bytes; started
// programs really run and are not waited for.
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/exact_ansi.h"
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

// Names and texts that code page 936 cannot hold: the ANSI calls would hand
// them out as "?" or a look-alike. Each read of such an entry fails with
// kErrorNoUnicodeTranslation, the entries around it still read exactly, and
// the buffer sizes count the converted bytes.
TEST_F(PlatformWin32, NamesAndTextsTheCodePageLacksFailToRead) {
  IRegistry& reg = PlatformWin32::reg;  // the interface, with its buffer defaults
  const std::wstring wkey(m_key.begin(), m_key.end());
  HKEY hk = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hk, nullptr),
            ERROR_SUCCESS);
  auto put = [&](const std::wstring& name, DWORD type, const std::wstring& text) {
    RegSetValueExW(hk, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  };
  struct Case {
    std::wstring name;
    DWORD type;
    std::wstring text;  // stored with its zero(s)
    bool readable;
  };
  const Case cases[] = {
      {L"a plain", REG_SZ, std::wstring(L"\u4E2D\u6587", 2) + L'\0', true},  // 中文
      {L"b \uD55C\uAE00", REG_SZ, std::wstring(L"x\0", 2), false},          // 한글 in the name
      {L"c sz", REG_SZ, std::wstring(L"\uAC12\0", 2), false},                // 값 in the text
      {L"d expand", REG_EXPAND_SZ, std::wstring(L"%A%\U0001F600\0", 6), false},  // an emoji
      {L"e multi", REG_MULTI_SZ, std::wstring(L"ok\0\uAC00\0\0", 6), false},  // 가 after a zero
      {L"f lone", REG_SZ, std::wstring(L"\xD800\0", 2), false},                // a lone surrogate
      {L"g binary", REG_BINARY, std::wstring(L"\uAC00", 1), true},           // bytes stay bytes
      {L"h z", REG_SZ, std::wstring(L"z\0", 2), true},
  };
  for (const Case& c : cases) put(c.name, c.type, c.text);
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExW(hk, L"1 \uD55C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sub);
  ASSERT_EQ(RegCreateKeyExW(hk, L"2 plain", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(hk);

  RegKey key = 0;
  ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, m_key, kKeyRead, &key), kErrorSuccess);
  // Values come in the order the system keeps (by name), one per case.
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < std::size(cases); ++i) {
    const long rc = reg.EnumValue(key, i, &name, &type, &data, kUnlimited, kUnlimited);
    EXPECT_EQ(rc, cases[i].readable ? kErrorSuccess : kErrorNoUnicodeTranslation) << i;
  }
  EXPECT_EQ(reg.EnumValue(key, static_cast<std::uint32_t>(std::size(cases)), &name, &type, &data), kErrorNoMoreItems);
  ASSERT_EQ(reg.EnumValue(key, 0, &name, &type, &data), kErrorSuccess);
  EXPECT_EQ(name, "a plain");
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("\xD6\xD0\xCE\xC4\0", 5));
  // Four converted bytes and the zero: five fit, four do not.
  EXPECT_EQ(reg.EnumValue(key, 0, &name, &type, &data, kBufferSize, 5), kErrorSuccess);
  EXPECT_EQ(reg.EnumValue(key, 0, &name, &type, &data, kBufferSize, 4), kErrorMoreData);
  EXPECT_EQ(reg.EnumValue(key, 0, &name, &type, &data, 8, kBufferSize), kErrorSuccess);
  EXPECT_EQ(reg.EnumValue(key, 0, &name, &type, &data, 7, kBufferSize), kErrorMoreData);
  ASSERT_EQ(reg.EnumValue(key, 6, &name, &type, &data), kErrorSuccess);
  EXPECT_EQ(data.size(), 2u);  // binary data as stored
  EXPECT_EQ(reg.QueryValue(key, "c sz", &type, &data), kErrorNoUnicodeTranslation);
  EXPECT_EQ(reg.QueryValue(key, "h z", &type, &data), kErrorSuccess);
  // "?" names another value (none here), never the Hangul one.
  EXPECT_EQ(reg.QueryValue(key, "b ??", &type, &data), kErrorFileNotFound);
  EXPECT_EQ(reg.EnumKey(key, 0, &name), kErrorNoUnicodeTranslation);
  ASSERT_EQ(reg.EnumKey(key, 1, &name), kErrorSuccess);
  EXPECT_EQ(name, "2 plain");
  EXPECT_EQ(reg.EnumKey(key, 1, &name, 8), kErrorSuccess);
  EXPECT_EQ(reg.EnumKey(key, 1, &name, 7), kErrorMoreData);
  EXPECT_EQ(reg.EnumKey(key, 2, &name), kErrorNoMoreItems);
  reg.CloseKey(key);
}

// Plain ASCII is taken character for character, everything else through
// the code page's exact check: a character whose low byte looks like ASCII
// ("A" in U+4E41) or one just past the ASCII range must not be taken so.
TEST(ExactAnsi, AsciiIsCopiedAndEverythingElseChecked) {
  struct Case {
    std::wstring wide;
    bool converts;
    std::string ansi;
  };
  const Case cases[] = {
      {L"", true, ""},
      {std::wstring(L"Item\0 7\x7F", 8), true, std::string("Item\0 7\x7F", 8)},
      {L"C:\\windows\\notepad.exe", true, "C:\\windows\\notepad.exe"},
      {L"\u4E41", true, "\x81U"},               // 乁: low byte 0x41
      {L"x\u4E2D", true, "x\xD6\xD0"},           // 中 after ASCII
      {L"\u0080", false, ""},                    // just past ASCII, not in 936
      {L"ok\uAC00", false, ""},                  // Hangul after ASCII
      {std::wstring(1, L'\xD800'), false, ""},   // a lone surrogate
  };
  for (const Case& c : cases) {
    std::string ansi;
    EXPECT_EQ(ExactWideToAnsi(c.wide.data(), c.wide.size(), &ansi), c.converts) << c.ansi;
    if (!c.converts) continue;
    EXPECT_EQ(ansi, c.ansi);
    std::wstring back;
    EXPECT_TRUE(ExactAnsiToWide(ansi, &back));
    EXPECT_EQ(back, c.wide);
    // The same text as registry data, its bytes read unaligned.
    std::vector<BYTE> bytes(1 + c.wide.size() * 2);
    std::memcpy(bytes.data() + 1, c.wide.data(), c.wide.size() * 2);
    std::vector<std::uint8_t> data = {1, 2, 3};
    EXPECT_TRUE(ExactAnsiRegData(REG_SZ, bytes.data() + 1, static_cast<DWORD>(c.wide.size() * 2), &data));
    EXPECT_EQ(std::string(data.begin(), data.end()), c.ansi);
  }
  // Bytes the code page cannot read back are refused, ASCII before them or not.
  std::wstring wide;
  EXPECT_FALSE(ExactAnsiToWide(std::string("ab\x81", 3), &wide));
  std::vector<std::uint8_t> data;
  const BYTE odd[] = {'a', 0, 'b'};
  EXPECT_FALSE(ExactAnsiRegData(REG_SZ, odd, 3, &data));
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
