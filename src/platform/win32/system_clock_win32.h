// The Win32 clock's conversion of the system's calendar time, for the pages
// that convert times of their own (file times, the time-zone rules of a date).
#pragma once

#include <windows.h>

#include "platform/win_types.h"

namespace tw {

SystemTime FromWinSystemTime(const SYSTEMTIME& s);

}  // namespace tw
