#include "registry_cleaner/path_checker.h"

#include <algorithm>
#include <array>

#include "platform/text.h"
#include "registry_cleaner/registry_finding.h"

namespace tw {

const char kDriveLetterText[] =
    "A:\\B:\\C:\\D:\\E:\\F:\\G:\\H:\\I:\\J:\\K:\\L:\\M:\\N:\\O:\\P:\\Q:\\R:\\S:\\T:\\U:\\V:\\W:\\X:"
    "\\Y:\\Z:\\";

namespace {

// Drops one trailing "\" when it is a character of its own, not the trail
// byte of a double-byte character.
void DropTrailingBackslash(std::string& s) {
  if (!s.empty() && s.back() == '\\' && FindLastChar(s, '\\') == s.size() - 1) s.pop_back();
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Byte length of the character that starts at i.
std::size_t CharLen(const std::string& s, std::size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

}  // namespace

CPathChecker::CPathChecker(IFileSystem& fs, bool cacheWithinRun)
    : m_fs(fs), m_cache(cacheWithinRun), m_listings(fs) {}

std::string CPathChecker::ListRemovableRoots() {
  if (m_cache && m_haveRoots) return m_roots;
  std::string roots;
  const std::string list = m_fs.GetLogicalDriveStrings(100);
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find('\0', start);
    if (end == std::string::npos) end = list.size();
    if (end == start) break;
    const std::string root = list.substr(start, end - start);
    switch (m_fs.GetDriveType(root)) {
      case kDriveRemovable:
      case kDriveRemote:
      case kDriveCdrom:
      case kDriveRamdisk:
        roots += UpperCase(root);
        break;
      default:
        break;
    }
    start = end + 1;
  }
  if (m_cache) {
    m_roots = roots;
    m_haveRoots = true;
  }
  return roots;
}

namespace {

// "folder\stem" when the pattern's name is "stem.<more>" with no wildcard
// but a final ".*": every entry such a pattern finds is also found by
// "folder\stem.*", long or short name alike. Empty otherwise.
std::string CoveringStem(const std::string& pattern, std::size_t slash) {
  // Well inside MAX_PATH, so that the wider search is refused for no
  // reason the narrower one is not.
  if (slash == std::string::npos || pattern.size() >= 240) return std::string();
  std::string name = pattern.substr(slash + 1);
  if (name.size() >= 2 && name.compare(name.size() - 2, 2, ".*") == 0) name.resize(name.size() - 2);
  // The system's own wildcards, DOS ones included.
  if (name.find_first_of("*?<>\"") != std::string::npos) return std::string();
  const std::size_t dot = FindChar(name, '.');
  if (dot == std::string::npos || dot == 0 || name[dot - 1] == ' ') return std::string();
  return pattern.substr(0, slash + 1 + dot);
}

}  // namespace

// A stale path is searched for in up to a dozen forms (with ".*", cut at
// each separator, each longer prefix after a dot), nearly all of them in
// the same folder and most with the same name before its first dot. When
// the folder is known to be missing, or one search for "name.*" finds
// nothing, they are all answered without asking the file system.
bool CPathChecker::Exists(const std::string& pattern) {
  if (!m_cache) return Find(pattern);
  auto it = m_exists.find(pattern);
  if (it != m_exists.end()) return it->second;
  // In the system folder a name may live in either system folder, which
  // the shortcuts below, reading one folder's answers, cannot tell.
  if (!InThirtyTwoBitSystemFolder(pattern).empty()) {
    const bool found = Find(pattern);
    m_exists.emplace(pattern, found);
    return found;
  }
  if (BelowMissingFolder(pattern)) {
    m_exists.emplace(pattern, false);
    return false;
  }
  const ListingAnswer listed = m_listings.Answer(pattern);
  if (listed != ListingAnswer::kAsk) {
    m_exists.emplace(pattern, listed == ListingAnswer::kFound);
    return listed == ListingAnswer::kFound;
  }
  // What the folder's listing cannot tell.
  const std::size_t slash = FindLastChar(pattern, '\\');
  const std::string stem = CoveringStem(pattern, slash);
  if (!stem.empty() && pattern != stem + ".*") {
    if (!m_emptyStems.count(stem)) {
      // A form the listing leaves to a search (a trailing dot) is still
      // answered by the listing's answer for the covering name.
      const std::string covering = stem + ".*";
      const ListingAnswer listed = m_listings.Answer(covering);
      long error = kErrorSuccess;
      if (listed == ListingAnswer::kNotFound ||
          (listed == ListingAnswer::kAsk && !m_exists.count(covering) &&
           !Search(covering, &error) && error == kErrorFileNotFound)) {
        m_emptyStems.insert(stem);
      }
    }
    if (m_emptyStems.count(stem)) {
      m_exists.emplace(pattern, false);
      return false;
    }
  }
  long error = kErrorSuccess;
  return Search(pattern, &error);
}

// One search, remembered. Below a drive root the folder is the drive, which
// a search cannot name; the folder test is left to the searches there.
bool CPathChecker::Search(const std::string& pattern, long* error) {
  const std::size_t slash = FindLastChar(pattern, '\\');
  const bool inFolder = slash != std::string::npos && slash > 2;
  std::string folder;
  if (inFolder) {
    folder = pattern.substr(0, slash);
    if (BelowMissingFolder(pattern)) {
      m_exists.emplace(pattern, false);
      *error = kErrorPathNotFound;
      return false;
    }
  }
  FindData first;
  const bool found = m_fs.FindFirst(pattern, &first, error) != nullptr;
  m_exists.emplace(pattern, found);
  // "Path not found" alone is no proof: Windows also answers it for a path
  // longer than MAX_PATH, whatever the folder. The folder is missing only
  // when a search for the folder itself finds nothing either.
  if (!found && inFolder && *error == kErrorPathNotFound && !Exists(folder)) {
    m_missingFolders.insert(std::move(folder));
  }
  return found;
}

// Below a missing folder nothing exists, however deep.
bool CPathChecker::BelowMissingFolder(const std::string& pattern) const {
  if (m_missingFolders.empty()) return false;
  // Without a byte beyond ASCII every "\" is a character of its own.
  const bool ascii = std::all_of(pattern.begin(), pattern.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::string up = pattern;
  for (;;) {
    const std::size_t s = ascii ? up.rfind('\\') : FindLastChar(up, '\\');
    if (s == std::string::npos || s <= 2) return false;
    up.resize(s);
    if (m_missingFolders.count(up)) return true;
  }
}

bool CPathChecker::Find(const std::string& pattern) {
  if (FindOne(pattern)) return true;
  const std::string other = InThirtyTwoBitSystemFolder(pattern);
  return !other.empty() && FindOne(other);
}

bool CPathChecker::FindOne(const std::string& pattern) {
  if (m_cache) {
    const ListingAnswer listed = m_listings.Answer(pattern);
    if (listed != ListingAnswer::kAsk) return listed == ListingAnswer::kFound;
  }
  FindData first;
  return m_fs.FindFirst(pattern, &first) != nullptr;
}

std::string CPathChecker::InThirtyTwoBitSystemFolder(const std::string& pattern) {
  if (!m_haveFolders) {
    m_system = m_fs.GetSystemDirectory();
    m_wow64 = m_fs.GetSystemWow64Directory();
    m_haveFolders = true;
  }
  const std::size_t n = m_system.size();
  if (n == 0 || m_wow64.empty() || pattern.size() <= n + 1 || pattern[n] != '\\') return {};
  // The system folder's name is plain ASCII: a match ends on a character
  // of its own.
  if (!EqualsNoCase(pattern.substr(0, n), m_system)) return {};
  return m_wow64 + pattern.substr(n);
}

PathVerdict CPathChecker::Check(const std::string& given, const std::string& invalidPrefix,
                                std::string* description) {
  // 1. Too short to be a path.
  if (given.size() <= 3) return PathVerdict::kNotAPath;
  // Most texts are no paths: every head step 4 takes holds a ":" among
  // the first three characters, which step 2 leaves as they are.
  if (given[0] != '"' && given[0] != ':' && given[1] != ':' && given[2] != ':') {
    return PathVerdict::kNotAPath;
  }
  // The same text stands in many values (a shared library, a common
  // program); within one scan its verdict is fixed once judged.
  if (m_cache) {
    auto it = m_verdicts.find(given);
    if (it != m_verdicts.end()) return Remembered(it->second, invalidPrefix, description);
  }
  std::string text = given;
  // 2.
  DropTrailingBackslash(text);
  // 3. A quoted path: keep what stands between the quotes.
  if (!text.empty() && text[0] == '"') {
    const std::size_t p = FindChar(text, '"', 1);
    if (p != std::string::npos && p > 0) text = text.substr(1, p - 1);
  }
  // 4. Must begin with a drive letter. A quoted text too short to hold one
  // would otherwise be matched as an empty (always present) head.
  if (text.size() < 3) return PathVerdict::kNotAPath;
  const std::string head = UpperCase(text.substr(0, 3));
  if (std::string_view(kDriveLetterText).find(head) == std::string_view::npos) {
    return PathVerdict::kNotAPath;
  }
  if (!m_cache) return Judge(std::move(text), head, invalidPrefix, description);
  Verdict verdict;
  verdict.verdict = Judge(std::move(text), head, std::string(), &verdict.left);
  return Remembered(m_verdicts.emplace(given, std::move(verdict)).first->second, invalidPrefix,
                    description);
}

PathVerdict CPathChecker::Remembered(const Verdict& verdict, const std::string& invalidPrefix,
                                     std::string* description) {
  if (verdict.verdict == PathVerdict::kInvalid && description) {
    *description = invalidPrefix + verdict.left;
  }
  return verdict.verdict;
}

PathVerdict CPathChecker::Judge(std::string text, const std::string& head,
                                const std::string& invalidPrefix, std::string* description) {
  // 5. Drives that may be absent or slow are not judged.
  if (ListRemovableRoots().find(head) != std::string::npos) return PathVerdict::kValid;
  // 6.
  text = LowerCase(std::move(text));
  if (FindText(text, "microsoft") != std::string::npos || FindText(text, "office") != std::string::npos) {
    return PathVerdict::kValid;
  }
  // 7. ".*" also finds the name without an extension.
  if (Exists(text + ".*")) return PathVerdict::kValid;
  // 8. A program or library followed by more path.
  for (const char* marker : {".exe\\", ".dll\\"}) {
    const std::size_t p = FindText(text, marker);
    if (p != std::string::npos && p > 0 && Exists(text.substr(0, p + 4))) return PathVerdict::kValid;
  }
  // 9. A path followed by arguments or a list of paths.
  long pos = 3;
  for (char sep : {' ', ';', ',', '|', '/'}) {
    int attempts = 0;
    for (;;) {
      const std::size_t found = FindChar(text, sep, static_cast<std::size_t>(pos + 1));
      pos = found == std::string::npos ? -1 : static_cast<long>(found);
      std::string candidate = pos > 0 ? text.substr(0, static_cast<std::size_t>(pos)) : text;
      while (!candidate.empty() && IsSpace(candidate.back())) candidate.pop_back();
      DropTrailingBackslash(candidate);
      if (Exists(candidate)) return PathVerdict::kValid;
      if (candidate == text) break;
      if (++attempts >= 50) return PathVerdict::kNotAPath;
    }
  }
  // 10.
  if (Exists(text)) return PathVerdict::kValid;
  // 11. A name with a dot followed by something else: each longer prefix,
  // one whole character at a time.
  const std::size_t dot = FindChar(text, '.');
  if (dot != std::string::npos) {
    std::size_t end = dot + 1;
    for (;;) {
      if (Exists(text.substr(0, end))) return PathVerdict::kValid;
      if (end >= text.size()) break;
      end += CharLen(text, end);
    }
  }
  // 12.
  if (description) *description = invalidPrefix + text;
  return PathVerdict::kInvalid;
}

PathVerdict CheckFilePath(IFileSystem& fs, const std::string& text, std::string* description) {
  CPathChecker checker(fs);
  return checker.Check(text, ScanTexts().invalidPath, description);
}

std::string ListRemovableRoots(IFileSystem& fs) { return CPathChecker(fs).ListRemovableRoots(); }

}  // namespace tw
