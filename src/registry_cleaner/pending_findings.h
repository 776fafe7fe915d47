// Findings the scan worker has made and the interface thread has not listed
// yet, kept as one block of compact rows. The worker adds to the block and
// tells its page once per batch; the interface thread takes the whole block in
// one swap under the lock, so neither waits on the other's copying.
#pragma once

#include "platform/threads.h"
#include "registry_cleaner/registry_finding.h"
#include "registry_cleaner/registry_row_store.h"

namespace tw {

class CPendingFindings {
 public:
  // Before a run, with no worker running: nothing waits, and the block
  // shares the list's description texts.
  void Reset(const ScanTexts& texts);

  // Worker side: queues the finding as an unticked row. Answers true when
  // the caller must tell the interface thread (no word of the rows waiting
  // is on its way yet).
  bool Add(const RegistryFinding& finding);

  // Interface side: every waiting row goes behind `rows`.
  void TakeInto(CRegistryRowStore* rows);

 private:
  CMutex m_mutex;
  ScanTexts m_texts;
  CRegistryRowStore m_block;
  bool m_bPosted = false;
};

}  // namespace tw
