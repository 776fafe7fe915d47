// Deletion with backup on the real registry, restored by the real registry
// editor: every value type, double-byte names and data (one ending in the
// byte "\"), quotes, backslashes and "=" in names, empty and long values,
// nested keys. Everything removed must come back byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "reg_export/reg_export_file.h"
#include "registry_cleaner/registry_deletion.h"
#include "reg_sandbox.h"

namespace tw {
namespace {

using wintest::Snapshot;

const std::string kZhong = "\xD6\xD0\xCE\xC4";  // 中文
const std::string kSei = "\xD5\x5C";            // 誠, trail byte "\"

std::string Sz(const std::string& s) { return s + std::string(1, '\0'); }

void Put(IRegistry& reg, RegKey root, const std::string& path, const std::string& name,
         std::uint32_t type, const std::string& data) {
  RegKey key = 0;
  ASSERT_EQ(reg.CreateKey(root, path, &key), 0) << path;
  ASSERT_EQ(reg.SetValue(key, name, type, data.data(), data.size()), 0) << path << " " << name;
  reg.CloseKey(key);
}

void SeedTree(IRegistry& reg, RegKey root, const std::string& top) {
  std::string binary;
  for (int i = 0; i < 1000; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  const std::string t = top + "\\Types";
  Put(reg, root, t, "t0", kRegNone, std::string("\x01\x02\x00", 3));
  Put(reg, root, t, "t1", kRegSz, Sz("plain text"));
  Put(reg, root, t, "t2", kRegExpandSz, Sz("%SystemRoot%\\" + kZhong + kSei + "\\x.dll"));
  Put(reg, root, t, "t3", kRegBinary, std::string("\x00\x0a\xff", 3));
  Put(reg, root, t, "t4", kRegDword, std::string("\x78\x56\x34\x12", 4));
  Put(reg, root, t, "t5", kRegDwordBigEndian, std::string("\x12\x34\x56\x78", 4));
  Put(reg, root, t, "t6", kRegLink, std::string("l\0i\0n\0k\0", 8));
  Put(reg, root, t, "t7", kRegMultiSz, std::string("one\0two\0", 8) + kZhong + kSei + std::string("\0\0", 2));
  Put(reg, root, t, "t8", kRegResourceList, std::string("\x01\x00\x00\x00\x08", 5));
  Put(reg, root, t, "t9", kRegFullResourceDescriptor, std::string("\x09\x09", 2));
  Put(reg, root, t, "t10", kRegResourceRequirementsList, std::string("\x0a", 1));
  Put(reg, root, t, "t11", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x88", 8));
  Put(reg, root, t, "bin1000", kRegBinary, binary);
  Put(reg, root, t, "emptysz", kRegSz, Sz(""));
  Put(reg, root, t, "emptyexpand", kRegExpandSz, Sz(""));
  Put(reg, root, t, "emptymulti", kRegMultiSz, std::string("\0", 1));
  Put(reg, root, t, "emptybin", kRegBinary, "");
  Put(reg, root, t, "emptynone", kRegNone, "");
  Put(reg, root, t, "", kRegSz, Sz("default of Types"));
  const std::string n = top + "\\Names";
  Put(reg, root, n, "with \"quotes\"", kRegSz, Sz("say \"hi\""));
  Put(reg, root, n, "back\\slash\\", kRegSz, Sz("C:\\dir\\"));
  Put(reg, root, n, "a=b", kRegSz, Sz("x=y"));
  Put(reg, root, n, kZhong + kSei, kRegSz, Sz(kZhong + kSei + "\\" + kSei));
  Put(reg, root, n, kSei, kRegSz, Sz(kSei));
  Put(reg, root, n, std::string(300, 'L'), kRegSz, Sz(std::string(2000, 'D')));
  Put(reg, root, n, "long data", kRegExpandSz, Sz(std::string(700, 'E') + kZhong));
  Put(reg, root, n, "", kRegSz, Sz(kZhong));
  Put(reg, root, top + "\\Deep\\" + kZhong + "\\" + kSei + "\\Leaf", "v", kRegSz, Sz("leaf"));
  RegKey empty = 0;
  ASSERT_EQ(reg.CreateKey(root, top + "\\Deep\\Empty", &empty), 0);
  reg.CloseKey(empty);
  Put(reg, root, top + "\\Deep", "d", kRegDword, std::string("\x01\0\0\0", 4));
  // Data the quoted and dword forms cannot carry.
  const std::string o = top + "\\Odd";
  Put(reg, root, o, "sz zero bytes", kRegSz, "");
  Put(reg, root, o, "sz inner zero", kRegSz, std::string("a\0b\0", 4));
  Put(reg, root, o, "sz line break", kRegSz, Sz("one\r\ntwo"));
  Put(reg, root, o, "dword short", kRegDword, std::string("\x01\x02", 2));
  Put(reg, root, o, "sz unended", kRegSz, "abc");
  Put(reg, root, o, "multi unended", kRegMultiSz, std::string("a\0b", 3));
}

class RegRoundTrip : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    SetAnsiCodePage(GetACP());
    // The test prefix always runs with 936: a skipped round trip would hide
    // the most important test.
    ASSERT_EQ(GetACP(), 936u) << "the tests run with the ANSI code page 936";
    unique = wintest::UniqueName("RT");
    userTop = "Software\\TidewellTest\\" + unique;
    machineTop = "Software\\TidewellTest\\" + unique;
    classTop = "CLSID\\{TidewellTest-" + unique + "}";
  }
  void TearDown() override {
    wintest::DeleteTree(reg, kHkeyCurrentUser, userTop);
    wintest::DeleteTree(reg, kHkeyLocalMachine, machineTop);
    wintest::DeleteTree(reg, kHkeyClassesRoot, classTop);
    RegKey k = 0;
    reg.OpenKey(kHkeyCurrentUser, "Software", kKeyAllAccess, &k);
    reg.DeleteKey(k, "TidewellTest");  // only when empty
    reg.CloseKey(k);
    reg.OpenKey(kHkeyLocalMachine, "Software", kKeyAllAccess, &k);
    reg.DeleteKey(k, "TidewellTest");
    reg.CloseKey(k);
  }

  long Remove(CRegExportFile& out, const std::string& location, ScanCategory category,
              const std::string& value = "") {
    RegistryFinding f;
    f.location = location;
    f.category = category;
    f.valueName = value;
    return ExportAndRemoveFinding(out, location, f);
  }

  CWin32Registry reg;
  CWin32FileSystem fs;
  std::string unique, userTop, machineTop, classTop;
};

TEST_P(RegRoundTrip, RemovedEntriesComeBackByteForByte) {
  const int code = GetParam();
  SeedTree(reg, kHkeyCurrentUser, userTop);
  SeedTree(reg, kHkeyLocalMachine, machineTop + "\\Tree");
  SeedTree(reg, kHkeyClassesRoot, classTop);
  if (HasFatalFailure()) return;
  const Snapshot user = wintest::Snap(reg, kHkeyCurrentUser, userTop);
  const Snapshot machine = wintest::Snap(reg, kHkeyLocalMachine, machineTop);
  const Snapshot classes = wintest::Snap(reg, kHkeyClassesRoot, classTop);
  ASSERT_EQ(user.size(), 9u);
  ASSERT_EQ(user.at("\\Types").size(), 19u);
  ASSERT_EQ(user.at("\\Types").at("t7").data.size(), 8u + 6u + 2u);

  const std::string file = wintest::TempFolder() + "tidewell-" + unique + ".reg";
  {
    CRegExportFile out(reg, fs);
    ASSERT_EQ(out.Open(file), kErrorSuccess) << file;
    ASSERT_EQ(out.WriteHeader(code), kErrorSuccess);
    // One value at a time (category 0), in every key of the user tree.
    for (const auto& [key, values] : user) {
      for (const auto& [name, v] : values) {
        EXPECT_EQ(Remove(out, userTop + key, ScanCategory::kCurrentUser, name), kErrorSuccess)
            << key << " : " << name;
      }
    }
    // Whole keys (uninstall entries live in HKEY_LOCAL_MACHINE, COM classes
    // in HKEY_CLASSES_ROOT).
    EXPECT_EQ(Remove(out, machineTop + "\\Tree", ScanCategory::kUninstall), kErrorSuccess);
    EXPECT_EQ(Remove(out, classTop, ScanCategory::kComServers), kErrorSuccess);
    // A key and a value that are gone already.
    EXPECT_EQ(Remove(out, machineTop + "\\NotThere", ScanCategory::kUninstall), kErrorFileNotFound);
    EXPECT_EQ(Remove(out, userTop + "\\Types", ScanCategory::kCurrentUser, "no such value"),
              kErrorFileNotFound);
    ASSERT_EQ(out.Close(), kErrorSuccess);
  }
  // Removed: no values left in the user tree, the other trees gone.
  for (const auto& [key, values] : wintest::Snap(reg, kHkeyCurrentUser, userTop)) {
    EXPECT_TRUE(values.empty()) << key;
  }
  EXPECT_EQ(wintest::Snap(reg, kHkeyLocalMachine, machineTop).size(), 1u);
  EXPECT_TRUE(wintest::Snap(reg, kHkeyClassesRoot, classTop).empty());

  ASSERT_TRUE(wintest::RunRegeditImport(file));
  const std::string userDiff = wintest::Diff(user, wintest::Snap(reg, kHkeyCurrentUser, userTop));
  const std::string machineDiff =
      wintest::Diff(machine, wintest::Snap(reg, kHkeyLocalMachine, machineTop));
  const std::string classDiff = wintest::Diff(classes, wintest::Snap(reg, kHkeyClassesRoot, classTop));
  EXPECT_EQ(userDiff, "");
  EXPECT_EQ(machineDiff, "");
  EXPECT_EQ(classDiff, "");
  if (userDiff.empty() && machineDiff.empty() && classDiff.empty()) fs.DeleteFile(file);
}

// The real file system, whose backup files take only so many bytes and then
// no more, as on a disk that runs full: the bytes that fit reach the file.
class CFillingFileSystem : public CWin32FileSystem {
 public:
  explicit CFillingFileSystem(std::size_t room) : m_room(room) {}
  std::unique_ptr<IWritableFile> CreateFile(const std::string& path, CreateMode mode,
                                            long* error) override {
    auto file = CWin32FileSystem::CreateFile(path, mode, error);
    if (!file) return file;
    return std::make_unique<CFilling>(std::move(file), &m_room);
  }

 private:
  class CFilling : public IWritableFile {
   public:
    CFilling(std::unique_ptr<IWritableFile> file, std::size_t* room)
        : m_file(std::move(file)), m_room(room) {}
    bool Write(const void* data, std::size_t size) override {
      const std::size_t n = size < *m_room ? size : *m_room;
      if (n > 0 && !m_file->Write(data, n)) return false;
      *m_room -= n;
      return n == size;
    }
    bool Close() override { return m_file->Close(); }
    bool Flush() override { return m_file->Flush(); }
    bool Truncate(std::uint64_t size) override { return m_file->Truncate(size); }
    long LastWriteError() const override { return kErrorHandleDiskFull; }

   private:
    std::unique_ptr<IWritableFile> m_file;
    std::size_t* m_room;
  };
  std::size_t m_room;
};

// The disk runs full in the middle of a long value's line: the value stays
// in the registry, and importing the file leaves it as it is; the value
// written before it comes back.
TEST_P(RegRoundTrip, AValueCutShortByAFullDiskIsNotImported) {
  const int code = GetParam();
  const std::string key = userTop + "\\Full";
  Put(reg, kHkeyCurrentUser, key, "Path", kRegSz, Sz("C:\\gone\\a.exe"));
  Put(reg, kHkeyCurrentUser, key, "Big", kRegBinary, std::string(600, '\x7f'));
  if (HasFatalFailure()) return;
  const Snapshot before = wintest::Snap(reg, kHkeyCurrentUser, key);

  // Room for the header, the first section and part of the second.
  CFillingFileSystem full(code == 2 ? 300 : 600);
  const std::string file = wintest::TempFolder() + "tidewell-" + unique + "-full.reg";
  {
    CRegExportFile out(reg, full);
    ASSERT_EQ(out.Open(file), kErrorSuccess) << file;
    ASSERT_EQ(out.WriteHeader(code), kErrorSuccess);
    EXPECT_EQ(Remove(out, key, ScanCategory::kCurrentUser, "Path"), kErrorSuccess);
    EXPECT_EQ(Remove(out, key, ScanCategory::kCurrentUser, "Big"), kErrorHandleDiskFull);
    out.Close();
  }
  const Snapshot kept = wintest::Snap(reg, kHkeyCurrentUser, key);
  EXPECT_EQ(kept.at("").count("Path"), 0u);
  EXPECT_EQ(kept.at("").count("Big"), 1u);

  ASSERT_TRUE(wintest::RunRegeditImport(file));
  const std::string diff = wintest::Diff(before, wintest::Snap(reg, kHkeyCurrentUser, key));
  EXPECT_EQ(diff, "");
  if (diff.empty()) fs.DeleteFile(file);
}

// Stale classes whose keys hold a name or text that code page 936 cannot
// hold (Hangul in a value name, in a subkey's name below, an emoji in a
// text): each stays whole and unchanged, the backup holds nothing of it,
// and the plain class beside them goes and comes back through the registry
// editor.
TEST_P(RegRoundTrip, KeysWithNamesTheCodePageLacksStayWhole) {
  const int code = GetParam();
  const std::wstring hangul = L"\uD55C\uAE00";
  const std::string a = classTop + "\\A", b = classTop + "\\B", c = classTop + "\\C";
  struct Cleanup {
    std::string top;
    ~Cleanup() {
      const std::wstring w(top.begin(), top.end());
      RegDeleteTreeW(HKEY_CLASSES_ROOT, w.c_str());
    }
  } cleanup{classTop};
  for (const std::string& k : {a, b, c}) {
    Put(reg, kHkeyClassesRoot, k + "\\InprocServer32", "", kRegSz, Sz("C:\\gone\\x.dll"));
    Put(reg, kHkeyClassesRoot, k, "plain", kRegSz, Sz(kZhong));
  }
  if (HasFatalFailure()) return;
  const std::wstring wa(a.begin(), a.end()), wb(b.begin(), b.end());
  HKEY hk = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, wa.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hk, nullptr),
            ERROR_SUCCESS);
  const std::wstring text = L"\uAC12 \U0001F600";
  RegSetValueExW(hk, hangul.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * 2));
  RegCloseKey(hk);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (wb + L"\\Deep\\" + hangul).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &hk, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(hk);
  const auto beforeA = wintest::WideDump(HKEY_CLASSES_ROOT, a);
  const auto beforeB = wintest::WideDump(HKEY_CLASSES_ROOT, b);
  const auto beforeC = wintest::WideDump(HKEY_CLASSES_ROOT, c);
  ASSERT_EQ(beforeA.size(), 5u);  // A, its two values, InprocServer32 and its value

  const std::string file = wintest::TempFolder() + "tidewell-" + unique + "-foreign.reg";
  {
    CRegExportFile out(reg, fs);
    ASSERT_EQ(out.Open(file), kErrorSuccess) << file;
    ASSERT_EQ(out.WriteHeader(code), kErrorSuccess);
    EXPECT_EQ(Remove(out, a, ScanCategory::kComServers), kErrorNoUnicodeTranslation);
    EXPECT_EQ(Remove(out, b, ScanCategory::kComServers), kErrorNoUnicodeTranslation);
    EXPECT_EQ(out.ExportKey(kHkeyClassesRoot, a, "", false), kErrorNoUnicodeTranslation);
    EXPECT_EQ(Remove(out, c, ScanCategory::kComServers), kErrorSuccess);
    ASSERT_EQ(out.Close(), kErrorSuccess);
  }
  EXPECT_EQ(wintest::WideDump(HKEY_CLASSES_ROOT, a), beforeA);
  EXPECT_EQ(wintest::WideDump(HKEY_CLASSES_ROOT, b), beforeB);
  EXPECT_TRUE(wintest::WideDump(HKEY_CLASSES_ROOT, c).empty());
  ASSERT_TRUE(wintest::RunRegeditImport(file));
  EXPECT_EQ(wintest::WideDump(HKEY_CLASSES_ROOT, a), beforeA);
  EXPECT_EQ(wintest::WideDump(HKEY_CLASSES_ROOT, b), beforeB);
  EXPECT_EQ(wintest::WideDump(HKEY_CLASSES_ROOT, c), beforeC);
  fs.DeleteFile(file);
}

// 0: the NT family's Unicode form; 2: the 9x family's ANSI form.
INSTANTIATE_TEST_SUITE_P(BothForms, RegRoundTrip, ::testing::Values(0, 2));

}  // namespace
}  // namespace tw
