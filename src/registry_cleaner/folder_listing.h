// Answers searches for names in a folder from one listing of that folder.
// A search for a name that is not there costs the system a read of the
// whole folder, so checking many stale names of one folder costs the
// folder's size many times; one "folder\*" read answers them all. Only
// searches whose answer the listing gives exactly are answered: plain ASCII
// names compared as the system compares them, with long and short names;
// anything else is left to a real search.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"

namespace tw {

enum class ListingAnswer { kFound, kNotFound, kAsk };

class CFolderListings {
 public:
  explicit CFolderListings(IFileSystem& fs) : m_fs(fs) {}

  // What FindFirst(pattern) would say: found or not found for "folder\name"
  // and "folder\stem.*" with plain names, listing the folder at its first
  // question; kAsk when only a real search can tell. A folder that a
  // listing further up does not hold answers kNotFound without a listing.
  // The listings are kept for the object's lifetime: use one per scan.
  ListingAnswer Answer(const std::string& pattern);

 private:
  struct Listing {
    bool listed = false;
    // An entry whose name the plain comparison cannot judge (beyond ASCII,
    // or ending in a dot or a space): a name not found may still match it.
    bool odd = false;
    std::vector<std::string> names;  // long and short names, upper-cased, sorted
  };
  const Listing& Get(const std::string& folder);
  static ListingAnswer Lookup(const Listing& listing, const std::string& name, bool stem);

  IFileSystem& m_fs;
  std::unordered_map<std::string, Listing> m_folders;
};

}  // namespace tw
