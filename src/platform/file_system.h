// File-system operations the core relies on, named after the kernel32 calls
// they stand for. Paths are ANSI texts with "\" separators and drive roots
// such as "C:\"; names compare without regard to case.
//
// <windows.h> turns many of these method names into their "A" forms by
// macro (GetDriveType -> GetDriveTypeA). Calls go through the vtable, so that
// is harmless as long as a Win32 file includes <windows.h> before this header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win_types.h"

namespace tw {

enum : std::uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
  kAttrReparsePoint = 0x400,
  kInvalidAttributes = 0xFFFFFFFFu,
};

// GetDriveTypeA's answers.
enum : std::uint32_t {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdrom = 5,
  kDriveRamdisk = 6,
};

struct FindData {
  std::string name;  // the entry's own name, no folder
  // Its 8.3 name, which a search also matches; empty when the name is its
  // own short name (or the short one has no exact ANSI form).
  std::string shortName;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::uint64_t lastWriteTime = 0;  // FILETIME as one number (100 ns since 1601)
  bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

// One running directory search (FindFirstFileA's handle).
class IFileFind {
 public:
  virtual ~IFileFind() = default;
  // The next entry; false past the last.
  virtual bool Next(FindData* out) = 0;
};

// A file open for writing (CreateFileA + WriteFile). Bytes go out as given.
class IWritableFile {
 public:
  virtual ~IWritableFile() = default;
  // False when not every byte could be written (disk full, write error).
  virtual bool Write(const void* data, std::size_t size) = 0;
  // Closes; false when that failed. Safe to call twice. What was written
  // may still sit in the system's cache: Flush first where it matters.
  virtual bool Close() = 0;
  // FlushFileBuffers: what was written reaches the disk before the call
  // returns. False (LastWriteError tells why) when it did not.
  virtual bool Flush() = 0;
  // Cuts the file back to its first `size` bytes and writes on from there:
  // a writer that failed midway takes back its partial record. False when
  // the file cannot be cut (or the writer does not support it).
  virtual bool Truncate(std::uint64_t /*size*/) { return false; }
  // Why the last Write failed (the system's error code, such as a full disk).
  virtual long LastWriteError() const { return kErrorWriteFault; }
};

enum class CreateMode {
  kCreateAlways,  // create or truncate
  kCreateNew,     // fail with kErrorFileExists when the file exists
  kOpenAppend,    // open or create, writing at the end
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // FindFirstFileA semantics: "*" and "?" wildcards; "folder\*" lists "." and
  // ".."; "name.*" also matches "name"; a trailing "." matches the name
  // without it. Null (with *error set when given) when nothing matches.
  virtual std::unique_ptr<IFileFind> FindFirst(const std::string& pattern, FindData* first,
                                               long* error = nullptr) = 0;
  // The drive roots, each ended by a zero byte, the list ended by a second
  // one ("C:\<0>D:\<0><0>"); empty when it would not fit bufSize bytes.
  virtual std::string GetLogicalDriveStrings(std::size_t bufSize = 100) = 0;
  virtual std::uint32_t GetDriveType(const std::string& root) = 0;
  virtual bool GetVolumeLabel(const std::string& root, std::string* label) = 0;
  // OpenFile with OF_WRITE | OF_SHARE_DENY_WRITE, then closed again: true only
  // when nobody else holds the file open for writing.
  virtual bool CanOpenForWriteDenyWrite(const std::string& path) = 0;

  virtual std::string GetTempPath() = 0;                              // with a trailing "\"
  virtual std::string GetLongPathName(const std::string& path) = 0;   // empty on failure
  virtual std::string GetShortPathName(const std::string& path) = 0;  // empty on failure
  virtual std::string GetWindowsDirectory() = 0;
  // The system folder, where the system's own programs (regsvr32.exe,
  // msiexec.exe) are started from by their full path.
  virtual std::string GetSystemDirectory() = 0;
  // The 32-bit system folder of 64-bit Windows (SysWOW64), whose programs
  // serve 32-bit components; empty on 32-bit Windows, which has only the one.
  virtual std::string GetSystemWow64Directory() { return std::string(); }
  virtual std::string GetModuleFileName() = 0;  // the running program's path

  virtual std::uint32_t GetFileAttributes(const std::string& path) = 0;
  virtual long CreateDirectory(const std::string& path) = 0;
  virtual long RemoveDirectory(const std::string& path) = 0;
  // Fails (sharing violation) while any other handle holds the file, even
  // one that lets others delete it: success means the name is gone.
  virtual long DeleteFile(const std::string& path) = 0;
  virtual long MoveFile(const std::string& from, const std::string& to) = 0;
  // MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH |
  // MOVEFILE_COPY_ALLOWED: an existing file of the target name is replaced in
  // one step, so a reader sees either the old file or the new one, never a
  // half-written one; onto another drive the file is copied, then removed.
  virtual long MoveFileReplace(const std::string& from, const std::string& to) = 0;

  virtual std::unique_ptr<IWritableFile> CreateFile(const std::string& path, CreateMode mode,
                                                    long* error = nullptr) = 0;
  // The whole file's bytes; false when it cannot be read.
  virtual bool ReadFile(const std::string& path, std::string* bytes) = 0;
};

// SHFileOperationA's operations and flags, same numbers as Win32.
enum : std::uint32_t {
  kFoMove = 1,
  kFoCopy = 2,
  kFoDelete = 3,
  kFofSilent = 0x0004,
  kFofNoConfirmation = 0x0010,
  kFofAllowUndo = 0x0040,
  kFofNoConfirmMkdir = 0x0200,
  kFofNoErrorUi = 0x0400,
  // With kFofAllowUndo: a file the recycle bin cannot take is not deleted for
  // good without asking first, whatever kFofNoConfirmation says.
  kFofWantNukeWarning = 0x4000,
};

enum : int { kSwHide = 0, kSwShowNormal = 1 };

// Shell and process operations (shell32, kernel32).
class IShell {
 public:
  virtual ~IShell() = default;
  // SHFileOperationA on one path; 0 on success, kErrorCancelled when the
  // shell reports that it aborted (fAnyOperationsAborted) without an error.
  // `owner` (a window handle, 0 for none) owns any question the shell asks.
  virtual int FileOperation(std::uint32_t op, const std::string& from, const std::string& to,
                            std::uint32_t flags, std::uintptr_t owner = 0) = 0;
  // ShellExecuteA; never waits. True when the shell started something.
  virtual bool ShellExecute(const std::string& verb, const std::string& file,
                            const std::string& parameters, int show) = 0;
  // CreateProcessA of a command line; never waits.
  virtual bool CreateProcess(const std::string& commandLine) = 0;
};

// The program's folder: its path up to, not including, the last "\".
std::string GetProgramFolder(IFileSystem& fs);
// Creates a folder and any missing parents; one trailing "\" is dropped and a
// folder that exists is left alone. True when the folder exists afterwards.
bool CreateFolderPath(IFileSystem& fs, const std::string& path);
// True when FindFirst finds anything for the pattern.
bool PathExists(IFileSystem& fs, const std::string& pattern);

}  // namespace tw
