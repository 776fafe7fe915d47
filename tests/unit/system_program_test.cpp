// Which path and which redirection switch starting a system program takes,
// for each kind of system the program can run on.
#include <gtest/gtest.h>

#include <string>

#include "platform/system_program.h"

namespace tw {
namespace {

TEST(SystemProgramStart, TheSystemsOwnProgramRunsOnEverySystem) {
  const SystemProgramLayout x64Program{false, false, "C:\\WINDOWS\\system32", "C:\\WINDOWS"};
  const SystemProgramLayout x86Windows{false, false, "C:\\WINDOWS\\system32", "C:\\WINDOWS\\"};
  const SystemProgramLayout withSysnative{true, true, "C:\\WINDOWS\\system32", "C:\\WINDOWS"};
  const SystemProgramLayout withoutSysnative{true, false, "C:\\WINDOWS\\system32", "C:\\WINDOWS"};
  struct Case {
    const char* system;
    const SystemProgramLayout& layout;
    const char* path;
    const char* started;
    bool redirectionOff;
  };
  const Case cases[] = {
      {"64-bit program", x64Program, "C:\\WINDOWS\\system32\\regsvr32.exe",
       "C:\\WINDOWS\\system32\\regsvr32.exe", false},
      {"32-bit Windows", x86Windows, "C:\\WINDOWS\\system32\\msiexec.exe",
       "C:\\WINDOWS\\system32\\msiexec.exe", false},
      {"32-bit Windows", x86Windows, "C:\\WINDOWS\\regedit.exe", "C:\\WINDOWS\\regedit.exe", false},
      {"Sysnative", withSysnative, "C:\\WINDOWS\\system32\\regsvr32.exe",
       "C:\\WINDOWS\\Sysnative\\regsvr32.exe", false},
      {"Sysnative", withSysnative, "c:\\windows\\SYSTEM32\\MsiExec.exe",
       "C:\\WINDOWS\\Sysnative\\MsiExec.exe", false},
      {"Sysnative", withSysnative, "C:\\WINDOWS\\system32\\wbem\\wmic.exe",
       "C:\\WINDOWS\\Sysnative\\wbem\\wmic.exe", false},
      // No alias leads to the 64-bit registry editor.
      {"Sysnative", withSysnative, "C:\\Windows\\REGEDIT.EXE", "C:\\Windows\\REGEDIT.EXE", true},
      // The 32-bit regsvr32, chosen for a component of the 32-bit view.
      {"Sysnative", withSysnative, "C:\\WINDOWS\\SysWOW64\\regsvr32.exe",
       "C:\\WINDOWS\\SysWOW64\\regsvr32.exe", false},
      {"Sysnative", withSysnative, "C:\\WINDOWS\\system32x\\tool.exe",
       "C:\\WINDOWS\\system32x\\tool.exe", false},
      {"Sysnative", withSysnative, "C:\\WINDOWS\\system32\\notes.txt",
       "C:\\WINDOWS\\system32\\notes.txt", false},
      {"Sysnative", withSysnative, "C:\\Program Files\\Tool\\uninst.exe",
       "C:\\Program Files\\Tool\\uninst.exe", false},
      {"no Sysnative", withoutSysnative, "C:\\WINDOWS\\system32\\regsvr32.exe",
       "C:\\WINDOWS\\system32\\regsvr32.exe", true},
      {"no Sysnative", withoutSysnative, "C:\\WINDOWS\\regedit.exe", "C:\\WINDOWS\\regedit.exe",
       true},
      {"no Sysnative", withoutSysnative, "C:\\WINDOWS\\system32\\readme.txt",
       "C:\\WINDOWS\\system32\\readme.txt", false},
  };
  for (const Case& c : cases) {
    const ProgramStart start = SystemProgramStart(c.layout, c.path);
    EXPECT_EQ(start.path, c.started) << c.system << ": " << c.path;
    EXPECT_EQ(start.redirectionOff, c.redirectionOff) << c.system << ": " << c.path;
  }
}

}  // namespace
}  // namespace tw
