#include "controls/resource_module.h"

#include <shellapi.h>
#include <windows.h>

namespace tw {

namespace {
HINSTANCE g_resourceInstance = nullptr;
HWND g_mainWindow = nullptr;

// Byte position of the last "\" that is a separator, stepping over
// double-byte characters whose trail byte may be 0x5C.
std::size_t LastSeparator(const std::string& path) {
  std::size_t last = std::string::npos;
  const char* begin = path.c_str();
  for (const char* p = begin; *p; p = CharNextA(p)) {
    if (*p == '\\') last = static_cast<std::size_t>(p - begin);
  }
  return last;
}
}  // namespace

void SetResourceInstance(HINSTANCE instance) { g_resourceInstance = instance; }

HINSTANCE GetResourceInstance() {
  return g_resourceInstance ? g_resourceInstance : GetProgramInstance();
}

HINSTANCE GetProgramInstance() { return GetModuleHandleA(nullptr); }

std::string LoadStr(UINT id) {
  char buf[2048];
  int n = LoadStringA(GetResourceInstance(), id, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string TextOr(UINT id, const std::string& fallback) {
  std::string s = LoadStr(id);
  return s.empty() ? fallback : s;
}

std::string LoadStrWith(UINT id, const std::string& arg) {
  std::string s = LoadStr(id);
  const std::size_t at = s.find("%1");
  if (at != std::string::npos) s.replace(at, 2, arg);
  return s;
}

std::string ProgramPath() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  return std::string(buf, n);
}

std::string ProgramFolder() {
  std::string path = ProgramPath();
  std::size_t sep = LastSeparator(path);
  return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

std::string ProgramName() {
  std::string path = ProgramPath();
  std::size_t sep = LastSeparator(path);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  std::size_t dot = name.rfind('.');  // "." is never a trail byte
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

void ShellOpen(const std::string& target) {
  // A missing help file, update program or browser is ignored: the shell is
  // told not to put up an error box of its own either.
  SHELLEXECUTEINFOA sei = {};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_FLAG_NO_UI;
  sei.lpVerb = "open";
  sei.lpFile = target.c_str();
  sei.nShow = SW_SHOWNORMAL;
  ShellExecuteExA(&sei);
}

void SetAppMainWindow(HWND hwnd) { g_mainWindow = hwnd; }
HWND GetAppMainWindow() { return g_mainWindow; }

}  // namespace tw
