// The file-system interface over kernel32's ANSI calls, with the 260-byte
// buffers the program uses. A path too long for the ANSI calls (MAX_PATH and
// more) is searched, probed, deleted and moved through the wide calls with
// the "\\?\" prefix, which take it. Every path is taken as the system's own
// (64-bit) side names it, also by the 32-bit program on 64-bit Windows: a
// file judged missing or removed there is the one the 64-bit half uses.
#pragma once

#include "platform/file_system.h"

namespace tw {

class CWin32FileSystem : public IFileSystem {
 public:
  std::unique_ptr<IFileFind> FindFirst(const std::string& pattern, FindData* first,
                                       long* error = nullptr) override;
  std::string GetLogicalDriveStrings(std::size_t bufSize = 100) override;
  std::uint32_t GetDriveType(const std::string& root) override;
  bool GetVolumeLabel(const std::string& root, std::string* label) override;
  bool CanOpenForWriteDenyWrite(const std::string& path) override;
  std::string GetTempPath() override;
  std::string GetLongPathName(const std::string& path) override;
  std::string GetShortPathName(const std::string& path) override;
  std::string GetWindowsDirectory() override;
  std::string GetSystemDirectory() override;
  std::string GetSystemWow64Directory() override;
  std::string GetModuleFileName() override;
  std::uint32_t GetFileAttributes(const std::string& path) override;
  long CreateDirectory(const std::string& path) override;
  long RemoveDirectory(const std::string& path) override;
  long DeleteFile(const std::string& path) override;
  long MoveFile(const std::string& from, const std::string& to) override;
  long MoveFileReplace(const std::string& from, const std::string& to) override;
  std::unique_ptr<IWritableFile> CreateFile(const std::string& path, CreateMode mode,
                                            long* error = nullptr) override;
  bool ReadFile(const std::string& path, std::string* bytes) override;
};

}  // namespace tw
