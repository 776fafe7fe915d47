// The backup of one repair run: the old data of every value the run rewrites
// goes into one registry-export file, opened with the first repair, so a
// repair can be undone like a deletion.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "reg_export/reg_export_file.h"

namespace tw {

class CRepairBackup {
 public:
  // path: the file to make (a free numbered name when it exists);
  // windowsFamily: ClassifyWindowsVersion's code, which picks the form.
  CRepairBackup(const Platform& platform, std::string path, int windowsFamily)
      : m_platform(platform), m_path(std::move(path)), m_windowsFamily(windowsFamily) {}

  // Writes the value's current state and sees it onto the disk; true only
  // when the value may now be changed.
  bool BackupValue(RegKey hive, const std::string& keyPath, const std::string& valueName);
  // Ends the file (flushing the rest); kErrorSuccess when none was needed.
  long Close();

  // The file in use, once the first value is backed up.
  const std::string& OpenedPath() const { return m_opened; }

 private:
  Platform m_platform;
  std::string m_path;
  int m_windowsFamily;
  std::string m_opened;
  std::unique_ptr<CRegExportFile> m_file;
};

}  // namespace tw
