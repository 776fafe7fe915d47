#include <windows.h>

#include "platform/win32/wow64.h"

#include "platform/text.h"

namespace tw {

namespace {

// The system folder as the system names it, and "Sysnative" beside it:
// read once, they do not change while the program runs.
struct SystemFolders {
  std::string system;
  std::string sysnative;
};

using Wow64DisableFn = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFn = BOOL(WINAPI*)(PVOID);

template <typename Fn>
Fn Kernel32Entry(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

const SystemFolders& Folders();

// Whether the system resolves "Sysnative" for this program.
bool HasSysnative() {
  static const bool has = [] {
    const std::string& alias = Folders().sysnative;
    if (alias.empty()) return false;
    const DWORD attrs = GetFileAttributesA(alias.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }();
  return has;
}

const SystemFolders& Folders() {
  static const SystemFolders folders = [] {
    SystemFolders f;
    char buf[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryA(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return f;
    f.system.assign(buf, n);
    std::string parent;
    SplitAtLastBackslash(f.system, &parent, nullptr);
    if (!parent.empty()) f.sysnative = parent + "\\Sysnative";
    return f;
  }();
  return folders;
}

}  // namespace

bool RunsOnWow64() {
  static const bool wow64 = [] {
    if (sizeof(void*) != 4) return false;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto fn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL result = FALSE;
    return fn && fn(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

std::uint32_t RegistryViewFlag(RegView view) {
  if (sizeof(void*) == 4 && !RunsOnWow64()) return 0;
  switch (view) {
    case RegView::k32:
      return KEY_WOW64_32KEY;
    case RegView::k64:
      return KEY_WOW64_64KEY;
    default:
      return sizeof(void*) == 4 ? KEY_WOW64_64KEY : 0;
  }
}

std::string NativeFilePath(const std::string& path) {
  if (!RunsOnWow64() || !HasSysnative()) return path;
  const SystemFolders& f = Folders();
  const std::size_t n = f.system.size();
  if (n == 0 || f.sysnative.empty() || path.size() < n) return path;
  // The system folder's name is plain ASCII, so a match ends on a character
  // of its own and the next byte is no trail byte.
  if (!EqualsNoCase(path.substr(0, n), f.system)) return path;
  if (path.size() > n && path[n] != '\\') return path;  // "System32x" is another folder
  return f.sysnative + path.substr(n);
}

CNativeFileView::CNativeFileView() : CNativeFileView(!HasSysnative()) {}

CNativeFileView::CNativeFileView(bool off) {
  if (!off || !RunsOnWow64()) return;
  static const auto disable = Kernel32Entry<Wow64DisableFn>("Wow64DisableWow64FsRedirection");
  m_disabled = disable && disable(&m_old);
}

CNativeFileView::~CNativeFileView() {
  if (!m_disabled) return;
  static const auto revert = Kernel32Entry<Wow64RevertFn>("Wow64RevertWow64FsRedirection");
  if (revert) revert(m_old);
}

const SystemProgramLayout& ThisSystemLayout() {
  static const SystemProgramLayout layout = [] {
    SystemProgramLayout l;
    l.wow64 = RunsOnWow64();
    l.hasSysnative = l.wow64 && HasSysnative();
    l.systemFolder = Folders().system;
    char buf[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) l.windowsFolder.assign(buf, n);
    return l;
  }();
  return layout;
}

std::string SystemFilePath(const std::string& path) {
  if (!RunsOnWow64() || !HasSysnative()) return path;
  const SystemFolders& f = Folders();
  const std::size_t n = f.sysnative.size();
  if (n == 0 || path.size() < n || !EqualsNoCase(path.substr(0, n), f.sysnative)) return path;
  if (path.size() > n && path[n] != '\\') return path;
  return f.system + path.substr(n);
}

std::string ThirtyTwoBitSystemFolder() {
  // GetSystemWow64DirectoryA is missing on Windows 2000 and earlier, and
  // fails on 32-bit Windows, which has only the one folder.
  using GetWow64DirFn = UINT(WINAPI*)(LPSTR, UINT);
  const auto fn = reinterpret_cast<GetWow64DirFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA")));
  char buf[MAX_PATH + 1] = {};
  if (fn) {
    const UINT n = fn(buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return std::string(buf, n);
  }
  return Folders().system;
}

}  // namespace tw
