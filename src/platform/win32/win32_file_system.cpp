#include <windows.h>
// windows.h first: it renames these methods (GetDriveType -> GetDriveTypeA ...)
// by macro, and the declarations must be renamed alike.
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/wow64.h"

#include "platform/text.h"

namespace tw {

namespace {

constexpr DWORD kPathBuf = 260;

// The code page the text helpers are set to, when Windows knows it.
UINT AnsiPage() {
  const unsigned cp = GetAnsiCodePage();
  return IsValidCodePage(cp) ? cp : CP_ACP;
}

// A name or path read from the system, in the ANSI code page, only when
// every character has its own form there. The ANSI calls would hand out "?"
// or a look-alike instead (a wildcard to the next search, or a sibling's
// name); such an entry is left out, never acted on in a form that is not
// its own.
bool ExactAnsi(const wchar_t* text, std::size_t length, std::string* out) {
  out->clear();
  if (length == 0) return true;
  const UINT cp = AnsiPage();
  const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int n = WideCharToMultiByte(cp, flags, text, static_cast<int>(length), nullptr, 0, nullptr,
                                    nullptr);
  if (n <= 0) return false;
  out->resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(cp, flags, text, static_cast<int>(length), out->data(), n, nullptr, nullptr);
  // Back again: what does not come back as it was was not converted exactly.
  const int back = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, out->data(), n, nullptr, 0);
  if (back != static_cast<int>(length)) return false;
  std::wstring again(static_cast<std::size_t>(back), L'\0');
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, out->data(), n, again.data(), back);
  return again.compare(0, length, text, length) == 0;
}

// An ANSI text as the wide calls take it; false for bytes that are no text
// of the code page.
bool ExactWide(const std::string& text, std::wstring* out) {
  out->clear();
  if (text.empty()) return true;
  const UINT cp = AnsiPage();
  const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<std::size_t>(n));
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      out->data(), n);
  return true;
}

// In place: a walk passes the same FindData for every entry, and its name
// keeps the room it has. False when the name has no exact ANSI form.
bool FillFindData(const WIN32_FIND_DATAW& wfd, FindData* fd) {
  if (!ExactAnsi(wfd.cFileName, wcslen(wfd.cFileName), &fd->name)) return false;
  if (!ExactAnsi(wfd.cAlternateFileName, wcslen(wfd.cAlternateFileName), &fd->shortName)) {
    fd->shortName.clear();
  }
  fd->attributes = wfd.dwFileAttributes;
  fd->size = (static_cast<std::uint64_t>(wfd.nFileSizeHigh) << 32) | wfd.nFileSizeLow;
  fd->lastWriteTime = (static_cast<std::uint64_t>(wfd.ftLastWriteTime.dwHighDateTime) << 32) |
                      wfd.ftLastWriteTime.dwLowDateTime;
  return true;
}

// A directory search through the wide calls; entries whose names have no
// exact ANSI form are passed over.
class CWin32Find : public IFileFind {
 public:
  explicit CWin32Find(HANDLE h) : m_h(h) {}
  ~CWin32Find() override { FindClose(m_h); }
  bool Next(FindData* out) override {
    FindData scratch;
    FindData* fd = out ? out : &scratch;
    WIN32_FIND_DATAW wfd;
    while (FindNextFileW(m_h, &wfd)) {
      if (FillFindData(wfd, fd)) return true;
    }
    return false;
  }

 private:
  HANDLE m_h;
};

// Whether the ANSI calls refuse this path for its length.
bool TooLongForAnsi(const std::string& path) { return path.size() >= MAX_PATH; }

// The wide form of a path; "\\?\C:\..." for a long full path with a drive
// letter (the prefix turns off the system's own path clean-up, so shorter
// paths go without it). Empty for bytes that are no text of the code page.
std::wstring WidePath(const std::string& path) {
  std::wstring out;
  if (!ExactWide(path, &out)) return std::wstring();
  if (TooLongForAnsi(path) && path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    out.insert(0, L"\\\\?\\");
  }
  return out;
}

std::wstring LongForm(const std::string& path) { return WidePath(path); }

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
    // On the disk before anyone relies on it (a settings file put in place of
    // the old one, a backup before what it holds is removed).
    const BOOL flushed = FlushFileBuffers(m_h);
    const BOOL ok = CloseHandle(m_h);
    m_h = INVALID_HANDLE_VALUE;
    return flushed != FALSE && ok != FALSE;
  }

 private:
  HANDLE m_h;
  long m_error = ERROR_WRITE_FAULT;
};

// A text the system writes into a buffer of 260 characters, read through
// the wide call; empty when the call failed, the text did not fit the
// program's 260-byte buffers, or it has no exact ANSI form.
template <typename Call>
std::string FromBuffer(Call call) {
  wchar_t buf[kPathBuf + 1] = {};
  const DWORD n = call(buf, kPathBuf);
  if (n == 0 || n >= kPathBuf) return std::string();
  std::string out;
  if (!ExactAnsi(buf, n, &out) || out.size() >= kPathBuf) return std::string();
  return out;
}

}  // namespace

std::unique_ptr<IFileFind> CWin32FileSystem::FindFirst(const std::string& patternGiven, FindData* first,
                                                       long* error) {
  const std::string pattern = NativeFilePath(patternGiven);
  const CNativeFileView nativeView;
  const std::wstring wide = WidePath(pattern);
  if (wide.empty()) {
    if (error) *error = pattern.empty() ? kErrorFileNotFound : kErrorBadPathname;
    return nullptr;
  }
  WIN32_FIND_DATAW wfd;
  const HANDLE h = ::FindFirstFileW(wide.c_str(), &wfd);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = LastError();
    return nullptr;
  }
  auto find = std::make_unique<CWin32Find>(h);
  FindData scratch;
  FindData* fd = first ? first : &scratch;
  if (!FillFindData(wfd, fd) && !find->Next(fd)) {
    // Every match has a name without an exact ANSI form: as if none matched.
    if (error) *error = kErrorFileNotFound;
    return nullptr;
  }
  if (error) *error = kErrorSuccess;
  return find;
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
  wchar_t buf[kPathBuf + 1] = {};
  const std::wstring wide = WidePath(root);
  if (wide.empty() || !::GetVolumeInformationW(wide.c_str(), buf, kPathBuf, nullptr, nullptr,
                                               nullptr, nullptr, 0)) {
    return false;
  }
  std::string text;
  if (!ExactAnsi(buf, wcslen(buf), &text)) return false;
  if (label) *label = text;
  return true;
}

bool CWin32FileSystem::CanOpenForWriteDenyWrite(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
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
  return FromBuffer([](wchar_t* b, DWORD n) { return ::GetTempPathW(n, b); });
}

std::string CWin32FileSystem::GetLongPathName(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return std::string();
  return SystemFilePath(
      FromBuffer([&](wchar_t* b, DWORD n) { return ::GetLongPathNameW(wide.c_str(), b, n); }));
}

std::string CWin32FileSystem::GetShortPathName(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return std::string();
  return SystemFilePath(
      FromBuffer([&](wchar_t* b, DWORD n) { return ::GetShortPathNameW(wide.c_str(), b, n); }));
}

std::string CWin32FileSystem::GetWindowsDirectory() {
  return FromBuffer([](wchar_t* b, DWORD n) { return ::GetWindowsDirectoryW(b, n); });
}

std::string CWin32FileSystem::GetSystemDirectory() {
  return FromBuffer([](wchar_t* b, DWORD n) { return ::GetSystemDirectoryW(b, n); });
}

std::string CWin32FileSystem::GetSystemWow64Directory() {
  const std::string wow64 = ThirtyTwoBitSystemFolder();
  return EqualsNoCase(wow64, GetSystemDirectory()) ? std::string() : wow64;
}

std::string CWin32FileSystem::GetModuleFileName() {
  return FromBuffer([](wchar_t* b, DWORD n) { return ::GetModuleFileNameW(nullptr, b, n); });
}

std::uint32_t CWin32FileSystem::GetFileAttributes(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
  if (TooLongForAnsi(path)) return ::GetFileAttributesW(LongForm(path).c_str());
  return ::GetFileAttributesA(path.c_str());
}

long CWin32FileSystem::CreateDirectory(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
  if (TooLongForAnsi(path)) {
    return ::CreateDirectoryW(LongForm(path).c_str(), nullptr) ? kErrorSuccess : LastError();
  }
  return ::CreateDirectoryA(path.c_str(), nullptr) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::RemoveDirectory(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
  if (TooLongForAnsi(path)) {
    return ::RemoveDirectoryW(LongForm(path).c_str()) ? kErrorSuccess : LastError();
  }
  return ::RemoveDirectoryA(path.c_str()) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::DeleteFile(const std::string& pathGiven) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
  // DeleteFile's own open shares everything: a file another program holds
  // open with delete sharing only waits to go, its name still there, yet the
  // call answers success. Opened alone and deleted on close, the file's name
  // is gone when the handle closes, so success means gone and no look-up
  // need follow (under Wine a look-up of a name just removed reads its whole
  // folder). A link is removed itself, never what it leads to.
  constexpr DWORD kAccess = DELETE | SYNCHRONIZE;
  constexpr DWORD kFlags = FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;
  const HANDLE h = TooLongForAnsi(path)
                       ? ::CreateFileW(LongForm(path).c_str(), kAccess, 0, nullptr, OPEN_EXISTING,
                                       kFlags, nullptr)
                       : ::CreateFileA(path.c_str(), kAccess, 0, nullptr, OPEN_EXISTING, kFlags,
                                       nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastError();
  CloseHandle(h);
  return kErrorSuccess;
}

long CWin32FileSystem::MoveFile(const std::string& fromGiven, const std::string& toGiven) {
  const std::string from = NativeFilePath(fromGiven);
  const std::string to = NativeFilePath(toGiven);
  const CNativeFileView nativeView;
  if (TooLongForAnsi(from) || TooLongForAnsi(to)) {
    return ::MoveFileW(LongForm(from).c_str(), LongForm(to).c_str()) ? kErrorSuccess : LastError();
  }
  return ::MoveFileA(from.c_str(), to.c_str()) ? kErrorSuccess : LastError();
}

long CWin32FileSystem::MoveFileReplace(const std::string& fromGiven, const std::string& toGiven) {
  const std::string from = NativeFilePath(fromGiven);
  const std::string to = NativeFilePath(toGiven);
  const CNativeFileView nativeView;
  // Onto another drive the file is copied and the original removed; the
  // write-through makes the call return only once the copy is on the disk.
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH | MOVEFILE_COPY_ALLOWED;
  if (TooLongForAnsi(from) || TooLongForAnsi(to)) {
    return ::MoveFileExW(LongForm(from).c_str(), LongForm(to).c_str(), flags) ? kErrorSuccess
                                                                               : LastError();
  }
  return ::MoveFileExA(from.c_str(), to.c_str(), flags) ? kErrorSuccess : LastError();
}

std::unique_ptr<IWritableFile> CWin32FileSystem::CreateFile(const std::string& pathGiven,
                                                            CreateMode mode, long* error) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
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

bool CWin32FileSystem::ReadFile(const std::string& pathGiven, std::string* bytes) {
  const std::string path = NativeFilePath(pathGiven);
  const CNativeFileView nativeView;
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
