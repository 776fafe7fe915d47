// The junk-file name rule: one table of names and patterns (both already
// lower-cased, as the scan passes them), then the type list around it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "junk_files/junk_match.h"
#include "platform/text.h"

namespace tw {
namespace {

struct MatchCase {
  const char* name;
  const char* pattern;
  bool match;
};

// "\xB0\x5C" is a double-byte character of code page 936 whose trail byte is
// a backslash; "\xD6\xD0" is another one.
const MatchCase kMatchCases[] = {
    {"abc.tmp", "*.tmp", true},
    {"abc.tmp.bak", "*.tmp", false},
    {".tmp", "*.tmp", true},            // a star inside matches the empty run
    {"abc.tmp", "abc*", true},
    {"abc", "abc*", false},             // a star at the end needs one character
    {"~", "~*", false},
    {"~a", "~*", true},
    {"anything", "*", true},
    {"", "*", true},
    {"noext", "*.*", false},            // needs a dot
    {"a.b", "*.*", true},
    {"a.tmp", "**.tmp", false},         // two stars in a row never match
    {"a.tmp", "", false},               // an empty pattern matches nothing
    {"", "", false},
    {"a.tmp", "a?tmp", false},          // "?" is a plain character
    {"a?tmp", "a?tmp", true},
    {"a.tmp", "a.tmp", true},
    {"a.tmp", "a.tm", false},
    {"a.tm", "a.tmp", false},
    {"a.b.c", "*.c", true},
    {"a.c.b", "*.c", false},
    {"xaxb", "*a*b", true},
    {"xaxbx", "*a*b", false},
    {"cache1.dat", "cache*.dat", true},
    {"cache.dat", "cache*.dat", true},
    {"abab", "*ab", true},
    {"\xD6\xD0\xB0\x5C.tmp", "*.tmp", true},
    {"\xB0\x5C.tmp", "\xB0\x5C*", true},
    {"a\xB0\x5C" "b", "*\\b", false},   // a trail byte is no backslash
    {"a\xB0\x5C" "b", "*\xB0\x5C" "b", true},
    {"\xD6\xD0.tmp", "*\xD0.tmp", false},
};

TEST(JunkMatch, MatchPatternTable) {
  SetAnsiCodePage(936);
  for (const MatchCase& c : kMatchCases) {
    EXPECT_EQ(MatchPattern(c.name, c.pattern), c.match)
        << "name \"" << c.name << "\" pattern \"" << c.pattern << "\"";
  }
}

TEST(JunkMatch, TypeListLowerCasesAndSkipsProgramFiles) {
  SetAnsiCodePage(936);
  CJunkTypes types;
  types.Add("*.TMP");
  types.Add("~*");
  EXPECT_TRUE(types.MatchesAnyType("ABC.TMP"));
  EXPECT_TRUE(types.MatchesAnyType("~WRL0001"));
  EXPECT_FALSE(types.MatchesAnyType("abc.log"));
  EXPECT_FALSE(types.MatchesAnyType("microsoft.tmp"));
  EXPECT_FALSE(types.MatchesAnyType("MyOffice.tmp"));

  std::atomic<std::int32_t> stop{1};
  CRunControl stopped(&stop, [](unsigned) {});
  EXPECT_FALSE(types.MatchesAnyType("abc.tmp", &stopped));
  EXPECT_FALSE(MatchPattern("abc.tmp", "*", &stopped));
}

}  // namespace
}  // namespace tw
