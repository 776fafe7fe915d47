#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "registry_cleaner/registry_deletion.h"

namespace {

using Outcome = tw::CRegistryDeletion::Outcome;

std::vector<tw::RegistryRow> TenRows() {
  std::vector<tw::RegistryRow> rows;
  const int categories[] = {0, 1, 2, 8, 4, 5, 6, 9, 0, 1};
  for (int i = 0; i < 10; ++i) {
    rows.push_back({"Key" + std::to_string(i), "d", "", categories[i], false});
  }
  return rows;
}

tw::CRegistryRowStore Store(const std::vector<tw::RegistryRow>& rows) {
  tw::CRegistryRowStore store;
  for (const auto& r : rows) store.Append(r);
  return store;
}

std::vector<std::string> Locations(const tw::CRegistryRowStore& rows) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < rows.Size(); ++i) out.push_back(rows.Row(i).location);
  return out;
}

TEST(RegistryDeletion, DeletesExactlyTheCheckedRowsInOrder) {
  auto ten = TenRows();
  ten[1].checked = ten[4].checked = ten[9].checked = true;
  auto rows = Store(ten);
  std::vector<std::string> exported, progress;
  tw::CRegistryDeletion deletion(
      [&](const tw::RegistryRow& r) {
        exported.push_back(r.location);
        return Outcome::kRemoved;
      },
      [&](const std::string& key) { progress.push_back(key); });
  long found = 10, deleted = 4;
  EXPECT_EQ(deletion.Delete(&rows, false, &found, &deleted), 3);
  EXPECT_EQ(found, 7);
  EXPECT_EQ(deleted, 7);
  EXPECT_EQ(exported, (std::vector<std::string>{"Key1", "Key4", "Key9"}));
  EXPECT_EQ(progress, (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Key1",
                                                "HKEY_LOCAL_MACHINE\\Software\\Classes\\Key4",
                                                "HKEY_LOCAL_MACHINE\\Key9"}));
  EXPECT_EQ(Locations(rows), (std::vector<std::string>{"Key0", "Key2", "Key3", "Key5", "Key6",
                                                       "Key7", "Key8"}));
}

TEST(RegistryDeletion, AllTakesEveryRowWhetherCheckedOrNot) {
  auto ten = TenRows();
  ten[3].checked = true;
  auto rows = Store(ten);
  std::vector<std::string> progress;
  tw::CRegistryDeletion deletion([](const tw::RegistryRow&) { return Outcome::kRemoved; },
                                 [&](const std::string& key) { progress.push_back(key); });
  long found = 10, deleted = 0;
  EXPECT_EQ(deletion.Delete(&rows, true, &found, &deleted), 10);
  EXPECT_TRUE(rows.Empty());
  EXPECT_EQ(found, 0);
  EXPECT_EQ(deleted, 10);
  EXPECT_EQ(progress.front(), "HKEY_CURRENT_USER\\Key0");
  EXPECT_EQ(progress[2], "HKEY_USERS\\Key2");
}

TEST(RegistryDeletion, AWriteFailureStopsBeforeRemovingMore) {
  auto ten = TenRows();
  for (auto& r : ten) r.checked = true;
  auto rows = Store(ten);
  int calls = 0;
  tw::CRegistryDeletion deletion(
      [&](const tw::RegistryRow&) { return ++calls <= 2 ? Outcome::kRemoved : Outcome::kStop; },
      {});
  long found = 10, deleted = 0;
  EXPECT_EQ(deletion.Delete(&rows, false, &found, &deleted), 2);
  EXPECT_EQ(calls, 3);  // the third could not be written: nothing after it is tried
  EXPECT_EQ(rows.Size(), 8u);
  EXPECT_EQ(rows.Row(0).location, "Key2");
  EXPECT_EQ(found, 8);
  EXPECT_EQ(deleted, 2);
}

TEST(RegistryDeletion, AnEntryThatStaysKeepsItsRow) {
  auto ten = TenRows();
  ten[2].checked = ten[3].checked = ten[4].checked = true;
  auto rows = Store(ten);
  tw::CRegistryDeletion deletion(
      [&](const tw::RegistryRow& r) {
        return r.location == "Key3" ? Outcome::kKept : Outcome::kRemoved;
      },
      {});
  long found = 10, deleted = 0;
  EXPECT_EQ(deletion.Delete(&rows, false, &found, &deleted), 2);
  EXPECT_EQ(Locations(rows), (std::vector<std::string>{"Key0", "Key1", "Key3", "Key5", "Key6",
                                                       "Key7", "Key8", "Key9"}));
  EXPECT_TRUE(rows.Checked(2));
  EXPECT_EQ(found, 8);
  EXPECT_EQ(deleted, 2);
}

TEST(RegistryDeletion, NothingCheckedMeansNothingDone) {
  auto rows = Store(TenRows());
  EXPECT_FALSE(tw::CRegistryDeletion::AnyChecked(rows));
  rows.SetChecked(7, true);
  EXPECT_TRUE(tw::CRegistryDeletion::AnyChecked(rows));
  EXPECT_FALSE(tw::CRegistryDeletion::AnyChecked(tw::CRegistryRowStore()));
}

// The disk runs full in the middle of the second section: the deletion stops
// there and says why, the rows and values not written stay, and the file
// keeps only whole sections.
TEST(RegistryDeletion, ABackupThatStopsTakingWritesMidwayEndsWithItsError) {
  tw::SetAnsiCodePage(936);
  tw::CMemoryRegistry reg;
  tw::CMemoryFileSystem fs;
  fs.AddDrive('C', tw::kDriveFixed);
  fs.AddFolder("C:\\RegBackup");
  tw::CRegistryRowStore rows;
  for (const char* name : {"A", "B", "C"}) {
    reg.SeedString(tw::kHkeyCurrentUser, "Software\\App", name, "C:\\gone\\x.exe");
    rows.Append({"Software\\App", "d", name, 0, true});
  }
  const std::string header = "REGEDIT4\r\n\r\n";
  const std::string sectionA =
      "[HKEY_CURRENT_USER\\Software\\App]\r\n\"A\"=\"C:\\\\gone\\\\x.exe\"\r\n\r\n";
  fs.SetWriteLimit(header.size() + sectionA.size() + 20);

  long found = 3, deleted = 0;
  const tw::BackupDeletionResult result = tw::DeleteWithBackup(
      reg, fs, "C:\\RegBackup\\b.reg", 2, &rows, false, &found, &deleted, {});
  fs.SetWriteLimit(tw::CMemoryFileSystem::Unlimited());
  EXPECT_EQ(result.error, tw::kErrorHandleDiskFull);
  EXPECT_EQ(result.count, 1);
  EXPECT_EQ(found, 2);
  EXPECT_EQ(deleted, 1);
  ASSERT_EQ(rows.Size(), 2u);
  EXPECT_EQ(rows.Row(0).valueName, "B");
  EXPECT_EQ(result.file, "C:\\RegBackup\\b.reg");
  EXPECT_EQ(fs.Contents(result.file), header + sectionA);
  tw::RegKey key = 0;
  ASSERT_EQ(reg.OpenKey(tw::kHkeyCurrentUser, "Software\\App", tw::kKeyRead, &key), 0);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_NE(reg.QueryValue(key, "A", &type, &data, tw::kUnlimited), 0);
  EXPECT_EQ(reg.QueryValue(key, "B", &type, &data, tw::kUnlimited), 0);
  EXPECT_EQ(reg.QueryValue(key, "C", &type, &data, tw::kUnlimited), 0);
  reg.CloseKey(key);
}

}  // namespace
