#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "junk_files/junk_file_page.h"

#include <algorithm>
#include <chrono>

#include "app/shell_app.h"
#include "controls/check_list.h"
#include "platform/text.h"
#include "controls/new_menu.h"
#include "controls/resource_module.h"
#include "junk_files/file_type_dialog.h"
#include "resources/resource.h"

namespace tw {

namespace {

constexpr int kFolderTree = IDC_1012;
constexpr int kScanButton = IDC_1034;
constexpr int kDeleteButton = IDC_1032;
constexpr int kDeleteAllButton = IDC_1033;
constexpr int kResultsViewButton = IDC_1036;
constexpr int kSettingsViewButton = IDC_1015;
constexpr int kResultList = IDC_1016;
constexpr int kTypeList = IDC_1023;
constexpr int kRecycleRadio = IDC_1018;
constexpr int kPermanentRadio = IDC_1019;
constexpr int kBackupRadio = IDC_1020;
constexpr int kBackupFolderEdit = IDC_1021;
constexpr int kBrowseButton = IDC_1022;
constexpr int kAddTypeButton = IDC_1024;
constexpr int kDeleteTypeButton = IDC_1025;
constexpr int kTickAllTypesButton = IDC_1026;
constexpr int kIeCacheCheck = IDC_1028;
constexpr int kSystemTempCheck = IDC_1029;

// Everything of the settings view; the result list takes the same place.
constexpr int kSettingsControls[] = {IDC_1017, kRecycleRadio,      kPermanentRadio, kBackupRadio,
                                     kBackupFolderEdit, kBrowseButton, IDC_1027, kTypeList,
                                     kAddTypeButton, kDeleteTypeButton, kTickAllTypesButton,
                                     kIeCacheCheck, kSystemTempCheck};

// Messages the workers send or post to the page.
constexpr UINT kMsgRowsPending = WM_APP + 0x31;   // posted: found rows wait to be listed
constexpr UINT kMsgScanEnded = WM_APP + 0x32;     // sent: the scan's end step
constexpr UINT kMsgShowResults = WM_APP + 0x33;   // posted: switch to the result view
constexpr UINT kMsgRowsGone = WM_APP + 0x34;      // posted: rows whose files are gone wait
constexpr UINT kMsgAskOverwrite = WM_APP + 0x35;  // sent: lParam = file name; answers IDYES/IDNO
constexpr UINT kMsgBadFolder = WM_APP + 0x36;     // sent: the backup folder is unusable
constexpr UINT kMsgDeleteEnded = WM_APP + 0x37;   // posted: wParam = files that stayed
constexpr UINT kMsgStatusPending = WM_APP + 0x38; // posted: a progress text waits
constexpr UINT kMsgCopyRows = WM_APP + 0x39;      // sent: lParam = RowCopyRequest*; answers
                                                  // the rows copied
constexpr UINT kMsgDropAllGone = WM_APP + 0x3A;   // sent: the deletion's last rows go now
constexpr UINT_PTR kRowListingTimer = 1;
constexpr UINT_PTR kRowsGoneTimer = 2;

// Rows a deletion copies from the list with one message.
constexpr int kRowCopyBatch = 500;

// The list shows a deletion's progress at this pace, and in full at its end.
// Each pass draws the whole view again (20 ms and more on a loaded machine
// with the files going from the top): twice a second shows the progress.
constexpr ULONGLONG kGonePaceMs = 500;
constexpr ULONGLONG kListingPaceMs = 200;

}  // namespace

// Turns the walk's calls into status texts and rows waiting to be listed.
class CJunkFilePage::CScanSink : public IJunkScanSink {
 public:
  explicit CScanSink(CJunkFilePage& page) : m_page(page) {}
  void OnScanFile(const std::string& path) override {
    m_page.ReportStatus(path, StatusPhase::kProgress, true);
  }
  void OnJunkFile(const std::string& path, std::uint64_t size) override {
    m_page.AddPendingRow({path, SizeText(size)});
  }

 private:
  CJunkFilePage& m_page;
};

CJunkFilePage::CJunkFilePage(const Platform& platform)
    : CResultPage(IDD_130, IDS_57809, platform,
                  {.rowsPendingMessage = kMsgRowsPending,
                   .statusPendingMessage = kMsgStatusPending,
                   .listingTimer = kRowListingTimer,
                   .listingPaceMs = kListingPaceMs,
                   .goneTimer = kRowsGoneTimer,
                   .gonePaceMs = kGonePaceMs}),
      m_tree(*platform.files) {
  m_settings.backupFolder = DefaultBackupFolder(*m_platform.files);
  CreateFolderPath(*m_platform.files, m_settings.backupFolder);
}

CJunkFilePage::~CJunkFilePage() { StopWorker(); }

BOOL CJunkFilePage::OnInit() {
  m_hTypes = Item(kTypeList);

  m_status.LoadTexts();
  AttachButtons(m_hWnd,
                {{kBrowseButton, IDS_57692},
                 {kResultsViewButton, IDS_57693},
                 {kSettingsViewButton, IDS_57694},
                 {kTickAllTypesButton, IDS_57695},
                 {kDeleteTypeButton, IDS_57696},
                 {kAddTypeButton, IDS_57697},
                 {kScanButton, IDS_57698},
                 {kDeleteAllButton, IDS_57699},
                 {kDeleteButton, IDS_57700}},
                false, &m_buttons);

  m_tree.Initialise(Item(kFolderTree));
  ShowResultView(false);

  AttachResultList(Item(kResultList), [this](std::size_t row, int column) -> const std::string& {
    return column == 0 ? m_rows[row].path : m_rows[row].size;
  });
  ShowCheckBoxes(m_hTypes, m_hChecks);
  AddListColumn(m_hResults, 0, IDS_32797, 350);
  AddListColumn(m_hResults, 1, IDS_32798, 140);
  AddListColumn(m_hTypes, 0, IDS_32796, 150);
  AddListColumn(m_hTypes, 1, IDS_32804, 193);

  LoadSettings();
  CheckDlgButton(m_hWnd, kIeCacheCheck, m_settings.cleanIeCache ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hWnd, kSystemTempCheck,
                 m_settings.cleanSystemTemp ? BST_CHECKED : BST_UNCHECKED);
  if (m_settings.deleteMode >= 0 && m_settings.deleteMode <= 2) {
    CheckRadioButton(m_hWnd, kRecycleRadio, kBackupRadio, kRecycleRadio + m_settings.deleteMode);
    ApplyDeleteMode(m_settings.deleteMode);
  }
  m_deleteMode = m_settings.deleteMode;
  SetDlgItemTextA(m_hWnd, kBackupFolderEdit, m_settings.backupFolder.c_str());
  return TRUE;
}

INT_PTR CJunkFilePage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgScanEnded:
      EndScan();
      return TRUE;
    case kMsgShowResults:
      ShowResultView(true);
      return TRUE;
    case kMsgRowsGone:
      m_results.OnGone([this] { DropGoneRows(); }, false);
      return TRUE;
    case kMsgDropAllGone:
      m_results.DropAllGone([this] { DropGoneRows(); });
      return TRUE;
    case kMsgCopyRows:
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT,
                        CopyRows(*reinterpret_cast<RowCopyRequest*>(lp)));
      return TRUE;
    case kMsgAskOverwrite:
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT,
                        ShowMessage(IDS_57779, MB_YESNO | MB_ICONQUESTION,
                                    *reinterpret_cast<const std::string*>(lp)));
      return TRUE;
    case kMsgBadFolder:
      ShowMessage(IDS_57771, MB_OK | MB_ICONINFORMATION);
      return TRUE;
    case kMsgDeleteEnded:
      if (wp > 0) {
        ShowMessage(IDS_57902, MB_OK | MB_ICONWARNING, std::to_string(wp));
      }
      return TRUE;
    default:
      break;
  }
  return CResultPage::DialogProc(msg, wp, lp);
}

bool CJunkFilePage::OnCommand(int id, int code, HWND control) {
  const bool clicked = code == BN_CLICKED;
  switch (id) {
    case kScanButton:
      if (clicked) OnScan();
      return true;
    case kDeleteButton:
    case IDM_32794:
      if (clicked) OnDeleteTicked();
      return true;
    case kDeleteAllButton:
    case IDM_32795:
      if (clicked) OnDeleteAll();
      return true;
    case kResultsViewButton:
      if (clicked) ShowResultView(true);
      return true;
    case kSettingsViewButton:
      if (clicked) ShowResultView(false);
      return true;
    case kRecycleRadio:
    case kPermanentRadio:
    case kBackupRadio:
      if (clicked) ApplyDeleteMode(id - kRecycleRadio);
      return true;
    case kBrowseButton:
      if (clicked) BrowseBackupFolder();
      return true;
    case kAddTypeButton:
      if (clicked) AddFileType();
      return true;
    case kDeleteTypeButton:
      if (clicked) DeleteFileTypes();
      return true;
    case kTickAllTypesButton:
      if (clicked) TickAllTypes();
      return true;
    default:
      return CResultPage::OnCommand(id, code, control);
  }
}

bool CJunkFilePage::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->idFrom == static_cast<UINT_PTR>(kFolderTree)) {
    return m_tree.HandleNotify(header, result);
  }
  if (CResultPage::OnNotify(header, result)) return true;
  if (header->hwndFrom != m_hTypes) return false;
  if (header->code != NM_CLICK && header->code != NM_DBLCLK) return false;
  OnCheckListClick(m_hTypes, reinterpret_cast<NMITEMACTIVATE*>(header),
                   header->code == NM_DBLCLK, false);
  return true;
}

void CJunkFilePage::OnDestroy() {
  CResultPage::OnDestroy();
  SaveSettings();
}

void CJunkFilePage::OnTimer(UINT_PTR id) {
  if (m_results.IsGoneTimer(id)) {
    m_results.OnGone([this] { DropGoneRows(); }, true);
  } else {
    CResultPage::OnTimer(id);
  }
}

// --- settings -----------------------------------------------------------------

void CJunkFilePage::LoadSettings() {
  const std::string path = GetProgramFolder(*m_platform.files) + "\\File.ini";
  std::vector<FileTypeEntry> types;
  const IniLoad result = LoadFileIni(*m_platform.files, path, &m_settings, &types);
  if (result == IniLoad::kUnreadable) {
    // Saving over a file that could not be read would lose its type list.
    m_bSettingsUnreadable = true;
    ShowMessage(IDS_57901, MB_OK | MB_ICONWARNING);
  }
  for (const FileTypeEntry& type : types) InsertTypeRow(ListView_GetItemCount(m_hTypes), type);
  m_bSettingsLoaded = true;
}

void CJunkFilePage::SaveSettings() {
  if (!m_bSettingsLoaded || m_bSettingsUnreadable) return;
  m_settings.backupFolder = ItemText(kBackupFolderEdit);
  m_settings.cleanIeCache = IsDlgButtonChecked(m_hWnd, kIeCacheCheck) == BST_CHECKED;
  m_settings.cleanSystemTemp = IsDlgButtonChecked(m_hWnd, kSystemTempCheck) == BST_CHECKED;
  const std::string path = GetProgramFolder(*m_platform.files) + "\\File.ini";
  if (SaveFileIni(*m_platform.files, path, m_settings, TypeRows()) != kErrorSuccess) {
    // The previous file stays whole; the user hears that this session's
    // changes are not in it.
    MessageBoxA(nullptr, LoadStr(IDS_57900).c_str(), TextOr(IDS_57755, "Tidewell").c_str(),
                MB_OK | MB_ICONWARNING | MB_TASKMODAL);
  }
}

void CJunkFilePage::ApplyDeleteMode(int mode) {
  m_settings.deleteMode = mode;
  m_deleteMode = mode;
  const BOOL folder = mode == MoveToBackup ? TRUE : FALSE;
  EnableWindow(Item(kBackupFolderEdit), folder);
  EnableWindow(Item(kBrowseButton), folder);
}

std::vector<FileTypeEntry> CJunkFilePage::TypeRows() const {
  std::vector<FileTypeEntry> rows;
  const int count = ListView_GetItemCount(m_hTypes);
  for (int i = 0; i < count; ++i) {
    rows.push_back({ListText(m_hTypes, i, 0), ListText(m_hTypes, i, 1),
                    ListView_GetCheckState(m_hTypes, i) != 0});
  }
  return rows;
}

void CJunkFilePage::InsertTypeRow(int at, const FileTypeEntry& entry) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = at;
  item.pszText = const_cast<char*>(entry.pattern.c_str());
  const int index =
      static_cast<int>(SendMessageA(m_hTypes, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return;
  LVITEMA sub{};
  sub.iSubItem = 1;
  sub.pszText = const_cast<char*>(entry.description.c_str());
  SendMessageA(m_hTypes, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
  ListView_SetCheckState(m_hTypes, index, entry.enabled ? TRUE : FALSE);
}

void CJunkFilePage::AddFileType() {
  CFileTypeDialog dialog;
  if (dialog.Run(m_hWnd) != IDOK) return;
  const std::string lowered = LowerCase(dialog.Pattern());
  const int count = ListView_GetItemCount(m_hTypes);
  for (int i = 0; i < count; ++i) {
    if (LowerCase(ListText(m_hTypes, i, 0)) == lowered) {
      ShowMessage(IDS_57776, MB_OK | MB_ICONINFORMATION);
      return;
    }
  }
  InsertTypeRow(0, {dialog.Pattern(), dialog.Description(), true});
  ListView_SetSelectionMark(m_hTypes, 0);
  SetFocus(m_hTypes);
}

void CJunkFilePage::DeleteFileTypes() {
  for (;;) {
    const int row = ListView_GetNextItem(m_hTypes, -1, LVNI_SELECTED);
    if (row < 0) return;
    if (ShowMessage(IDS_57777, MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
    ListView_DeleteItem(m_hTypes, row);
  }
}

void CJunkFilePage::TickAllTypes() {
  const int count = ListView_GetItemCount(m_hTypes);
  for (int i = 0; i < count; ++i) ListView_SetCheckState(m_hTypes, i, TRUE);
}

void CJunkFilePage::BrowseBackupFolder() {
  const std::string title = ItemText(kBackupFolderEdit);
  char display[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = m_hWnd;
  info.pszDisplayName = display;
  info.lpszTitle = title.c_str();
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (!chosen) return;
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(chosen, path)) {
    m_settings.backupFolder = path;
    SetDlgItemTextA(m_hWnd, kBackupFolderEdit, path);
  }
  CoTaskMemFree(chosen);
}

void CJunkFilePage::ShowResultView(bool results) {
  for (int id : kSettingsControls) ShowWindow(Item(id), results ? SW_HIDE : SW_SHOW);
  ShowWindow(m_hResults ? m_hResults : Item(kResultList), results ? SW_SHOW : SW_HIDE);
}

std::string CJunkFilePage::ItemText(int id) const {
  HWND item = Item(id);
  const int len = GetWindowTextLengthA(item);
  std::string text(static_cast<std::size_t>(len) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(item, text.data(), len + 1)));
  return text;
}

// --- scan -------------------------------------------------------------------

void CJunkFilePage::OnScan() {
  std::vector<std::string> roots;
  m_tree.CollectTickedPaths(&roots);
  m_settings.cleanIeCache = IsDlgButtonChecked(m_hWnd, kIeCacheCheck) == BST_CHECKED;
  m_settings.cleanSystemTemp = IsDlgButtonChecked(m_hWnd, kSystemTempCheck) == BST_CHECKED;
  if (!m_settings.cleanIeCache && !m_settings.cleanSystemTemp && roots.empty()) {
    ShowMessage(IDS_57794, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!m_bIdle) {
    StopRun();
    SetItemText(kScanButton, IDS_32783);
    EnableItems({kDeleteButton, kDeleteAllButton, kSettingsViewButton, kResultsViewButton}, true);
    return;
  }
  // Two workers of the page never run at once: a stopped one is let finish.
  m_worker.Wait();
  BeginRun();
  SetItemText(kScanButton, IDS_32784);
  m_nFound = 0;
  m_pending.Clear();
  m_rows.clear();
  m_results.Clear();

  // The type list and the options are fixed for the run: the settings view
  // is hidden while it goes.
  m_scanTypes = CJunkTypes();
  for (const FileTypeEntry& type : TypeRows()) {
    if (type.enabled) m_scanTypes.Add(type.pattern);
  }
  m_scanPlan = JunkScanPlan();
  m_scanPlan.roots = roots;
  m_scanPlan.tempFolder = SystemTempFolder(*m_platform.files);
  m_scanPlan.walkTemp = m_settings.cleanSystemTemp != 0;
  if (m_settings.cleanIeCache) m_scanPlan.cacheFolder = BrowserCacheFolder(*m_platform.registry);

  if (!StartScanWorker([this] {
        // Posted: the worker need not wait while the page swaps its views;
        // the rows found come after it.
        PostMessageA(m_hWnd, kMsgShowResults, 0, 0);
        CScanSink sink(*this);
        CJunkScanner scanner(*m_platform.files, m_control, sink, m_scanTypes);
        scanner.Run(m_scanPlan);
        SendMessageA(m_hWnd, kMsgScanEnded, 0, 0);
      })) {
    SetItemText(kScanButton, IDS_32783);
    return;
  }
  EnableItems({kDeleteButton, kDeleteAllButton, kSettingsViewButton, kResultsViewButton}, false);
}

void CJunkFilePage::EndScan() {
  ListAllPending();
  // The last listing's count change is long on a long list: callers that
  // sent meanwhile are answered before the buttons are drawn anew.
  ULONGLONG served = 0;
  ServeSentMessages(&served, 0, false);
  SetIdle();
  SetItemText(kScanButton, IDS_32783);
  EnableItems({kResultsViewButton, kDeleteButton, kDeleteAllButton, kSettingsViewButton}, true);
}

void CJunkFilePage::AddPendingRow(FoundRow row) {
  ++m_nFound;
  m_pending.Add(m_hWnd, kMsgRowsPending, std::move(row));
}

bool CJunkFilePage::DrainPendingRows(std::size_t limit) {
  bool more = false;
  std::vector<FoundRow> batch = m_pending.Take(limit, &more);
  // No reserve of the exact size: each listing would move every row listed
  // so far, a cost that grows with the list.
  for (FoundRow& row : batch) m_rows.push_back(std::move(row));
  m_results.Append(batch.size());
  return more;
}

// --- deletion -------------------------------------------------------------------

void CJunkFilePage::OnDeleteTicked() { ToggleDeletion(1); }
void CJunkFilePage::OnDeleteAll() { ToggleDeletion(2); }

void CJunkFilePage::ToggleDeletion(int scope) {
  if (m_rows.empty()) return;
  const std::string deleteText = LoadStr(IDS_57709);
  const std::string stopText = LoadStr(IDS_32784);
  if (!m_bIdle) {
    StopRun();
    SetDlgItemTextA(m_hWnd, kDeleteButton, deleteText.c_str());
    if (scope == 2) SetItemText(kDeleteAllButton, IDS_57710);
    EnableItems({kScanButton, kSettingsViewButton, kResultsViewButton}, true);
    return;
  }
  // A stopped worker may still be on its last file, and its end step makes
  // the page idle: it ends first, or the new run would go on with the page
  // counting as idle (its stop button starting yet another run). Its rows
  // are all listed or dropped then, so the loop walks a list nobody else
  // changes.
  m_worker.Wait();
  if (m_rows.empty()) return;
  BeginRun();
  SetDlgItemTextA(m_hWnd, kDeleteButton, stopText.c_str());
  if (scope == 2) SetDlgItemTextA(m_hWnd, kDeleteAllButton, stopText.c_str());
  m_deleteScope = scope;
  m_deleteRoots = WalkedRoots(m_scanPlan.roots, m_scanPlan.cacheFolder, m_scanPlan.tempFolder);
  if (!StartWorker([this] { DeleteOnWorker(); })) {
    m_deleteScope = 0;
    SetDlgItemTextA(m_hWnd, kDeleteButton, deleteText.c_str());
    return;
  }
  EnableItems({kScanButton, kSettingsViewButton, kResultsViewButton}, false);
}

RemoveOutcome CJunkFilePage::RemoveOne(const std::string& path) {
  // The mode and the folder are read anew for every file: the settings view
  // stays usable during a deletion.
  RemoveContext context;
  context.files = m_platform.files;
  context.shell = m_platform.shell;
  context.deleteMode = m_deleteMode;
  context.roots = &m_deleteRoots;
  context.owner = reinterpret_cast<std::uintptr_t>(m_hWnd);
  if (context.deleteMode == MoveToBackup) context.backupFolder = ItemText(kBackupFolderEdit);
  context.askOverwrite = [this](const std::string& name) {
    return SendMessageA(m_hWnd, kMsgAskOverwrite, 0, reinterpret_cast<LPARAM>(&name)) == IDYES;
  };
  context.reportBadFolder = [this] { SendMessageA(m_hWnd, kMsgBadFolder, 0, 0); };
  return RemoveFile(context, path);
}

void CJunkFilePage::DeleteOnWorker() {
  EnableItems({kScanButton, kSettingsViewButton, kResultsViewButton}, false);
  ReportStatus("", StatusPhase::kStart, false);
  m_nDeleted = 0;
  m_gone.Clear();
  // The rows and their ticks as they stand at the start, a batch per
  // message so that the window answers between batches.
  std::vector<JunkRowCopy> copy;
  for (RowCopyRequest request{0, &copy}; !m_control.StopRequested();) {
    request.first = static_cast<int>(copy.size());
    if (SendMessageA(m_hWnd, kMsgCopyRows, 0, reinterpret_cast<LPARAM>(&request)) <
        kRowCopyBatch) {
      break;
    }
  }
  CCopiedJunkRows rows(std::move(copy), [this](int row, const std::string& path) {
    --m_nFound;
    ++m_nDeleted;
    ReportStatus(path, StatusPhase::kProgress, false);
    m_gone.Add(m_hWnd, kMsgRowsGone, row);
  });
  const DeletionCounts counts =
      RunDeletion(rows, m_deleteScope == 2, m_control,
                  [this](const std::string& path) { return RemoveOne(path); });
  // Every row whose file went leaves the list before the final status.
  SendMessageA(m_hWnd, kMsgDropAllGone, 0, 0);
  m_bIdle = 1;
  g_bStopRequested = 0;
  g_bPauseRequested = 0;
  if (m_deleteScope == 2) SetItemText(kDeleteAllButton, IDS_57710);
  SetItemText(kDeleteButton, IDS_57709);
  ReportStatus("", StatusPhase::kFinish, false);
  EnableItems({kScanButton, kSettingsViewButton, kResultsViewButton}, true);
  m_deleteScope = 0;
  g_bScanning = 0;
  m_bStop = 0;
  // Files that stayed are named by their rows; the count is told once.
  PostMessageA(m_hWnd, kMsgDeleteEnded, static_cast<WPARAM>(counts.failed), 0);
}

int CJunkFilePage::CopyRows(const RowCopyRequest& request) {
  const std::size_t first = static_cast<std::size_t>(std::max(0, request.first));
  const std::size_t end = std::min(m_rows.size(), first + kRowCopyBatch);
  for (std::size_t row = first; row < end; ++row) {
    request.rows->push_back({m_rows[row].path, m_results.Checked(row)});
  }
  return static_cast<int>(end - std::min(first, end));
}

void CJunkFilePage::DropGoneRows() {
  bool more = false;
  const std::vector<int> gone = m_gone.Take(m_rows.size() + 1, &more);
  // The deletion goes top to bottom and numbers each row as the list stands
  // once the rows before it have gone: the k-th of the batch is row
  // number + k of the list as it stands now.
  std::vector<std::size_t> rows;
  rows.reserve(gone.size());
  for (std::size_t k = 0; k < gone.size(); ++k) {
    const std::size_t at = static_cast<std::size_t>(gone[k]) + k;
    if (at < m_rows.size() && (rows.empty() || at > rows.back())) rows.push_back(at);
  }
  EraseRows(&m_rows, rows);
  m_results.Remove(rows);
}

// --- shared -------------------------------------------------------------------

void CJunkFilePage::EnableItems(std::initializer_list<int> ids, bool enable) {
  for (int id : ids) EnableWindow(Item(id), enable ? TRUE : FALSE);
}

void CJunkFilePage::UpdateButtonsForBusy(bool busy) {
  if (!m_bIdle) {
    if (!busy) EnableWindow(Item(kScanButton), TRUE);
    return;
  }
  EnableItems({kScanButton, kDeleteButton}, !busy);
}

}  // namespace tw
