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

// Starts a command line, with the window shown as `show` (or as the program
// chooses, for -1). With redirectionOff only the CreateProcess call itself
// runs with this thread's file-system redirection off, and it is on again
// before anything else runs: a library loaded meanwhile would be the 64-bit
// system's.
bool StartProcess(const std::string& commandLine, int show, bool redirectionOff) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (show >= 0) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(show);
  }
  PROCESS_INFORMATION pi = {};
  BOOL started;
  {
    CNativeFileView view(redirectionOff);
    started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi);
  }
  if (!started) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
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
  const ProgramStart start = SystemProgramStart(ThisSystemLayout(), fileGiven);
  if (start.redirectionOff && (verb.empty() || verb == "open")) {
    // The shell loads libraries of its own on the way to starting a
    // program, which must not happen with the redirection off: the program
    // is started directly, as the shell would have started it.
    return StartProcess("\"" + start.path + "\"" + (parameters.empty() ? "" : " " + parameters), show,
                        true);
  }
  const std::string file = NativeFilePath(fileGiven);
  const HINSTANCE h =
      ::ShellExecuteA(nullptr, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(h) > 32;
}

// A command line whose program is named between quotes starts the program
// the system's own side names so (see SystemProgramStart); any other line
// as it is.
bool CWin32Shell::CreateProcess(const std::string& commandLineGiven) {
  const std::string& line = commandLineGiven;
  const std::size_t end = line.empty() || line[0] != '"' ? std::string::npos : FindChar(line, '"', 1);
  if (end == std::string::npos) return StartProcess(line, -1, false);
  const ProgramStart start = SystemProgramStart(ThisSystemLayout(), line.substr(1, end - 1));
  if (start.redirectionOff) return StartProcess(line, -1, true);
  return StartProcess('"' + NativeFilePath(line.substr(1, end - 1)) + line.substr(end), -1, false);
}

}  // namespace tw
