#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_cleaner/registry_row_store.h"

namespace {

using tw::RegistryRow;

bool Same(const RegistryRow& a, const RegistryRow& b) {
  return a.location == b.location && a.description == b.description && a.valueName == b.valueName &&
         a.category == b.category && a.checked == b.checked && a.classesHive == b.classesHive;
}

std::string Show(const RegistryRow& r) {
  return "{" + r.location + " | " + r.description + " | " + r.valueName + " | " +
         std::to_string(r.category) + (r.checked ? " ticked" : "") + " hive " +
         std::to_string(r.classesHive) + "}";
}

std::vector<RegistryRow> All(const tw::CRegistryRowStore& store) {
  std::vector<RegistryRow> out;
  for (std::size_t i = 0; i < store.Size(); ++i) out.push_back(store.Row(i));
  return out;
}

void ExpectRows(const tw::CRegistryRowStore& store, const std::vector<RegistryRow>& want) {
  const std::vector<RegistryRow> got = All(store);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_TRUE(Same(got[i], want[i]))
        << "row " << i << ": " << Show(got[i]) << " wanted " << Show(want[i]);
    std::string cell;
    store.Text(i, 0, &cell);
    EXPECT_EQ(cell, want[i].location);
    store.Text(i, 1, &cell);
    EXPECT_EQ(cell, want[i].description);
    store.Text(i, 2, &cell);
    EXPECT_EQ(cell, want[i].valueName);
  }
}

const tw::ScanTexts kTexts;

// Rows of every kind of text, neighbours sharing keys, the hives and ticks
// mixed.
std::vector<RegistryRow> Mixed() {
  const std::string path = kTexts.invalidPath;
  const std::string longText(70000, 'x');
  return {
      {"Software\\App", path + "c:\\gone\\a.dll", "A", 0, false, 0},
      {"Software\\App", path + "c:\\gone\\b.dll", "B", 0, true, 0},
      {"Software\\App", path, "", 1, false, 0},  // the prefix with nothing after it
      {"Software\\Other", kTexts.invalidUninstall, "", 6, true, tw::kHkeyLocalMachine},
      {".tw", kTexts.invalidAssociation, "", 9, false, tw::kHkeyCurrentUser},
      {".tw", kTexts.invalidAssociation + "!", "", 9, false, tw::kHkeyCurrentUser},
      {"", "", "", 8, false, tw::kHkeyLocalMachine},  // empty key, then a key at the same place
      {"K", path.substr(0, path.size() - 1) + "c:\\x", "", 2, false, 0},  // almost the prefix
      {"K\\" + longText, path + longText, longText, 4, true, tw::kHkeyCurrentUser},
      {"Software\\App", "", "v", 0, false, 0},  // a key met again after others
  };
}

TEST(RegistryRowStore, EveryTextComesBackExactly) {
  struct Case {
    const char* name;
    std::vector<RegistryRow> rows;
  };
  const std::vector<Case> cases = {
      {"none", {}},
      {"one", {Mixed()[0]}},
      {"every kind", Mixed()},
      {"an empty key first", {{"", "d", "", 0, false, 0}, {"Software", "d", "", 0, false, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tw::CRegistryRowStore store;
    for (const RegistryRow& r : c.rows) store.Append(r);
    EXPECT_EQ(store.Size(), c.rows.size());
    EXPECT_EQ(store.Empty(), c.rows.empty());
    ExpectRows(store, c.rows);
  }
}

TEST(RegistryRowStore, ErasingASetOfRowsKeepsTheRestWithTheirTicks) {
  struct Case {
    const char* name;
    std::vector<std::size_t> gone;
  };
  const std::vector<Case> cases = {
      {"nothing", {}},
      {"the first, which holds the shared key", {0}},
      {"the first two of three sharing a key", {0, 1}},
      {"every other row", {0, 2, 4, 6, 8}},
      {"the empty key", {6}},
      {"the long row and the last", {8, 9}},
      {"all", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tw::CRegistryRowStore store;
    std::vector<RegistryRow> want;
    const std::vector<RegistryRow> rows = Mixed();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      store.Append(rows[i]);
      bool goes = false;
      for (std::size_t g : c.gone) goes = goes || g == i;
      if (!goes) want.push_back(rows[i]);
    }
    store.Erase(c.gone);
    ExpectRows(store, want);
    // What stays takes new rows and loses more as before.
    store.Append(rows[1]);
    want.push_back(rows[1]);
    ExpectRows(store, want);
    store.Erase(std::vector<std::size_t>{0});
    want.erase(want.begin());
    ExpectRows(store, want);
  }
}

TEST(RegistryRowStore, ABlockTakenJoinsTheRowsInOrder) {
  struct Case {
    const char* name;
    std::size_t before;  // rows of Mixed() already held
    tw::ScanTexts blockTexts;
  };
  tw::ScanTexts english;
  english.invalidPath = "Invalid path:  ";
  english.invalidUninstall = "Invalid uninstall entry";
  const std::vector<Case> cases = {
      {"into an empty store", 0, kTexts},
      {"behind rows", 4, kTexts},
      {"of other texts", 4, english},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<RegistryRow> rows = Mixed();
    tw::CRegistryRowStore store;
    tw::CRegistryRowStore block(c.blockTexts);
    std::vector<RegistryRow> want;
    for (std::size_t i = 0; i < c.before; ++i) store.Append(rows[i]);
    for (const RegistryRow& r : rows) block.Append(r);
    for (std::size_t i = 0; i < c.before; ++i) want.push_back(rows[i]);
    for (const RegistryRow& r : rows) want.push_back(r);
    store.Take(&block);
    EXPECT_TRUE(block.Empty());
    ExpectRows(store, want);
    // The emptied block fills again and is taken again.
    block.Append(rows[1]);
    want.push_back(rows[1]);
    store.Take(&block);
    ExpectRows(store, want);
  }
}

TEST(RegistryRowStore, TicksAreTheRowsOwn) {
  tw::CRegistryRowStore store;
  for (const RegistryRow& r : Mixed()) store.Append(r);
  EXPECT_TRUE(store.AnyChecked());
  for (std::size_t i = 0; i < store.Size(); ++i) store.SetChecked(i, false);
  EXPECT_FALSE(store.AnyChecked());
  store.SetChecked(5, true);
  EXPECT_TRUE(store.Checked(5));
  EXPECT_FALSE(store.Checked(4));
  store.Erase(std::vector<std::size_t>{0, 1});
  EXPECT_TRUE(store.Checked(3));
  EXPECT_EQ(store.Location(3), ".tw");
  store.Clear();
  EXPECT_FALSE(store.AnyChecked());
  EXPECT_TRUE(store.Empty());
}

}  // namespace
