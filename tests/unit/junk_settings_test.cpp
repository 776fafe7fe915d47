// "File.ini" in and out: one table of files and what they load to (and, for
// files the program wrote, that saving gives the same bytes), then the save
// that must never leave the file half-written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "junk_files/junk_settings.h"
#include "platform/memory/memory_file_system.h"

namespace tw {
namespace {

using Types = std::vector<FileTypeEntry>;

struct IniCase {
  const char* what;
  std::string file;
  JunkCleanSettings settings;  // expected; the folder "DEFAULT" stays when none is read
  Types types;
  bool savesSameBytes;
};

JunkCleanSettings S(int mode, int ie, int temp, const std::string& folder) {
  return JunkCleanSettings{mode, ie, temp, folder};
}

const IniCase kIniCases[] = {
    {"no lines at all", "", S(0, 0, 1, "DEFAULT"), {}, false},
    {"exactly four lines", "1\r\n1\r\n0\r\nD:\\Keep\r\n", S(1, 1, 0, "D:\\Keep"), {}, true},
    {"two types",
     "2\r\n0\r\n1\r\nD:\\Keep\r\n1\r\n*.tmp\r\nTemp files\r\n0\r\n~*\r\n\r\n",
     S(2, 0, 1, "D:\\Keep"),
     {{"*.tmp", "Temp files", true}, {"~*", "", false}},
     true},
    {"a record cut short",
     "0\r\n0\r\n1\r\nD:\\K\r\n1\r\n*.bak", S(0, 0, 1, "D:\\K"), {{"*.bak", "", true}}, false},
    {"an empty tick line drops the rest",
     "0\r\n0\r\n1\r\nD:\\K\r\n1\r\n*.a\r\nA\r\n\r\n1\r\n*.b\r\nB\r\n",
     S(0, 0, 1, "D:\\K"),
     {{"*.a", "A", true}},
     false},
    {"a blank line 4 keeps the default", "1\r\n0\r\n1\r\n   \r\n", S(1, 0, 1, "DEFAULT"), {},
     false},
    {"blanks around the folder", "0\r\n0\r\n0\r\n  D:\\Sp ace  \r\n", S(0, 0, 0, "D:\\Sp ace"),
     {}, false},
    {"numbers as atoi reads them", " -3x\r\nabc\r\n+7\r\nD:\\K\r\nyes\r\n*.x\r\n\r\n12\r\n*.y\r\nY",
     S(-3, 0, 7, "D:\\K"),
     {{"*.x", "", false}, {"*.y", "Y", true}},
     false},
    {"lines ended by LF only", "1\n0\n0\nD:\\K\n1\n*.tmp\nT\n", S(1, 0, 0, "D:\\K"),
     {{"*.tmp", "T", true}}, false},
    {"double-byte texts", "0\r\n0\r\n1\r\nD:\\\xB1\xB8\xB7\xDD\r\n1\r\n*.\xB0\x5C\r\n\xC1\xD9\xCA\xB1\r\n",
     S(0, 0, 1, "D:\\\xB1\xB8\xB7\xDD"),
     {{"*.\xB0\x5C", "\xC1\xD9\xCA\xB1", true}},
     true},
};

TEST(JunkSettings, FileIniTable) {
  for (const IniCase& c : kIniCases) {
    JunkCleanSettings s;
    s.backupFolder = "DEFAULT";
    Types types;
    ParseFileIni(c.file, &s, &types);
    EXPECT_EQ(s.deleteMode, c.settings.deleteMode) << c.what;
    EXPECT_EQ(s.cleanIeCache, c.settings.cleanIeCache) << c.what;
    EXPECT_EQ(s.cleanSystemTemp, c.settings.cleanSystemTemp) << c.what;
    EXPECT_EQ(s.backupFolder, c.settings.backupFolder) << c.what;
    EXPECT_EQ(types, c.types) << c.what;
    if (c.savesSameBytes) {
      EXPECT_EQ(FormatFileIni(s, types), c.file) << c.what;
    }
  }
}

class JunkSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDrive('C', kDriveFixed);
    fs.AddFolder("C:\\Program Files\\Tidewell");
  }
  CMemoryFileSystem fs;
  const std::string path = "C:\\Program Files\\Tidewell\\File.ini";
  const std::string old = "1\r\n0\r\n1\r\nC:\\Old\r\n1\r\n*.old\r\n\r\n";
};

TEST_F(JunkSettingsFile, LoadsWhatItSaved) {
  JunkCleanSettings s;
  Types types;
  EXPECT_EQ(LoadFileIni(fs, path, &s, &types), IniLoad::kNoFile);
  EXPECT_EQ(DefaultBackupFolder(fs), "C:\\Program Files\\Tidewell\\FileBackup");
  s = S(2, 1, 0, "D:\\Backup");
  const Types saved = {{"*.tmp", "Temp", true}, {"*.bak", "", false}};
  ASSERT_EQ(SaveFileIni(fs, path, s, saved), 0) << fs.Dump();
  JunkCleanSettings back;
  Types loaded;
  EXPECT_EQ(LoadFileIni(fs, path, &back, &loaded), IniLoad::kLoaded);
  EXPECT_EQ(back.deleteMode, 2);
  EXPECT_EQ(back.backupFolder, "D:\\Backup");
  EXPECT_EQ(loaded, saved);
  EXPECT_FALSE(fs.Exists(path + ".new")) << fs.Dump();
}

TEST_F(JunkSettingsFile, AFailedSaveKeepsThePreviousFile) {
  ASSERT_TRUE(fs.AddFile(path, old));
  const Types types = {{"*.tmp", std::string(5000, 'x'), true}};
  // The disk runs full half-way through the new file.
  fs.SetWriteLimit(100);
  EXPECT_NE(SaveFileIni(fs, path, S(0, 0, 1, "C:\\New"), types), 0);
  fs.SetWriteLimit(CMemoryFileSystem::Unlimited());
  EXPECT_EQ(fs.Contents(path), old) << fs.Dump();
  EXPECT_FALSE(fs.Exists(path + ".new")) << fs.Dump();
  // Nor does a file held open by someone else get half of the new text.
  ASSERT_TRUE(fs.SetInUse(path, true));
  EXPECT_NE(SaveFileIni(fs, path, S(0, 0, 1, "C:\\New"), {}), 0);
  ASSERT_TRUE(fs.SetInUse(path, false));
  EXPECT_EQ(fs.Contents(path), old) << fs.Dump();
  EXPECT_FALSE(fs.Exists(path + ".new")) << fs.Dump();
}

// A folder that cannot be listed may hold the file: that is no "no file",
// or the defaults would be saved over it at exit.
TEST_F(JunkSettingsFile, AnUnlistableFolderIsNotAMissingFile) {
  ASSERT_TRUE(fs.AddFile(path, old));
  JunkCleanSettings s;
  Types types;
  fs.Faults().FailCall(1, kErrorAccessDenied);
  EXPECT_EQ(LoadFileIni(fs, path, &s, &types), IniLoad::kUnreadable);
  fs.Faults().Clear();
  EXPECT_EQ(LoadFileIni(fs, path + "x", &s, &types), IniLoad::kNoFile);
}

}  // namespace
}  // namespace tw
