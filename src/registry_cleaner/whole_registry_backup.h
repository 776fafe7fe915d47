// Whole-registry backup and restore through the system's registry editor. The
// program writes no registry data here: it prepares the file, builds the
// command line and starts "regedit.exe" from the Windows folder, hidden and
// without waiting for it.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace tw {

class CWholeRegistryBackup {
 public:
  CWholeRegistryBackup(IFileSystem& fs, IShell& shell) : m_fs(fs), m_shell(shell) {}

  // Creates the file, or empties it, and writes `text`; true on success.
  bool WriteTextFile(const std::string& path, const std::string& text);
  // The short (8.3) form of an existing path; the path itself when the volume
  // has no short names.
  std::string ToShortPath(const std::string& path);
  // A path as one command-line argument: quoted when it holds a blank.
  static std::string QuoteArgument(const std::string& path);
  // " /e  " and the file: export the whole registry.
  static std::string ExportParameters(const std::string& path);
  // "/s" and the quoted file: import it without questions.
  static std::string ImportParameters(const std::string& path);
  // The Windows folder's "regedit.exe".
  std::string RegistryEditor();

  // Button "备份": empties the chosen file (so it exists and has a short
  // name) and starts the export into it. False when the file could not be
  // created or the editor not started.
  bool Backup(const std::string& path);
  // Button "恢复": imports the chosen export file. Nothing happens for a
  // file that cannot be read. False when nothing was started.
  bool Restore(const std::string& path);

 private:
  IFileSystem& m_fs;
  IShell& m_shell;
};

}  // namespace tw
