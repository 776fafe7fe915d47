// Starting one of the system's own programs (regsvr32, msiexec, regedit) by
// its full path so that the system's own build of it runs. A 32-bit program
// on 64-bit Windows (WOW64) is shown the 32-bit system folder where it names
// System32, and the 32-bit registry editor where it names the Windows
// folder's: started by those names, each program sees the 32-bit registry
// view, and a restore would land below Wow6432Node.
#pragma once

#include <string>

namespace tw {

// What decides how a program is started, read once from the system.
struct SystemProgramLayout {
  bool wow64 = false;         // a 32-bit program on 64-bit Windows
  bool hasSysnative = false;  // the system resolves "Sysnative" for it
  std::string systemFolder;   // "C:\WINDOWS\system32", as the system names it
  std::string windowsFolder;  // "C:\WINDOWS"
};

struct ProgramStart {
  std::string path;             // the program to start
  bool redirectionOff = false;  // start it with this thread's redirection turned off
};

// For a program path (".exe") of the system folder, the "Sysnative" alias
// where the system has it, else the path with the redirection turned off
// (64-bit XP and Server 2003 without their update); for the Windows
// folder's "regedit.exe", which no alias reaches, always the switch. Any
// other path, every path of a 64-bit program and every path on 32-bit
// Windows stays as it is.
ProgramStart SystemProgramStart(const SystemProgramLayout& layout, const std::string& path);

}  // namespace tw
