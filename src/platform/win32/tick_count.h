// Milliseconds since the system started, in 64 bits: GetTickCount64 where
// the system has it (Vista and later), else the 32-bit count widened across
// its wrap every 49.7 days.
#pragma once

namespace tw {

unsigned long long TickCount64();

}  // namespace tw
