#include <windows.h>

#include "app/page_status.h"

#include <chrono>

#include "controls/resource_module.h"
#include "platform/win32/tick_count.h"
#include "resources/resource.h"

namespace tw {

namespace {

void SendToStrip(HWND page, const std::string& status) {
  SendMessageA(GetParent(page), WM_SCAN_STATUS, reinterpret_cast<WPARAM>(status.c_str()), 0);
}

// The status asks the time for every file a walk looks at; the tick count
// is a read of shared memory, where the performance counter behind
// steady_clock costs about 2 microseconds under Wine (a fifth of a walk's
// own time per file). Whole seconds and 33 ms steps need no finer clock.
std::chrono::steady_clock::time_point TickNow() {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(TickCount64()));
}

}  // namespace

CPageStatus::CPageStatus(const CDialogBase& page, UINT pendingMessage,
                         std::chrono::milliseconds minInterval)
    : CStatusLine([this](const std::string& status,
                             StatusPhase phase) { Deliver(status, phase); },
                      &TickNow, minInterval),
      m_page(page),
      m_pendingMessage(pendingMessage) {}

void CPageStatus::Deliver(const std::string& status, StatusPhase phase) {
  HWND hwnd = m_page.Hwnd();
  if (!hwnd) return;
  if (m_pendingMessage && phase == StatusPhase::kProgress &&
      GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) {
    bool post = false;
    {
      CMutexLock lock(m_pendingMutex);
      m_pendingText = status;
      m_bPending = true;
      if (!m_bPosted) m_bPosted = post = true;
    }
    if (post) PostMessageA(hwnd, m_pendingMessage, 0, 0);
    return;
  }
  {
    CMutexLock lock(m_pendingMutex);
    m_bPending = false;
  }
  SendToStrip(hwnd, status);
}

void CPageStatus::ShowPending() {
  std::string text;
  {
    CMutexLock lock(m_pendingMutex);
    m_bPosted = false;
    if (!m_bPending) return;
    m_bPending = false;
    text.swap(m_pendingText);
  }
  if (HWND hwnd = m_page.Hwnd()) SendToStrip(hwnd, text);
}

void CPageStatus::LoadTexts() {
  StatusLineTexts texts;
  texts.scanning = TextOr(IDS_32802, texts.scanning);
  texts.deleting = TextOr(IDS_32805, texts.deleting);
  texts.finished = TextOr(IDS_32803, texts.finished);
  texts.product = TextOr(IDS_32786, texts.product);
  texts.countScan = TextOr(IDS_32800, texts.countScan);
  texts.countDelete = TextOr(IDS_57711, texts.countDelete);
  texts.time = TextOr(IDS_32801, texts.time);
  SetTexts(texts);
}

}  // namespace tw
