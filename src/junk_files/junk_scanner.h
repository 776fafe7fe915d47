// The junk-file scan: walks the chosen folders depth first and reports every
// file whose name matches a ticked type, and, when asked, every file of the
// browser's cache folder and of the system's temporary folder. It polls a
// run control between entries and never leaves the folders it was given:
// linked folders (reparse points) are not entered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "junk_files/junk_match.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/run_control.h"

namespace tw {

class IJunkScanSink {
 public:
  virtual ~IJunkScanSink() = default;
  // Every file looked at, for the status line; a file that would be listed
  // comes only once it has passed the open-for-writing probe.
  virtual void OnScanFile(const std::string& path) = 0;
  // A file to list: its path (folder part lower-cased) and its whole size.
  virtual void OnJunkFile(const std::string& path, std::uint64_t size) = 0;
};

struct JunkScanPlan {
  std::vector<std::string> roots;  // the folder tree's paths, walked for the types
  std::string cacheFolder;         // walked whole when not empty
  std::string tempFolder;          // SystemTempFolder(); never part of a root's walk
  bool walkTemp = false;           // walk tempFolder whole
};

class CJunkScanner {
 public:
  CJunkScanner(IFileSystem& fs, const CRunControl& control, IJunkScanSink& sink,
               const CJunkTypes& types)
      : m_fs(fs), m_control(control), m_sink(sink), m_types(types) {}

  // The roots (only when a type is ticked), then the cache folder, then the
  // temporary folder; each walk returns at once after a stop.
  void Run(const JunkScanPlan& plan);
  // takeAll lists every file; otherwise only those matching a type, and the
  // temporary folder (lower-cased compare) is left out.
  void WalkFolder(const std::string& path, bool takeAll);
  void SetTempFolder(const std::string& folder);

 private:
  IFileSystem& m_fs;
  const CRunControl& m_control;
  IJunkScanSink& m_sink;
  const CJunkTypes& m_types;
  std::string m_tempLower;
};

// GetTempPathA without its trailing "\", in its long form; empty when the
// system has none.
std::string SystemTempFolder(IFileSystem& fs);
// The "Cache" value of the user's shell folders, as it is written (no
// expansion); empty when missing.
std::string BrowserCacheFolder(IRegistry& registry);
// "1024 BYTE".
std::string SizeText(std::uint64_t size);

}  // namespace tw
