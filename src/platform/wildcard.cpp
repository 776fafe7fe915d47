#include "platform/wildcard.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace tw {

namespace {

// The characters of a text, a double-byte character as one unit, ASCII
// letters upper-cased.
std::vector<std::uint16_t> Units(const std::string& s) {
  std::vector<std::uint16_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t next = NextCharPos(s, i);
    if (next == i + 2) {
      out.push_back(static_cast<std::uint16_t>((static_cast<unsigned char>(s[i]) << 8) |
                                               static_cast<unsigned char>(s[i + 1])));
    } else {
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
      out.push_back(c);
    }
    i = next;
  }
  return out;
}

}  // namespace

// The same walk as the system's: after a "*" the mask's next character is
// searched for, and on a mismatch the search resumes one character after
// the last place tried.
bool MatchFileMask(const std::string& nameText, const std::string& maskText) {
  const std::vector<std::uint16_t> name = Units(nameText);
  const std::vector<std::uint16_t> mask = Units(maskText);
  std::size_t n = 0, m = 0;
  std::size_t lastJoker = std::string::npos;
  std::size_t nextToRetry = 0;
  while (n < name.size() && m < mask.size()) {
    if (mask[m] == '*') {
      ++m;
      while (m < mask.size() && mask[m] == '*') ++m;
      if (m == mask.size()) return true;
      lastJoker = m;
      while (n < name.size() && name[n] != mask[m]) ++n;
      nextToRetry = n;
    } else if (mask[m] == '?') {
      ++m;
      ++n;
    } else if (mask[m] == name[n]) {
      ++m;
      ++n;
      if (m == mask.size()) {
        if (n == name.size()) return true;
        if (lastJoker != std::string::npos) m = lastJoker;
      }
    } else {
      if (lastJoker == std::string::npos) return false;
      m = lastJoker;
      n = ++nextToRetry;
    }
  }
  while (m < mask.size() && (mask[m] == '.' || mask[m] == '*')) ++m;
  return n == name.size() && m == mask.size();
}

bool HasWildcards(const std::string& mask) {
  return FindChar(mask, '*') != std::string::npos || FindChar(mask, '?') != std::string::npos;
}

bool IsShortName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return !name.empty();
  std::size_t base = 0, ext = 0;
  bool dot = false;
  for (unsigned char c : name) {
    if (c == '.') {
      if (dot) return false;
      dot = true;
      continue;
    }
    if (c <= ' ' || c >= 0x7F || std::strchr("\"*+,/:;<=>?[\\]|", c)) return false;
    (dot ? ext : base)++;
  }
  return base >= 1 && base <= 8 && ext <= 3 && !(dot && ext == 0);
}

std::string StripTrailingDotsAndSpaces(std::string name) {
  if (name == "." || name == "..") return name;
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    // A space or dot that is the trail byte of a double-byte character stays.
    const std::size_t last = name.size() - 1;
    std::size_t i = 0;
    while (NextCharPos(name, i) <= last) i = NextCharPos(name, i);
    if (i != last) break;
    name.pop_back();
  }
  return name;
}

}  // namespace tw
