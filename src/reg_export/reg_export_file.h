// The writer of registry-export backup files. Before a key or value is
// removed, its section goes into the file in the form the system's registry
// editor imports again, so that importing the file gives back exactly what
// was removed: names, types and data.
//
// Two forms, chosen by the header: "REGEDIT4" in the ANSI code page for the
// Windows 9x family, and "Windows Registry Editor Version 5.00" as UTF-16LE
// with a byte-order mark for the NT family. The registry editor reads a
// file without byte-order mark as ANSI whatever its header, and reads the
// hex bytes of string types in the file's own encoding, so each form keeps
// to its one convention.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"

namespace tw {

// "2024_3_7_9_5_2": the local time without leading zeros, joined by "_".
std::string FormatBackupStamp(const SystemTime& localTime);
// GetProgramFolder() + "\RegBackup\" + stamp + ".reg".
std::string MakeBackupFileName(IFileSystem& fs, const SystemTime& localTime);

class CRegExportFile {
 public:
  CRegExportFile(IRegistry& reg, IFileSystem& fs);
  ~CRegExportFile();
  CRegExportFile(const CRegExportFile&) = delete;
  CRegExportFile& operator=(const CRegExportFile&) = delete;

  // Creates the file. An existing file is never replaced: the answer is
  // then kErrorFileExists and nothing is touched.
  long Open(const std::string& path);
  // Opens path, or when a file of that name exists already (two deletions
  // within one second), the first free "name-2.reg", "name-3.reg", ...
  // *opened receives the path actually used.
  long OpenNew(const std::string& path, std::string* opened);

  // The header for a Windows family code: 1, 2, 3 and 4 (NT 4, 9x, Win32s)
  // give the ANSI "REGEDIT4" form, any other code the Unicode version 5 form.
  long WriteHeader(int windowsVersionCode);

  // Writes hive\keyPath's value valueName (empty = the default value), or
  // with wholeKey the key with everything below it, then removes it.
  // Nothing is removed
  // unless its section is in the file and the file has reached the disk: a
  // value that cannot be read or written whole, or a subkey that cannot be
  // removed, stays in the registry (and keeps its parents); a key with a
  // name or text anywhere below it that the code page cannot hold stays
  // whole and unwritten (kErrorNoUnicodeTranslation). Answers kErrorSuccess when everything
  // went, kErrorFileNotFound when the key or value was gone already, the
  // file's error when writing failed (every later call then refuses at
  // once), or another error when something stayed.
  long ExportAndRemove(RegKey hive, const std::string& keyPath, const std::string& valueName,
                       bool wholeKey);

  // Writes one value (valueName, empty = the default value) or the whole
  // key with its subkeys, and changes nothing in the registry. A value that cannot be read
  // is left out, never written as an empty string; a whole key holding a
  // name or text the code page cannot hold is not written at all. Answers kErrorSuccess
  // only when everything asked for is in the file.
  long ExportKey(RegKey hive, const std::string& keyPath, const std::string& valueName,
                 bool singleValue);

  long Close();
  // Sees what is written onto the disk, once per file: a caller that changes
  // the registry itself after ExportKey calls this before its first change
  // (ExportAndRemove does so on its own). False after a write error.
  bool FlushOnce();

  bool IsOpen() const { return m_file != nullptr; }
  bool IsUnicode() const { return m_unicode; }
  // The first write error, or kErrorSuccess.
  long WriteError() const { return m_writeError; }
  // After a write error: the partial section could not be cut off again, so
  // the file ends with a line that must not be imported.
  bool CutBackFailed() const { return m_bCutFailed; }

 private:
  enum class TreeResult { kRemoved, kKept, kGone, kWriteFailed };

  bool Write(const std::string& ansiText);
  bool WriteWhole(const char* bytes, std::size_t size);
  bool HoldsForeignName(RegKey hive, const std::string& keyPath, int depth);
  std::string KeyLine(RegKey hive, const std::string& keyPath) const;
  // Appends the key line + value line + empty line of every value; false
  // when a value could not be listed or written whole.
  bool AppendValues(RegKey key, const std::string& keyLine, std::string* section);
  long ExportAndRemoveValue(RegKey hive, const std::string& keyPath, const std::string& valueName);
  TreeResult ExportAndRemoveTree(RegKey hive, const std::string& keyPath);
  // Below an opened key, never following a link: a link's section is a
  // comment naming it and its target (the registry editor cannot make
  // links), and a link goes as itself. Deeper than kMaxKeyDepth is a loop.
  TreeResult ExportAndRemoveOpened(RegKey key, bool isLink, RegKey hive, const std::string& keyPath,
                                   int depth);
  long ExportTree(RegKey hive, const std::string& keyPath);
  long ExportOpened(RegKey key, bool isLink, RegKey hive, const std::string& keyPath, int depth);
  std::string LinkSection(RegKey key, RegKey hive, const std::string& keyPath) const;

  IRegistry& m_reg;
  IFileSystem& m_fs;
  std::unique_ptr<IWritableFile> m_file;
  bool m_unicode = false;
  long m_writeError = kErrorSuccess;
  // Bytes in the file that end with a whole section (or the header).
  std::uint64_t m_nWhole = 0;
  bool m_bFlushed = false;
  bool m_bCutFailed = false;
};

}  // namespace tw
