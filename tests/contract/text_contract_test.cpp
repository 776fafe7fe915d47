// The text helpers and the code-page conversion with the code page the
// backend starts with: 936 natively (the default), the system's own under
// Wine (GetACP(), 936 in the test prefix).
#include <string>

#include "contract/backend.h"
#include "platform/text.h"

namespace tw::contract {
namespace {

TEST(TextContract, StartsWithTheSystemCodePage) {
  EXPECT_EQ(DefaultAnsiCodePage(), 936u);
  EXPECT_EQ(GetAnsiCodePage(), DefaultAnsiCodePage());
  EXPECT_TRUE(IsLeadByte(0xB1));
  EXPECT_FALSE(IsLeadByte('\\'));
}

TEST(TextContract, ConversionOfDoubleByteNames) {
  struct Case {
    std::string ansi;
    std::u16string wide;
  } cases[] = {
      {"\xB1\xED", u"\u8868"},  // 表
      {"a\\\xB1\xED\\b", u"a\\\u8868\\b"},
      {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},  // 中文
      {"", u""},
      {"plain ASCII", u"plain ASCII"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiToUtf16(c.ansi), c.wide) << c.ansi;
    EXPECT_EQ(Utf16ToAnsi(c.wide), c.ansi) << c.ansi;
  }
  // Trail bytes 0x5C and "A": one character each, and back again.
  for (const std::string s : {"\xB1\x5C", "\x95\x5C", "\x83\x41"}) {
    const std::u16string w = AnsiToUtf16(s);
    EXPECT_EQ(w.size(), 1u) << s;
    EXPECT_EQ(Utf16ToAnsi(w), s);
  }
  // Characters the code page does not have become "?".
  EXPECT_EQ(Utf16ToAnsi(u"x\u0E01y"), "x?y");
}

TEST(TextContract, HelpersOnDoubleByteText) {
  const std::string path = "C:\\\xB1\x5C\\\x83\x41\x83\x61";
  std::string folder, name;
  SplitAtLastBackslash(path, &folder, &name);
  EXPECT_EQ(folder, "C:\\\xB1\x5C");
  EXPECT_EQ(name, "\x83\x41\x83\x61");
  EXPECT_EQ(LowerCase(path), "c:\\\xB1\x5C\\\x83\x41\x83\x61");
  EXPECT_EQ(UpperCase("c:\\\x83\x61"), "C:\\\x83\x61");
  EXPECT_TRUE(EqualsNoCase("c:\\\xB1\x5C", "C:\\\xB1\x5C"));
  EXPECT_FALSE(EqualsNoCase("\x83\x41", "\x83\x61"));
  EXPECT_EQ(FindText(path, "\\"), 2u);
  EXPECT_EQ(FindLastChar(path, '\\'), 5u);
}

}  // namespace
}  // namespace tw::contract
