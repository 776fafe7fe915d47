#include "junk_files/junk_match.h"

#include "platform/text.h"

namespace tw {

namespace {

bool Stopped(const CRunControl* control) { return control && control->StopRequested(); }

// The character of `s` that starts at i: one byte, or two for a lead byte.
std::size_t CharLen(const std::string& s, std::size_t i) { return NextCharPos(s, i) - i; }

// The first character start at or after `from` whose bytes equal the
// character of `pattern` at k; npos when there is none.
std::size_t FindCharOf(const std::string& name, std::size_t from, const std::string& pattern,
                       std::size_t k) {
  const std::size_t len = CharLen(pattern, k);
  for (std::size_t i = 0; i < name.size(); i = NextCharPos(name, i)) {
    if (i < from) continue;
    if (name.compare(i, len, pattern, k, len) == 0) return i;
  }
  return std::string::npos;
}

bool MatchFrom(const std::string& name, std::size_t i, const std::string& pattern, std::size_t k,
               const CRunControl* control) {
  for (;;) {
    if (Stopped(control)) return false;
    if (k >= pattern.size()) return false;
    if (pattern[k] == '*') {
      if (k + 1 == pattern.size()) return true;
      std::size_t j = i;
      for (;;) {
        if (Stopped(control)) return false;
        const std::size_t found = FindCharOf(name, j, pattern, k + 1);
        if (found == std::string::npos) return false;
        if (MatchFrom(name, found, pattern, k + 1, control)) return true;
        j = NextCharPos(name, found);
        if (j >= name.size()) return false;
      }
    }
    if (i >= name.size() || name[i] != pattern[k]) return false;
    ++i;
    if (i == name.size()) return k + 1 == pattern.size();
    ++k;
    if (k == pattern.size()) return false;
  }
}

}  // namespace

bool MatchPattern(const std::string& name, const std::string& pattern, const CRunControl* control) {
  return MatchFrom(name, 0, pattern, 0, control);
}

bool IsProtectedName(const std::string& lowered) {
  return FindText(lowered, "microsoft") != std::string::npos ||
         FindText(lowered, "office") != std::string::npos;
}

std::string CJunkTypes::LowerPattern(const std::string& pattern) { return LowerCase(pattern); }

bool CJunkTypes::MatchesAnyType(const std::string& name, const CRunControl* control) const {
  const std::string lowered = LowerCase(name);
  if (IsProtectedName(lowered)) return false;
  for (const std::string& pattern : m_patterns) {
    if (Stopped(control)) return false;
    if (MatchPattern(lowered, pattern, control)) return true;
  }
  return false;
}

}  // namespace tw
