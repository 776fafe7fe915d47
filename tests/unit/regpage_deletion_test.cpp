#include <gtest/gtest.h>

#include <string>
#include <vector>

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

std::vector<std::string> Locations(const std::vector<tw::RegistryRow>& rows) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.location);
  return out;
}

TEST(RegistryDeletion, DeletesExactlyTheCheckedRowsInOrder) {
  auto rows = TenRows();
  rows[1].checked = rows[4].checked = rows[9].checked = true;
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
                                                "HKEY_CLASSES_ROOT\\Key4",
                                                "HKEY_LOCAL_MACHINE\\Key9"}));
  EXPECT_EQ(Locations(rows), (std::vector<std::string>{"Key0", "Key2", "Key3", "Key5", "Key6",
                                                       "Key7", "Key8"}));
}

TEST(RegistryDeletion, AllTakesEveryRowWhetherCheckedOrNot) {
  auto rows = TenRows();
  rows[3].checked = true;
  std::vector<std::string> progress;
  tw::CRegistryDeletion deletion([](const tw::RegistryRow&) { return Outcome::kRemoved; },
                                 [&](const std::string& key) { progress.push_back(key); });
  long found = 10, deleted = 0;
  EXPECT_EQ(deletion.Delete(&rows, true, &found, &deleted), 10);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(found, 0);
  EXPECT_EQ(deleted, 10);
  EXPECT_EQ(progress.front(), "HKEY_CURRENT_USER\\Key0");
  EXPECT_EQ(progress[2], "HKEY_USERS\\Key2");
}

TEST(RegistryDeletion, AWriteFailureStopsBeforeRemovingMore) {
  auto rows = TenRows();
  for (auto& r : rows) r.checked = true;
  int calls = 0;
  tw::CRegistryDeletion deletion(
      [&](const tw::RegistryRow&) { return ++calls <= 2 ? Outcome::kRemoved : Outcome::kStop; },
      {});
  long found = 10, deleted = 0;
  EXPECT_EQ(deletion.Delete(&rows, false, &found, &deleted), 2);
  EXPECT_EQ(calls, 3);  // the third could not be written: nothing after it is tried
  EXPECT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.front().location, "Key2");
  EXPECT_EQ(found, 8);
  EXPECT_EQ(deleted, 2);
}

TEST(RegistryDeletion, AnEntryThatStaysKeepsItsRow) {
  auto rows = TenRows();
  rows[2].checked = rows[3].checked = rows[4].checked = true;
  tw::CRegistryDeletion deletion(
      [&](const tw::RegistryRow& r) {
        return r.location == "Key3" ? Outcome::kKept : Outcome::kRemoved;
      },
      {});
  long found = 10, deleted = 0;
  EXPECT_EQ(deletion.Delete(&rows, false, &found, &deleted), 2);
  EXPECT_EQ(Locations(rows), (std::vector<std::string>{"Key0", "Key1", "Key3", "Key5", "Key6",
                                                       "Key7", "Key8", "Key9"}));
  EXPECT_TRUE(rows[2].checked);
  EXPECT_EQ(found, 8);
  EXPECT_EQ(deleted, 2);
}

TEST(RegistryDeletion, NothingCheckedMeansNothingDone) {
  auto rows = TenRows();
  EXPECT_FALSE(tw::CRegistryDeletion::AnyChecked(rows));
  rows[7].checked = true;
  EXPECT_TRUE(tw::CRegistryDeletion::AnyChecked(rows));
  EXPECT_FALSE(tw::CRegistryDeletion::AnyChecked({}));
}

}  // namespace
