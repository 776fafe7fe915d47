// The system's file-name rules as plain functions.
#pragma once

#include <string>

namespace tw {

// FindFirstFileA's matching of one name against a mask: "*" any run of
// characters, "?" one character, letters without regard to case, double-byte
// characters as one. A "." or "*" left over at the end of the mask matches
// nothing, so "name.*" also matches "name".
bool MatchFileMask(const std::string& name, const std::string& mask);
bool HasWildcards(const std::string& mask);
// Whether a name is a legal 8.3 name by itself (then it is its own short name).
bool IsShortName(const std::string& name);
// The system strips trailing dots and spaces from the last part of a path
// ("name." is "name").
std::string StripTrailingDotsAndSpaces(std::string name);

}  // namespace tw
