// The export writer: the lines it writes, the two file forms, and that what
// it removes comes back whole when the file is imported.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "reg_export/reg_export_file.h"
#include "registry_cleaner/registry_deletion.h"
#include "reg_export/reg_format.h"
#include "unit/regexport_reader.h"

namespace tw {
namespace {

using test::ParseRegFile;
using test::RegFile;

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string Sz(const std::string& s) { return s + std::string(1, '\0'); }

const std::string kSeiYen = "\xD5\x5C";  // 誠: trail byte "\"
const std::string kGbk = "\xD6\xD0\xCE\xC4";  // 中文

TEST(RegFormat, ValueLines) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::string data;
    bool unicode;
    std::string line;
  } cases[] = {
      {"Path", kRegSz, Sz("C:\\App\\\"x\""), false, "\"Path\"=\"C:\\\\App\\\\\\\"x\\\"\""},
      {"", kRegSz, Sz("abc"), false, "@=\"abc\""},
      {"d", kRegDword, std::string("\x01\0\0\0", 4), false, "\"d\"=dword:00000001"},
      {"d", kRegDword, std::string("\x78\x56\x34\x12", 4), true, "\"d\"=dword:12345678"},
      {"b", kRegBinary, std::string("\x01\x00\xff", 3), false, "\"b\"=hex:1,0,ff"},
      {"e", kRegExpandSz, Sz("%A%"), false, "\"e\"=hex(2):25,41,25,0"},
      {"e", kRegExpandSz, Sz("%A%"), true, "\"e\"=hex(2):25,0,41,0,25,0,0,0"},
      {"m", kRegMultiSz, std::string("a\0bc\0\0", 6), true, "\"m\"=hex(7):61,0,0,0,62,0,63,0,0,0,0,0"},
      {"m", kRegMultiSz, std::string("a\0bc\0\0", 6), false, "\"m\"=hex(7):61,0,62,63,0,0"},
      {"q", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8), true,
       "\"q\"=hex(b):1,2,3,4,5,6,7,8"},
      {"n", kRegNone, "", true, "\"n\"=hex(0):"},
      {"r", 9, "\x0a", false, "\"r\"=hex(9):a"},
      {"big", kRegDwordBigEndian, std::string("\0\0\0\x01", 4), false, "\"big\"=hex(5):0,0,0,1"},
      // Data the quoted form cannot carry exactly goes as typed hex.
      {"s", kRegSz, "", false, "\"s\"=hex(1):"},
      {"s", kRegSz, "ab", false, "\"s\"=hex(1):61,62"},
      {"s", kRegSz, std::string("a\0b\0", 4), true, "\"s\"=hex(1):61,0,0,0,62,0,0,0"},
      {"s", kRegSz, Sz("two\r\nlines"), false, "\"s\"=hex(1):74,77,6f,d,a,6c,69,6e,65,73,0"},
      {"d", kRegDword, "\x01\x02", false, "\"d\"=hex(4):1,2"},
      // "=" and quotes in names; a double-byte character ending in 0x5C is not escaped.
      {"a=b\"c\\", kRegSz, Sz(kSeiYen + "\\"), false,
       "\"a=b\\\"c\\\\\"=\"" + kSeiYen + "\\\\\""},
      {"e", kRegExpandSz, Sz(kGbk), true, "\"e\"=hex(2):2d,4e,87,65,0,0"},
      {"e", kRegExpandSz, Sz(kGbk), false, "\"e\"=hex(2):d6,d0,ce,c4,0"},
      // A lone lead byte at the end would swallow the closing quote on import.
      {"s", kRegSz, Sz("lone\xD5"), false, "\"s\"=hex(1):6c,6f,6e,65,d5,0"},
      {"s", kRegSz, Sz(kGbk + "\xD5"), false, "\"s\"=hex(1):d6,d0,ce,c4,d5,0"},
  };
  SetAnsiCodePage(936);
  for (const Case& c : cases) {
    std::string line;
    ASSERT_TRUE(FormatValueLine(c.name, c.type, Bytes(c.data), c.unicode, &line)) << c.line;
    EXPECT_EQ(line, c.line);
  }
  // Names that no import could give back.
  std::string line;
  EXPECT_FALSE(FormatValueLine("two\nlines", kRegSz, Bytes(Sz("x")), true, &line));
  EXPECT_FALSE(FormatValueLine("lone\xD5", kRegSz, Bytes(Sz("x")), true, &line));
  EXPECT_FALSE(FormatValueLine("lone\xD5", kRegSz, Bytes(Sz("x")), false, &line));
  EXPECT_FALSE(FormatValueLine("s", kRegSz, Bytes(Sz("lone\xD5")), true, &line));
}

class ExportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAnsiCodePage(936);
    fs.AddDrive('C', kDriveFixed);
    ASSERT_TRUE(fs.AddFolder("C:\\Program Files\\Tidewell\\RegBackup"));
  }
  // The file as lines (without the header's two lines' CR LF).
  RegFile Read(const std::string& path) {
    RegFile file;
    std::string error;
    EXPECT_TRUE(ParseRegFile(fs.Contents(path), &file, &error)) << error;
    return file;
  }
  long Remove(CRegExportFile& out, const std::string& location, ScanCategory category,
              const std::string& valueName = "") {
    RegistryFinding f;
    f.location = location;
    f.category = category;
    f.valueName = valueName;
    return ExportAndRemoveFinding(out, location, f);
  }

  CMemoryRegistry reg;
  CMemoryFileSystem fs;
  const std::string path = "C:\\Program Files\\Tidewell\\RegBackup\\b.reg";
};

TEST_F(ExportFile, AnsiFormLinesInOrder) {
  reg.SeedString(kHkeyCurrentUser, "Software\\T", "Path", "C:\\App\\\"x\"");
  reg.SeedString(kHkeyCurrentUser, "Software\\T", "", "abc");
  reg.SeedKey(kHkeyClassesRoot, "K\\S");
  reg.SeedDword(kHkeyClassesRoot, "K\\S", "one", 1);
  reg.Seed(kHkeyClassesRoot, "K\\S", "two", kRegBinary, std::string("\x01\x00\xff", 3));
  reg.SeedKey(kHkeyClassesRoot, "K\\Empty");
  CRegExportFile out(reg, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  ASSERT_EQ(out.WriteHeader(2), kErrorSuccess);
  EXPECT_FALSE(out.IsUnicode());
  EXPECT_EQ(Remove(out, "Software\\T", ScanCategory::kCurrentUser, "Path"), kErrorSuccess);
  EXPECT_EQ(Remove(out, "Software\\T", ScanCategory::kCurrentUser, ""), kErrorSuccess);
  EXPECT_EQ(Remove(out, "K", ScanCategory::kFileAssociations), kErrorSuccess);
  ASSERT_EQ(out.Close(), kErrorSuccess);
  const std::string expected =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\T]\r\n\"Path\"=\"C:\\\\App\\\\\\\"x\\\"\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\T]\r\n@=\"abc\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\K\\Empty]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\K\\S]\r\n\"one\"=dword:00000001\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\K\\S]\r\n\"two\"=hex:1,0,ff\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\K]\r\n\r\n";
  EXPECT_EQ(fs.Contents(path), expected);
  EXPECT_FALSE(reg.KeyExists(kHkeyClassesRoot, "K"));
  EXPECT_TRUE(reg.KeyExists(kHkeyCurrentUser, "Software\\T"));
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  RegKey t;
  ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "Software\\T", kKeyRead, &t), kErrorSuccess);
  EXPECT_NE(reg.QueryValue(t, "", &type, &data, kUnlimited), kErrorSuccess);
  EXPECT_NE(reg.QueryValue(t, "Path", &type, &data, kUnlimited), kErrorSuccess);
  reg.CloseKey(t);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(ExportFile, UnicodeFormIsUtf16WithByteOrderMark) {
  reg.Seed(kHkeyLocalMachine, "S\\" + kGbk, kGbk, kRegExpandSz, Sz("%A%" + kSeiYen));
  CRegExportFile out(reg, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  ASSERT_EQ(out.WriteHeader(0), kErrorSuccess);
  EXPECT_EQ(Remove(out, "S\\" + kGbk, ScanCategory::kLocalMachine, kGbk), kErrorSuccess);
  out.Close();
  const std::string bytes = fs.Contents(path);
  std::u16string expected = u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                            u"[HKEY_LOCAL_MACHINE\\S\\\u4E2D\u6587]\r\n"
                            u"\"\u4E2D\u6587\"=hex(2):25,0,41,0,25,0,a0,8a,0,0\r\n\r\n";
  std::string le;
  for (char16_t u : expected) {
    le += static_cast<char>(u & 0xFF);
    le += static_cast<char>(u >> 8);
  }
  EXPECT_EQ(bytes, le);
}

TEST_F(ExportFile, EveryRemovalComesBackOnImport) {
  std::string multi = std::string("one\0two\0", 8) + kGbk + std::string("\0\0", 2);
  std::string binary;
  for (int i = 0; i < 1000; ++i) binary += static_cast<char>(i * 7);
  const std::string longName(300, 'n');
  const std::string k = "Software\\Sandbox";
  for (std::uint32_t type = 0; type <= 11; ++type) {
    reg.Seed(kHkeyCurrentUser, k + "\\Types", "t" + std::to_string(type), type,
             type == kRegDword ? std::string("\x04\x03\x02\x01", 4) : Sz("v" + std::to_string(type)));
  }
  reg.Seed(kHkeyCurrentUser, k + "\\Types", "multi", kRegMultiSz, multi);
  reg.Seed(kHkeyCurrentUser, k + "\\Types", "bin", kRegBinary, binary);
  reg.Seed(kHkeyCurrentUser, k + "\\Types", "emptybin", kRegBinary, "");
  reg.SeedString(kHkeyCurrentUser, k + "\\Types", "emptysz", "");
  reg.Seed(kHkeyCurrentUser, k + "\\Types", "q", kRegQword, std::string("\xff\0\0\0\0\0\0\x80", 8));
  reg.SeedString(kHkeyCurrentUser, k + "\\Names", longName, std::string(700, 'd'));
  reg.SeedString(kHkeyCurrentUser, k + "\\Names", "a=b\"c\\d", kSeiYen + "\\\"");
  reg.SeedString(kHkeyCurrentUser, k + "\\Names", kSeiYen, "x");
  reg.SeedString(kHkeyCurrentUser, k + "\\Names", "", "default");
  reg.SeedString(kHkeyClassesRoot, "Sandbox\\Deep\\A\\B\\C", "v", "c");
  reg.SeedKey(kHkeyClassesRoot, "Sandbox\\Deep\\A\\Empty");
  reg.SeedString(kHkeyClassesRoot, "Sandbox\\Deep\\" + kSeiYen, kSeiYen, kSeiYen);
  reg.Seed(kHkeyClassesRoot, "Sandbox\\Deep", "q", kRegQword, std::string("\1\2\3\4\5\6\7\x8", 8));
  const std::string original = reg.Dump();

  for (int code : {0, 2}) {
    SCOPED_TRACE(code);
    const std::string file = path + std::to_string(code);
    CRegExportFile out(reg, fs);
    ASSERT_EQ(out.Open(file), kErrorSuccess);
    ASSERT_EQ(out.WriteHeader(code), kErrorSuccess);
    // One value at a time from Types and Names, whole keys for the rest.
    std::vector<std::string> names;
    RegKey key;
    for (const char* sub : {"\\Types", "\\Names"}) {
      ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, k + sub, kKeyRead, &key), kErrorSuccess);
      names.clear();
      std::string name;
      std::uint32_t type;
      std::vector<std::uint8_t> data;
      for (std::uint32_t i = 0;
           reg.EnumValue(key, i, &name, &type, &data, kUnlimited, kUnlimited) == kErrorSuccess; ++i) {
        names.push_back(name);
      }
      reg.CloseKey(key);
      for (const std::string& n : names) {
        EXPECT_EQ(Remove(out, k + sub, ScanCategory::kCurrentUser, n), kErrorSuccess) << n;
      }
    }
    EXPECT_EQ(Remove(out, "Sandbox\\Deep", ScanCategory::kComServers), kErrorSuccess);
    EXPECT_FALSE(reg.KeyExists(kHkeyClassesRoot, "Sandbox\\Deep"));
    ASSERT_EQ(out.Close(), kErrorSuccess);
    RegFile read = Read(file);
    test::ApplyRegFile(read, reg);
    EXPECT_EQ(reg.Dump(), original);
  }
}

TEST_F(ExportFile, WholeKeysComeBackOnImport) {
  std::string binary(1000, '\x5c');
  reg.Seed(kHkeyLocalMachine, std::string("SOFTWARE\\U\\") + kSeiYen + "\\x", "b", kRegBinary, binary);
  reg.Seed(kHkeyLocalMachine, "SOFTWARE\\U\\A", "m", kRegMultiSz, std::string("a\0b\0\0", 5));
  reg.SeedString(kHkeyLocalMachine, "SOFTWARE\\U", "", "top");
  reg.SeedString(kHkeyLocalMachine, "SOFTWARE\\Keep", "k", "stays");
  const std::string original = reg.Dump();
  for (int code : {-1, 3}) {
    const std::string file = path + std::to_string(code);
    CRegExportFile out(reg, fs);
    ASSERT_EQ(out.Open(file), kErrorSuccess);
    out.WriteHeader(code);
    EXPECT_EQ(Remove(out, "SOFTWARE\\U", ScanCategory::kUninstall), kErrorSuccess);
    out.Close();
    EXPECT_FALSE(reg.KeyExists(kHkeyLocalMachine, "SOFTWARE\\U"));
    EXPECT_TRUE(reg.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Keep"));
    test::ApplyRegFile(Read(file), reg);
    EXPECT_EQ(reg.Dump(), original);
  }
}

TEST_F(ExportFile, GoneKeyWritesNothingGoneValueWritesItsKeyLine) {
  reg.SeedKey(kHkeyCurrentUser, "Here");
  CRegExportFile out(reg, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  out.WriteHeader(4);
  EXPECT_EQ(Remove(out, "Gone", ScanCategory::kCurrentUser, "v"), kErrorFileNotFound);
  EXPECT_EQ(Remove(out, "CLSID\\{gone}", ScanCategory::kComServers), kErrorFileNotFound);
  EXPECT_EQ(Remove(out, "Here", ScanCategory::kCurrentUser, "v"), kErrorFileNotFound);
  out.Close();
  EXPECT_EQ(fs.Contents(path), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Here]\r\n");
  EXPECT_TRUE(reg.KeyExists(kHkeyCurrentUser, "Here"));
}

TEST_F(ExportFile, ValuesThatCannotBeWrittenStay) {
  reg.SeedString(kHkeyCurrentUser, "K", "bad\nname", "x");
  reg.SeedString(kHkeyCurrentUser, "K", "lone", "ends in a lead byte \xD5");
  reg.SeedString(kHkeyCurrentUser, "K\\Sub", "fine", "x");
  CRegExportFile out(reg, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  out.WriteHeader(0);
  EXPECT_NE(Remove(out, "K", ScanCategory::kCurrentUser, "bad\nname"), kErrorSuccess);
  EXPECT_NE(Remove(out, "K", ScanCategory::kCurrentUser, "lone"), kErrorSuccess);
  RegistryFinding whole;
  whole.category = ScanCategory::kFileAssociations;
  reg.SeedString(kHkeyClassesRoot, "C", "bad\nname", "x");
  reg.SeedString(kHkeyClassesRoot, "C\\Sub", "fine", "x");
  EXPECT_NE(ExportAndRemoveFinding(out, "C", whole), kErrorSuccess);
  out.Close();
  EXPECT_TRUE(reg.KeyExists(kHkeyCurrentUser, "K"));
  // The subkey went (its section is written); the key with the bad name stays.
  EXPECT_FALSE(reg.KeyExists(kHkeyClassesRoot, "C\\Sub"));
  EXPECT_TRUE(reg.KeyExists(kHkeyClassesRoot, "C"));
  RegKey k;
  ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "K", kKeyRead, &k), kErrorSuccess);
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(reg.QueryValue(k, "bad\nname", &type, &data, kUnlimited), kErrorSuccess);
  EXPECT_EQ(reg.QueryValue(k, "lone", &type, &data, kUnlimited), kErrorSuccess);
  reg.CloseKey(k);
}

TEST_F(ExportFile, ExportKeyChangesNothingAndNeverWritesAnEmptyStandIn) {
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{P}\\InprocServer32", "", "c:\\p.dll");
  reg.SeedString(kHkeyClassesRoot, "CLSID\\{P}", "", "Plugin");
  reg.SeedString(kHkeyCurrentUser, "Bar", "{P}", std::string(400, 'x'));
  CRegExportFile out(reg, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  out.WriteHeader(2);
  EXPECT_EQ(out.ExportKey(kHkeyClassesRoot, "CLSID\\{P}", "", false), kErrorSuccess);
  EXPECT_EQ(out.ExportKey(kHkeyClassesRoot, "CLSID\\{P}\\InprocServer32", "", true),
            kErrorSuccess);
  EXPECT_EQ(out.ExportKey(kHkeyCurrentUser, "Bar", "{P}", true), kErrorSuccess);
  EXPECT_EQ(out.ExportKey(kHkeyCurrentUser, "Bar", "missing", true), kErrorFileNotFound);
  EXPECT_EQ(out.ExportKey(kHkeyCurrentUser, "NoKey", "", false), kErrorFileNotFound);
  out.Close();
  const std::string expected = "REGEDIT4\r\n\r\n"
                               "[HKEY_CLASSES_ROOT\\CLSID\\{P}\\InprocServer32]\r\n@=\"c:\\\\p.dll\"\r\n\r\n"
                               "[HKEY_CLASSES_ROOT\\CLSID\\{P}]\r\n@=\"Plugin\"\r\n\r\n"
                               "[HKEY_CLASSES_ROOT\\CLSID\\{P}\\InprocServer32]\r\n@=\"c:\\\\p.dll\"\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Bar]\r\n\"{P}\"=\"" + std::string(400, 'x') +
                               "\"\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Bar]\r\n";
  EXPECT_EQ(fs.Contents(path), expected);
  EXPECT_TRUE(reg.KeyExists(kHkeyClassesRoot, "CLSID\\{P}\\InprocServer32"));
  // A default value written on its own keeps its data (a repair's backup).
  RegKey k = 0;
  ASSERT_EQ(reg.OpenKey(kHkeyClassesRoot, "CLSID\\{P}\\InprocServer32", kKeyRead, &k), kErrorSuccess);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(reg.QueryValue(k, "", &type, &data, kUnlimited), kErrorSuccess);
  reg.CloseKey(k);
  EXPECT_EQ(std::string(data.begin(), data.end()), Sz("c:\\p.dll"));
}

// Refuses removal of any key named "Stuck".
class CStubbornRegistry : public CMemoryRegistry {
 public:
  long DeleteOpenedKey(RegKey key) override {
    const std::string path = KeyPath(key);
    if (path.size() >= 5 && path.compare(path.size() - 5, 5, "Stuck") == 0) return kErrorAccessDenied;
    return CMemoryRegistry::DeleteOpenedKey(key);
  }
};

TEST_F(ExportFile, SubkeyThatCannotBeRemovedIsSteppedOver) {
  CStubbornRegistry stubborn;
  stubborn.SeedString(kHkeyClassesRoot, "T\\A", "a", "1");
  stubborn.SeedString(kHkeyClassesRoot, "T\\Stuck\\Inner", "s", "2");
  stubborn.SeedString(kHkeyClassesRoot, "T\\Z", "z", "3");
  stubborn.SeedString(kHkeyClassesRoot, "T", "t", "4");
  const std::string original = stubborn.Dump();
  CRegExportFile out(stubborn, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  out.WriteHeader(0);
  RegistryFinding f;
  f.category = ScanCategory::kTypeLibraries;
  EXPECT_NE(ExportAndRemoveFinding(out, "T", f), kErrorSuccess);
  out.Close();
  EXPECT_FALSE(stubborn.KeyExists(kHkeyClassesRoot, "T\\A"));
  EXPECT_FALSE(stubborn.KeyExists(kHkeyClassesRoot, "T\\Stuck\\Inner"));
  EXPECT_TRUE(stubborn.KeyExists(kHkeyClassesRoot, "T\\Stuck"));
  EXPECT_FALSE(stubborn.KeyExists(kHkeyClassesRoot, "T\\Z"));
  EXPECT_TRUE(stubborn.KeyExists(kHkeyClassesRoot, "T"));
  test::ApplyRegFile(Read(path), stubborn);
  EXPECT_EQ(stubborn.Dump(), original);
}

// Takes note, at the first change to the registry, of what of the backup
// had reached the disk by then; and reads every name beginning with "~" as
// a name the code page cannot hold, as the Win32 backend answers for one.
class CWatchingRegistry : public CMemoryRegistry {
 public:
  CWatchingRegistry(CMemoryFileSystem& fs, std::string path) : m_fs(fs), m_path(std::move(path)) {}
  long SetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                std::size_t size) override {
    Note();
    return CMemoryRegistry::SetValue(key, name, type, data, size);
  }
  long DeleteValue(RegKey key, const std::string& name) override {
    Note();
    return CMemoryRegistry::DeleteValue(key, name);
  }
  long DeleteKey(RegKey parent, const std::string& path, RegView view = RegView::kDefault) override {
    Note();
    return CMemoryRegistry::DeleteKey(parent, path, view);
  }
  long DeleteOpenedKey(RegKey key) override {
    Note();
    return CMemoryRegistry::DeleteOpenedKey(key);
  }
  long EnumKey(RegKey key, std::uint32_t index, std::string* name, std::size_t nameBuf) override {
    std::string n;
    const long rc = CMemoryRegistry::EnumKey(key, index, &n, nameBuf);
    if (rc == kErrorSuccess && n[0] == '~') return kErrorNoUnicodeTranslation;
    if (name) *name = n;
    return rc;
  }
  long EnumValue(RegKey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                 std::vector<std::uint8_t>* data, std::size_t nameBuf,
                 std::size_t dataBuf) override {
    std::string n;
    const long rc = CMemoryRegistry::EnumValue(key, index, &n, type, data, nameBuf, dataBuf);
    if (rc == kErrorSuccess && !n.empty() && n[0] == '~') return kErrorNoUnicodeTranslation;
    if (name) *name = n;
    return rc;
  }
  // Seeding counts as a change too: the test starts watching after it.
  void Watch() {
    changed = false;
    flushedAtFirstChange.clear();
  }
  bool changed = false;
  std::string flushedAtFirstChange;

 private:
  void Note() {
    if (changed) return;
    changed = true;
    flushedAtFirstChange = m_fs.FlushedContents(m_path);
  }
  CMemoryFileSystem& m_fs;
  std::string m_path;
};

// A removal follows its section onto the disk, in both modes; the rest of
// the file is flushed when it closes.
TEST_F(ExportFile, BackupReachesTheDiskBeforeTheFirstRemoval) {
  struct Case {
    ScanCategory category;
    const char* location;
    const char* value;
    const char* keyLine;
  };
  const Case cases[] = {
      {ScanCategory::kCurrentUser, "Software\\App", "Path", "[HKEY_CURRENT_USER\\Software\\App]"},
      {ScanCategory::kCurrentUser, "Software\\App", "", "[HKEY_CURRENT_USER\\Software\\App]"},
      {ScanCategory::kComServers, "CLSID\\{X}", "",
       "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{X}\\Inproc]"},
  };
  for (const Case& c : cases) {
    CWatchingRegistry watching(fs, path);
    watching.SeedString(kHkeyCurrentUser, "Software\\App", "Path", "C:\\gone\\a.exe");
    watching.SeedString(kHkeyCurrentUser, "Software\\App", "", "C:\\gone\\b.exe");
    watching.SeedString(kHkeyClassesRoot, "CLSID\\{X}\\Inproc", "", "C:\\gone\\x.dll");
    fs.DeleteFile(path);
    watching.Watch();
    CRegExportFile out(watching, fs);
    ASSERT_EQ(out.Open(path), kErrorSuccess);
    ASSERT_EQ(out.WriteHeader(2), kErrorSuccess);
    EXPECT_EQ(Remove(out, c.location, c.category, c.value), kErrorSuccess) << c.keyLine;
    EXPECT_TRUE(watching.changed);
    EXPECT_NE(watching.flushedAtFirstChange.find(c.keyLine), std::string::npos)
        << c.keyLine << " " << c.value << "\nflushed:\n" << watching.flushedAtFirstChange;
    EXPECT_EQ(Remove(out, "Software\\App", ScanCategory::kCurrentUser, "Path"),
              c.value[0] ? kErrorFileNotFound : kErrorSuccess);
    EXPECT_EQ(out.Close(), kErrorSuccess);
    EXPECT_EQ(fs.FlushedContents(path), fs.Contents(path));
  }
}

// A key with a name or text the code page cannot hold anywhere in its tree
// is neither written nor removed, whoever asks; its neighbours still go.
TEST_F(ExportFile, KeysHoldingForeignNamesStayWholeAndUnwritten) {
  CWatchingRegistry watching(fs, path);
  watching.SeedString(kHkeyClassesRoot, "CLSID\\{A}\\InprocServer32", "", "C:\\gone\\a.dll");
  watching.SeedString(kHkeyClassesRoot, "CLSID\\{A}", "~hangul", "text");
  watching.SeedString(kHkeyClassesRoot, "CLSID\\{B}\\InprocServer32", "", "C:\\gone\\b.dll");
  watching.SeedString(kHkeyClassesRoot, "CLSID\\{B}\\Deep\\~hangul", "v", "1");
  watching.SeedString(kHkeyClassesRoot, "CLSID\\{C}\\InprocServer32", "", "C:\\gone\\c.dll");
  const std::string original = watching.Dump();
  watching.Watch();
  CRegExportFile out(watching, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  ASSERT_EQ(out.WriteHeader(2), kErrorSuccess);
  EXPECT_EQ(Remove(out, "CLSID\\{A}", ScanCategory::kComServers), kErrorNoUnicodeTranslation);
  EXPECT_EQ(Remove(out, "CLSID\\{B}", ScanCategory::kComServers), kErrorNoUnicodeTranslation);
  EXPECT_EQ(out.ExportKey(kHkeyClassesRoot, "CLSID\\{B}", "", false), kErrorNoUnicodeTranslation);
  EXPECT_EQ(fs.Contents(path), "REGEDIT4\r\n\r\n");
  EXPECT_FALSE(watching.changed);
  EXPECT_EQ(watching.Dump(), original);
  EXPECT_EQ(Remove(out, "CLSID\\{C}", ScanCategory::kComServers), kErrorSuccess);
  EXPECT_FALSE(watching.KeyExists(kHkeyClassesRoot, "CLSID\\{C}"));
  out.Close();
}

// The disk runs full, and the partial section cannot be cut off again
// either: the writer says so, and the deletion passes it on.
TEST_F(ExportFile, AFailedCutBackIsReported) {
  reg.SeedString(kHkeyCurrentUser, "Software\\App", "Path", "C:\\gone\\a.exe");
  for (bool cutFails : {false, true}) {
    fs.DeleteFile(path);
    CRegExportFile out(reg, fs);
    ASSERT_EQ(out.Open(path), kErrorSuccess);
    ASSERT_EQ(out.WriteHeader(0), kErrorSuccess);
    // The next write fails; with cutFails every later file call too.
    fs.Faults().FailCall(1, kErrorHandleDiskFull, true, cutFails);
    EXPECT_EQ(Remove(out, "Software\\App", ScanCategory::kCurrentUser, "Path"),
              kErrorHandleDiskFull);
    fs.Faults().Clear();
    EXPECT_EQ(out.WriteError(), kErrorHandleDiskFull);
    EXPECT_EQ(out.CutBackFailed(), cutFails);
    out.Close();
  }
  EXPECT_TRUE(reg.KeyExists(kHkeyCurrentUser, "Software\\App"));
}

// Notes the most handles open at once.
class CHandleCountingRegistry : public CMemoryRegistry {
 public:
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
              RegView view = RegView::kDefault) override {
    const long rc = CMemoryRegistry::OpenKey(parent, path, access, out, view);
    maxOpen = std::max(maxOpen, OpenHandleCount());
    return rc;
  }
  std::size_t maxOpen = 0;
};

TEST_F(ExportFile, HoldsOneKeyOpenPerLevel) {
  CHandleCountingRegistry counting;
  counting.SeedString(kHkeyClassesRoot, "L1\\L2\\L3\\L4", "v", "x");
  counting.SeedString(kHkeyClassesRoot, "L1\\L2\\M3", "v", "x");
  CRegExportFile out(counting, fs);
  ASSERT_EQ(out.Open(path), kErrorSuccess);
  out.WriteHeader(0);
  RegistryFinding f;
  f.category = ScanCategory::kFileAssociations;
  EXPECT_EQ(ExportAndRemoveFinding(out, "L1", f), kErrorSuccess);
  out.Close();
  EXPECT_EQ(counting.maxOpen, 4u);
  EXPECT_EQ(counting.OpenHandleCount(), 0u);
}

TEST_F(ExportFile, BackupNamesNeverReplaceAnEarlierFile) {
  SystemTime t;
  t.wYear = 2024;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 9;
  t.wMinute = 5;
  t.wSecond = 2;
  const std::string name = MakeBackupFileName(fs, t);
  EXPECT_EQ(name, "C:\\Program Files\\Tidewell\\RegBackup\\2024_3_7_9_5_2.reg");
  std::string first, second;
  CRegExportFile a(reg, fs), b(reg, fs);
  ASSERT_EQ(a.OpenNew(name, &first), kErrorSuccess);
  a.WriteHeader(2);
  a.Close();
  ASSERT_EQ(b.OpenNew(name, &second), kErrorSuccess);
  b.WriteHeader(0);
  b.Close();
  EXPECT_EQ(first, name);
  EXPECT_EQ(second, "C:\\Program Files\\Tidewell\\RegBackup\\2024_3_7_9_5_2-2.reg");
  EXPECT_EQ(fs.Contents(first), "REGEDIT4\r\n\r\n");
  CRegExportFile c(reg, fs);
  EXPECT_EQ(c.Open(name), kErrorFileExists);
  EXPECT_EQ(fs.Contents(first), "REGEDIT4\r\n\r\n");
  // No folder: the error of the file layer, nothing else.
  CRegExportFile d(reg, fs);
  EXPECT_NE(d.OpenNew("C:\\NoFolder\\x.reg", &first), kErrorSuccess);
}

}  // namespace
}  // namespace tw
