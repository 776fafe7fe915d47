#include <windows.h>
#include <commctrl.h>

#include "app/result_page.h"

#include <utility>

#include "controls/check_list.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

CResultPage::CResultPage(int templateId, UINT hintId, const Platform& platform,
                         const ResultPageSetup& setup)
    : CPage(templateId, hintId),
      m_platform(platform),
      m_results(setup.rowsPendingMessage, setup.listingTimer, setup.listingPaceMs,
                setup.goneTimer, setup.gonePaceMs),
      m_status(*this, setup.statusPendingMessage, setup.progressInterval),
      m_setup(setup) {}

CResultPage::~CResultPage() {
  if (m_hChecks) ImageList_Destroy(m_hChecks);
}

void CResultPage::AttachResultList(HWND list, CResultList::CellText text) {
  m_hResults = list;
  m_hChecks = MakeCheckBoxImages();
  m_results.Attach(m_hWnd, m_hResults, m_hChecks, std::move(text));
}

INT_PTR CResultPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == m_setup.statusPendingMessage) {
    m_status.ShowPending();
    return TRUE;
  }
  if (msg == m_setup.rowsPendingMessage) {
    ListPending(false);
    return TRUE;
  }
  return CPage::DialogProc(msg, wp, lp);
}

bool CResultPage::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDM_32791:
      m_results.SetAll(1);
      return true;
    case IDM_32793:
      m_results.SetAll(0);
      return true;
    case IDM_32792:
      m_results.SetAll(2);
      return true;
    default:
      return false;
  }
}

bool CResultPage::OnNotify(NMHDR* header, LRESULT* result) {
  bool menu = false;
  if (!m_results.OnNotify(header, result, m_setup.boxNeedsSelection, &menu)) return false;
  if (menu) {
    POINT pt;
    GetCursorPos(&pt);
    const UINT cmd = TrackResultMenu(m_hWnd, pt);
    if (cmd) OnCommand(static_cast<int>(cmd), BN_CLICKED, nullptr);
  }
  return true;
}

void CResultPage::OnDestroy() {
  // The worker must not outlive the page: stop it and wait, serving what it
  // sends meanwhile.
  m_bStop = 1;
  m_worker.End();
  m_buttons.clear();
}

void CResultPage::OnTimer(UINT_PTR id) {
  if (m_results.IsTimer(id)) ListPending(true);
}

void CResultPage::ListPending(bool fromTimer) {
  m_results.OnPending([this](std::size_t n) { return DrainPendingRows(n); }, fromTimer);
}

void CResultPage::ListAllPending() {
  m_results.ListAll([this](std::size_t n) { return DrainPendingRows(n); });
}

void CResultPage::StopWorker() {
  m_bStop = 1;
  m_worker.Wait();
}

void CResultPage::StopRun() {
  m_bStop = 1;
  m_bIdle = 1;
}

void CResultPage::BeginRun() {
  m_bIdle = 0;
  g_bScanning = 1;
  m_bStop = 0;
}

void CResultPage::SetIdle() {
  m_bIdle = 1;
  m_bStop = 0;
  g_bStopRequested = 0;
  g_bPauseRequested = 0;
}

DWORD WINAPI CResultPage::RunWork(LPVOID page) {
  static_cast<CResultPage*>(page)->m_work();
  return 0;
}

bool CResultPage::StartWorker(std::function<void()> work) {
  m_work = std::move(work);
  if (m_worker.Start(&CResultPage::RunWork, this)) return true;
  m_bIdle = 1;
  g_bScanning = 0;
  return false;
}

bool CResultPage::StartScanWorker(std::function<void()> work) {
  return StartWorker([this, work = std::move(work)] {
    ReportStatus("", StatusPhase::kStart, true);
    work();
    ReportStatus("", StatusPhase::kFinish, true);
    g_bScanning = 0;
  });
}

void CResultPage::ReportStatus(const std::string& text, StatusPhase phase, bool scanning) {
  m_status.Report(text, phase, scanning, m_nFound, m_nDeleted);
}

int CResultPage::ShowMessage(UINT textId, UINT flags, const std::string& arg) {
  std::string text = LoadStr(textId);
  // The text is never used as a format.
  for (const char* mark : {"%s", "%d"}) {
    const std::size_t at = text.find(mark);
    if (!arg.empty() && at != std::string::npos) {
      text.replace(at, 2, arg);
      break;
    }
  }
  return ShowText(text, flags);
}

int CResultPage::ShowText(const std::string& text, UINT flags) {
  return MessageBoxA(m_hWnd, text.c_str(), TextOr(IDS_57755, "Tidewell").c_str(), flags);
}

void CResultPage::SetItemText(int id, UINT textId) {
  SetDlgItemTextA(m_hWnd, id, LoadStr(textId).c_str());
}

}  // namespace tw
