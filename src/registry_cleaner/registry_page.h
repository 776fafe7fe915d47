// The registry cleaner's page (template 129): the scan categories, the
// scan/stop button, the result list and the buttons that delete, repair,
// back up and restore. Scans and repairs run on a worker thread of the page;
// deletion runs on the interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/result_page.h"
#include "registry_cleaner/pending_findings.h"
#include "registry_cleaner/registry_finding.h"
#include "registry_cleaner/registry_row_store.h"

namespace tw {

class CRegistryPage : public CResultPage {
 public:
  // The page uses the platform services for as long as it lives.
  explicit CRegistryPage(const Platform& platform);
  ~CRegistryPage() override;

  void UpdateButtonsForBusy(bool busy) override;

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  enum class Run { kNone, kScan, kRepair };
  class CScanSink;

  // Scan.
  void OnScan();
  void RunScanCategories();
  // Deletion.
  void DeleteCheckedFindings();
  void DeleteAllFindings();
  void DeleteRows(bool all);
  // Called between the steps of a deletion: every few dozen milliseconds it
  // answers sent messages and repaints, so the window keeps answering while
  // the interface thread deletes; input waits until the deletion ends.
  void ServeWhileBusy();
  // Repair.
  void OnRepair();
  void RunRepair();
  // Whole registry.
  void BackupWholeRegistry();
  void RestoreRegistryFile();

  // Worker plumbing. A run's start/stop button reads "stop" while it runs.
  static int RunButton(Run run);
  void ShowIdleButton(Run run);
  // Starts `run` on the worker; `prepare` runs first, with the page busy.
  void LaunchRun(Run run, const std::function<void()>& prepare);
  void StopOwnRun(Run run);
  void EndRun(Run run);
  void AddPendingRow(const RegistryFinding& finding);
  // Moves every found row waiting into the list in one block, whatever
  // the limit; answers false, since none is left waiting.
  bool DrainPendingRows(std::size_t limit) override;

  // Controls.
  void EnableRunControls(bool enable, int except);
  void FillCategoryList();
  void DrawCategoryItem(const DRAWITEMSTRUCT* item);
  void ShowCategoryMenu(POINT screen);
  void SetAllCategories(int how);  // 0 none, 1 all, 2 invert
  // The list's ticks into m_rows, for the engines.
  void SyncChecksFromList();
  // Asked by the repair worker: through the list, so in turn with the
  // interface thread's changes.
  bool RowChecked(int row) const;

  HWND m_hCategories = nullptr;
  std::vector<bool> m_categoryChecked;
  std::vector<int> m_categoryIds;

  Run m_run = Run::kNone;
  std::vector<std::string> m_repairFolders;
  std::vector<int> m_scanCategories;  // the ticked categories of the running scan

  // The description texts of this language, for the scan and the rows.
  ScanTexts m_texts;
  // The rows of the result list, in list order (interface thread only).
  CRegistryRowStore m_rows;
  // Rows found by the worker and not yet listed.
  CPendingFindings m_pending;
  std::string m_cell;  // the text of the cell the list asked for last
  // Set while a deletion runs on this thread: it answers messages between
  // rows, and a command served then must not start another run over the
  // rows it walks.
  bool m_bDeleting = false;
  ULONGLONG m_lastServed = 0;  // TickCount64 of the last ServeWhileBusy that served
};

}  // namespace tw
