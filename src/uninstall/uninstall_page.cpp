#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "uninstall/uninstall_page.h"

#include <algorithm>
#include <cstdlib>

#include "app/pending_rows.h"
#include "controls/check_list.h"
#include "controls/resource_module.h"
#include "platform/text.h"
#include "platform/win32/system_clock_win32.h"
#include "platform/win32/wow64.h"
#include "resources/resource.h"
#include "uninstall/uninstall_start.h"

namespace tw {

namespace {

constexpr int kSoftwareList = IDC_1065;
constexpr int kRefreshButton = IDC_1069;
constexpr int kUninstallButton = IDC_1005;
constexpr UINT_PTR kFirstFillTimer = 0;
// How long a caller of the window waits at most while a refresh reads.
constexpr ULONGLONG kServeIntervalMs = 10;
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
  // Reading a thousand entries takes the registry a while; the window keeps
  // answering meanwhile, and shows the last fill until the new one is read.
  // Each record takes its place by name as it comes, so no sort of the whole
  // list holds the window once the last one is read.
  m_inventory.SetEntryRead([this] {
    PlaceNewRecords();
    ServeSentMessages(&m_lastServed, kServeIntervalMs, false);
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
  // A refresh asked for while one reads (a message served meanwhile) would
  // read the same keys again: the running one already gets what it asks for.
  if (m_bRefreshing) return;
  m_bRefreshing = true;
  GetTimeZoneInformation(&m_zone);
  m_nextRows.clear();
  m_inventory.RefreshInventory();
  PlaceNewRecords();
  // Whoever sent during the last entries is answered before the list
  // changes, which takes the list view a while on its own.
  ServeSentMessages(&m_lastServed, 0, false);
  // The old records go with the old rows in one step: no message is served
  // between them, so the list never asks for a row whose record is gone.
  m_shown = m_inventory.TakePrograms();
  m_rows.swap(m_nextRows);
  m_nextRows.clear();
  // The rows are rebuilt, so the icons of the last fill go with them and the
  // image list does not grow with every refresh.
  ImageList_RemoveAll(m_hImages);
  if (HBITMAP bmp = LoadBitmapA(GetResourceInstance(), MAKEINTRESOURCEA(IDB_175))) {
    ImageList_AddMasked(m_hImages, bmp, RGB(255, 255, 255));
    DeleteObject(bmp);
  }
  m_iconImages.clear();
  // The rows go in with one count; the list asks for the few it draws. A
  // new count costs the list view its scroll bars and a while under Wine,
  // and the same count again changes nothing the redraw does not.
  ListView_SetItemState(m_hList, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (ListView_GetItemCount(m_hList) != static_cast<int>(m_rows.size())) {
    SendMessageA(m_hList, LVM_SETITEMCOUNT, m_rows.size(), 0);
  }
  InvalidateRect(m_hList, nullptr, TRUE);
  ReadIconsOnView();
  m_bRefreshing = false;
}

void CUninstallPage::ReadIconsOnView() {
  // Each icon file read holds the window for a moment; read in the paint,
  // a page of rows with different icons would hold it for all of them at
  // once. Read here, the callers are answered after each, and the paint
  // finds them all known.
  const int top = ListView_GetTopIndex(m_hList);
  const int end = std::min<int>(static_cast<int>(m_rows.size()),
                                top + ListView_GetCountPerPage(m_hList) + 1);
  for (int row = std::max(top, 0); row < end; ++row) {
    const std::string& icon = m_rows[row]->icon;
    if (icon.empty() || m_iconImages.count(icon)) continue;
    IconImage(icon);
    ServeSentMessages(&m_lastServed, 0, false);
  }
}

void CUninstallPage::PlaceNewRecords() {
  const auto& read = m_inventory.Programs();
  // By name, without regard to case, as a sorted list view keeps its rows;
  // a record goes after those of the same name, so equal names keep the
  // order they were read in.
  auto before = [](const InstalledProgram* a, const InstalledProgram* b) {
    return lstrcmpiA(a->displayName.c_str(), b->displayName.c_str()) < 0;
  };
  for (std::size_t i = m_nextRows.size(); i < read.size(); ++i) {
    InstalledProgram* record = read[i].get();
    m_nextRows.insert(std::upper_bound(m_nextRows.begin(), m_nextRows.end(), record, before),
                      record);
  }
}

bool CUninstallPage::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != m_hList) return false;
  if (header->code == LVN_GETDISPINFOA) {
    FillDisplay(reinterpret_cast<NMLVDISPINFOA*>(header));
  } else if (header->code == LVN_GETDISPINFOW) {
    // Asked in wide text: the same cell, converted.
    auto* wide = reinterpret_cast<NMLVDISPINFOW*>(header);
    char text[512] = {};
    NMLVDISPINFOA narrow = {};
    narrow.hdr = wide->hdr;
    std::copy_n(reinterpret_cast<const char*>(&wide->item), sizeof narrow.item,
                reinterpret_cast<char*>(&narrow.item));
    narrow.item.pszText = text;
    narrow.item.cchTextMax = sizeof text;
    FillDisplay(&narrow);
    if ((wide->item.mask & LVIF_TEXT) && wide->item.pszText && wide->item.cchTextMax > 0) {
      const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide->item.pszText,
                                        wide->item.cchTextMax);
      if (n == 0) wide->item.pszText[0] = L'\0';
    }
    wide->item.iImage = narrow.item.iImage;
  } else {
    return false;
  }
  *result = 0;
  return true;
}

void CUninstallPage::FillDisplay(NMLVDISPINFOA* info) {
  LVITEMA& item = info->item;
  InstalledProgram* record = RecordAt(item.iItem);
  if (!record) return;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    const std::string* columns[] = {&record->displayName, &record->sizeText, &record->usageText,
                                    &record->lastUsedText};
    const std::string& text =
        item.iSubItem >= 0 && item.iSubItem < 4 ? *columns[item.iSubItem] : record->displayName;
    lstrcpynA(item.pszText, text.c_str(), item.cchTextMax);
  }
  if (item.mask & LVIF_IMAGE) item.iImage = record->icon.empty() ? 0 : IconImage(record->icon);
}

int CUninstallPage::IconImage(const std::string& icon) {
  // Programs of one maker or one installer often share an icon file; each
  // is read once per fill, when the first row showing it is drawn.
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
  // The file the program's entry names, as the system's own side sees it
  // (the 32-bit program on 64-bit Windows would read SysWOW64's namesake).
  file = NativeFilePath(file);
  HICON small = nullptr;
  if (ExtractIconExA(file.c_str(), index, nullptr, &small, 1) == 0 || !small) return 0;
  const int image = ImageList_ReplaceIcon(m_hImages, -1, small);
  DestroyIcon(small);
  return image < 0 ? 0 : image;
}

InstalledProgram* CUninstallPage::RecordAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() ? m_rows[row] : nullptr;
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
  // A second click on a program whose uninstaller was cancelled starts the
  // uninstaller again, but the watch already running on its entry serves
  // both: another one would only poll the same key for as long as the
  // program runs.
  for (const auto& running : m_watchers) {
    if (!running->Finished() && running->Root() == root && running->View() == view &&
        EqualsNoCase(running->Path(), path)) {
      return;
    }
  }
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
    for (int row = static_cast<int>(m_rows.size()) - 1; row >= 0; --row) {
      const InstalledProgram* record = m_rows[row];
      if (record->root == w.Root() && record->view == w.View() &&
          EqualsNoCase(UninstallEntryPath(record->root, record->keyName), w.Path())) {
        // The list view moves its selection with the rows.
        m_rows.erase(m_rows.begin() + row);
        ListView_DeleteItem(m_hList, row);
      }
    }
    w.Stop();
    it = m_watchers.erase(it);
  }
}

}  // namespace tw
