#include "registry_cleaner/whole_registry_backup.h"

#include "platform/text.h"

namespace tw {

bool CWholeRegistryBackup::WriteTextFile(const std::string& path, const std::string& text) {
  auto file = m_fs.CreateFile(path, CreateMode::kCreateAlways);
  if (!file) return false;
  const bool written = text.empty() || file->Write(text.data(), text.size());
  return file->Close() && written;
}

std::string CWholeRegistryBackup::ToShortPath(const std::string& path) {
  std::string shortPath = m_fs.GetShortPathName(path);
  return shortPath.empty() ? path : shortPath;
}

std::string CWholeRegistryBackup::QuoteArgument(const std::string& path) {
  // Short names are switched off on many volumes; the long path must then
  // reach the editor as one argument.
  if (FindChar(path, ' ') == std::string::npos && FindChar(path, '\t') == std::string::npos) {
    return path;
  }
  return "\"" + path + "\"";
}

std::string CWholeRegistryBackup::ExportParameters(const std::string& path) {
  return " /e  " + QuoteArgument(path);
}

std::string CWholeRegistryBackup::ImportParameters(const std::string& path) {
  // The editor's import form is the file itself ("/s" keeps it silent); it
  // has no "/i" switch and imports nothing when given one.
  return "/s \"" + path + "\"";
}

std::string CWholeRegistryBackup::RegistryEditor() {
  std::string windows = m_fs.GetWindowsDirectory();
  if (!windows.empty() && windows.back() == '\\') windows.pop_back();
  return windows + "\\regedit.exe";
}

bool CWholeRegistryBackup::Backup(const std::string& path) {
  if (path.empty() || !WriteTextFile(path, std::string())) return false;
  return m_shell.ShellExecute("open", RegistryEditor(), ExportParameters(ToShortPath(path)),
                              kSwHide);
}

bool CWholeRegistryBackup::Restore(const std::string& path) {
  if (path.empty()) return false;
  const std::uint32_t attributes = m_fs.GetFileAttributes(path);
  if (attributes == kInvalidAttributes || (attributes & kAttrDirectory) != 0) return false;
  return m_shell.ShellExecute("open", RegistryEditor(), ImportParameters(path), kSwHide);
}

}  // namespace tw
