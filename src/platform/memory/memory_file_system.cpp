#include "platform/memory/memory_file_system.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "platform/wildcard.h"

namespace tw {

struct CMemoryFileSystem::Node {
  std::string name;
  std::string shortName;  // empty when the name is its own short name
  std::u16string sortKey;
  std::uint32_t attributes = kAttrArchive;
  std::uint64_t lastWriteTime = 0;
  std::string contents;
  std::string flushed;  // the contents as of the last flush: what a power cut keeps
  bool inUse = false;  // held open for writing by another program
  int writers = 0;     // our own open writers
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;  // sorted by sortKey
  bool IsFolder() const { return (attributes & kAttrDirectory) != 0; }
};

struct CMemoryFileSystem::Drive {
  std::uint32_t type = kDriveFixed;
  std::string label;
  std::unique_ptr<Node> root;
};

namespace {

// The order the system lists a folder in: upper-cased UTF-16.
std::u16string SortKey(const std::string& name) {
  std::u16string key;
  bool ascii = true;
  for (unsigned char c : name) ascii = ascii && c < 0x80;
  if (ascii) {
    key.assign(name.begin(), name.end());
  } else {
    key = AnsiToUtf16(name);
  }
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return key;
}

char UpperDrive(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

// ---------------------------------------------------------------- searches

class CMemoryFileSystem::CFind : public IFileFind {
 public:
  explicit CFind(std::vector<FindData> rest) : m_rest(std::move(rest)) {}
  bool Next(FindData* out) override {
    if (m_nNext >= m_rest.size()) return false;
    if (out) *out = m_rest[m_nNext];
    ++m_nNext;
    return true;
  }

 private:
  std::vector<FindData> m_rest;
  std::size_t m_nNext = 0;
};

// ---------------------------------------------------------------- writers

class CMemoryFileSystem::CWriter : public IWritableFile {
 public:
  CWriter(CMemoryFileSystem& fs, Node* node) : m_fs(fs), m_node(node) { ++node->writers; }
  ~CWriter() override { Close(); }
  bool Write(const void* data, std::size_t size) override {
    CMutexLock lock(m_fs.m_mutex);
    if (!m_node) return false;
    long error = 0;
    if (m_fs.Fault(true, &error)) {
      m_error = error;
      return false;
    }
    const char* bytes = static_cast<const char*>(data);
    const std::size_t room = m_fs.m_nWriteBudget == Unlimited()
                                 ? size
                                 : std::min<std::uint64_t>(size, m_fs.m_nWriteBudget);
    m_node->contents.append(bytes, room);
    m_node->lastWriteTime = m_fs.Now();
    if (m_fs.m_nWriteBudget != Unlimited()) m_fs.m_nWriteBudget -= room;
    if (room != size) m_error = kErrorHandleDiskFull;
    return room == size;
  }
  long LastWriteError() const override { return m_error; }
  bool Flush() override {
    CMutexLock lock(m_fs.m_mutex);
    if (!m_node) return false;
    long error = 0;
    if (m_fs.Fault(true, &error)) {
      m_error = error;
      return false;
    }
    m_node->flushed = m_node->contents;
    return true;
  }
  bool Truncate(std::uint64_t size) override {
    CMutexLock lock(m_fs.m_mutex);
    if (!m_node) return false;
    long error = 0;
    if (m_fs.Fault(true, &error)) return false;
    if (size < m_node->contents.size()) {
      // The bytes cut off give their room back to a disk that ran full.
      if (m_fs.m_nWriteBudget != Unlimited()) m_fs.m_nWriteBudget += m_node->contents.size() - size;
      m_node->contents.resize(size);
    }
    m_node->lastWriteTime = m_fs.Now();
    return true;
  }
  bool Close() override {
    CMutexLock lock(m_fs.m_mutex);
    if (!m_node) return true;
    --m_node->writers;
    m_node = nullptr;
    long error = 0;
    return !m_fs.Fault(true, &error);
  }

 private:
  CMemoryFileSystem& m_fs;
  Node* m_node;
  long m_error = kErrorWriteFault;
};

// ---------------------------------------------------------------- paths

CMemoryFileSystem::CMemoryFileSystem() = default;
CMemoryFileSystem::~CMemoryFileSystem() = default;

bool CMemoryFileSystem::Fault(bool mutating, long* error) {
  CMutexLock lock(m_mutex);
  return m_faults.Tick(mutating, error);
}

std::uint64_t CMemoryFileSystem::Now() { return m_nClock += 10000000ull; }

// Resolves a path the way the system does: "\" or "/" between parts, "."
// and ".." folded away, relative paths from the current folder, and the
// last part without trailing dots and spaces (a middle part loses one
// trailing dot).
bool CMemoryFileSystem::ParsePath(const std::string& pathIn, Path* out) const {
  std::string path = pathIn;
  if (path.empty()) return false;
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return false;  // no network paths
  std::string base;
  if (path.size() >= 2 && path[1] == ':') {
    out->drive = UpperDrive(path[0]);
    path = path.substr(2);
    if (path.empty() || (path[0] != '\\' && path[0] != '/')) {
      // "C:name" is relative to the current folder when that is on C:.
      if (!m_strCurrent.empty() && UpperDrive(m_strCurrent[0]) == out->drive) {
        base = m_strCurrent.substr(2);
      }
    }
  } else {
    if (m_strCurrent.size() < 2) return false;
    out->drive = UpperDrive(m_strCurrent[0]);
    if (path[0] != '\\' && path[0] != '/') base = m_strCurrent.substr(2);
  }
  if (out->drive < 'A' || out->drive > 'Z') return false;
  const std::string all = base + "\\" + path;
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&](bool last) {
    if (part == ".") {
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty()) {
      if (last) {
        part = StripTrailingDotsAndSpaces(part);
      } else if (part.back() == '.') {
        part.pop_back();
      }
      if (!part.empty()) parts.push_back(part);
    }
    part.clear();
  };
  for (std::size_t i = 0; i < all.size();) {
    const std::size_t next = NextCharPos(all, i);
    if (next == i + 1 && (all[i] == '\\' || all[i] == '/')) {
      flush(false);
    } else {
      part.append(all, i, next - i);
    }
    i = next;
  }
  flush(true);
  out->parts = std::move(parts);
  return true;
}

CMemoryFileSystem::Node* CMemoryFileSystem::Child(const Node& folder, const std::string& name) {
  const std::u16string key = SortKey(name);
  auto it = std::lower_bound(
      folder.children.begin(), folder.children.end(), key,
      [](const std::unique_ptr<Node>& n, const std::u16string& k) { return n->sortKey < k; });
  if (it != folder.children.end() && (*it)->sortKey == key) return it->get();
  // A short (8.3) name reaches the same entry.
  if (FindChar(name, '~') != std::string::npos) {
    for (const auto& c : folder.children) {
      if (!c->shortName.empty() && EqualsNoCase(c->shortName, name)) return c.get();
    }
  }
  return nullptr;
}

CMemoryFileSystem::Node* CMemoryFileSystem::Lookup(const Path& path, long* error) const {
  auto d = m_drives.find(path.drive);
  if (d == m_drives.end()) {
    if (error) *error = kErrorPathNotFound;
    return nullptr;
  }
  Node* node = d->second->root.get();
  for (std::size_t i = 0; i < path.parts.size(); ++i) {
    Node* child = node->IsFolder() ? Child(*node, path.parts[i]) : nullptr;
    if (!child) {
      if (error)
        *error = (i + 1 == path.parts.size() && node->IsFolder()) ? kErrorFileNotFound
                                                                  : kErrorPathNotFound;
      return nullptr;
    }
    node = child;
  }
  return node;
}

CMemoryFileSystem::Node* CMemoryFileSystem::LookupParent(const Path& path, long* error) const {
  if (path.parts.empty()) {
    if (error) *error = kErrorAccessDenied;  // a drive root has no parent
    return nullptr;
  }
  Path parent = path;
  parent.parts.pop_back();
  Node* node = Lookup(parent, error);
  if (node && !node->IsFolder()) {
    if (error) *error = kErrorPathNotFound;
    return nullptr;
  }
  if (!node && error) *error = kErrorPathNotFound;
  return node;
}

CMemoryFileSystem::Node* CMemoryFileSystem::Find(const std::string& path, long* error) const {
  Path p;
  if (!ParsePath(path, &p)) {
    if (error) *error = kErrorPathNotFound;
    return nullptr;
  }
  return Lookup(p, error);
}

CMemoryFileSystem::Node* CMemoryFileSystem::Insert(Node* folder, std::unique_ptr<Node> node) {
  node->sortKey = SortKey(node->name);
  node->parent = folder;
  node->shortName.clear();
  if (!IsShortName(node->name)) {
    // NAME~N.EXT from the long name's first letters and its extension.
    std::string stem, ext;
    const std::size_t dot = FindLastChar(node->name, '.');
    const std::string b =
        dot == std::string::npos || dot == 0 ? node->name : node->name.substr(0, dot);
    const std::string e =
        dot == std::string::npos || dot == 0 ? std::string() : node->name.substr(dot + 1);
    for (unsigned char c : b) {
      if (stem.size() < 6 && c > ' ' && c < 0x7F && c != '.' &&
          !std::strchr("\"*+,/:;<=>?[\\]|", c))
        stem.push_back(static_cast<char>(c));
    }
    for (unsigned char c : e) {
      if (ext.size() < 3 && c > ' ' && c < 0x7F && !std::strchr("\"*+,/:;<=>?[\\]|", c))
        ext.push_back(static_cast<char>(c));
    }
    if (stem.empty()) stem = "_";
    stem = UpperCase(stem);
    ext = UpperCase(ext);
    for (int n = 1;; ++n) {
      std::string candidate = stem + "~" + std::to_string(n) + (ext.empty() ? "" : "." + ext);
      bool taken = false;
      for (const auto& c : folder->children) {
        taken = taken || EqualsNoCase(c->shortName.empty() ? c->name : c->shortName, candidate);
      }
      if (!taken) {
        node->shortName = candidate;
        break;
      }
    }
  }
  auto it = std::lower_bound(
      folder->children.begin(), folder->children.end(), node->sortKey,
      [](const std::unique_ptr<Node>& n, const std::u16string& k) { return n->sortKey < k; });
  Node* raw = node.get();
  folder->children.insert(it, std::move(node));
  return raw;
}

std::unique_ptr<CMemoryFileSystem::Node> CMemoryFileSystem::Detach(Node* node) {
  Node* parent = node->parent;
  auto it = std::find_if(parent->children.begin(), parent->children.end(),
                         [node](const std::unique_ptr<Node>& n) { return n.get() == node; });
  std::unique_ptr<Node> owned = std::move(*it);
  parent->children.erase(it);
  owned->parent = nullptr;
  return owned;
}

std::string CMemoryFileSystem::FullPath(const Node* node) const {
  std::vector<const Node*> chain;
  for (const Node* n = node; n; n = n->parent) chain.push_back(n);
  std::string path = chain.back()->name;  // "C:"
  if (chain.size() == 1) return path + "\\";
  for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) path += "\\" + (*it)->name;
  return path;
}

bool CMemoryFileSystem::Contains(const Node* ancestor, const Node* node) {
  for (const Node* n = node; n; n = n->parent) {
    if (n == ancestor) return true;
  }
  return false;
}

bool CMemoryFileSystem::AnyInUse(const Node* node) {
  if (node->inUse || node->writers > 0) return true;
  for (const auto& c : node->children) {
    if (AnyInUse(c.get())) return true;
  }
  return false;
}

std::unique_ptr<CMemoryFileSystem::Node> CMemoryFileSystem::CloneTree(const Node& node) {
  auto copy = std::make_unique<Node>();
  copy->name = node.name;
  copy->shortName = node.shortName;
  copy->sortKey = node.sortKey;
  copy->attributes = node.attributes;
  copy->lastWriteTime = node.lastWriteTime;
  copy->contents = node.contents;
  for (const auto& c : node.children) {
    copy->children.push_back(CloneTree(*c));
    copy->children.back()->parent = copy.get();
  }
  return copy;
}

// ---------------------------------------------------------------- IFileSystem

std::unique_ptr<IFileFind> CMemoryFileSystem::FindFirst(const std::string& pattern, FindData* first,
                                                        long* error) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  auto fail = [&](long e) -> std::unique_ptr<IFileFind> {
    if (error) *error = e;
    return nullptr;
  };
  if (Fault(false, &rc)) return fail(rc);
  // The mask is the last part; the folder is everything before it.
  std::string folderText, mask;
  SplitAtLastBackslash(pattern, &folderText, &mask);
  if (folderText.empty() && FindLastChar(pattern, '\\') == std::string::npos) {
    if (pattern.size() >= 2 && pattern[1] == ':') {
      folderText = pattern.substr(0, 2);
      mask = pattern.substr(2);
    } else {
      folderText = m_strCurrent;
    }
  } else if (folderText.empty() || (folderText.size() == 2 && folderText[1] == ':')) {
    folderText += "\\";
  }
  mask = StripTrailingDotsAndSpaces(mask);
  if (mask.empty()) return fail(kErrorFileNotFound);
  if (mask == "." || mask == "..") {
    // The folder itself (or its parent), found under its own name.
    Path p;
    if (!ParsePath(pattern, &p)) return fail(kErrorPathNotFound);
    Node* node = Lookup(p, &rc);
    if (!node) return fail(rc);
    if (!node->parent) return fail(kErrorFileNotFound);
    FindData fd;
    fd.name = node->name;
    fd.attributes = node->attributes;
    fd.size = node->IsFolder() ? 0 : node->contents.size();
    fd.lastWriteTime = node->lastWriteTime;
    if (first) *first = fd;
    return std::make_unique<CFind>(std::vector<FindData>());
  }
  Node* folder = Find(folderText, &rc);
  if (!folder) return fail(kErrorPathNotFound);
  if (!folder->IsFolder()) return fail(kErrorPathNotFound);
  std::vector<FindData> found;
  auto consider = [&](const std::string& name, const Node& node) {
    if (!MatchFileMask(name, mask) && (node.shortName.empty() || name == "." || name == ".." ||
                                       !MatchFileMask(node.shortName, mask))) {
      return;
    }
    FindData fd;
    fd.name = name;
    if (name != "." && name != "..") fd.shortName = node.shortName;
    fd.attributes = node.attributes == 0 ? kAttrNormal : node.attributes;
    fd.size = node.IsFolder() ? 0 : node.contents.size();
    fd.lastWriteTime = node.lastWriteTime;
    found.push_back(std::move(fd));
  };
  // Every folder but a drive root lists "." and ".." first.
  if (folder->parent) {
    consider(".", *folder);
    consider("..", *folder->parent);
  }
  for (const auto& c : folder->children) consider(c->name, *c);
  if (found.empty()) return fail(kErrorFileNotFound);
  if (first) *first = found.front();
  found.erase(found.begin());
  if (error) *error = kErrorSuccess;
  return std::make_unique<CFind>(std::move(found));
}

std::string CMemoryFileSystem::GetLogicalDriveStrings(std::size_t bufSize) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return std::string();
  std::string out;
  for (const auto& d : m_drives) {
    out.push_back(d.first);
    out.append(":\\");
    out.push_back('\0');
  }
  out.push_back('\0');
  if (out.size() > bufSize) return std::string();
  return out;
}

std::uint32_t CMemoryFileSystem::GetDriveType(const std::string& root) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return kDriveUnknown;
  std::string r = root.empty() ? m_strCurrent.substr(0, 3) : root;
  if (r.size() < 2 || r[1] != ':' || (r.size() >= 3 && r[2] != '\\')) return kDriveNoRootDir;
  auto d = m_drives.find(UpperDrive(r[0]));
  if (d == m_drives.end()) return kDriveNoRootDir;
  // Wine answers an existing folder with its drive's type (Windows only a
  // root); callers pass roots.
  if (r.size() > 3) {
    Node* node = Find(r);
    if (!node || !node->IsFolder()) return kDriveNoRootDir;
  }
  return d->second->type;
}

bool CMemoryFileSystem::GetVolumeLabel(const std::string& root, std::string* label) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return false;
  if (root.size() < 2 || root[1] != ':') return false;
  auto d = m_drives.find(UpperDrive(root[0]));
  if (d == m_drives.end()) return false;
  if (label) *label = d->second->label;
  return true;
}

bool CMemoryFileSystem::CanOpenForWriteDenyWrite(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return false;
  Node* node = Find(path);
  return node && !node->IsFolder() && !(node->attributes & kAttrReadOnly) && !node->inUse &&
         node->writers == 0;
}

std::string CMemoryFileSystem::GetTempPath() {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return std::string();
  return m_strTemp;
}

// Each part as the caller spelt it when that names the entry itself; a short
// (8.3) part is replaced by the long name, or the other way round.
std::string CMemoryFileSystem::PathForm(const std::string& path, bool shortForm) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return std::string();
  Path p;
  if (!ParsePath(path, &p)) return std::string();
  if (!Lookup(p, &rc)) return std::string();
  const Node* node = m_drives.find(p.drive)->second->root.get();
  std::string out =
      path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string(1, p.drive) + ":";
  out += "\\";
  for (std::size_t i = 0; i < p.parts.size(); ++i) {
    node = Child(*node, p.parts[i]);
    const std::string& given = p.parts[i];
    std::string part;
    if (shortForm) {
      part = IsShortName(given) ? given : (node->shortName.empty() ? node->name : node->shortName);
    } else {
      part = EqualsNoCase(given, node->name) ? given : node->name;
    }
    out += part;
    if (i + 1 < p.parts.size()) out += "\\";
  }
  return out;
}

std::string CMemoryFileSystem::GetLongPathName(const std::string& path) {
  return PathForm(path, false);
}

std::string CMemoryFileSystem::GetShortPathName(const std::string& path) {
  return PathForm(path, true);
}

std::string CMemoryFileSystem::GetWindowsDirectory() {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return std::string();
  return m_strWindows;
}

std::string CMemoryFileSystem::GetSystemDirectory() {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return std::string();
  return m_strWindows + "\\system32";
}

std::string CMemoryFileSystem::GetSystemWow64Directory() {
  CMutexLock lock(m_mutex);
  return m_strWow64;
}

std::string CMemoryFileSystem::GetModuleFileName() {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return std::string();
  return m_strModule;
}

std::uint32_t CMemoryFileSystem::GetFileAttributes(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return kInvalidAttributes;
  Node* node = Find(path);
  if (!node) return kInvalidAttributes;
  return node->attributes == 0 ? kAttrNormal : node->attributes;
}

long CMemoryFileSystem::CreateDirectory(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  Path p;
  if (!ParsePath(path, &p)) return kErrorPathNotFound;
  if (Lookup(p, nullptr)) return kErrorAlreadyExists;
  Node* parent = LookupParent(p, &rc);
  if (!parent) return p.parts.empty() ? kErrorAccessDenied : rc;
  auto node = std::make_unique<Node>();
  node->name = p.parts.back();
  node->attributes = kAttrDirectory;
  node->lastWriteTime = Now();
  Insert(parent, std::move(node));
  return kErrorSuccess;
}

long CMemoryFileSystem::RemoveDirectory(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  Node* node = Find(path, &rc);
  if (!node) return rc;
  if (!node->IsFolder()) return kErrorDirectory;
  if (!node->parent) return kErrorAccessDenied;
  if (!node->children.empty()) return kErrorDirNotEmpty;
  Detach(node);
  return kErrorSuccess;
}

long CMemoryFileSystem::DeleteFile(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  Node* node = Find(path, &rc);
  if (!node) return rc;
  if (node->IsFolder() || (node->attributes & kAttrReadOnly)) return kErrorAccessDenied;
  if (node->inUse || node->writers > 0) return kErrorSharingViolation;
  Detach(node);
  return kErrorSuccess;
}

long CMemoryFileSystem::MoveFile(const std::string& from, const std::string& to) {
  return Move(from, to, false);
}

long CMemoryFileSystem::MoveFileReplace(const std::string& from, const std::string& to) {
  return Move(from, to, true);
}

long CMemoryFileSystem::Move(const std::string& from, const std::string& to, bool replace) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  Node* node = Find(from, &rc);
  if (!node) return rc;
  if (!node->parent) return kErrorAccessDenied;
  Path dest;
  if (!ParsePath(to, &dest)) return kErrorPathNotFound;
  Node* existing = Lookup(dest, nullptr);
  if (!replace) {
    if (existing == node) return kErrorSuccess;  // onto itself (Wine keeps the old spelling)
    if (existing) return kErrorAlreadyExists;
  }
  Node* parent = LookupParent(dest, &rc);
  if (!parent) return rc;
  if (Contains(node, parent)) return kErrorAccessDenied;  // into itself
  if (AnyInUse(node)) return kErrorSharingViolation;
  if (existing && existing != node) {
    // Only a file is replaced, and only one nobody holds or protects.
    if (existing->IsFolder() || node->IsFolder() || (existing->attributes & kAttrReadOnly)) {
      return kErrorAccessDenied;
    }
    if (existing->inUse || existing->writers > 0) return kErrorSharingViolation;
    Detach(existing);
  }
  std::unique_ptr<Node> owned = Detach(node);
  owned->name = dest.parts.back();
  Insert(parent, std::move(owned));
  return kErrorSuccess;
}

std::unique_ptr<IWritableFile> CMemoryFileSystem::CreateFile(const std::string& path,
                                                             CreateMode mode, long* error) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  auto fail = [&](long e) -> std::unique_ptr<IWritableFile> {
    if (error) *error = e;
    return nullptr;
  };
  if (Fault(true, &rc)) return fail(rc);
  Path p;
  if (!ParsePath(path, &p)) return fail(kErrorPathNotFound);
  Node* node = Lookup(p, nullptr);
  if (node) {
    if (node->IsFolder() || (node->attributes & kAttrReadOnly)) return fail(kErrorAccessDenied);
    if (node->inUse || node->writers > 0) return fail(kErrorSharingViolation);
    if (mode == CreateMode::kCreateNew) return fail(kErrorFileExists);
    if (mode == CreateMode::kCreateAlways) {
      node->contents.clear();
      node->attributes = kAttrArchive;
    }
  } else {
    Node* parent = LookupParent(p, &rc);
    if (!parent) return fail(p.parts.empty() ? kErrorAccessDenied : rc);
    auto created = std::make_unique<Node>();
    created->name = p.parts.back();
    created->attributes = kAttrArchive;
    node = Insert(parent, std::move(created));
  }
  node->lastWriteTime = Now();
  if (error) *error = kErrorSuccess;
  return std::make_unique<CWriter>(*this, node);
}

bool CMemoryFileSystem::ReadFile(const std::string& path, std::string* bytes) {
  CMutexLock lock(m_mutex);
  long rc = 0;
  if (Fault(false, &rc)) return false;
  Node* node = Find(path);
  if (!node || node->IsFolder()) return false;
  if (bytes) *bytes = node->contents;
  return true;
}

// ---------------------------------------------------------------- scene

void CMemoryFileSystem::AddDrive(char letter, std::uint32_t type, const std::string& label) {
  CMutexLock lock(m_mutex);
  letter = UpperDrive(letter);
  auto drive = std::make_unique<Drive>();
  drive->type = type;
  drive->label = label;
  drive->root = std::make_unique<Node>();
  drive->root->name = std::string(1, letter) + ":";
  drive->root->attributes = kAttrDirectory;
  m_drives[letter] = std::move(drive);
}

bool CMemoryFileSystem::AddFolder(const std::string& path) {
  CMutexLock lock(m_mutex);
  Path p;
  if (!ParsePath(path, &p)) return false;
  auto d = m_drives.find(p.drive);
  if (d == m_drives.end()) return false;
  Node* node = d->second->root.get();
  for (const std::string& part : p.parts) {
    if (!node->IsFolder()) return false;
    Node* child = Child(*node, part);
    if (!child) {
      auto created = std::make_unique<Node>();
      created->name = part;
      created->attributes = kAttrDirectory;
      created->lastWriteTime = m_nClock;
      child = Insert(node, std::move(created));
    }
    node = child;
  }
  return node->IsFolder();
}

bool CMemoryFileSystem::AddFile(const std::string& path, const std::string& contents,
                                std::uint32_t attributes, std::uint64_t lastWriteTime) {
  CMutexLock lock(m_mutex);
  Path p;
  if (!ParsePath(path, &p) || p.parts.empty()) return false;
  Path parentPath = p;
  parentPath.parts.pop_back();
  std::string folder = std::string(1, p.drive) + ":";
  for (const auto& part : parentPath.parts) folder += "\\" + part;
  if (!AddFolder(folder + "\\")) return false;
  Node* parent = Lookup(parentPath, nullptr);
  Node* node = Child(*parent, p.parts.back());
  if (node && node->IsFolder()) return false;
  if (!node) {
    auto created = std::make_unique<Node>();
    created->name = p.parts.back();
    node = Insert(parent, std::move(created));
  }
  node->contents = contents;
  node->attributes = attributes & ~static_cast<std::uint32_t>(kAttrDirectory);
  node->lastWriteTime = lastWriteTime ? lastWriteTime : m_nClock;
  return true;
}

bool CMemoryFileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  CMutexLock lock(m_mutex);
  Node* node = Find(path);
  if (!node) return false;
  node->attributes = (attributes & ~static_cast<std::uint32_t>(kAttrDirectory)) |
                     (node->attributes & kAttrDirectory);
  return true;
}

bool CMemoryFileSystem::SetInUse(const std::string& path, bool inUse) {
  CMutexLock lock(m_mutex);
  Node* node = Find(path);
  if (!node) return false;
  node->inUse = inUse;
  return true;
}

void CMemoryFileSystem::SetWriteLimit(std::uint64_t bytes) {
  CMutexLock lock(m_mutex);
  m_nWriteBudget = bytes;
}

bool CMemoryFileSystem::Exists(const std::string& path) const {
  CMutexLock lock(m_mutex);
  return Find(path) != nullptr;
}

std::string CMemoryFileSystem::Contents(const std::string& path) const {
  CMutexLock lock(m_mutex);
  Node* node = Find(path);
  return node ? node->contents : std::string();
}

std::string CMemoryFileSystem::FlushedContents(const std::string& path) const {
  CMutexLock lock(m_mutex);
  Node* node = Find(path);
  return node ? node->flushed : std::string();
}

// ---------------------------------------------------------------- shell support

long CMemoryFileSystem::Recycle(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  Node* node = Find(path, &rc);
  if (!node) return rc;
  if (!node->parent) return kErrorAccessDenied;
  if (AnyInUse(node)) return kErrorSharingViolation;
  RecycledItem item;
  item.originalPath = FullPath(node);
  item.folder = node->IsFolder();
  std::vector<const Node*> stack{node};
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    if (!n->IsFolder()) item.size += n->contents.size();
    for (const auto& c : n->children) stack.push_back(c.get());
  }
  m_recycled.emplace_back(item, Detach(node));
  return kErrorSuccess;
}

long CMemoryFileSystem::DeleteTree(const std::string& path) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  Node* node = Find(path, &rc);
  if (!node) return rc;
  if (!node->parent) return kErrorAccessDenied;
  if (AnyInUse(node)) return kErrorSharingViolation;
  if (!node->IsFolder() && (node->attributes & kAttrReadOnly)) return kErrorAccessDenied;
  Detach(node);
  return kErrorSuccess;
}

long CMemoryFileSystem::CopyTree(const std::string& from, const std::string& to) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  Node* node = Find(from, &rc);
  if (!node) return rc;
  Path dest;
  if (!ParsePath(to, &dest)) return kErrorPathNotFound;
  if (Node* existing = Lookup(dest, nullptr)) {
    if (existing->IsFolder() || existing->inUse || existing->writers) return kErrorAccessDenied;
    Detach(existing);
  }
  Node* parent = LookupParent(dest, &rc);
  if (!parent) return rc;
  if (Contains(node, parent)) return kErrorAccessDenied;
  std::unique_ptr<Node> copy = CloneTree(*node);
  copy->name = dest.parts.back();
  Insert(parent, std::move(copy));
  return kErrorSuccess;
}

std::vector<CMemoryFileSystem::RecycledItem> CMemoryFileSystem::RecycleBin() const {
  CMutexLock lock(m_mutex);
  std::vector<RecycledItem> out;
  for (const auto& r : m_recycled) out.push_back(r.first);
  return out;
}

// ---------------------------------------------------------------- dump

void CMemoryFileSystem::DumpNode(const Node& node, const std::string& path,
                                 std::string* out) const {
  char buf[96];
  if (node.IsFolder()) {
    std::snprintf(buf, sizeof buf, "  [attr %02X]", node.attributes);
    out->append(path).append("\\").append(buf);
  } else {
    std::snprintf(buf, sizeof buf, "  [attr %02X, %zu bytes%s]", node.attributes,
                  node.contents.size(), node.inUse || node.writers ? ", in use" : "");
    out->append(path).append(buf);
  }
  if (!node.shortName.empty()) out->append(" (").append(node.shortName).append(")");
  out->append("\n");
  for (const auto& c : node.children) DumpNode(*c, path + "\\" + c->name, out);
}

std::string CMemoryFileSystem::Dump() const {
  CMutexLock lock(m_mutex);
  std::string out;
  static const char* const types[] = {"unknown", "no root", "removable", "fixed",
                                      "network", "CD-ROM",  "RAM disk"};
  for (const auto& d : m_drives) {
    out += std::string(1, d.first) + ":\\ (" + (d.second->type < 7 ? types[d.second->type] : "?") +
           ", label \"" + d.second->label + "\")\n";
    for (const auto& c : d.second->root->children) {
      DumpNode(*c, std::string(1, d.first) + ":\\" + c->name, &out);
    }
  }
  for (const auto& r : m_recycled) {
    out += "recycled: " + r.first.originalPath + "\n";
  }
  if (m_nWriteBudget != Unlimited()) {
    out += "writes fail after " + std::to_string(m_nWriteBudget) + " more bytes\n";
  }
  return out;
}

}  // namespace tw
