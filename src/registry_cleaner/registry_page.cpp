#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include "registry_cleaner/registry_page.h"

#include <algorithm>

#include "app/pending_rows.h"
#include "app/shell_app.h"
#include "app/windows_version.h"
#include "controls/check_list.h"
#include "controls/new_menu.h"
#include "controls/resource_module.h"
#include "junk_files/choose_path_dialog.h"
#include "platform/win32/tick_count.h"
#include "platform/win32/win32_error.h"
#include "reg_export/reg_export_file.h"
#include "registry_cleaner/registry_deletion.h"
#include "registry_cleaner/registry_finding.h"
#include "registry_cleaner/registry_repair.h"
#include "registry_cleaner/registry_scanner.h"
#include "registry_cleaner/repair_backup.h"
#include "registry_cleaner/whole_registry_backup.h"
#include "resources/resource.h"

namespace tw {

namespace {

// The page's controls, by their role.
constexpr int kCategoryList = IDC_1003;         // owner-drawn list of scan categories
constexpr int kResultList = IDC_1004;           // the findings, with check boxes
constexpr int kScanButton = IDC_1035;           // scan; reads "stop" while a scan runs
constexpr int kRepairButton = IDC_1059;         // repair; reads "stop" while a repair runs
constexpr int kDeleteCheckedButton = IDC_1007;  // delete the checked findings
constexpr int kDeleteAllButton = IDC_1008;      // delete every finding
constexpr int kBackupButton = IDC_1009;         // back up the whole registry
constexpr int kRestoreButton = IDC_1010;        // restore a registry file

// Messages the workers send or post to the page.
constexpr UINT kMsgRowsPending = WM_APP + 0x21;  // posted: found rows wait to be listed
constexpr UINT kMsgRunEnded = WM_APP + 0x22;     // sent: wParam = the run that ended
constexpr UINT kMsgRemoveRow = WM_APP + 0x23;    // sent: wParam = the row a repair fixed
constexpr UINT kMsgStatusPending = WM_APP + 0x24;  // posted: a progress text waits
constexpr UINT_PTR kRowListingTimer = 1;

// How often a deletion, which runs on the interface thread, stops to answer
// messages: a caller waits for that and for the row at hand, which under a
// loaded Wine took up to 30 ms, and should wait no more than 50 ms in all.
constexpr ULONGLONG kServeIntervalMs = 10;

// The controls a run disables (the active start/stop button aside).
constexpr int kRunControls[] = {kCategoryList, kDeleteCheckedButton, kDeleteAllButton,
                                kBackupButton, kRestoreButton,       kResultList,
                                kRepairButton, kScanButton};

int WindowsFamily() {
  CSystemVersion version;
  return ClassifyWindowsVersion(version);
}

}  // namespace

// Turns the scanner's calls into status texts and pending rows.
class CRegistryPage::CScanSink : public IScanSink {
 public:
  explicit CScanSink(CRegistryPage& page) : m_page(page) {}
  void OnScanKey(const std::string& statusText) override {
    m_page.ReportStatus(statusText, StatusPhase::kProgress, true);
  }
  void OnFinding(const RegistryFinding& finding) override { m_page.AddPendingRow(finding); }

 private:
  CRegistryPage& m_page;
};

CRegistryPage::CRegistryPage(const Platform& platform)
    : CResultPage(IDD_129, IDS_57810, platform,
                  {.rowsPendingMessage = kMsgRowsPending,
                   .statusPendingMessage = kMsgStatusPending,
                   .listingTimer = kRowListingTimer,
                   .boxNeedsSelection = true}) {}

CRegistryPage::~CRegistryPage() { StopWorker(); }

BOOL CRegistryPage::OnInit() {
  m_hCategories = Item(kCategoryList);

  m_status.LoadTexts();
  AttachButtons(m_hWnd,
                {{kScanButton, IDS_57698},
                 {kRestoreButton, IDS_57703},
                 {kDeleteAllButton, IDS_57704},
                 {kDeleteCheckedButton, IDS_57705},
                 {kBackupButton, IDS_57706},
                 {kRepairButton, IDS_57707}},
                false, &m_buttons);

  FillCategoryList();

  m_texts.invalidPath = TextOr(IDS_32785, m_texts.invalidPath);
  m_texts.invalidUninstall = TextOr(IDS_57732, m_texts.invalidUninstall);
  m_texts.invalidAssociation = TextOr(IDS_57734, m_texts.invalidAssociation);
  m_rows = CRegistryRowStore(m_texts);
  m_pending.Reset(m_texts);

  AttachResultList(Item(kResultList), [this](std::size_t row, int column) -> const std::string& {
    m_rows.Text(row, column, &m_cell);
    return m_cell;
  });
  AddListColumn(m_hResults, 0, IDS_57729, 280);
  AddListColumn(m_hResults, 1, IDS_57730, 203);
  AddListColumn(m_hResults, 2, IDS_57731, 0);

  // Backups of deleted and repaired entries go here.
  CreateFolderPath(*m_platform.files, GetProgramFolder(*m_platform.files) + "\\RegBackup");
  return TRUE;
}

void CRegistryPage::FillCategoryList() {
  SendMessageA(m_hCategories, LB_RESETCONTENT, 0, 0);
  SendMessageA(m_hCategories, LB_SETITEMHEIGHT, 0, 16);
  m_categoryChecked.clear();
  m_categoryIds.clear();
  for (const auto& info : kScanCategories) {
    const std::string text = LoadStr(info.listTextId);
    const LRESULT index =
        SendMessageA(m_hCategories, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index < 0) continue;
    SendMessageA(m_hCategories, LB_SETITEMDATA, index, static_cast<LPARAM>(info.id));
    m_categoryIds.push_back(static_cast<int>(info.id));
    m_categoryChecked.push_back(true);
  }
}

void CRegistryPage::DrawCategoryItem(const DRAWITEMSTRUCT* di) {
  if (di->itemID == static_cast<UINT>(-1)) return;
  const bool selected = (di->itemState & ODS_SELECTED) != 0;
  HDC dc = di->hDC;
  RECT rc = di->rcItem;
  FillRect(dc, &rc, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  RECT box = {rc.left + 2, rc.top + (rc.bottom - rc.top - 13) / 2, rc.left + 15, 0};
  box.bottom = box.top + 13;
  const bool checked = di->itemID < m_categoryChecked.size() && m_categoryChecked[di->itemID];
  DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (checked ? DFCS_CHECKED : 0));
  char text[260] = {};
  const LRESULT len = SendMessageA(di->hwndItem, LB_GETTEXTLEN, di->itemID, 0);
  if (len >= 0 && len < static_cast<LRESULT>(sizeof(text))) {
    SendMessageA(di->hwndItem, LB_GETTEXT, di->itemID, reinterpret_cast<LPARAM>(text));
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT textRc = {box.right + 4, rc.top, rc.right, rc.bottom};
  DrawTextA(dc, text, -1, &textRc, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (di->itemState & ODS_FOCUS) DrawFocusRect(dc, &rc);
}

INT_PTR CRegistryPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di->CtlType == ODT_LISTBOX && di->CtlID == kCategoryList) {
        DrawCategoryItem(di);
        return TRUE;
      }
      break;
    }
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mi->CtlType == ODT_LISTBOX) {
        mi->itemHeight = 16;
        return TRUE;
      }
      break;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == m_hCategories && m_bIdle) {
        POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (pt.x == -1 && pt.y == -1) GetCursorPos(&pt);
        ShowCategoryMenu(pt);
        return TRUE;
      }
      break;
    case kMsgRunEnded:
      EndRun(static_cast<Run>(wp));
      return TRUE;
    case kMsgRemoveRow:
      if (wp < m_rows.Size()) {
        m_rows.Erase(std::vector<std::size_t>{static_cast<std::size_t>(wp)});
        m_results.Remove({static_cast<std::size_t>(wp)});
      }
      return TRUE;
    default:
      break;
  }
  return CResultPage::DialogProc(msg, wp, lp);
}

bool CRegistryPage::OnCommand(int id, int code, HWND control) {
  if (m_bDeleting) return true;  // every command waits for the deletion's end
  switch (id) {
    case kScanButton:
      if (code == BN_CLICKED) OnScan();
      return true;
    case kRepairButton:
      if (code == BN_CLICKED) OnRepair();
      return true;
    case kDeleteCheckedButton:
      if (code == BN_CLICKED && !m_rows.Empty()) DeleteCheckedFindings();
      return true;
    case kDeleteAllButton:
      if (code == BN_CLICKED && !m_rows.Empty()) DeleteAllFindings();
      return true;
    case kBackupButton:
      if (code == BN_CLICKED) BackupWholeRegistry();
      return true;
    case kRestoreButton:
      if (code == BN_CLICKED) RestoreRegistryFile();
      return true;
    case kCategoryList:
      if (code == LBN_DBLCLK && m_bIdle) {
        const LRESULT index = SendMessageA(m_hCategories, LB_GETCARETINDEX, 0, 0);
        if (index >= 0 && static_cast<std::size_t>(index) < m_categoryChecked.size()) {
          m_categoryChecked[index] = !m_categoryChecked[index];
          InvalidateRect(m_hCategories, nullptr, FALSE);
        }
      }
      return true;
    case IDM_32780:
      SetAllCategories(1);
      return true;
    case IDM_32781:
      SetAllCategories(0);
      return true;
    case IDM_32782:
      SetAllCategories(2);
      return true;
    case IDM_32794:
      if (m_bIdle) DeleteCheckedFindings();
      return true;
    case IDM_32795:
      if (m_bIdle) DeleteAllFindings();
      return true;
    default:
      return CResultPage::OnCommand(id, code, control);
  }
}

// --- scan -------------------------------------------------------------------

void CRegistryPage::OnScan() {
  if (!m_bIdle) {
    StopOwnRun(Run::kScan);
    return;
  }
  LaunchRun(Run::kScan, [this] {
    m_nFound = 0;
    m_pending.Reset(m_texts);
    m_rows.Clear();
    m_results.Clear();
    m_scanCategories.clear();
    for (std::size_t i = 0; i < m_categoryIds.size(); ++i) {
      if (m_categoryChecked[i]) m_scanCategories.push_back(m_categoryIds[i]);
    }
  });
}

void CRegistryPage::RunScanCategories() {
  if (m_bIdle) return;
  CScanSink sink(*this);
  CRegistryScanner scanner(*m_platform.registry, *m_platform.files, m_control, sink, m_texts);
  for (int category : m_scanCategories) {
    if (m_control.Poll()) return;
    scanner.RunCategory(static_cast<ScanCategory>(category));
  }
}

void CRegistryPage::AddPendingRow(const RegistryFinding& finding) {
  ++m_nFound;
  if (m_pending.Add(finding)) PostMessageA(m_hWnd, kMsgRowsPending, 0, 0);
}

bool CRegistryPage::DrainPendingRows(std::size_t) {
  // Found rows come unticked; every waiting row is taken at once.
  const std::size_t first = m_rows.Size();
  m_pending.TakeInto(&m_rows);
  m_results.Append(m_rows.Size() - first);
  return false;
}

bool CRegistryPage::RowChecked(int row) const {
  return ListView_GetCheckState(m_hResults, row) != 0;
}

void CRegistryPage::SyncChecksFromList() {
  for (std::size_t i = 0; i < m_rows.Size(); ++i) m_rows.SetChecked(i, m_results.Checked(i));
}

int CRegistryPage::RunButton(Run run) { return run == Run::kRepair ? kRepairButton : kScanButton; }

void CRegistryPage::ShowIdleButton(Run run) {
  SetItemText(RunButton(run), run == Run::kRepair ? IDS_57708 : IDS_32783);
}

void CRegistryPage::LaunchRun(Run run, const std::function<void()>& prepare) {
  // Two workers of the page never run at once: a stopped one is let finish.
  m_worker.Wait();
  BeginRun();
  m_run = run;
  SetItemText(RunButton(run), IDS_32784);
  prepare();
  if (!StartScanWorker([this, run] {
        if (run == Run::kRepair) {
          RunRepair();
        } else {
          RunScanCategories();
        }
        SendMessageA(m_hWnd, kMsgRunEnded, static_cast<WPARAM>(run), 0);
      })) {
    ShowIdleButton(run);
    return;
  }
  EnableRunControls(false, RunButton(run));
}

void CRegistryPage::StopOwnRun(Run run) {
  StopRun();
  ShowIdleButton(run);
  EnableRunControls(true, 0);
}

void CRegistryPage::EndRun(Run run) {
  // Every row is listed before the final status shows the count; the window
  // still answers between batches.
  ListAllPending();
  SetIdle();
  ShowIdleButton(run);
  m_run = Run::kNone;
  EnableRunControls(true, 0);
}

void CRegistryPage::EnableRunControls(bool enable, int except) {
  for (int id : kRunControls) {
    if (id != except) EnableWindow(Item(id), enable ? TRUE : FALSE);
  }
  if (except) EnableWindow(Item(except), TRUE);
}

void CRegistryPage::UpdateButtonsForBusy(bool busy) {
  if (!m_bIdle) {
    // The page's own run: only its start/stop button answers.
    EnableWindow(Item(RunButton(m_run)), TRUE);
    return;
  }
  for (int id : {kScanButton, kRepairButton, kDeleteCheckedButton}) {
    EnableWindow(Item(id), busy ? FALSE : TRUE);
  }
}

// --- menus ------------------------------------------------------------------

void CRegistryPage::ShowCategoryMenu(POINT screen) {
  CNewMenu menu;
  if (!menu.LoadPopup(GetResourceInstance(), IDR_143)) return;
  menu.SetSideTitle(TextOr(IDS_57755, "Tidewell"));
  menu.SetItemText(IDM_32780, LoadStr(IDS_57740));
  menu.SetItemText(IDM_32781, LoadStr(IDS_57741));
  menu.SetItemText(IDM_32782, LoadStr(IDS_57742));
  const UINT cmd = menu.Track(m_hWnd, screen, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD);
  if (cmd) OnCommand(static_cast<int>(cmd), 0, nullptr);
}

void CRegistryPage::SetAllCategories(int how) {
  if (!m_bIdle) return;
  for (std::size_t i = 0; i < m_categoryChecked.size(); ++i) {
    m_categoryChecked[i] = how == 2 ? !m_categoryChecked[i] : how == 1;
  }
  InvalidateRect(m_hCategories, nullptr, FALSE);
}

// --- deletion -----------------------------------------------------------------

void CRegistryPage::DeleteCheckedFindings() {
  if (!m_bIdle) return;
  // A stopped worker ends first: while the deletion answers sent messages it
  // must not add rows under it.
  m_worker.Wait();
  SyncChecksFromList();
  if (!CRegistryDeletion::AnyChecked(m_rows)) {
    ShowMessage(IDS_57773, MB_OK | MB_ICONINFORMATION);
    return;
  }
  DeleteRows(false);
}

void CRegistryPage::DeleteAllFindings() {
  if (!m_bIdle) return;
  m_worker.Wait();
  if (m_rows.Empty()) return;
  SyncChecksFromList();
  DeleteRows(true);
}

void CRegistryPage::DeleteRows(bool all) {
  struct CDeleting {
    bool& flag;
    explicit CDeleting(bool& f) : flag(f) { flag = true; }
    ~CDeleting() { flag = false; }
  } deleting(m_bDeleting);
  HCURSOR oldCursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  long found = m_nFound;
  long deleted = m_nDeleted;
  m_lastServed = 0;
  // The list positions of the rows that go, in ascending order.
  std::vector<std::size_t> gone;
  BackupDeletionHooks hooks;
  hooks.beforeRow = [this] { ServeWhileBusy(); };
  hooks.beforeClose = [this] {
    m_lastServed = 0;
    ServeWhileBusy();
  };
  hooks.removed = [&](std::size_t index) { gone.push_back(index); };
  hooks.progress = [&](const std::string& key) {
    m_status.Report(key, StatusPhase::kProgress, false, found, deleted);
  };
  const BackupDeletionResult result =
      DeleteWithBackup(*m_platform.registry, *m_platform.files,
                       MakeBackupFileName(*m_platform.files, m_platform.clock->GetLocalTime()), WindowsFamily(), &m_rows,
                       all, &found, &deleted, hooks);
  m_nFound = found;
  m_nDeleted = deleted;
  // The end of a long deletion (rows compacted, the backup flushed, the list
  // emptied and drawn) comes in steps the window's callers wait between.
  ServeWhileBusy();
  if (result.count > 0) m_results.Remove(gone);
  ServeWhileBusy();
  SetCursor(oldCursor);
  if (result.error == kErrorSuccess) {
    ReportStatus("", StatusPhase::kFinish, false);
    return;
  }
  // The backup file could not be created, or stopped taking writes midway
  // (a full disk): the rows not deleted stay, and the status says why
  // instead of the normal end.
  const std::string why = SystemMessage(result.error);
  ReportStatus(why, StatusPhase::kFailed, false);
  std::string text = why;
  if (result.damagedEnd) text += "\n\n" + LoadStrWith(IDS_57920, result.file);
  ShowText(text, MB_OK | MB_ICONERROR);
}

void CRegistryPage::ServeWhileBusy() {
  // The status texts reach the screen meanwhile too.
  ServeSentMessages(&m_lastServed, kServeIntervalMs);
}

// --- repair -------------------------------------------------------------------

void CRegistryPage::OnRepair() {
  if (m_bIdle) {
    SyncChecksFromList();
    if (!CRegistryDeletion::AnyChecked(m_rows)) {
      ShowMessage(IDS_57773, MB_OK | MB_ICONINFORMATION);
      return;
    }
  } else {
    if (m_run == Run::kRepair) StopOwnRun(Run::kRepair);
    return;
  }
  LaunchRun(Run::kRepair, [this] {
    m_repairFolders.clear();
    CChoosePathDialog dialog(*m_platform.files);
    dialog.Run(m_hWnd);
    dialog.GetPaths(&m_repairFolders);
  });
}

void CRegistryPage::RunRepair() {
  if (m_rows.Empty() || m_repairFolders.empty()) return;
  CRepairBackup backup(m_platform,
                       MakeBackupFileName(*m_platform.files, m_platform.clock->GetLocalTime()),
                       WindowsFamily());
  CRegistryRepair repair(
      m_platform, m_control, TextOr(IDS_32785, ScanTexts().invalidPath),
      [&](RegKey hive, const std::string& keyPath, const std::string& valueName) {
        return backup.BackupValue(hive, keyPath, valueName);
      },
      [&](const std::string& key) { ReportStatus(key, StatusPhase::kProgress, true); });
  repair.SetFolders(m_repairFolders);

  // Rows change only through messages served by the interface thread, which
  // does nothing else with them while the repair runs.
  const std::size_t n = m_rows.Size();
  std::size_t i = 0;
  RegistryRow row;
  for (std::size_t step = 0; step < n; ++step) {
    bool fixed = false;
    if (i < m_rows.Size() && RowChecked(static_cast<int>(i))) {
      m_rows.Read(i, &row);
      fixed = repair.RepairFinding(
          {row.category, row.location, row.description, row.valueName, row.classesHive});
    }
    if (fixed) {
      SendMessageA(m_hWnd, kMsgRemoveRow, i, 0);
      --m_nFound;
    } else {
      ++i;
    }
    if (m_bStop || m_control.StopRequested() || i >= m_rows.Size()) break;
  }
  backup.Close();
}

// --- whole registry -------------------------------------------------------------

namespace {

// The file dialogs of both buttons: .Reg files, "Reg" added to a bare name,
// the program folder's backup.reg offered first.
bool AskRegFile(HWND owner, IFileSystem& fs, bool save, std::string* path) {
  static const char kFilter[] = "Reg Files (*.Reg)\0*.Reg\0All Files (*.*)\0*.*\0";
  char file[MAX_PATH] = {};
  const std::string initial = GetProgramFolder(fs) + "\\backup.reg";
  if (initial.size() < sizeof(file)) initial.copy(file, initial.size());
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof(file);
  ofn.lpstrDefExt = "Reg";
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_NOCHANGEDIR;
  const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  *path = file;
  return !path->empty();
}

}  // namespace

void CRegistryPage::BackupWholeRegistry() {
  std::string path;
  if (!AskRegFile(m_hWnd, *m_platform.files, true, &path)) return;
  CWholeRegistryBackup(*m_platform.files, *m_platform.shell).Backup(path);
}

void CRegistryPage::RestoreRegistryFile() {
  std::string path;
  if (!AskRegFile(m_hWnd, *m_platform.files, false, &path)) return;
  CWholeRegistryBackup(*m_platform.files, *m_platform.shell).Restore(path);
}

}  // namespace tw
