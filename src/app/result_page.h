// What the registry and junk-file pages have in common around their result
// list: one worker at a time with its stop and idle flags, the found and
// deleted counts of the status line, the paced listing of found rows, the
// list's tick commands and its menu. Each page keeps its own rows, texts,
// control ids and engines.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/page.h"
#include "app/page_status.h"
#include "app/page_worker.h"
#include "controls/owner_button.h"
#include "controls/result_list.h"
#include "platform/platform.h"
#include "platform/run_control.h"

namespace tw {

// The page's own message and timer numbers, and how its list and status
// line behave.
struct ResultPageSetup {
  UINT rowsPendingMessage = 0;    // posted: found rows wait to be listed
  UINT statusPendingMessage = 0;  // posted: a progress text waits
  UINT_PTR listingTimer = 1;
  ULONGLONG listingPaceMs = 200;
  UINT_PTR goneTimer = 0;  // 0: no rows leave the list while a worker runs
  ULONGLONG gonePaceMs = 250;
  // Even drawn by the interface thread while the worker goes on, every
  // progress text slows a walk (the window, the X server and Wine's server
  // share two processors with it): 30 texts a second cost a scan of 200,000
  // files 0.8 s (40 percent) under Wine, 10 a second too little to measure.
  std::chrono::milliseconds progressInterval{100};
  bool boxNeedsSelection = false;  // the click rule of OnCheckListClick
};

class CResultPage : public CPage {
 public:
  CResultPage(int templateId, UINT hintId, const Platform& platform, const ResultPageSetup& setup);
  ~CResultPage() override;

  bool WantsBusyState() const override { return true; }

 protected:
  // The pending-rows and pending-status messages; the rest to CPage.
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // The tick commands of the result menu.
  bool OnCommand(int id, int code, HWND control) override;
  // The result list's notifications, its menu included.
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  void OnDestroy() override;
  void OnTimer(UINT_PTR id) override;

  // Moves waiting rows into the page's rows and calls m_results.Append, at
  // most `limit` of them; answers whether more wait.
  virtual bool DrainPendingRows(std::size_t limit) = 0;

  // The list becomes m_hResults, with the check-box images of the page.
  void AttachResultList(HWND list, CResultList::CellText text);
  // Every waiting row is listed now (the end of a run).
  void ListAllPending();

  // A page's destructor stops its worker before its rows go.
  void StopWorker();
  // The stop button: the worker is told to stop and the page counts as idle
  // at once.
  void StopRun();
  // A new run: the page is busy, the shared scan state set, no stop asked.
  void BeginRun();
  // Runs `work` on the page's worker (the last one has ended); when no
  // thread can be made the page is idle again and the answer is false.
  bool StartWorker(std::function<void()> work);
  // The same between a scan's start and finish texts, the shared scan state
  // cleared after them.
  bool StartScanWorker(std::function<void()> work);
  // The run has ended: idle, no stop asked, and the tray's stop and pause
  // requests cleared.
  void SetIdle();

  void ReportStatus(const std::string& text, StatusPhase phase, bool scanning);
  // One "%s" or "%d" of the text takes `arg` when there is one.
  int ShowMessage(UINT textId, UINT flags, const std::string& arg = std::string());
  int ShowText(const std::string& text, UINT flags);
  void SetItemText(int id, UINT textId);

  Platform m_platform;
  HWND m_hResults = nullptr;
  HIMAGELIST m_hChecks = nullptr;
  std::vector<std::unique_ptr<COwnerButton>> m_buttons;

  std::atomic<std::int32_t> m_bIdle{1};
  std::atomic<std::int32_t> m_bStop{0};
  std::atomic<long> m_nFound{0};
  std::atomic<long> m_nDeleted{0};

  CPageWorker m_worker;
  CResultList m_results;
  CPageStatus m_status;
  CRunControl m_control{&m_bStop};

 private:
  static DWORD WINAPI RunWork(LPVOID page);
  void ListPending(bool fromTimer);

  ResultPageSetup m_setup;
  std::function<void()> m_work;  // what the worker runs
};

}  // namespace tw
