#include "registry_cleaner/folder_listing.h"

#include <algorithm>

namespace tw {

namespace {

// Printable ASCII: the only bytes whose case the listing folds itself.
// Beyond them the system folds case by its own table (and a code page's
// trail bytes may look like separators), which only a real search knows.
bool IsPlainByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u < 0x7F;
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

char UpperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The first n bytes of s are the upper-case word, ignoring case.
bool StartsAs(const std::string& s, std::size_t n, const char* word) {
  for (std::size_t i = 0; i < n; ++i) {
    if (word[i] == '\0' || UpperByte(s[i]) != word[i]) return false;
  }
  return word[n] == '\0';
}

// Names the system takes for a device in any folder ("nul", "COM1.txt").
bool IsDeviceName(const std::string& name) {
  std::size_t length = std::min(name.find('.'), name.size());
  while (length > 0 && name[length - 1] == ' ') --length;
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (StartsAs(name, length, device)) return true;
  }
  return length == 4 && (StartsAs(name, 3, "COM") || StartsAs(name, 3, "LPT")) &&
         name[3] >= '0' && name[3] <= '9';
}

// A part of a path that names one entry exactly as written: the system
// drops trailing dots and spaces, reads wildcards and stream names, and
// "." and ".." name other folders.
bool IsPlainComponent(const std::string& part) {
  if (part.empty() || part.size() > 255) return false;
  if (part[0] == '.' && (part.size() == 1 || (part.size() == 2 && part[1] == '.'))) return false;
  if (part.front() == ' ' || part.back() == ' ' || part.back() == '.') return false;
  for (char c : part) {
    if (!IsPlainByte(c)) return false;
    switch (c) {
      case '*': case '?': case '<': case '>': case '"': case '|': case ':': case '/':
        return false;
      default:
        break;
    }
  }
  return !IsDeviceName(part);
}

// An entry's name as the listing compares it; false for one it cannot.
bool IsPlainEntry(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  return std::all_of(name.begin(), name.end(), IsPlainByte);
}

}  // namespace

ListingAnswer CFolderListings::Answer(const std::string& pattern) {
  // Well inside MAX_PATH, so that the listing and the search it stands
  // for are read alike: a longer search may be refused for its length.
  if (pattern.size() < 4 || pattern.size() >= 240) return ListingAnswer::kAsk;
  const char drive = static_cast<char>(Upper(pattern.substr(0, 1))[0]);
  if (drive < 'A' || drive > 'Z' || pattern[1] != ':' || pattern[2] != '\\') {
    return ListingAnswer::kAsk;
  }
  if (!std::all_of(pattern.begin(), pattern.end(), IsPlainByte)) return ListingAnswer::kAsk;
  const std::size_t slash = pattern.rfind('\\');
  std::string name = pattern.substr(slash + 1);
  const bool stem = name.size() > 2 && name.compare(name.size() - 2, 2, ".*") == 0;
  if (stem) name.resize(name.size() - 2);
  if (!IsPlainComponent(name)) return ListingAnswer::kAsk;
  for (std::size_t at = 3; at <= slash;) {
    const std::size_t end = pattern.find('\\', at);
    if (!IsPlainComponent(pattern.substr(at, end - at))) return ListingAnswer::kAsk;
    at = end + 1;
  }
  const std::string folder = pattern.substr(0, slash);  // "C:" for the drive's root
  // A folder that a listing further up lacks holds nothing.
  for (std::string up = folder; up.size() > 2;) {
    const std::size_t s = up.rfind('\\');
    auto parent = m_folders.find(up.substr(0, s));
    if (parent != m_folders.end() && parent->second.listed) {
      if (Lookup(parent->second, up.substr(s + 1), false) == ListingAnswer::kNotFound) {
        return ListingAnswer::kNotFound;
      }
      break;  // there (or not to be told): its own listing decides
    }
    up.resize(s);
  }
  const Listing& listing = Get(folder);
  if (!listing.listed) return ListingAnswer::kAsk;
  return Lookup(listing, name, stem);
}

const CFolderListings::Listing& CFolderListings::Get(const std::string& folder) {
  auto it = m_folders.find(folder);
  if (it != m_folders.end()) return it->second;
  Listing& listing = m_folders[folder];
  FindData entry;
  const std::unique_ptr<IFileFind> find = m_fs.FindFirst(folder + "\\*", &entry);
  // A folder that cannot be listed (missing, a file, refused) is left to
  // the real searches, which tell those apart.
  if (!find) return listing;
  listing.listed = true;
  do {
    for (const std::string* name : {&entry.name, &entry.shortName}) {
      if (name->empty() || *name == "." || *name == "..") continue;
      if (IsPlainEntry(*name)) {
        listing.names.push_back(Upper(*name));
      } else {
        listing.odd = true;
      }
    }
  } while (find->Next(&entry));
  std::sort(listing.names.begin(), listing.names.end());
  return listing;
}

// "stem.*" finds "stem" and every "stem.<more>", by long or short name.
ListingAnswer CFolderListings::Lookup(const Listing& listing, const std::string& name, bool stem) {
  const std::string key = Upper(name);
  if (std::binary_search(listing.names.begin(), listing.names.end(), key)) {
    return ListingAnswer::kFound;
  }
  if (stem) {
    const std::string dotted = key + ".";
    auto it = std::lower_bound(listing.names.begin(), listing.names.end(), dotted);
    if (it != listing.names.end() && it->compare(0, dotted.size(), dotted) == 0) {
      return ListingAnswer::kFound;
    }
  }
  return listing.odd ? ListingAnswer::kAsk : ListingAnswer::kNotFound;
}

}  // namespace tw
