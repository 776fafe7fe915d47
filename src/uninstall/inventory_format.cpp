#include "uninstall/inventory_format.h"

#include <cstdio>
#include <ctime>

namespace tw {

// The size is turned into a single-precision number once and each unit is
// computed from it afresh, so that 1048576 bytes stay "1024.0 KB" and one
// byte more becomes "1.00 MB".
std::string FormatSize(std::int64_t bytes, const InventoryTexts& texts) {
  if (bytes <= 0) return texts.sizeNone;
  if (bytes < 1024) return FormatNumbers(texts.bytes, {bytes});
  const float f = static_cast<float>(bytes);
  static const float kDivisors[4] = {1024.0f, 1048576.0f, 1073741824.0f, 1099511627776.0f};
  int unit = 0;
  float v = f / kDivisors[0];
  while (v > 1024.0f && unit < 3) {
    ++unit;
    v = f / kDivisors[unit];
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, v < 100.0f ? "%.2f " : "%.1f ", static_cast<double>(v));
  return buf + texts.units[unit];
}

std::string FormatUsage(std::int32_t timesUsed, const InventoryTexts& texts) {
  if (timesUsed <= 0) return texts.usageNone;
  const std::string& format =
      timesUsed <= 2 ? texts.rarely : timesUsed <= 10 ? texts.sometimes : texts.often;
  return FormatNumbers(format, {timesUsed});
}

std::string FormatLastUsed(std::uint64_t fileTime, const InventoryTexts& texts,
                           const LocalTimeConverter& toLocal) {
  if (fileTime == 0) return {};
  SystemTime local;
  if (!toLocal || !toLocal(fileTime, &local)) return {};
  return FormatNumbers(texts.date, {local.wYear, local.wMonth, local.wDay});
}

bool ConvertWithCLibrary(std::uint64_t fileTime, SystemTime* local) {
  constexpr std::uint64_t kTicksPerSecond = 10000000;
  constexpr long long kUnixEpochSeconds = 11644473600LL;  // 1601-01-01 to 1970-01-01
  const std::time_t t =
      static_cast<std::time_t>(static_cast<long long>(fileTime / kTicksPerSecond) - kUnixEpochSeconds);
  std::tm tm{};
#ifdef _WIN32
  if (localtime_s(&tm, &t) != 0) return false;
#else
  if (!localtime_r(&t, &tm)) return false;
#endif
  local->wYear = static_cast<std::uint16_t>(tm.tm_year + 1900);
  local->wMonth = static_cast<std::uint16_t>(tm.tm_mon + 1);
  local->wDayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
  local->wDay = static_cast<std::uint16_t>(tm.tm_mday);
  local->wHour = static_cast<std::uint16_t>(tm.tm_hour);
  local->wMinute = static_cast<std::uint16_t>(tm.tm_min);
  local->wSecond = static_cast<std::uint16_t>(tm.tm_sec);
  local->wMilliseconds = 0;
  return true;
}

}  // namespace tw
