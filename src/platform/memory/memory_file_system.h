// An in-memory file system that answers like the system's: drive letters
// with types and volume labels, folders and files with sizes, attributes,
// times and contents, FindFirst with the system's wildcard rules, short (8.3)
// names, files held open by others, a disk that can run full, a recycle bin,
// and "make the Nth call fail" for fault sweeps. Dump() prints it all.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/memory/fault_plan.h"
#include "platform/threads.h"

namespace tw {

class CMemoryFileSystem : public IFileSystem {
 public:
  CMemoryFileSystem();
  ~CMemoryFileSystem() override;

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

  // Setting the scene; none of these counts as a call for fault injection.
  void AddDrive(char letter, std::uint32_t type, const std::string& label = std::string());
  // Create missing parents; false when the drive is missing or a file is in the way.
  bool AddFolder(const std::string& path);
  bool AddFile(const std::string& path, const std::string& contents = std::string(),
               std::uint32_t attributes = kAttrArchive, std::uint64_t lastWriteTime = 0);
  bool SetAttributes(const std::string& path, std::uint32_t attributes);
  // A file held open for writing by another program: opening it for writing,
  // deleting or moving it fails with kErrorSharingViolation.
  bool SetInUse(const std::string& path, bool inUse);
  // Every write fails with kErrorHandleDiskFull once `bytes` more bytes have
  // been written (0: at once); Unlimited() lifts it.
  void SetWriteLimit(std::uint64_t bytes);
  static constexpr std::uint64_t Unlimited() { return std::numeric_limits<std::uint64_t>::max(); }
  void SetModuleFileName(const std::string& path) { m_strModule = path; }
  void SetTempPath(const std::string& path) { m_strTemp = path; }
  void SetWindowsDirectory(const std::string& path) { m_strWindows = path; }
  // Empty (the default) for 32-bit Windows, "C:\windows\SysWOW64" for 64-bit.
  void SetSystemWow64Directory(const std::string& path) { m_strWow64 = path; }
  // Relative paths start here (default "C:\").
  void SetCurrentFolder(const std::string& path) { m_strCurrent = path; }

  // Looking at the result.
  bool Exists(const std::string& path) const;
  std::string Contents(const std::string& path) const;  // empty when missing
  // What of the file its writers have flushed (all of it would survive a
  // power cut, the rest may not).
  std::string FlushedContents(const std::string& path) const;
  std::string Dump() const;
  CFaultPlan& Faults() { return m_faults; }

  // The recycle bin, used by CMemoryShell.
  struct RecycledItem {
    std::string originalPath;
    bool folder = false;
    std::uint64_t size = 0;  // a folder's: the sum of its files
  };
  long Recycle(const std::string& path);
  // Removes a file or a whole folder tree (SHFileOperation's delete).
  long DeleteTree(const std::string& path);
  long CopyTree(const std::string& from, const std::string& to);
  std::vector<RecycledItem> RecycleBin() const;
  // Counts one call against the fault plan; for CMemoryShell.
  bool Fault(bool mutating, long* error);

 private:
  struct Node;
  struct Drive;
  struct Path {
    char drive = 0;
    std::vector<std::string> parts;
  };
  class CFind;
  class CWriter;
  friend class CWriter;

  bool ParsePath(const std::string& path, Path* out) const;
  Node* Lookup(const Path& path, long* error) const;
  Node* LookupParent(const Path& path, long* error) const;
  Node* Find(const std::string& path, long* error = nullptr) const;
  static Node* Child(const Node& folder, const std::string& name);
  Node* Insert(Node* folder, std::unique_ptr<Node> node);
  std::unique_ptr<Node> Detach(Node* node);
  std::string FullPath(const Node* node) const;
  static bool Contains(const Node* ancestor, const Node* node);
  static bool AnyInUse(const Node* node);
  // MoveFile (replace false) and MoveFileReplace.
  long Move(const std::string& from, const std::string& to, bool replace);
  static std::unique_ptr<Node> CloneTree(const Node& node);
  std::uint64_t Now();
  std::string PathForm(const std::string& path, bool shortForm);
  void DumpNode(const Node& node, const std::string& path, std::string* out) const;

  mutable CMutex m_mutex;
  std::map<char, std::unique_ptr<Drive>> m_drives;
  std::string m_strModule = "C:\\Program Files\\Tidewell\\tidewell.exe";
  std::string m_strTemp = "C:\\windows\\temp\\";
  std::string m_strWindows = "C:\\windows";
  std::string m_strWow64;
  std::string m_strCurrent = "C:\\";
  std::uint64_t m_nWriteBudget = Unlimited();
  std::uint64_t m_nClock = 132000000000000000ull;  // FILETIME of late 2019
  std::vector<std::pair<RecycledItem, std::unique_ptr<Node>>> m_recycled;
  CFaultPlan m_faults;
};

}  // namespace tw
