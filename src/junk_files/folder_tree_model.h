// The tick-box folder tree without its window: the computer, its fixed drives
// and, loaded on first expansion, their folders, each with one tick. The
// tree-view control (CFolderTree) mirrors this model; the junk-file page and
// the repair's choose-path dialog both use it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tw {

enum class FolderNodeKind { kRoot = 0, kDrive = 1, kFolder = 2 };

struct FolderNode {
  FolderNodeKind kind = FolderNodeKind::kRoot;
  std::string text;       // shown text: "我的电脑", "System(C:)", a folder's name
  std::string driveRoot;  // drives only: "C:\"
  bool ticked = false;
  bool hasButton = false;  // shows an expand button
  bool loaded = false;     // children were read (first expansion happened)
  FolderNode* parent = nullptr;
  std::vector<std::unique_ptr<FolderNode>> children;
};

class CFolderTreeModel {
 public:
  explicit CFolderTreeModel(IFileSystem& fs) : m_fs(fs) {}

  // Builds the root (ticked, expanded) and one node per fixed drive, in the
  // order the system lists the drives. Any earlier tree is dropped.
  void Initialise(const std::string& rootText);
  FolderNode* Root() const { return m_root.get(); }
  const std::vector<std::string>& FixedDrives() const { return m_drives; }

  // The first expansion of a node reads its subfolders; later ones do nothing.
  // Returns false when nothing new was loaded.
  bool Expand(FolderNode* node);
  // True when the folder has at least one subfolder ("." and ".." aside).
  bool HasSubfolders(const std::string& path);

  // "" for the root, "C:" for a drive, "C:\Windows\Temp" for a folder.
  static std::string GetItemPath(const FolderNode* node);

  // A click on the node's tick box (or the space key on it): ticking ticks
  // every ancestor, unticking unticks every loaded descendant.
  void ClickTickBox(FolderNode* node);
  // A click on the node's icon or text flips its own tick only.
  void ClickLabel(FolderNode* node);

  // Appends the folders the ticks stand for: the deepest ticked items, or
  // every fixed drive when only the root is ticked.
  void CollectTickedPaths(std::vector<std::string>* paths) const;
  // Adds a path to a list of scan roots so that no folder is listed twice:
  // a path below (or equal to) an entry replaces that entry, a path above an
  // entry is dropped. Comparison is by whole path components, so C:\Temp and
  // C:\Temp2 both stay.
  static void AddScanRoot(std::vector<std::string>* paths, const std::string& path);

 private:
  void Collect(const FolderNode* node, std::vector<std::string>* paths) const;

  IFileSystem& m_fs;
  std::unique_ptr<FolderNode> m_root;
  std::vector<std::string> m_drives;
};

}  // namespace tw
