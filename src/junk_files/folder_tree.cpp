#include <windows.h>
#include <commctrl.h>

#include "junk_files/folder_tree.h"

#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

namespace {

const char kTreeProp[] = "TidewellFolderTree";
// Sent to the tree to run a collection on its own thread.
constexpr UINT kMsgCollect = WM_APP + 0x41;

int ImageOf(FolderNodeKind kind) {
  switch (kind) {
    case FolderNodeKind::kRoot:
      return 0;
    case FolderNodeKind::kDrive:
      return 3;
    default:
      return 2;
  }
}

int SelectedImageOf(FolderNodeKind kind) { return kind == FolderNodeKind::kFolder ? 1 : ImageOf(kind); }

}  // namespace

CFolderTree::~CFolderTree() {
  if (m_hTree && IsWindow(m_hTree) && m_oldProc) {
    SetWindowLongPtrA(m_hTree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
    RemovePropA(m_hTree, kTreeProp);
  }
  if (m_images) ImageList_Destroy(m_images);
  if (m_ticks) ImageList_Destroy(m_ticks);
}

void CFolderTree::Initialise(HWND tree) {
  m_hTree = tree;
  HINSTANCE res = GetResourceInstance();
  if (!m_images) {
    m_images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    if (HBITMAP bmp = LoadBitmapA(res, MAKEINTRESOURCEA(IDB_137))) {
      ImageList_AddMasked(m_images, bmp, RGB(255, 255, 255));
      DeleteObject(bmp);
    }
    m_ticks = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 3, 2);
    if (HBITMAP bmp = LoadBitmapA(res, MAKEINTRESOURCEA(IDB_136))) {
      ImageList_AddMasked(m_ticks, bmp, RGB(255, 255, 255));
      DeleteObject(bmp);
    }
  }
  // The ticks are our state images; clicks and the space key on them are
  // taken before the control sees them (TreeProc), so every tick change
  // goes through the model's rules.
  TreeView_SetImageList(tree, m_images, TVSIL_NORMAL);
  TreeView_SetImageList(tree, m_ticks, TVSIL_STATE);
  TreeView_SetBkColor(tree, RGB(255, 255, 255));
  if (!m_oldProc) {
    SetPropA(tree, kTreeProp, this);
    m_oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CFolderTree::TreeProc)));
  }

  TreeView_DeleteAllItems(tree);
  m_items.clear();
  std::string rootText = LoadStr(IDS_57728);
  if (rootText.empty()) rootText = "My Computer";
  m_model.Initialise(rootText);
  HTREEITEM root = InsertNode(m_model.Root(), TVI_ROOT);
  for (auto& drive : m_model.Root()->children) InsertNode(drive.get(), root);
  SyncTicks();
  TreeView_Expand(tree, root, TVE_EXPAND);
}

HTREEITEM CFolderTree::InsertNode(FolderNode* node, HTREEITEM parent) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask =
      TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE | TVIF_CHILDREN;
  insert.item.pszText = const_cast<char*>(node->text.c_str());
  insert.item.iImage = ImageOf(node->kind);
  insert.item.iSelectedImage = SelectedImageOf(node->kind);
  insert.item.lParam = reinterpret_cast<LPARAM>(node);
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  insert.item.state = INDEXTOSTATEIMAGEMASK(node->ticked ? 2 : 1);
  insert.item.cChildren = node->hasButton ? 1 : 0;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(
      SendMessageA(m_hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (item) m_items[node] = item;
  return item;
}

void CFolderTree::InsertChildren(FolderNode* node) {
  HTREEITEM item = ItemOf(node);
  if (!item) return;
  m_model.Expand(node);
  for (auto& child : node->children) {
    if (!ItemOf(child.get())) InsertNode(child.get(), item);
  }
  if (!node->hasButton || node->children.empty()) {
    TVITEMA tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = node->hasButton ? 1 : 0;
    SendMessageA(m_hTree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  }
}

FolderNode* CFolderTree::NodeOf(HTREEITEM item) const {
  if (!item) return nullptr;
  TVITEMA tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!SendMessageA(m_hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
  return reinterpret_cast<FolderNode*>(tv.lParam);
}

HTREEITEM CFolderTree::ItemOf(const FolderNode* node) const {
  auto it = m_items.find(node);
  return it == m_items.end() ? nullptr : it->second;
}

void CFolderTree::SyncTicks() {
  for (const auto& [node, item] : m_items) {
    TreeView_SetItemState(m_hTree, item, INDEXTOSTATEIMAGEMASK(node->ticked ? 2 : 1),
                          TVIS_STATEIMAGEMASK);
  }
}

void CFolderTree::ClickTickBox(FolderNode* node) {
  m_model.ClickTickBox(node);
  SyncTicks();
}

bool CFolderTree::HandleNotify(const NMHDR* header, LRESULT* result) {
  if (!header || header->hwndFrom != m_hTree) return false;
  if (header->code == TVN_ITEMEXPANDINGA || header->code == TVN_ITEMEXPANDINGW) {
    const auto* nm = reinterpret_cast<const NMTREEVIEWA*>(header);
    FolderNode* node = reinterpret_cast<FolderNode*>(nm->itemNew.lParam);
    if (!node) node = NodeOf(nm->itemNew.hItem);
    if (node && !node->loaded) {
      InsertChildren(node);
      SyncTicks();
    }
    *result = FALSE;  // the expansion is always allowed
    return true;
  }
  return false;
}

void CFolderTree::CollectTickedPaths(std::vector<std::string>* paths) {
  if (!m_hTree) return;
  if (GetWindowThreadProcessId(m_hTree, nullptr) != GetCurrentThreadId()) {
    SendMessageA(m_hTree, kMsgCollect, 0, reinterpret_cast<LPARAM>(paths));
    return;
  }
  m_model.CollectTickedPaths(paths);
}

LRESULT CALLBACK CFolderTree::TreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<CFolderTree*>(GetPropA(hwnd, kTreeProp));
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  return self->OnTreeMessage(msg, wp, lp);
}

LRESULT CFolderTree::OnTreeMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgCollect:
      m_model.CollectTickedPaths(reinterpret_cast<std::vector<std::string>*>(lp));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TVHITTESTINFO hit{};
      hit.pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      TreeView_HitTest(m_hTree, &hit);
      FolderNode* node = NodeOf(hit.hItem);
      if (node && (hit.flags & TVHT_ONITEMSTATEICON)) {
        TreeView_SelectItem(m_hTree, hit.hItem);
        SetFocus(m_hTree);
        ClickTickBox(node);
        return 0;  // the control's own tick handling never runs
      }
      if (node && msg == WM_LBUTTONDOWN && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL))) {
        m_model.ClickLabel(node);
        SyncTicks();
      }
      break;
    }
    case WM_KEYDOWN:
      if (wp == VK_SPACE) {
        if (FolderNode* node = NodeOf(TreeView_GetSelection(m_hTree))) ClickTickBox(node);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wp == ' ') return 0;
      break;
    default:
      break;
  }
  return CallWindowProcA(m_oldProc, m_hTree, msg, wp, lp);
}

}  // namespace tw
