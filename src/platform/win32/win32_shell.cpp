#include <windows.h>
// windows.h and shellapi.h first: it renames these methods (GetDriveType -> GetDriveTypeA ...)
// by macro, and the declarations must be renamed alike.
#include <shellapi.h>

#include <vector>

#include "platform/win32/win32_shell.h"
#include "platform/win32/wow64.h"

#include "platform/text.h"

namespace tw {

namespace {

// A command line whose program is named between quotes, with that program
// as the system's own side names it (see NativeFilePath); any other line as
// it is.
std::string NativeCommandLine(const std::string& line) {
  if (line.empty() || line[0] != '"') return line;
  const std::size_t end = FindChar(line, '"', 1);
  if (end == std::string::npos) return line;
  return '"' + NativeFilePath(line.substr(1, end - 1)) + line.substr(end);
}

}  // namespace

// The files named are the ones the program judged by CWin32FileSystem,
// which names them alike; so a 32-bit program on 64-bit Windows removes,
// moves and starts the file it found and never its 32-bit namesake.
int CWin32Shell::FileOperation(std::uint32_t op, const std::string& fromGiven,
                               const std::string& toGiven, std::uint32_t flags,
                               std::uintptr_t owner) {
  const std::string from = NativeFilePath(fromGiven);
  const std::string to = NativeFilePath(toGiven);
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

bool CWin32Shell::ShellExecute(const std::string& verb, const std::string& fileGiven,
                               const std::string& parameters, int show) {
  const std::string file = NativeFilePath(fileGiven);
  const HINSTANCE h =
      ::ShellExecuteA(nullptr, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(h) > 32;
}

bool CWin32Shell::CreateProcess(const std::string& commandLineGiven) {
  const std::string commandLine = NativeCommandLine(commandLineGiven);
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
