#include "junk_files/junk_scanner.h"

#include <algorithm>
#include <memory>

#include "platform/text.h"

namespace tw {

void CJunkScanner::SetTempFolder(const std::string& folder) { m_tempLower = LowerCase(folder); }

void CJunkScanner::Run(const JunkScanPlan& plan) {
  SetTempFolder(plan.tempFolder);
  if (!m_types.Empty()) {
    for (const std::string& root : plan.roots) WalkFolder(root, false);
  }
  if (!plan.cacheFolder.empty()) WalkFolder(plan.cacheFolder, true);
  if (plan.walkTemp && !plan.tempFolder.empty()) WalkFolder(plan.tempFolder, true);
}

void CJunkScanner::WalkFolder(const std::string& path, bool takeAll) {
  // An empty path would list the current drive's root: nothing chosen.
  if (path.empty()) return;
  // Nor is a linked folder walked when it is the one chosen: what the walk
  // lists is removed later by its path, which must lead where the walk went.
  const bool driveOnly = path.size() == 2 && path[1] == ':';
  const std::uint32_t rootAttrs = m_fs.GetFileAttributes(driveOnly ? path + "\\" : path);
  if (rootAttrs != kInvalidAttributes && (rootAttrs & kAttrReparsePoint)) return;
  // Depth first, with the open searches on a stack of our own rather than
  // the thread's: a deep tree must not exhaust the worker's stack.
  struct Level {
    std::string folder;
    bool protectedFolder = false;  // files below are never listed
    std::unique_ptr<IFileFind> find;
    FindData first;
    bool hasFirst = true;
  };
  std::vector<Level> stack;
  // The folders of installed programs are judged by their names; the cache
  // and temporary folders are the system's own and lie below one named
  // "Microsoft" on every Windows since Vista, so there only the part below
  // the walked folder counts.
  const std::size_t judgedFrom = takeAll ? LowerCase(path).size() : 0;
  auto enter = [&](const std::string& raw) {
    Level level;
    level.folder = LowerCase(raw);
    if (!takeAll && !m_tempLower.empty() && level.folder == m_tempLower) return;
    level.protectedFolder =
        IsProtectedName(level.folder.substr(std::min(judgedFrom, level.folder.size())));
    level.find = m_fs.FindFirst(level.folder + "\\*", &level.first);
    if (level.find) stack.push_back(std::move(level));
  };
  enter(path);
  // Reused from entry to entry, so that a long name or path costs no heap
  // call per file.
  FindData entry;
  std::string full;
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.hasFirst) {
      entry = std::move(top.first);
      top.hasFirst = false;
    } else if (!top.find->Next(&entry)) {
      stack.pop_back();
      continue;
    }
    if (entry.name == "." || entry.name == "..") continue;
    if (m_control.Poll()) return;
    full.assign(top.folder).append(1, '\\').append(entry.name);
    if (entry.IsDirectory()) {
      // A linked folder may lead back above itself (an endless walk) or to
      // another drive the user never chose.
      if (!(entry.attributes & kAttrReparsePoint)) enter(full);
      continue;
    }
    // The name is judged before the open-for-writing probe: the probe is an
    // open and a close, by far the dearest step of the walk (under Wine 20
    // times a directory entry), and only a file that would be listed needs
    // it. The others still name themselves in the status line.
    const bool listed =
        !top.protectedFolder && (takeAll || m_types.MatchesAnyType(entry.name, &m_control));
    if (listed && !m_fs.CanOpenForWriteDenyWrite(full)) continue;
    m_sink.OnScanFile(full);
    if (m_control.Poll()) return;
    if (listed) m_sink.OnJunkFile(full, entry.size);
  }
}

std::string SystemTempFolder(IFileSystem& fs) {
  std::string temp = fs.GetTempPath();
  if (temp.empty()) return std::string();
  temp.pop_back();
  if (temp.empty()) return std::string();
  const std::string longForm = fs.GetLongPathName(temp);
  return longForm.empty() ? temp : longForm;
}

std::string BrowserCacheFolder(IRegistry& registry) {
  RegKey key = 0;
  if (registry.OpenKey(kHkeyCurrentUser,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                       kKeyQueryValue, &key) != kErrorSuccess) {
    return std::string();
  }
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const long rc = registry.QueryValue(key, "Cache", &type, &data, 526);
  registry.CloseKey(key);
  if (rc != kErrorSuccess) return std::string();
  std::string text(data.begin(), data.end());
  const std::size_t end = text.find('\0');
  if (end != std::string::npos) text.resize(end);
  return text;
}

std::string SizeText(std::uint64_t size) { return std::to_string(size) + " BYTE"; }

}  // namespace tw
