// Starting a program's uninstaller from its record.
#pragma once

#include "platform/file_system.h"
#include "uninstall/installed_program.h"

namespace tw {

// Starts the record's uninstall command without waiting for it. A command
// that cannot be started but names an installer package (".msi" past its
// first character, in any letter case) is handed to the Windows Installer,
// then the installer is asked for the product by its code (the key name).
// The record keeps the lower-cased command after a failed start. True when
// something was started.
bool StartUninstaller(IShell& shell, InstalledProgram& record);

}  // namespace tw
