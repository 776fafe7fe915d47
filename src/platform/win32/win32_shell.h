// The shell interface over shell32 and kernel32: SHFileOperationA,
// ShellExecuteA and CreateProcessA, none of them waited for.
#pragma once

#include "platform/file_system.h"

namespace tw {

class CWin32Shell : public IShell {
 public:
  int FileOperation(std::uint32_t op, const std::string& from, const std::string& to,
                    std::uint32_t flags, std::uintptr_t owner = 0) override;
  bool ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                    int show) override;
  bool CreateProcess(const std::string& commandLine) override;
};

}  // namespace tw
