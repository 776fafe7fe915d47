// The display texts of the installed-software list: size, frequency of use
// and date of last use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/text.h"
#include "platform/win_types.h"

namespace tw {

// Loaded from the string table by the page; the defaults are the Chinese
// resources' texts in code page 936, for tests and for a missing string.
struct InventoryTexts {
  std::string date = "%d-%d-%d";                          // 57783
  std::string rarely = "\xBA\xDC\xC9\xD9(%d)";            // 57784 "很少(%d)"
  std::string sometimes = "\xD3\xD0\xCA\xB1(%d)";         // 57785 "有时(%d)"
  std::string often = "\xBE\xAD\xB3\xA3(%d)";             // 57786 "经常(%d)"
  std::string usageNone = "N/A";                          // 57787
  std::string bytes = "%d \xD7\xD6\xBD\xDA";              // 57788 "%d 字节"
  std::string sizeNone = "N/A";                           // 57789
  std::string units[4] = {"KB", "MB", "GB", "TB"};        // 57790-57793
};

// A FILETIME (100-ns steps since 1601, UTC) as local calendar time by the
// local time-zone rules of that date; false when it cannot be converted.
using LocalTimeConverter = std::function<bool(std::uint64_t fileTime, SystemTime* local)>;
// The C library's conversion (for the native build and tests).
bool ConvertWithCLibrary(std::uint64_t fileTime, SystemTime* local);

std::string FormatSize(std::int64_t bytes, const InventoryTexts& texts);
std::string FormatUsage(std::int32_t timesUsed, const InventoryTexts& texts);
// Empty for a zero time and for one the converter cannot take.
std::string FormatLastUsed(std::uint64_t fileTime, const InventoryTexts& texts,
                           const LocalTimeConverter& toLocal);

}  // namespace tw
