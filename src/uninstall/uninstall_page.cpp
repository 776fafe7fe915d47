#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "uninstall/uninstall_page.h"

#include <cstdlib>

#include "controls/check_list.h"
#include "controls/resource_module.h"
#include "platform/text.h"
#include "platform/win32/system_clock_win32.h"
#include "resources/resource.h"
#include "uninstall/uninstall_start.h"

namespace tw {

namespace {

constexpr int kSoftwareList = IDC_1065;
constexpr int kRefreshButton = IDC_1069;
constexpr int kUninstallButton = IDC_1005;
constexpr UINT_PTR kFirstFillTimer = 0;
// Posted by a watch thread when its program's entry is gone.
constexpr UINT kMsgEntryGone = WM_APP + 0x31;

// Local calendar time by the time-zone rules of the date itself (summer
// time in summer), as the system's own conversion gives it, with the zone
// read once per fill: asked for afresh, the system reads it from the
// registry on every call (under Wine that was most of a 1,000-row fill).
bool ToLocalTime(const TIME_ZONE_INFORMATION& zone, std::uint64_t fileTime, SystemTime* local) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  SYSTEMTIME utc, st;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(&zone, &utc, &st)) {
    return false;
  }
  *local = FromWinSystemTime(st);
  return true;
}

}  // namespace

CUninstallPage::CUninstallPage(const Platform& platform)
    : CPage(IDD_174, IDS_57807), m_platform(platform), m_inventory(*platform.registry) {}

CUninstallPage::~CUninstallPage() {
  StopWatches();
  if (m_hImages) ImageList_Destroy(m_hImages);
}

BOOL CUninstallPage::OnInit() {
  m_hList = Item(kSoftwareList);
  AttachButtons(m_hWnd, {{kRefreshButton, 0}, {kUninstallButton, 0}}, true, &m_buttons);

  InventoryTexts texts;
  texts.date = TextOr(IDS_57783, texts.date);
  texts.rarely = TextOr(IDS_57784, texts.rarely);
  texts.sometimes = TextOr(IDS_57785, texts.sometimes);
  texts.often = TextOr(IDS_57786, texts.often);
  texts.usageNone = TextOr(IDS_57787, texts.usageNone);
  texts.bytes = TextOr(IDS_57788, texts.bytes);
  texts.sizeNone = TextOr(IDS_57789, texts.sizeNone);
  for (int i = 0; i < 4; ++i) texts.units[i] = TextOr(IDS_57790 + i, texts.units[i]);
  m_inventory.SetTexts(texts);
  m_inventory.SetLocalTimeConverter([this](std::uint64_t fileTime, SystemTime* local) {
    return ToLocalTime(m_zone, fileTime, local);
  });

  AddListColumn(m_hList, 0, IDS_57861, 170);
  AddListColumn(m_hList, 1, IDS_57862, 50);
  AddListColumn(m_hList, 2, IDS_57863, 65);
  AddListColumn(m_hList, 3, IDS_57864, 75);
  ListView_SetExtendedListViewStyle(m_hList,
                                    LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP);
  m_hImages = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 16, 16);
  ListView_SetImageList(m_hList, m_hImages, LVSIL_SMALL);

  // The first fill comes just after the window exists, so the page shows
  // at once and fills a moment later.
  SetTimer(m_hWnd, kFirstFillTimer, 10, nullptr);
  return TRUE;
}

void CUninstallPage::OnTimer(UINT_PTR id) {
  if (id != kFirstFillTimer) return;
  KillTimer(m_hWnd, kFirstFillTimer);
  Refresh();
}

INT_PTR CUninstallPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMsgEntryGone) {
    OnEntryGone();
    return TRUE;
  }
  return CPage::DialogProc(msg, wp, lp);
}

bool CUninstallPage::OnCommand(int id, int code, HWND control) {
  if (code != BN_CLICKED) return false;
  if (id == kRefreshButton) {
    Refresh();
    return true;
  }
  if (id == kUninstallButton) {
    Uninstall();
    return true;
  }
  return false;
}

void CUninstallPage::OnDestroy() { StopWatches(); }

void CUninstallPage::StopWatches() {
  // Each watch thread ends within one wait; none of them touches the page
  // afterwards (a message they posted to a window that is gone is dropped).
  for (auto& watcher : m_watchers) watcher->Stop();
  m_watchers.clear();
}

void CUninstallPage::Refresh() {
  SendMessageA(m_hList, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(m_hList);
  GetTimeZoneInformation(&m_zone);
  m_inventory.RefreshInventory();
  // The rows are rebuilt, so the icons of the last fill go with them and the
  // image list does not grow with every refresh.
  ImageList_RemoveAll(m_hImages);
  if (HBITMAP bmp = LoadBitmapA(GetResourceInstance(), MAKEINTRESOURCEA(IDB_175))) {
    ImageList_AddMasked(m_hImages, bmp, RGB(255, 255, 255));
    DeleteObject(bmp);
  }
  m_iconImages.clear();
  for (const auto& record : m_inventory.Programs()) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(m_hList);
    item.pszText = const_cast<char*>(record->displayName.c_str());
    item.iImage = record->icon.empty() ? 0 : IconImage(record->icon);
    item.lParam = reinterpret_cast<LPARAM>(record.get());
    // The list sorts by name; the row lands where it belongs.
    const int row = static_cast<int>(
        SendMessageA(m_hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    const std::string* columns[] = {&record->sizeText, &record->usageText, &record->lastUsedText};
    for (int c = 0; c < 3; ++c) {
      LVITEMA sub{};
      sub.iSubItem = c + 1;
      sub.pszText = const_cast<char*>(columns[c]->c_str());
      SendMessageA(m_hList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
    }
  }
  SendMessageA(m_hList, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(m_hList, nullptr, TRUE);
}

int CUninstallPage::IconImage(const std::string& icon) {
  // Programs of one maker or one installer often share an icon file; each
  // is read once per fill.
  const auto known = m_iconImages.find(icon);
  if (known != m_iconImages.end()) return known->second;
  const int image = ExtractImage(icon);
  m_iconImages[icon] = image;
  return image;
}

int CUninstallPage::ExtractImage(const std::string& icon) {
  std::string file = icon;
  int index = 0;
  const std::size_t comma = FindChar(icon, ',');
  if (comma != std::string::npos && comma > 0) {
    file = icon.substr(0, comma);
    index = std::atoi(icon.c_str() + comma + 1);
  }
  HICON small = nullptr;
  if (ExtractIconExA(file.c_str(), index, nullptr, &small, 1) == 0 || !small) return 0;
  const int image = ImageList_ReplaceIcon(m_hImages, -1, small);
  DestroyIcon(small);
  return image < 0 ? 0 : image;
}

InstalledProgram* CUninstallPage::RecordAt(int row) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(m_hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<InstalledProgram*>(item.lParam);
}

// No question first: the uninstaller asks its own.
void CUninstallPage::Uninstall() {
  const int row = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED);
  if (row < 0) return;
  InstalledProgram* record = RecordAt(row);
  if (!record) return;
  if (!StartUninstaller(*m_platform.shell, *m_platform.files, *record)) return;

  // The watch names the program by where its entry lives, not by its row:
  // rows move with every refresh and records are rebuilt.
  const RegKey root = record->root;
  const RegView view = record->view;
  const std::string path = UninstallEntryPath(root, record->keyName);
  const HWND page = m_hWnd;
  auto watcher = std::make_unique<CRegistryKeyWatcher>(*m_platform.registry);
  const bool started = watcher->WatchKey(root, view, path, [this, root, view, path, page] {
    if (EntryExists(root, view, path)) return true;
    PostMessageA(page, kMsgEntryGone, 0, 0);
    return false;
  });
  if (started) m_watchers.push_back(std::move(watcher));
}

bool CUninstallPage::EntryExists(RegKey root, RegView view, const std::string& path) const {
  RegKey key = 0;
  if (m_platform.registry->OpenKey(root, path, kKeyRead, &key, view) != 0) return false;
  m_platform.registry->CloseKey(key);
  return true;
}

void CUninstallPage::OnEntryGone() {
  for (auto it = m_watchers.begin(); it != m_watchers.end();) {
    CRegistryKeyWatcher& w = **it;
    if (!w.Finished() && EntryExists(w.Root(), w.View(), w.Path())) {
      ++it;
      continue;
    }
    for (int row = ListView_GetItemCount(m_hList) - 1; row >= 0; --row) {
      const InstalledProgram* record = RecordAt(row);
      if (record && record->root == w.Root() && record->view == w.View() &&
          EqualsNoCase(UninstallEntryPath(record->root, record->keyName), w.Path())) {
        ListView_DeleteItem(m_hList, row);
      }
    }
    w.Stop();
    it = m_watchers.erase(it);
  }
}

}  // namespace tw
