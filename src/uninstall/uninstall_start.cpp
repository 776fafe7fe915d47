#include "uninstall/uninstall_start.h"

#include "platform/text.h"

namespace tw {

bool StartUninstaller(IShell& shell, InstalledProgram& record) {
  if (shell.CreateProcess(record.uninstallCommand)) return true;
  record.uninstallCommand = LowerCase(record.uninstallCommand);
  const std::size_t msi = FindText(record.uninstallCommand, ".msi");
  if (msi == std::string::npos || msi == 0) return false;
  if (shell.CreateProcess("MsiExec.exe /I" + record.uninstallCommand)) return true;
  return shell.CreateProcess("MsiExec.exe /I" + record.keyName);
}

}  // namespace tw
