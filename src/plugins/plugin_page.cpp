#include "plugins/plugin_page.h"

#include <windows.h>
#include <commctrl.h>

#include "app/shell_app.h"
#include "app/windows_version.h"
#include "controls/check_list.h"
#include "controls/resource_module.h"
#include "platform/win32/win32_error.h"
#include "plugins/plugin_removal.h"
#include "resources/resource.h"

namespace tw {

namespace {

constexpr int kToolbarsButton = IDC_1005;
constexpr int kButtonsButton = IDC_1006;
constexpr int kContextMenusButton = IDC_1007;
constexpr int kHelperObjectsButton = IDC_1008;
constexpr int kDeleteRegistrationButton = IDC_1009;
constexpr int kUnregisterButton = IDC_1073;
constexpr int kPluginList = IDC_1074;

struct ButtonHint {
  int control;
  UINT hint;
};
const ButtonHint kButtonHints[] = {
    {kToolbarsButton, IDS_57797},      {kButtonsButton, IDS_57798},
    {kContextMenusButton, IDS_57799},  {kHelperObjectsButton, IDS_57800},
    {kDeleteRegistrationButton, IDS_57801}, {kUnregisterButton, IDS_57802},
};

enum Field { kName, kProgId, kButtonText, kStatusText, kServerPath };
struct Column {
  UINT title;
  Field field;
};
// The columns of each kind, left to right (widths: 100 each, the path 280).
const std::vector<Column>& ColumnsOf(int kind) {
  static const std::vector<Column> toolbar = {
      {IDS_57803, kName}, {IDS_57804, kProgId}, {IDS_57806, kServerPath}};
  static const std::vector<Column> button = {{IDS_57803, kButtonText},
                                             {IDS_57804, kStatusText},
                                             {IDS_57805, kProgId},
                                             {IDS_57806, kServerPath}};
  static const std::vector<Column> helper = {{IDS_57803, kProgId}, {IDS_57806, kServerPath}};
  switch (kind) {
    case kPluginButton:
      return button;
    case kPluginHelperObject:
      return helper;
    default:
      return toolbar;  // kinds 1 and 3 show the same fields
  }
}

const std::string& FieldOf(const PluginRecord& r, Field f) {
  switch (f) {
    case kName:
      return r.name;
    case kProgId:
      return r.progId;
    case kButtonText:
      return r.buttonText;
    case kStatusText:
      return r.statusText;
    default:
      return r.serverPath;
  }
}

}  // namespace

CPluginPage::CPluginPage(const Platform& platform)
    : CPage(IDD_178, IDS_57796), m_platform(platform), m_inventory(*platform.registry) {}

BOOL CPluginPage::OnInit() {
  m_hList = Item(kPluginList);
  for (const auto& [id, hint] : kButtonHints) {
    // The hints go to the hint box on hover; the buttons have no tooltips.
    auto button = std::make_unique<COwnerButton>();
    if (AttachButton(*button, m_hWnd, {id, 0}, true)) m_buttons.push_back(std::move(button));
  }
  Hint(IDS_57796);
  ShowKind(kPluginToolbar);
  return TRUE;
}

void CPluginPage::OnDestroy() { m_buttons.clear(); }

void CPluginPage::Hint(UINT id) {
  if (m_hWnd) SendMessageA(GetParent(m_hWnd), WM_PAGE_HINT, id, 0);
}

INT_PTR CPluginPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_BUTTON_HOVER:
      for (const auto& [id, hint] : kButtonHints) {
        if (static_cast<int>(wp) == id) Hint(hint);
      }
      return TRUE;
    case WM_BUTTON_LEAVE:
      Hint(IDS_57796);
      return TRUE;
    default:
      break;
  }
  return CPage::DialogProc(msg, wp, lp);
}

bool CPluginPage::OnCommand(int id, int code, HWND control) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case kToolbarsButton:
      ShowKind(kPluginToolbar);
      return true;
    case kButtonsButton:
      ShowKind(kPluginButton);
      return true;
    case kContextMenusButton:
      ShowKind(kPluginContextMenu);
      return true;
    case kHelperObjectsButton:
      ShowKind(kPluginHelperObject);
      return true;
    case kDeleteRegistrationButton:
      DeleteRegistration();
      return true;
    case kUnregisterButton:
      UnregisterPlugin();
      return true;
    default:
      return false;
  }
}

void CPluginPage::MakeColumns() {
  while (SendMessageA(m_hList, LVM_DELETECOLUMN, 0, 0)) {
  }
  const auto& columns = ColumnsOf(m_nKind);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    AddListColumn(m_hList, static_cast<int>(i), columns[i].title,
                  columns[i].field == kServerPath ? 280 : 100);
  }
}

void CPluginPage::ShowKind(int kind) {
  m_nKind = kind;
  // The rows point into the records: they go before the records do.
  ListView_DeleteAllItems(m_hList);
  m_inventory.List(kind);
  MakeColumns();
  ListView_SetExtendedListViewStyle(m_hList,
                                    LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP);
  const auto& columns = ColumnsOf(kind);
  int row = 0;
  for (const auto& record : m_inventory.Records()) {
    std::string first = FieldOf(*record, columns[0].field);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = first.data();
    item.lParam = reinterpret_cast<LPARAM>(record.get());
    const int at = static_cast<int>(
        SendMessageA(m_hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) continue;
    for (std::size_t c = 1; c < columns.size(); ++c) {
      std::string text = FieldOf(*record, columns[c].field);
      LVITEMA sub{};
      sub.iSubItem = static_cast<int>(c);
      sub.pszText = text.data();
      SendMessageA(m_hList, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
    }
    ++row;
  }
}

void CPluginPage::DeleteRegistration() { RemoveSelected(false); }

void CPluginPage::UnregisterPlugin() { RemoveSelected(true); }

void CPluginPage::RemoveSelected(bool unregister) {
  const int row = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED);
  if (row < 0) return;
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(m_hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam)
    return;
  const auto* record = reinterpret_cast<const PluginRecord*>(item.lParam);

  CSystemVersion version;
  CPluginRemoval removal(m_platform, ClassifyWindowsVersion(version));
  const PluginRemovalResult result =
      unregister ? removal.UnregisterPlugin(m_nKind, *record, m_platform.clock->GetLocalTime())
                 : removal.DeleteRegistration(m_nKind, *record, m_platform.clock->GetLocalTime());
  if (result.error != kErrorSuccess) {
    // Nothing was removed: say why the backup could not be made.
    std::string text;
    if (result.error == kErrorPathNotFound || result.error == kErrorFileNotFound) {
      text = LoadStr(IDS_61859);
      const std::size_t at = text.find("%1");
      if (at != std::string::npos) text.replace(at, 2, result.backupPath);
    } else {
      text = SystemMessage(result.error);
    }
    if (result.damagedEnd) text += "\n\n" + LoadStrWith(IDS_57920, result.backupPath);
    MessageBoxA(m_hWnd, text.c_str(), TextOr(IDS_57755, "Tidewell").c_str(),
                MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!result.registrationRemoved) {
    // Nothing of the registration went (the Toolbar key's own default value,
    // a value that cannot be read or removed, a key that will not open with
    // full access): the row stays, and the user is told.
    MessageBoxA(m_hWnd,
                LoadStrWith(IDS_57930, HivePrefix(record->root) + record->storedKeyPath).c_str(),
                TextOr(IDS_57755, "Tidewell").c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  // The record stays in the inventory until the next listing.
  ListView_DeleteItem(m_hList, row);
  if (result.perUserServerLeft) {
    MessageBoxA(m_hWnd, LoadStr(IDS_57921).c_str(), TextOr(IDS_57755, "Tidewell").c_str(),
                MB_OK | MB_ICONINFORMATION);
  }
}

}  // namespace tw
