#include "registry_cleaner/repair_backup.h"

namespace tw {

bool CRepairBackup::BackupValue(RegKey hive, const std::string& keyPath,
                                const std::string& valueName) {
  if (!m_file) {
    auto file = std::make_unique<CRegExportFile>(*m_platform.registry, *m_platform.files);
    if (file->OpenNew(m_path, &m_opened) != kErrorSuccess ||
        file->WriteHeader(m_windowsFamily) != kErrorSuccess) {
      return false;
    }
    m_file = std::move(file);
  }
  // The value is changed as soon as this answers: its old data must be on
  // the disk by then, not only in the system's cache. One flush covers the
  // run's first change; Close flushes the rest.
  return m_file->ExportKey(hive, keyPath, valueName, true) == kErrorSuccess &&
         m_file->FlushOnce();
}

long CRepairBackup::Close() { return m_file ? m_file->Close() : kErrorSuccess; }

}  // namespace tw
