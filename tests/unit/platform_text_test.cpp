// The code-page-aware text helpers on names whose trail byte is "\" or an
// ASCII capital, in each double-byte code page the program meets.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/wildcard.h"

namespace tw {
namespace {

class CodePage {
 public:
  explicit CodePage(unsigned cp) : m_old(GetAnsiCodePage()) { SetAnsiCodePage(cp); }
  ~CodePage() { SetAnsiCodePage(m_old); }

 private:
  unsigned m_old;
};

TEST(PlatformText, LeadBytesPerCodePage) {
  struct Case {
    unsigned cp;
    unsigned char c;
    bool lead;
  } cases[] = {
      {936, 0x80, false}, {936, 0x81, true},   {936, 0xFE, true},  {936, 0xFF, false},
      {950, 0xA4, true},  {949, 0xB0, true},   {932, 0x81, true},  {932, 0x9F, true},
      {932, 0xA0, false}, {932, 0xDF, false},  {932, 0xE0, true},  {932, 0xFC, true},
      {932, 0xFD, false}, {1252, 0xB1, false}, {437, 0x95, false}, {936, 'A', false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsLeadByteIn(c.cp, c.c), c.lead) << c.cp << " " << int(c.c);
  }
}

TEST(PlatformText, CaseChangesSkipTrailBytes) {
  CodePage cp(936);
  // "\x83\x41" is one character whose trail byte is "A"; it must stay.
  EXPECT_EQ(LowerCase("AB\x83\x41Z"), "ab\x83\x41z");
  EXPECT_EQ(UpperCase("ab\x83\x61z"), "AB\x83\x61Z");
  // A lead byte at the very end stands alone; the byte before it is kept.
  EXPECT_EQ(LowerCase("A\xB1"), "a\xB1");
  {
    CodePage single(1252);
    EXPECT_EQ(LowerCase("\x83\x41"), "\x83\x61");
  }
  {
    CodePage sjis(932);
    EXPECT_EQ(LowerCase("\x83\x41\xA0\x41"), "\x83\x41\xA0\x61");
  }
}

TEST(PlatformText, FindCharNeverMatchesATrailByte) {
  CodePage cp(936);
  const std::string path = "C:\\\xB1\x5C\\\x95\x5Cx";  // C:\表\?x with 0x5C trail bytes
  EXPECT_EQ(FindChar(path, '\\'), 2u);
  EXPECT_EQ(FindChar(path, '\\', 3), 5u);
  EXPECT_EQ(FindChar(path, '\\', 6), std::string::npos);
  EXPECT_EQ(FindLastChar(path, '\\'), 5u);
  EXPECT_EQ(FindLastChar("\xB1\x5C", '\\'), std::string::npos);
  EXPECT_EQ(FindChar("\x83\x41"
                     "A",
                     'A'),
            2u);
  CodePage single(1252);
  EXPECT_EQ(FindLastChar("\xB1\x5C", '\\'), 1u);
}

TEST(PlatformText, FindTextStartsAndEndsOnCharacters) {
  CodePage cp(936);
  // The bytes "\x5C\xB1" straddle two characters: no match.
  EXPECT_EQ(FindText("\xB1\x5C\xB1\x5C", "\x5C\xB1"), std::string::npos);
  EXPECT_EQ(FindText("\xB1\x5C\xB1\x5C", "\xB1\x5C"), 0u);
  EXPECT_EQ(FindText("\xB1\x5C\xB1\x5C", "\xB1\x5C", 1), 2u);
  EXPECT_EQ(FindText("ab\\cd", "\\c"), 2u);
  // A needle that ends in a lead byte must not take half of a character.
  EXPECT_EQ(FindText("a\xB1\x5C", "a\xB1"), std::string::npos);
  EXPECT_EQ(FindText("abc", ""), 0u);
  EXPECT_EQ(FindText("abc", "", 3), 3u);
  EXPECT_EQ(FindText("abc", "x", 9), std::string::npos);
}

TEST(PlatformText, CompareNoCase) {
  CodePage cp(936);
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"Software", "SOFTWARE", 0},
      {"abc", "abd", -1},
      {"abc", "ab", 1},
      {"\x83\x41", "\x83\x61", -1},   // trail bytes compare as they are
      {"\x83\x41x", "\x83\x41X", 0},  // the letter after them folds
      {"", "", 0},
      {"_", "a", 1},  // letters fold to capitals, which sort before "_"
  };
  for (const Case& c : cases) {
    const int r = CompareNoCase(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsNoCase(c.a, c.b), c.sign == 0);
  }
}

TEST(PlatformText, SplitAtLastBackslash) {
  CodePage cp(936);
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"C:\\a\\b", "C:\\a", "b"},
      {"C:\\a\\\xB1\x5C", "C:\\a", "\xB1\x5C"},
      {"C:\\\xB1\x5C\\x.txt", "C:\\\xB1\x5C", "x.txt"},
      {"\x95\x5C", "", "\x95\x5C"},
      {"C:\\", "C:", ""},
      {"name", "", "name"},
  };
  for (const Case& c : cases) {
    std::string folder, name;
    SplitAtLastBackslash(c.path, &folder, &name);
    EXPECT_EQ(folder, c.folder) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
}

TEST(PlatformText, ConversionRoundTripsGbk) {
  CodePage cp(936);
  const std::string gbk =
      "\xB1\xED"
      "a\\\x95\x5C";  // 表 a \ and a 0x5C-trail character
  const std::u16string w = AnsiToUtf16(gbk);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0], u'\u8868');
  EXPECT_EQ(w[1], u'a');
  EXPECT_EQ(w[2], u'\\');
  EXPECT_EQ(Utf16ToAnsi(w), gbk);
  EXPECT_EQ(Utf16ToAnsi(u"\u0E01x"), "?x");  // Thai has no GBK form
  EXPECT_TRUE(AnsiToUtf16("").empty());
}

TEST(PlatformWildcard, MatchesAsFindFirstFile) {
  CodePage cp(936);
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  } cases[] = {
      {"a.txt", "*", true},
      {"a.txt", "*.*", true},
      {"abc", "*.*", true},
      {"a.txt", "*.TXT", true},
      {"a.txt", "*.tx", false},
      {"a.txt", "a.txt", true},
      {"A.TXT", "a.txt", true},
      {"name", "name.*", true},
      {"name.ext", "name.*", true},
      {"names", "name.*", false},
      {"a.tmp", "*.tmp", true},
      {"a.tmp.bak", "*.tmp", false},
      {"abcabd", "*abd", true},
      {"ab", "a?", true},
      {"a", "a?", false},
      {"x.txt", "?.txt", true},
      {"\xB1\x5C.txt", "?.txt", true},
      {"\xB1\x5C", "*\\", false},
      {"\x83\x41", "*a", false},
      {"..", "*", true},
      {"~$doc.doc", "~$*.doc", true},
      {"file", "*.", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchFileMask(c.name, c.mask), c.match) << c.name << " vs " << c.mask;
  }
}

TEST(PlatformWildcard, ShortNamesAndTrailingDots) {
  EXPECT_TRUE(IsShortName("FILE.TXT"));
  EXPECT_TRUE(IsShortName("file.txt"));
  EXPECT_TRUE(IsShortName("12345678.123"));
  EXPECT_FALSE(IsShortName("123456789.txt"));
  EXPECT_FALSE(IsShortName("a.html"));
  EXPECT_FALSE(IsShortName("a b.txt"));
  EXPECT_FALSE(IsShortName("a.b.c"));
  EXPECT_EQ(StripTrailingDotsAndSpaces("name. ."), "name");
  EXPECT_EQ(StripTrailingDotsAndSpaces(".."), "..");
  EXPECT_EQ(StripTrailingDotsAndSpaces("a.b"), "a.b");
}

}  // namespace
}  // namespace tw
