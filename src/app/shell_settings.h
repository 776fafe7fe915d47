// Where the program keeps its settings and the start counter's rule.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

// "Software\Tidewell\<program name>\<section>" below HKEY_CURRENT_USER.
std::string SettingsKeyPath(const std::string& programName, const std::string& section);

// The version prompt comes at every 18th start: n is the count read before
// it is incremented (1 when the counter is absent).
bool IsVersionPromptStart(std::uint32_t startCount);

}  // namespace tw
