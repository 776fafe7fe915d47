#include "junk_files/folder_tree_model.h"

#include "platform/text.h"

namespace tw {

namespace {

// Room for all 26 drive strings ("C:\" and its zero) and the closing zero, so
// the list is never cut short whatever letters the system has.
constexpr std::size_t kDriveBuffer = 26 * 4 + 1;

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

// True when `path` is `folder` itself or lies below it, comparing whole path
// components ("c:\temp2" is not below "c:\temp"). Both are lower-case.
bool IsSameOrBelow(const std::string& path, const std::string& folder) {
  if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
  if (path.size() == folder.size()) return true;
  // The bytes up to folder.size() are the same in both texts, so a character
  // boundary there in `folder` is one in `path` too.
  // A folder ending in a real separator (a drive root "c:\") has every
  // longer path below it; a trail byte of 0x5C is no separator.
  const bool endsInSeparator = FindLastChar(folder, '\\') == folder.size() - 1;
  return endsInSeparator || path[folder.size()] == '\\';
}

}  // namespace

void CFolderTreeModel::Initialise(const std::string& rootText) {
  m_root = std::make_unique<FolderNode>();
  m_root->kind = FolderNodeKind::kRoot;
  m_root->text = rootText;
  m_root->hasButton = true;
  m_root->loaded = true;
  m_drives.clear();

  const std::string list = m_fs.GetLogicalDriveStrings(kDriveBuffer);
  for (std::size_t pos = 0; pos < list.size();) {
    std::size_t end = list.find('\0', pos);
    if (end == std::string::npos) end = list.size();
    std::string root = list.substr(pos, end - pos);
    pos = end + 1;
    if (root.size() < 2 || m_fs.GetDriveType(root) != kDriveFixed) continue;
    m_drives.push_back(root);

    std::string label;
    if (!m_fs.GetVolumeLabel(root, &label)) label.clear();
    auto drive = std::make_unique<FolderNode>();
    drive->kind = FolderNodeKind::kDrive;
    drive->text = label + "(" + root.substr(0, 2) + ")";
    drive->driveRoot = root;
    drive->hasButton = true;
    drive->parent = m_root.get();
    m_root->children.push_back(std::move(drive));
  }
  m_root->ticked = true;
}

bool CFolderTreeModel::HasSubfolders(const std::string& path) {
  FindData data;
  auto find = m_fs.FindFirst(path + "\\*", &data);
  if (!find) return false;
  do {
    if (data.IsDirectory() && !IsDotEntry(data.name)) return true;
  } while (find->Next(&data));
  return false;
}

bool CFolderTreeModel::Expand(FolderNode* node) {
  if (!node || node->loaded) return false;
  node->loaded = true;
  const std::string path = GetItemPath(node);
  if (path.empty()) return false;

  FindData data;
  auto find = m_fs.FindFirst(path + "\\*", &data);
  if (!find) {
    // A folder that cannot be listed keeps no button; a drive keeps its own.
    if (node->kind == FolderNodeKind::kFolder) node->hasButton = false;
    return false;
  }
  do {
    if (!data.IsDirectory() || IsDotEntry(data.name)) continue;
    auto child = std::make_unique<FolderNode>();
    child->kind = FolderNodeKind::kFolder;
    child->text = data.name;
    child->parent = node;
    node->children.push_back(std::move(child));
  } while (find->Next(&data));
  // Ask after the listing has ended so only one search is open at a time.
  for (auto& child : node->children) child->hasButton = HasSubfolders(path + "\\" + child->text);
  if (node->kind == FolderNodeKind::kFolder && node->children.empty()) node->hasButton = false;
  return !node->children.empty();
}

std::string CFolderTreeModel::GetItemPath(const FolderNode* node) {
  if (!node) return {};
  switch (node->kind) {
    case FolderNodeKind::kRoot:
      return {};
    case FolderNodeKind::kDrive:
      return node->driveRoot.substr(0, 2);
    case FolderNodeKind::kFolder:
      return GetItemPath(node->parent) + "\\" + node->text;
  }
  return {};
}

void CFolderTreeModel::ClickTickBox(FolderNode* node) {
  if (!node) return;
  if (!node->ticked) {
    for (FolderNode* up = node; up; up = up->parent) up->ticked = true;
    return;
  }
  node->ticked = false;
  std::vector<FolderNode*> stack{node};
  while (!stack.empty()) {
    FolderNode* n = stack.back();
    stack.pop_back();
    for (auto& child : n->children) {
      child->ticked = false;
      stack.push_back(child.get());
    }
  }
}

void CFolderTreeModel::ClickLabel(FolderNode* node) {
  if (node) node->ticked = !node->ticked;
}

void CFolderTreeModel::Collect(const FolderNode* node, std::vector<std::string>* paths) const {
  for (const auto& child : node->children) {
    if (child->ticked) AddScanRoot(paths, GetItemPath(child.get()));
    if (!child->children.empty()) Collect(child.get(), paths);
  }
}

void CFolderTreeModel::CollectTickedPaths(std::vector<std::string>* paths) const {
  if (!m_root || !paths) return;
  Collect(m_root.get(), paths);
  if (paths->empty() && m_root->ticked) {
    for (const auto& drive : m_drives) paths->push_back(drive.substr(0, 2));
  }
}

void CFolderTreeModel::AddScanRoot(std::vector<std::string>* paths, const std::string& path) {
  const std::string lowerNew = LowerCase(path);
  for (auto& entry : *paths) {
    const std::string lowerEntry = LowerCase(entry);
    if (IsSameOrBelow(lowerEntry, lowerNew)) return;
    if (IsSameOrBelow(lowerNew, lowerEntry)) {
      entry = lowerNew;
      return;
    }
  }
  paths->push_back(path);
}

}  // namespace tw
