#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/language_files.h"

namespace {

TEST(LanguageLibraryNames, FollowTheLastCharactersOfTheHexText) {
  struct Case {
    std::uint16_t id;
    const char* first;
    const char* fallback;
  } cases[] = {
      {0x409, "RC409.dll", "RC09.dll"}, {0xC04, "RCc04.dll", "RC04.dll"},
      {0x1004, "RC004.dll", "RC04.dll"}, {0x404, "RC404.dll", "RC04.dll"},
      {0x4, "RC004.dll", "RC04.dll"},    {0x0, "RC000.dll", "RC00.dll"},
      {0xFFFF, "RCfff.dll", "RCff.dll"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tw::LanguageLibraryName(c.id), c.first) << std::hex << c.id;
    EXPECT_EQ(tw::LanguageLibraryFallbackName(c.id), c.fallback) << std::hex << c.id;
  }
}

// Records every file the start-up tries and loads only the files present.
struct FakeFolder {
  std::vector<std::string> present;
  std::vector<std::string> tried;
  tw::LibraryLoader Loader() {
    return [this](const std::string& name) {
      tried.push_back(name);
      for (const auto& p : present) {
        if (p == name) return true;
      }
      return false;
    };
  }
};

TEST(ChooseLanguage, TriesSettingThenUserThenSystemWithFallbacks) {
  struct Case {
    const char* what;
    std::uint32_t saved;
    std::uint16_t user, system;
    std::vector<std::string> present;
    std::uint16_t expected;
    std::vector<std::string> tried;
  } cases[] = {
      {"no setting on a Chinese system loads nothing", 0, 0x804, 0x804, {}, 0x804,
       {"RC000.dll", "RC00.dll"}},
      {"0x804 loads nothing even when RC804.dll exists", 0x804, 0x409, 0x409, {"RC804.dll"},
       0x804, {}},
      {"4 falls back from RC004.dll to RC04.dll", 4, 0x804, 0x804, {"RC04.dll"}, 4,
       {"RC004.dll", "RC04.dll"}},
      {"saved English found first", 0x409, 0x804, 0x804, {"RC409.dll"}, 0x409, {"RC409.dll"}},
      {"missing saved library falls to the user default", 0x40C, 0x409, 0x804, {"RC409.dll"},
       0x409, {"RC40c.dll", "RC0c.dll", "RC409.dll"}},
      {"then the system default", 0x40C, 0x407, 0x409, {"RC09.dll"}, 0x409,
       {"RC40c.dll", "RC0c.dll", "RC407.dll", "RC07.dll", "RC409.dll", "RC09.dll"}},
      {"nothing loadable ends in Chinese", 0x40C, 0x407, 0x411, {}, 0x804,
       {"RC40c.dll", "RC0c.dll", "RC407.dll", "RC07.dll", "RC411.dll", "RC11.dll"}},
      {"only the low 16 bits of the setting count", 0x10409, 0x804, 0x804, {"RC409.dll"},
       0x409, {"RC409.dll"}},
  };
  for (auto& c : cases) {
    FakeFolder folder{c.present, {}};
    EXPECT_EQ(tw::ChooseLanguage(c.saved, c.user, c.system, folder.Loader()), c.expected)
        << c.what;
    EXPECT_EQ(folder.tried, c.tried) << c.what;
  }
}

TEST(AboutLanguageEntries, CodeFromFileNameAndItsId) {
  struct Case {
    const char* file;
    const char* code;
    std::uint16_t id;
  } cases[] = {
      {"RC409.dll", "409", 0x409}, {"RCc04.dll", "c04", 0xC04}, {"RC04.dll", "04", 0x4},
      {"RCCR0c.dll", "0c", 0xC},    {"rc409.dll", "rc409", 0},    {"RC.dll", "", 0},
      {"RC10409.DLL", "10409", 0x409},  // cut to 16 bits
      {"RC4x9.dll", "4x9", 0x4},        // reading stops at the first non-hex digit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tw::LanguageCodeFromFileName(c.file), c.code) << c.file;
    EXPECT_EQ(tw::LanguageIdFromCode(c.code), c.id) << c.file;
  }
}

TEST(AboutLanguageEntries, Big5NameOnlyForCode04WithoutNativeName) {
  const std::string big5("\xA4\xA4\xA4\xE5\x28\xC1\x63\xC5\xE9\x29", 10);
  EXPECT_EQ(tw::LanguageEntryName("04", ""), big5);
  EXPECT_EQ(tw::LanguageEntryName("04", "Chinese"), "Chinese");
  EXPECT_EQ(tw::LanguageEntryName("004", ""), "");
  EXPECT_EQ(tw::LanguageEntryName("409", "English"), "English");
}

}  // namespace
