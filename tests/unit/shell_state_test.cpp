#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/scan_status.h"
#include "app/shell_settings.h"
#include "app/strip_layout.h"
#include "app/version_query.h"
#include "app/windows_version.h"

namespace {

struct FakeVersion : tw::IVersionSource {
  bool extendedWorks = true, plainWorks = true;
  tw::OsVersion version;
  std::vector<bool> asked;
  bool GetVersion(bool extended, tw::OsVersion* out) override {
    asked.push_back(extended);
    if (extended ? !extendedWorks : !plainWorks) return false;
    *out = version;
    return true;
  }
};

TEST(ClassifyWindowsVersion, FamilyTable) {
  struct Case {
    std::uint32_t platform, major, minor;
    int code;
    bool check;
  } cases[] = {
      {0, 3, 10, 4, false}, {1, 4, 0, 3, false},  {1, 3, 95, 3, false}, {1, 4, 10, 2, false},
      {1, 4, 90, 2, false}, {1, 5, 0, 2, false},  {2, 3, 51, 1, true},  {2, 4, 0, 1, true},
      {2, 5, 0, 0, true},   {2, 5, 1, 0, true},   {2, 6, 1, -1, true},  {2, 10, 0, -1, true},
      {3, 5, 0, -1, true},
  };
  for (const auto& c : cases) {
    FakeVersion src;
    src.version = {c.platform, c.major, c.minor};
    int code = tw::ClassifyWindowsVersion(src);
    EXPECT_EQ(code, c.code) << c.platform << " " << c.major << "." << c.minor;
    EXPECT_EQ(tw::NeedsRightsCheck(code), c.check) << c.platform << " " << c.major;
  }
}

TEST(ClassifyWindowsVersion, RetriesWithThePlainRecordThenGivesUp) {
  FakeVersion src;
  src.version = {1, 4, 0};
  src.extendedWorks = false;
  EXPECT_EQ(tw::ClassifyWindowsVersion(src), tw::kWin95);
  EXPECT_EQ(src.asked, (std::vector<bool>{true, false}));

  FakeVersion none;
  none.extendedWorks = none.plainWorks = false;
  EXPECT_EQ(tw::ClassifyWindowsVersion(none), tw::kWinOther);
  EXPECT_TRUE(tw::NeedsRightsCheck(tw::kWinOther));
}

TEST(ScanStatus, ParsesThreeFieldsOrChangesNothing) {
  struct Case {
    const char* text;
    bool ok;
    std::array<std::string, 3> fields;
  } cases[] = {
      {"A;B;C;", true, {"A", "B", "C"}},
      {"A;B;C;rest;more", true, {"A", "B", "C"}},
      {"A;;;", true, {"A", "", ""}},
      {"\xD5\xFD\xD4\xDA\xC9\xA8\xC3\xE8: HKCU\\Soft;\xD7\xDC\xB9\xB2: 3;t;", true,
       {"\xD5\xFD\xD4\xDA\xC9\xA8\xC3\xE8: HKCU\\Soft", "\xD7\xDC\xB9\xB2: 3", "t"}},
      {";B;C;", false, {"old", "old", "old"}},
      {"A;B;C", false, {"old", "old", "old"}},
      {"A;B", false, {"old", "old", "old"}},
      {"", false, {"old", "old", "old"}},
  };
  for (const auto& c : cases) {
    std::array<std::string, 3> f{"old", "old", "old"};
    EXPECT_EQ(tw::ParseScanStatus(c.text, &f), c.ok) << c.text;
    EXPECT_EQ(f, c.fields) << c.text;
  }
}

TEST(ScanStatus, StripIgnoresCaseOnlyChanges) {
  tw::CStripTexts strip;
  EXPECT_EQ(strip.SetTexts("C", "B", "A"), 7u);
  EXPECT_EQ(strip.SetTexts("c", "B", "a"), 0u);
  EXPECT_EQ(strip.Text(0), "C");
  EXPECT_EQ(strip.SetTexts("c", "B2", "a"), 2u);
  // Double-byte characters are compared as they are: trail byte 'A' vs 'a'.
  EXPECT_EQ(strip.SetTexts("\x81" "A", "B2", "a"), 1u);
  EXPECT_EQ(strip.SetTexts("\x81" "a", "B2", "a"), 1u);
  EXPECT_TRUE(tw::StripTextEquals("Scan: C:\\WINDOWS", "scan: c:\\windows"));
  EXPECT_FALSE(tw::StripTextEquals("abc", "abcd"));
}

TEST(TrayMenu, GrayedItemsAndPauseTextFollowTheFlags) {
  auto idle = tw::TrayMenuItems(false, false);
  auto busy = tw::TrayMenuItems(true, false);
  auto paused = tw::TrayMenuItems(true, true);
  ASSERT_EQ(idle.size(), 6u);
  std::vector<std::uint32_t> commands;
  for (auto& i : idle) commands.push_back(i.command);
  EXPECT_EQ(commands, (std::vector<std::uint32_t>{32771, 32809, 32810, 32808, 57670, 2}));
  std::vector<bool> idleGray, busyGray;
  for (auto& i : idle) idleGray.push_back(i.grayed);
  for (auto& i : busy) busyGray.push_back(i.grayed);
  EXPECT_EQ(idleGray, (std::vector<bool>{false, true, true, false, false, false}));
  EXPECT_EQ(busyGray, (std::vector<bool>{false, false, false, false, false, true}));
  EXPECT_EQ(busy[2].textId, 57713u);
  EXPECT_EQ(paused[2].textId, 57714u);
}

TEST(StripLayout, BoxesFromClientAndResizeLimit) {
  tw::StripLayout s = tw::ComputeStripLayout({0, 0, 440, 18});
  EXPECT_EQ(s.icon.right, 18);
  EXPECT_EQ(s.box[0].left, 19);
  EXPECT_EQ(s.box[1].right, 161);
  EXPECT_EQ(s.box[2].left, 164);
  EXPECT_EQ(s.box[2].right, 434);
  EXPECT_EQ(s.grip.left, 436);
  // Box 3 is 270 wide: it may shrink to 201 but not to 200.
  EXPECT_TRUE(tw::CanResizeStrip(s, -69));
  EXPECT_FALSE(tw::CanResizeStrip(s, -70));
  EXPECT_TRUE(tw::CanResizeStrip(s, 500));
  tw::ResizeStripLayout(&s, -69);
  EXPECT_EQ(s.box[2].Width(), 201);
  EXPECT_EQ(s.grip.right, 371);
  EXPECT_FALSE(tw::CanResizeStrip(s, -1));
  EXPECT_TRUE(tw::CanResizeStrip(s, 0));
}

TEST(StartCounter, PromptOnEvery18thStartOnly) {
  for (std::uint32_t n : {18u, 36u, 54u, 18u * 1000u}) EXPECT_TRUE(tw::IsVersionPromptStart(n)) << n;
  for (std::uint32_t n : {0u, 1u, 17u, 19u, 35u}) EXPECT_FALSE(tw::IsVersionPromptStart(n)) << n;
  EXPECT_EQ(tw::SettingsKeyPath("tidewell", "Used"), "Software\\Tidewell\\tidewell\\Used");
}

TEST(VersionQuery, AddressEndsInThreeHexDigits) {
  EXPECT_EQ(tw::BuildVersionQueryUrl("http://h/version.asp?LangID=", 0x804),
            "http://h/version.asp?LangID=804");
  EXPECT_EQ(tw::BuildVersionQueryUrl("x=", 0x409), "x=409");
  EXPECT_EQ(tw::BuildVersionQueryUrl("x=", 0x4), "x=004");
  EXPECT_EQ(tw::BuildVersionQueryUrl("x=", 0x1004), "x=1004");
}

TEST(VersionQuery, ReadsEveryChunkExactlyAndInOrder) {
  std::string body;
  for (int i = 0; i < 3000; ++i) body += static_cast<char>('a' + i % 26);
  struct Case {
    std::vector<std::uint32_t> sizes;  // what each read hands out
    bool failAtEnd;
  } cases[] = {
      {{1024, 1024, 952, 0}, false},
      {{1024, 1024, 1024, 0}, false},  // (only 3000 available; last read short)
      {{100, 1024, 7, 1024, 1024, 0}, false},  // short reads mid-answer
      {{1024, 1024}, true},                     // a failing read ends it
  };
  for (const auto& c : cases) {
    std::size_t pos = 0, call = 0;
    std::string got = tw::ReadAnswerInChunks([&](char* buf, std::uint32_t size, std::uint32_t* n) {
      EXPECT_EQ(size, 1024u);
      if (call >= c.sizes.size()) return !c.failAtEnd && (*n = 0, true);
      std::uint32_t want = std::min<std::uint32_t>(c.sizes[call++], size);
      want = static_cast<std::uint32_t>(std::min<std::size_t>(want, body.size() - pos));
      body.copy(buf, want, pos);
      pos += want;
      *n = want;
      return true;
    });
    EXPECT_EQ(got, body.substr(0, pos));
    if (!c.failAtEnd) {
      EXPECT_EQ(got, body);
    }
  }
}

}  // namespace
