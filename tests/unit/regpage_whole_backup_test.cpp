#include <gtest/gtest.h>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_shell.h"
#include "platform/text.h"
#include "registry_cleaner/whole_registry_backup.h"

namespace {

class WholeRegistryBackup : public ::testing::Test {
 protected:
  void SetUp() override {
    tw::SetAnsiCodePage(936);
    fs.AddDrive('C', tw::kDriveFixed);
    fs.AddDrive('D', tw::kDriveFixed);
    fs.SetWindowsDirectory("C:\\windows");
    fs.AddFile("C:\\windows\\regedit.exe");
    fs.AddFolder("D:\\My Backups");
  }
  tw::CMemoryFileSystem fs;
  tw::CMemoryShell shell{fs};
  tw::CWholeRegistryBackup backup{fs, shell};
};

TEST_F(WholeRegistryBackup, ExportsIntoTheEmptiedFileByItsShortName) {
  fs.AddFile("D:\\My Backups\\full reg.reg", "old contents");
  ASSERT_TRUE(backup.Backup("D:\\My Backups\\full reg.reg"));
  EXPECT_TRUE(fs.Exists("D:\\My Backups\\full reg.reg"));
  EXPECT_EQ(fs.Contents("D:\\My Backups\\full reg.reg"), "");
  const auto started = shell.Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].verb, "open");
  EXPECT_EQ(started[0].file, "C:\\windows\\regedit.exe");
  EXPECT_EQ(started[0].show, tw::kSwHide);
  EXPECT_EQ(started[0].parameters, " /e  D:\\MYBACK~1\\FULLRE~1.REG");
}

TEST_F(WholeRegistryBackup, CommandLinesKeepAPathWholeAndImportForReal) {
  struct Case {
    const char* path;
    const char* exportParams;
    const char* importParams;
  };
  const Case cases[] = {
      {"D:\\BACKUP.REG", " /e  D:\\BACKUP.REG", "/s \"D:\\BACKUP.REG\""},
      // No short form (short names switched off): the long path is quoted.
      {"D:\\My Backups\\full reg.reg", " /e  \"D:\\My Backups\\full reg.reg\"",
       "/s \"D:\\My Backups\\full reg.reg\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tw::CWholeRegistryBackup::ExportParameters(c.path), c.exportParams);
    EXPECT_EQ(tw::CWholeRegistryBackup::ImportParameters(c.path), c.importParams);
  }
  EXPECT_EQ(backup.ToShortPath("D:\\Missing file.reg"), "D:\\Missing file.reg");
}

TEST_F(WholeRegistryBackup, RestoreStartsTheImportOnlyForAReadableFile) {
  fs.AddFile("D:\\My Backups\\2024_3_7_9_5_2.reg", "REGEDIT4\r\n");
  EXPECT_FALSE(backup.Restore("D:\\My Backups\\missing.reg"));
  EXPECT_FALSE(backup.Restore("D:\\My Backups"));
  EXPECT_FALSE(backup.Restore(""));
  EXPECT_TRUE(shell.Started().empty());
  ASSERT_TRUE(backup.Restore("D:\\My Backups\\2024_3_7_9_5_2.reg"));
  const auto started = shell.Started();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].file, "C:\\windows\\regedit.exe");
  EXPECT_EQ(started[0].parameters, "/s \"D:\\My Backups\\2024_3_7_9_5_2.reg\"");
  EXPECT_EQ(started[0].show, tw::kSwHide);
}

TEST_F(WholeRegistryBackup, AFileThatCannotBeCreatedStartsNothing) {
  EXPECT_FALSE(backup.Backup("Q:\\nowhere\\backup.reg"));
  EXPECT_FALSE(backup.Backup(""));
  EXPECT_TRUE(shell.Started().empty());
}

}  // namespace
