#include "registry_cleaner/registry_deletion.h"

#include "registry_cleaner/registry_repair.h"

namespace tw {

bool CRegistryDeletion::AnyChecked(const std::vector<RegistryRow>& rows) {
  for (const auto& row : rows) {
    if (row.checked) return true;
  }
  return false;
}

long CRegistryDeletion::Delete(std::vector<RegistryRow>* rows, bool all, long* found,
                               long* deleted) {
  // Rows are marked as they go and removed in one pass at the end, which
  // keeps a list of 100,000 rows linear instead of moving its tail each time.
  std::vector<bool> gone(rows->size(), false);
  long count = 0;
  for (std::size_t j = 0; j < rows->size(); ++j) {
    const RegistryRow& row = (*rows)[j];
    if (!all && !row.checked) continue;
    const Outcome outcome = m_export(row);
    if (outcome == Outcome::kStop) break;
    if (outcome == Outcome::kKept) continue;
    gone[j] = true;
    ++count;
    if (deleted) ++*deleted;
    if (found) --*found;
    if (m_progress) m_progress(HivePrefixOfCategory(row.category) + row.location);
  }
  if (count == 0) return 0;
  std::size_t out = 0;
  for (std::size_t j = 0; j < rows->size(); ++j) {
    if (!gone[j]) {
      if (out != j) (*rows)[out] = std::move((*rows)[j]);
      ++out;
    }
  }
  rows->resize(out);
  return count;
}

}  // namespace tw
