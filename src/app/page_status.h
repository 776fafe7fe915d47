// The status line of a page that scans and deletes (the registry and the
// junk-file pages): CStatusLine with the string table's texts, sending
// each text to the main window's status strip.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "controls/dialog_base.h"
#include "app/status_line.h"
#include "platform/threads.h"

namespace tw {

class CPageStatus : public CStatusLine {
 public:
  // Texts go to the parent of page's window once it has one; the page object
  // is made long before its window.
  //
  // With a pendingMessage, a progress text reported from a worker is not
  // sent across threads: it waits in one slot (a newer one replaces it) and
  // the page is posted pendingMessage, which it answers with ShowPending().
  // A sent text stops the worker until the interface thread has drawn it
  // (under Wine 10 to 15 ms a text, more than the worker's own work between
  // texts). Start, finish and failure texts still go at once, and an older
  // progress text waiting never follows them. Progress texts go at most
  // once per minInterval.
  explicit CPageStatus(const CDialogBase& page, UINT pendingMessage = 0,
                       std::chrono::milliseconds minInterval = std::chrono::milliseconds(33));
  // Takes the texts of the loaded language; a string missing from it keeps
  // its built-in default.
  void LoadTexts();
  // The page's answer to pendingMessage: shows the text waiting, if any.
  void ShowPending();

 private:
  void Deliver(const std::string& status, StatusPhase phase);

  const CDialogBase& m_page;
  UINT m_pendingMessage = 0;
  CMutex m_pendingMutex;
  std::string m_pendingText;
  bool m_bPending = false;  // m_pendingText waits to be shown
  bool m_bPosted = false;   // pendingMessage is on its way
};

}  // namespace tw
