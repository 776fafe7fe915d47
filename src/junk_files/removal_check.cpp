#include "junk_files/removal_check.h"

#include "platform/text.h"

namespace tw {

namespace {

bool IsDriveOnly(const std::string& root) { return root.size() == 2 && root[1] == ':'; }

std::string Spelled(const std::string& folder) {
  std::string out = LowerCase(folder);
  const std::size_t last = FindLastChar(out, '\\');
  if (last != std::string::npos && last + 1 == out.size()) out.pop_back();
  return out;
}

// The deepest root that holds path below it; npos when none does.
std::size_t RootLength(const std::vector<std::string>& roots, const std::string& path) {
  std::size_t best = std::string::npos;
  for (const std::string& raw : roots) {
    const std::string root = Spelled(raw);
    if (root.empty() || path.size() <= root.size() + 1) continue;
    if (!EqualsNoCase(path.substr(0, root.size()), root) || path[root.size()] != '\\') continue;
    // The "\" must be a separator of its own, not the trail byte of a
    // double-byte character that ends the root.
    std::size_t i = 0;
    while (i < root.size()) i = NextCharPos(path, i);
    if (i != root.size()) continue;
    if (best == std::string::npos || root.size() > best) best = root.size();
  }
  return best;
}

bool IsPlainFolder(std::uint32_t attrs) {
  return attrs != kInvalidAttributes && (attrs & kAttrDirectory) && !(attrs & kAttrReparsePoint);
}

}  // namespace

PathCheck CheckRemovablePath(IFileSystem& fs, const std::vector<std::string>& roots,
                             const std::string& path) {
  const std::size_t rootLength = RootLength(roots, path);
  if (rootLength == std::string::npos) return PathCheck::kRefused;
  const std::string root = path.substr(0, rootLength);
  // The walk enters no linked folder, the walked one included; one that has
  // become a link since leads somewhere the scan never looked.
  if (!IsPlainFolder(fs.GetFileAttributes(IsDriveOnly(root) ? root + "\\" : root))) {
    return PathCheck::kRefused;
  }
  std::string prefix = root;
  std::size_t start = rootLength + 1;
  for (;;) {
    const std::size_t end = FindChar(path, '\\', start);
    const bool last = end == std::string::npos;
    const std::string name = path.substr(start, last ? std::string::npos : end - start);
    // The search below would take these as wildcards; and an empty part
    // ("a\\b") is no name.
    if (name.empty() || FindChar(name, '*') != std::string::npos ||
        FindChar(name, '?') != std::string::npos) {
      return PathCheck::kRefused;
    }
    prefix.append(1, '\\').append(name);
    FindData found;
    long error = kErrorSuccess;
    // Both the entry's attributes and the search: Wine's search does not
    // find a symbolic link by its own name, its attributes show it.
    const std::uint32_t attrs = fs.GetFileAttributes(prefix);
    if (attrs != kInvalidAttributes && (attrs & kAttrReparsePoint)) return PathCheck::kRefused;
    if (!fs.FindFirst(prefix, &found, &error)) {
      const bool missing = error == kErrorFileNotFound || error == kErrorPathNotFound;
      return missing && attrs == kInvalidAttributes ? PathCheck::kGone : PathCheck::kRefused;
    }
    // The system drops a trailing dot or blank and answers for the short
    // name too: the entry found must carry the name asked for. The folders
    // of a row are lower-cased, its file name is as the disk gave it.
    if (last ? found.name != name : !EqualsNoCase(found.name, name)) return PathCheck::kRefused;
    if (found.attributes & kAttrReparsePoint) return PathCheck::kRefused;
    if (last) return found.IsDirectory() ? PathCheck::kRefused : PathCheck::kPlainFile;
    if (!found.IsDirectory()) return PathCheck::kGone;
    start = end + 1;
  }
}

std::vector<std::string> WalkedRoots(const std::vector<std::string>& roots,
                                     const std::string& cacheFolder,
                                     const std::string& tempFolder) {
  std::vector<std::string> out;
  for (const std::string& root : roots) out.push_back(Spelled(root));
  if (!cacheFolder.empty()) out.push_back(Spelled(cacheFolder));
  if (!tempFolder.empty()) out.push_back(Spelled(tempFolder));
  return out;
}

}  // namespace tw
