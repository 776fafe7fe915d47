#include <windows.h>
// windows.h first: it renames these methods (GetDriveType -> GetDriveTypeA ...)
// by macro, and the declarations must be renamed alike.
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_file_system.h"

#include "platform/text.h"

namespace tw {

namespace {

constexpr DWORD kPathBuf = 260;

// In place: a walk passes the same FindData for every entry, and its name
// keeps the room it has (one heap call less per entry for long names).
void FillFindData(const WIN32_FIND_DATAA& wfd, FindData* fd) {
  fd->name.assign(wfd.cFileName);
  fd->attributes = wfd.dwFileAttributes;
  fd->size = (static_cast<std::uint64_t>(wfd.nFileSizeHigh) << 32) | wfd.nFileSizeLow;
  fd->lastWriteTime = (static_cast<std::uint64_t>(wfd.ftLastWriteTime.dwHighDateTime) << 32) |
                      wfd.ftLastWriteTime.dwLowDateTime;
}

class CWin32Find : public IFileFind {
 public:
  explicit CWin32Find(HANDLE h) : m_h(h) {}
  ~CWin32Find() override { FindClose(m_h); }
  bool Next(FindData* out) override {
    WIN32_FIND_DATAA wfd;
    if (!FindNextFileA(m_h, &wfd)) return false;
    if (out) FillFindData(wfd, out);
    return true;
  }

 private:
  HANDLE m_h;
};

// The same search over FindFirstFileW, for patterns too long for the ANSI call.
class CWin32FindWide : public IFileFind {
 public:
  explicit CWin32FindWide(HANDLE h) : m_h(h) {}
  ~CWin32FindWide() override { FindClose(m_h); }
  bool Next(FindData* out) override;

 private:
  HANDLE m_h;
};

FindData ToFindData(const WIN32_FIND_DATAW& wfd) {
  FindData fd;
  fd.name = Utf16ToAnsi(reinterpret_cast<const char16_t*>(wfd.cFileName));
  fd.attributes = wfd.dwFileAttributes;
  fd.size = (static_cast<std::uint64_t>(wfd.nFileSizeHigh) << 32) | wfd.nFileSizeLow;
  fd.lastWriteTime = (static_cast<std::uint64_t>(wfd.ftLastWriteTime.dwHighDateTime) << 32) |
                     wfd.ftLastWriteTime.dwLowDateTime;
  return fd;
}

bool CWin32FindWide::Next(FindData* out) {
  WIN32_FIND_DATAW wfd;
  if (!FindNextFileW(m_h, &wfd)) return false;
  if (out) *out = ToFindData(wfd);
  return true;
}

// Whether the ANSI calls refuse this path for its length.
bool TooLongForAnsi(const std::string& path) { return path.size() >= MAX_PATH; }

// "\\?\C:\..." for a full path with a drive letter; other forms are not
// given this prefix (it turns off the system's own path clean-up).
std::wstring LongForm(const std::string& path) {
  const std::u16string w = AnsiToUtf16(path);
  std::wstring out(w.begin(), w.end());
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') out.insert(0, L"\\\\?\\");
  return out;
}

class CWin32Writer : public IWritableFile {
 public:
  explicit CWin32Writer(HANDLE h) : m_h(h) {}
  ~CWin32Writer() override { Close(); }
  bool Write(const void* data, std::size_t size) override {
    if (m_h == INVALID_HANDLE_VALUE) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
      DWORD written = 0;
      if (!::WriteFile(m_h, p, chunk, &written, nullptr)) {
        m_error = static_cast<long>(GetLastError());
        return false;
      }
      if (written == 0) {
        m_error = ERROR_DISK_FULL;
        return false;
      }
      p += written;
      size -= written;
    }
    return true;
  }
  long LastWriteError() const override { return m_error; }
  bool Flush() override {
    if (m_h == INVALID_HANDLE_VALUE) return false;
    if (FlushFileBuffers(m_h)) return true;
    m_error = static_cast<long>(GetLastError());
    return false;
  }
  bool Truncate(std::uint64_t size) override {
    if (m_h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(m_h, at, nullptr, FILE_BEGIN) && SetEndOfFile(m_h);
  }
  bool Close() override {
    if (m_h == INVALID_HANDLE_VALUE) return true;
    const BOOL ok = CloseHandle(m_h);
    m_h = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE m_h;
  long m_error = ERROR_WRITE_FAULT;
};

// A text the system writes into a buffer of `size` bytes; empty when the
// call failed or the text did not fit.
template <typename Call>
std::string FromBuffer(Call call) {
  char buf[kPathBuf + 1] = {};
  const DWORD n = call(buf, kPathBuf);
  if (n == 0 || n >= kPathBuf) return std::string();
  return std::string(buf, n);
}

}  // namespace

std::unique_ptr<IFileFind> CWin32FileSystem::FindFirst(const std::string& pattern, FindData* first,
                                                       long* error) {
  if (TooLongForAnsi(pattern)) {
    WIN32_FIND_DATAW wfd;
    const HANDLE h = ::FindFirstFileW(LongForm(pattern).c_str(), &wfd);
    if (h == INVALID_HANDLE_VALUE) {
      if (error) *error = LastError();
      return nullptr;
    }
    if (first) *first = ToFindData(wfd);
    if (error) *error = kErrorSuccess;
    return std::make_unique<CWin32FindWide>(h);
  }
  WIN32_FIND_DATAA wfd;
  const HANDLE h = ::FindFirstFileA(pattern.c_str(), &wfd);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastError();
    return nullptr;
  }
  if (first) FillFindData(wfd, first);
  if (error) *error = kErrorSuccess;
  return std::make_unique<CWin32Find>(h);
}

std::string CWin32FileSystem::GetLogicalDriveStrings(std::size_t bufSize) {
  std::string buf(bufSize + 1, '\0');
  const DWORD n = ::GetLogicalDriveStringsA(static_cast<DWORD>(bufSize), buf.data());
  // The length without the final zero; a larger number is the size needed.
  if (n == 0 || n >= bufSize) return std::string();
  return buf.substr(0, n + 1);
}

std::uint32_t CWin32FileSystem::GetDriveType(const std::string& root) {
  return ::GetDriveTypeA(root.empty() ? nullptr : root.c_str());
}

bool CWin32FileSystem::GetVolumeLabel(const std::string& root, std::string* label) {
  char buf[kPathBuf + 1] = {};
  if (!::GetVolumeInformationA(root.c_str(), buf, kPathBuf, nullptr, nullptr, nullptr, nullptr,
                               0)) {
    return false;
  }
  if (label) *label = buf;
  return true;
}

bool CWin32FileSystem::CanOpenForWriteDenyWrite(const std::string& path) {
  // OpenFile takes at most 127 characters; a longer path gets the same
  // question through CreateFileA (write access, others may only read).
  if (path.size() < OFS_MAXPATHNAME) {
    OFSTRUCT of = {};
    of.cBytes = sizeof of;
    const HFILE h = OpenFile(path.c_str(), &of, OF_WRITE | OF_SHARE_DENY_WRITE);
    if (h == HFILE_ERROR) return false;
    _lclose(h);
    return true;
  }
  const HANDLE h =
      TooLongForAnsi(path)
          ? ::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
          : ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string CWin32FileSystem::GetTempPath() {
  return FromBuffer([](char* b, DWORD n) { return ::GetTempPathA(n, b); });
}

std::string CWin32FileSystem::GetLongPathName(const std::string& path) {
  return FromBuffer([&](char* b, DWORD n) { return ::GetLongPathNameA(path.c_str(), b, n); });
}

std::string CWin32FileSystem::GetShortPathName(const std::string& path) {
  return FromBuffer([&](char* b, DWORD n) { return ::GetShortPathNameA(path.c_str(), b, n); });
}

std::string CWin32FileSystem::GetWindowsDirectory() {
  return FromBuffer([](char* b, DWORD n) { return ::GetWindowsDirectoryA(b, n); });
}

std::string CWin32FileSystem::GetModuleFileName() {
  return FromBuffer([](char* b, DWORD n) { return ::GetModuleFileNameA(nullptr, b, n); });
}

std::uint32_t CWin32FileSystem::GetFileAttributes(const std::string& path) {
  if (TooLongForAnsi(path)) return ::GetFileAttributesW(LongForm(path).c_str());
  return ::GetFileAttributesA(path.c_str());
}

long CWin32FileSystem::CreateDirectory(const std::string& path) {
  if (TooLongForAnsi(path)) {
    return ::CreateDirectoryW(LongForm(path).c_str(), nullptr) ? kErrorSuccess : LastError();
  }
  return ::CreateDirectoryA(path.c_str(), nullptr) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::RemoveDirectory(const std::string& path) {
  if (TooLongForAnsi(path)) {
    return ::RemoveDirectoryW(LongForm(path).c_str()) ? kErrorSuccess : LastError();
  }
  return ::RemoveDirectoryA(path.c_str()) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::DeleteFile(const std::string& path) {
  if (TooLongForAnsi(path)) {
    return ::DeleteFileW(LongForm(path).c_str()) ? kErrorSuccess : LastError();
  }
  return ::DeleteFileA(path.c_str()) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::MoveFile(const std::string& from, const std::string& to) {
  if (TooLongForAnsi(from) || TooLongForAnsi(to)) {
    return ::MoveFileW(LongForm(from).c_str(), LongForm(to).c_str()) ? kErrorSuccess : LastError();
  }
  return ::MoveFileA(from.c_str(), to.c_str()) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::MoveFileReplace(const std::string& from, const std::string& to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (TooLongForAnsi(from) || TooLongForAnsi(to)) {
    return ::MoveFileExW(LongForm(from).c_str(), LongForm(to).c_str(), flags) ? kErrorSuccess
                                                                               : LastError();
  }
  return ::MoveFileExA(from.c_str(), to.c_str(), flags) ? kErrorSuccess : LastError();
}

std::unique_ptr<IWritableFile> CWin32FileSystem::CreateFile(const std::string& path,
                                                            CreateMode mode, long* error) {
  DWORD disposition = CREATE_ALWAYS;
  if (mode == CreateMode::kCreateNew) disposition = CREATE_NEW;
  if (mode == CreateMode::kOpenAppend) disposition = OPEN_ALWAYS;
  const HANDLE h =
      TooLongForAnsi(path)
          ? ::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          disposition, FILE_ATTRIBUTE_NORMAL, nullptr)
          : ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastError();
    return nullptr;
  }
  if (mode == CreateMode::kOpenAppend &&
      SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    if (error) *error = LastError();
    CloseHandle(h);
    return nullptr;
  }
  if (error) *error = kErrorSuccess;
  return std::make_unique<CWin32Writer>(h);
}

bool CWin32FileSystem::ReadFile(const std::string& path, std::string* bytes) {
  const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string out;
  char buf[65536];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(h, buf, sizeof buf, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    out.append(buf, got);
  }
  CloseHandle(h);
  if (ok && bytes) *bytes = std::move(out);
  return ok;
}

}  // namespace tw
