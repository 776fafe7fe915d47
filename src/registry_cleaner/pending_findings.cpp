#include "registry_cleaner/pending_findings.h"

#include <utility>

namespace tw {

void CPendingFindings::Reset(const ScanTexts& texts) {
  CMutexLock lock(m_mutex);
  m_texts = texts;
  m_block = CRegistryRowStore(texts);
  m_bPosted = false;
}

bool CPendingFindings::Add(const RegistryFinding& finding) {
  CMutexLock lock(m_mutex);
  m_block.Append(finding.location, finding.description, finding.valueName,
                 static_cast<int>(finding.category), false, finding.classesHive);
  if (m_bPosted) return false;
  m_bPosted = true;
  return true;
}

void CPendingFindings::TakeInto(CRegistryRowStore* rows) {
  CRegistryRowStore block(m_texts);
  {
    CMutexLock lock(m_mutex);
    std::swap(block, m_block);
    m_bPosted = false;
  }
  rows->Take(&block);
}

}  // namespace tw
