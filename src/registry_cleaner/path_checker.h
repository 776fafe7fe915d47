// Decides whether a registry text names a file or folder that is gone. The
// steps run in a fixed order: cheap tests that prove a text is no path or
// must not be judged come first, then ever looser readings of the text
// (arguments after the path, a file name inside a longer text) before a
// path is called missing.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/file_system.h"
#include "registry_cleaner/folder_listing.h"

namespace tw {

enum class PathVerdict { kInvalid, kValid, kNotAPath };

class CPathChecker {
 public:
  // With cacheWithinRun set, the removable roots and every existence answer
  // are remembered for the checker's lifetime (one scan); otherwise each
  // text asks the file system afresh.
  explicit CPathChecker(IFileSystem& fs, bool cacheWithinRun = false);

  // On kInvalid, *description is invalidPrefix followed by the text as the
  // check left it (quotes and a trailing "\" removed, lower-cased).
  PathVerdict Check(const std::string& text, const std::string& invalidPrefix,
                    std::string* description);

  // The roots ("E:\") of removable, network, CD-ROM and RAM-disk drives,
  // concatenated and upper-cased.
  std::string ListRemovableRoots();
  // A directory search for the name (wildcards allowed) finds an entry. On
  // 64-bit Windows a name in the system folder also counts when the 32-bit
  // system folder has it: an entry of the 32-bit view that names System32
  // means SysWOW64, and the text does not say which view it came from.
  bool Exists(const std::string& pattern);

 private:
  // Steps from the drive type on, for a text that begins with a drive.
  PathVerdict Judge(std::string text, const std::string& head, const std::string& invalidPrefix,
                    std::string* description);
  bool Search(const std::string& pattern, long* error);
  // Finds the pattern, or failing that its name in the 32-bit system folder.
  bool Find(const std::string& pattern);
  bool FindOne(const std::string& pattern);
  bool BelowMissingFolder(const std::string& pattern) const;
  // The same name in the 32-bit system folder; empty when the pattern is
  // not in the system folder or the system has no 32-bit one.
  std::string InThirtyTwoBitSystemFolder(const std::string& pattern);

  IFileSystem& m_fs;
  bool m_haveFolders = false;
  std::string m_system;
  std::string m_wow64;
  bool m_cache;
  // Within a scan: one listing answers every later check in its folder.
  CFolderListings m_listings;
  bool m_haveRoots = false;
  std::string m_roots;
  std::unordered_map<std::string, bool> m_exists;
  // Folders known to be missing: nothing below one can exist.
  std::unordered_set<std::string> m_missingFolders;
  // "folder\stem" with no entry named "stem" or "stem.<anything>".
  std::unordered_set<std::string> m_emptyStems;
  // Each path text judged, as given, with the text its finding names.
  struct Verdict {
    PathVerdict verdict = PathVerdict::kNotAPath;
    std::string left;
  };
  std::unordered_map<std::string, Verdict> m_verdicts;
  static PathVerdict Remembered(const Verdict& verdict, const std::string& invalidPrefix,
                                std::string* description);
};

// One-off forms for callers outside a scan.
PathVerdict CheckFilePath(IFileSystem& fs, const std::string& text, std::string* description);
std::string ListRemovableRoots(IFileSystem& fs);

// "A:\B:\...Z:\": a text begins with a drive letter when its first three
// characters, upper-cased, occur in it.
extern const char kDriveLetterText[];

}  // namespace tw
