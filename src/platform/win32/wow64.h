// A 32-bit program on 64-bit Windows (WOW64) is shown the 32-bit system
// folder (SysWOW64) wherever it names the system folder. What it judges,
// removes or starts by a path there must be the file the registry entry
// means, which for the system's own keys is the 64-bit one.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "platform/system_program.h"

namespace tw {

// True for a 32-bit program on 64-bit Windows. IsWow64Process came with
// XP SP2; a system without it has no 64-bit half.
bool RunsOnWow64();

// The path as this program must name it to reach the system's own file: on
// WOW64 a path in the system folder goes through "Sysnative", the alias
// that leads a 32-bit program to the 64-bit folder; every other path, and
// every path of a 64-bit program or on 32-bit Windows, as it is. Where the
// system has no such alias (Windows XP and Server 2003 x64 without their
// update), the path stays and CNativeFileView does the work.
std::string NativeFilePath(const std::string& path);

// For the lifetime of the object, this thread's file calls see the 64-bit
// system folder, on a WOW64 system without "Sysnative" only; elsewhere it
// does nothing. Only around single kernel32 file calls: nothing that loads
// a library may run inside it.
class CNativeFileView {
 public:
  CNativeFileView();
  // The same when off is true, on a WOW64 system with or without
  // "Sysnative" (for a path no alias reaches); nothing when it is false.
  explicit CNativeFileView(bool off);
  ~CNativeFileView();
  CNativeFileView(const CNativeFileView&) = delete;
  CNativeFileView& operator=(const CNativeFileView&) = delete;

 private:
  void* m_old = nullptr;
  bool m_disabled = false;
};

// What SystemProgramStart decides by for this program on this system.
const SystemProgramLayout& ThisSystemLayout();

// NativeFilePath's answer named as the system names it again, for a path
// the system hands back (a long or short form of one it was given).
std::string SystemFilePath(const std::string& path);

// The KEY_WOW64_* flag every registry open and creation of the program
// passes for a view. The default view is the system's own (64-bit) one for
// either program, so the 32-bit program reads, writes and backs up the keys
// the 64-bit one does, and the 32-bit view stays below "Wow6432Node" for
// both. A 32-bit system has one view, and Windows 2000 refuses the flags.
std::uint32_t RegistryViewFlag(RegView view);

// The folder 32-bit system programs are started from: SysWOW64 on 64-bit
// Windows, the system folder on 32-bit Windows; empty when neither is known.
std::string ThirtyTwoBitSystemFolder();

}  // namespace tw
