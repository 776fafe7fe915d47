#include <windows.h>
// windows.h and shellapi.h first: it renames these methods (GetDriveType -> GetDriveTypeA ...)
// by macro, and the declarations must be renamed alike.
#include <shellapi.h>

#include <vector>

#include "platform/win32/win32_shell.h"

namespace tw {

int CWin32Shell::FileOperation(std::uint32_t op, const std::string& from, const std::string& to,
                               std::uint32_t flags, std::uintptr_t owner) {
  // Both lists end with a second zero.
  std::vector<char> fromList(from.begin(), from.end());
  fromList.push_back('\0');
  fromList.push_back('\0');
  std::vector<char> toList(to.begin(), to.end());
  toList.push_back('\0');
  toList.push_back('\0');
  SHFILEOPSTRUCTA fo = {};
  fo.hwnd = reinterpret_cast<HWND>(owner);
  fo.wFunc = op;
  fo.pFrom = fromList.data();
  fo.pTo = to.empty() ? nullptr : toList.data();
  fo.fFlags = static_cast<FILEOP_FLAGS>(flags);
  const int rc = ::SHFileOperationA(&fo);
  if (rc == 0 && fo.fAnyOperationsAborted) return ERROR_CANCELLED;
  return rc;
}

bool CWin32Shell::ShellExecute(const std::string& verb, const std::string& file,
                               const std::string& parameters, int show) {
  const HINSTANCE h =
      ::ShellExecuteA(nullptr, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(h) > 32;
}

bool CWin32Shell::CreateProcess(const std::string& commandLine) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace tw
