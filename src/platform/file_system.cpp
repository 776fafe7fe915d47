// Helpers over IFileSystem that many callers share.
#include "platform/file_system.h"

#include "platform/text.h"

namespace tw {

std::string GetProgramFolder(IFileSystem& fs) {
  const std::string path = fs.GetModuleFileName();
  const std::size_t pos = FindLastChar(path, '\\');
  if (pos == std::string::npos) return std::string();
  return path.substr(0, pos);
}

namespace {

bool IsFolder(IFileSystem& fs, const std::string& path) {
  const std::uint32_t attrs = fs.GetFileAttributes(path);
  return attrs != kInvalidAttributes && (attrs & kAttrDirectory) != 0;
}

// "C:" or "C:\" or "\\server\share": nothing above it can be created.
bool IsRootLike(const std::string& path) {
  if (path.size() <= 3 && path.size() >= 2 && path[1] == ':') return true;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // A UNC path's first two parts (server and share) are its root.
    std::size_t seps = 0;
    for (std::size_t i = 2; i < path.size(); i = NextCharPos(path, i)) {
      if (path[i] == '\\') ++seps;
    }
    return seps < 2;
  }
  return false;
}

bool CreateFolderPathRec(IFileSystem& fs, const std::string& path, int depth) {
  if (path.empty()) return false;
  if (IsFolder(fs, path)) return true;
  if (IsRootLike(path) || depth > 128) return false;
  std::string parent;
  SplitAtLastBackslash(path, &parent, nullptr);
  if (!parent.empty() && !IsRootLike(parent) && !CreateFolderPathRec(fs, parent, depth + 1)) {
    return false;
  }
  const long rc = fs.CreateDirectory(path);
  if (rc == kErrorSuccess) return true;
  // Someone else may have made it meanwhile; a file of that name is no folder.
  return IsFolder(fs, path);
}

}  // namespace

bool CreateFolderPath(IFileSystem& fs, const std::string& path) {
  std::string p = path;
  const std::size_t last = FindLastChar(p, '\\');
  if (last != std::string::npos && last + 1 == p.size()) p.pop_back();
  return CreateFolderPathRec(fs, p, 0);
}

bool PathExists(IFileSystem& fs, const std::string& pattern) {
  FindData first;
  return fs.FindFirst(pattern, &first) != nullptr;
}

}  // namespace tw
