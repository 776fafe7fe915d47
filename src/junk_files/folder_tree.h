// The tick-box folder tree on a tree-view control: it shows CFolderTreeModel
// and turns mouse clicks and the space key into the model's tick rules. The
// owning dialog forwards its WM_NOTIFY messages to HandleNotify.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "junk_files/folder_tree_model.h"

namespace tw {

class CFolderTree {
 public:
  explicit CFolderTree(IFileSystem& fs) : m_model(fs) {}
  ~CFolderTree();
  CFolderTree(const CFolderTree&) = delete;
  CFolderTree& operator=(const CFolderTree&) = delete;

  // Takes over the tree-view control: image lists, the root "我的电脑"
  // ticked and expanded, and one item per fixed drive.
  void Initialise(HWND tree);
  // Handles the tree's expansion notice; true when the notice was its own.
  bool HandleNotify(const NMHDR* header, LRESULT* result);
  // The folders the ticks stand for. Safe to call from any thread: the
  // collection runs on the tree's own thread.
  void CollectTickedPaths(std::vector<std::string>* paths);

  HWND Hwnd() const { return m_hTree; }
  CFolderTreeModel& Model() { return m_model; }
  // Ticks, as the user would by the item's tick box (for tests and callers
  // that preset ticks).
  void ClickTickBox(FolderNode* node);
  FolderNode* NodeOf(HTREEITEM item) const;
  HTREEITEM ItemOf(const FolderNode* node) const;

 private:
  static LRESULT CALLBACK TreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnTreeMessage(UINT msg, WPARAM wp, LPARAM lp);
  HTREEITEM InsertNode(FolderNode* node, HTREEITEM parent);
  void InsertChildren(FolderNode* node);
  // Copies every loaded node's tick to its item's state image.
  void SyncTicks();

  CFolderTreeModel m_model;
  HWND m_hTree = nullptr;
  WNDPROC m_oldProc = nullptr;
  HIMAGELIST m_images = nullptr;
  HIMAGELIST m_ticks = nullptr;
  std::unordered_map<const FolderNode*, HTREEITEM> m_items;
};

}  // namespace tw
