// The inventory's display texts: size, frequency of use, date of last use.
#include <gtest/gtest.h>

#include "uninstall/inventory_format.h"

namespace tw {
namespace {

const InventoryTexts kTexts;  // the Chinese texts in code page 936
const std::string kBytes = " \xD7\xD6\xBD\xDA";  // " 字节"

TEST(UninstallFormat, Size) {
  const std::pair<std::int64_t, std::string> table[] = {
      {0, "N/A"},
      {1023, "1023" + kBytes},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {102389, "99.99 KB"},
      {102400, "100.0 KB"},
      {153600, "150.0 KB"},
      {1048576, "1024.0 KB"},  // not above 1024 KB: stays in KB
      {1048577, "1.00 MB"},
      {2000LL << 40, "2000.0 TB"},  // no unit past TB
  };
  for (const auto& [bytes, text] : table) EXPECT_EQ(FormatSize(bytes, kTexts), text) << bytes;
}

TEST(UninstallFormat, Usage) {
  const std::pair<std::int32_t, std::string> table[] = {
      {-1, "N/A"},
      {2, "\xBA\xDC\xC9\xD9(2)"},
      {3, "\xD3\xD0\xCA\xB1(3)"},
      {11, "\xBE\xAD\xB3\xA3(11)"},
  };
  for (const auto& [times, text] : table) EXPECT_EQ(FormatUsage(times, kTexts), text) << times;
}

TEST(UninstallFormat, LastUsed) {
  // The converter decides the local date; the text only prints it.
  auto fixed = [](std::uint16_t y, std::uint16_t m, std::uint16_t d) {
    return [=](std::uint64_t, SystemTime* out) {
      out->wYear = y;
      out->wMonth = m;
      out->wDay = d;
      return true;
    };
  };
  auto failing = [](std::uint64_t, SystemTime*) { return false; };
  struct Case {
    std::uint64_t fileTime;
    LocalTimeConverter convert;
    std::string text;
  };
  const Case table[] = {
      {0, fixed(2006, 3, 7), ""},  // a zero time: never used
      {1, fixed(2006, 3, 7), "2006-3-7"},
      {1ULL << 32, fixed(2011, 12, 31), "2011-12-31"},  // only the high half set
      {5, failing, ""},
  };
  for (const auto& c : table) EXPECT_EQ(FormatLastUsed(c.fileTime, kTexts, c.convert), c.text);
  // A translated text with a stray conversion reads no further than the numbers.
  InventoryTexts odd;
  odd.date = "%d/%d/%d %s%%";
  EXPECT_EQ(FormatLastUsed(1, odd, fixed(2006, 3, 7)), "2006/3/7 %s%");
}

}  // namespace
}  // namespace tw
