// Which file names count as junk: the user's name patterns, with "*" as the
// only wildcard, matched against lower-cased names.
#pragma once

#include <string>
#include <vector>

#include "platform/run_control.h"

namespace tw {

// Both texts lower-cased already. "*" matches any run of characters inside
// the pattern but at least one character at its end ("~*" does not match
// "~"); "?" stands for itself; two stars in a row never match; an empty
// pattern matches nothing. Characters are compared byte for byte, the search
// for the character after a star steps over whole double-byte characters.
// A stop requested through `control` makes the answer no.
bool MatchPattern(const std::string& name, const std::string& pattern,
                  const CRunControl* control = nullptr);

// The ticked patterns of the type list, lower-cased, in list order.
class CJunkTypes {
 public:
  void Add(const std::string& pattern) { m_patterns.push_back(LowerPattern(pattern)); }
  bool Empty() const { return m_patterns.empty(); }
  // A name containing "microsoft" or "office" never matches: those files
  // belong to installed programs.
  bool MatchesAnyType(const std::string& name, const CRunControl* control = nullptr) const;

 private:
  static std::string LowerPattern(const std::string& pattern);
  std::vector<std::string> m_patterns;
};

// Whether a lower-cased text names something of the system's own programs.
bool IsProtectedName(const std::string& lowered);

}  // namespace tw
