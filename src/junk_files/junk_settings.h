// The junk-file cleaner's settings and type list, and their file "File.ini"
// in the program's folder: plain lines, no sections.
//   1 deleteMode   2 cleanIeCache   3 cleanSystemTemp   4 backupFolder
//   then per type: tick ("1"/"0"), pattern, description.
// An empty tick line ends the list; a record cut short at the end of the
// file keeps its missing lines empty.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tw {

enum DeleteMode : int { ToRecycleBin = 0, Permanently = 1, MoveToBackup = 2 };

struct JunkCleanSettings {
  int deleteMode = ToRecycleBin;
  int cleanIeCache = 0;
  int cleanSystemTemp = 1;
  std::string backupFolder;  // the program folder's "FileBackup" by default
};

struct FileTypeEntry {
  std::string pattern;
  std::string description;
  bool enabled = false;
  bool operator==(const FileTypeEntry&) const = default;
};

// The default backup folder: the program folder followed by "\FileBackup".
std::string DefaultBackupFolder(IFileSystem& fs);

// Reads the file's text. Settings lines that are there replace the fields of
// *settings (a blank line 4 keeps the folder given); types are appended.
void ParseFileIni(const std::string& bytes, JunkCleanSettings* settings,
                  std::vector<FileTypeEntry>* types);
// The file's text, each line ended by CR LF.
std::string FormatFileIni(const JunkCleanSettings& settings, const std::vector<FileTypeEntry>& types);

enum class IniLoad { kNoFile, kLoaded, kUnreadable };
IniLoad LoadFileIni(IFileSystem& fs, const std::string& path, JunkCleanSettings* settings,
                    std::vector<FileTypeEntry>* types);
// Writes the whole text into a new file beside `path` and only then puts it
// in place of the old one, so a crash or a full disk during the save leaves
// the previous file as it was. 0 or the error number of the step that failed.
long SaveFileIni(IFileSystem& fs, const std::string& path, const JunkCleanSettings& settings,
                 const std::vector<FileTypeEntry>& types);

}  // namespace tw
