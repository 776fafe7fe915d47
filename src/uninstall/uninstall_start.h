// Starting a program's uninstaller from its record.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "uninstall/installed_program.h"

namespace tw {

// The command line to start for an uninstall command, with its program put
// between quotes: a quoted program as it is; otherwise the longest leading
// part that names an existing file (so "C:\Program Files\App\unins.exe /x"
// never starts a "C:\Program.exe"); a bare name is taken from the system
// folder or the Windows folder, never from the current one. Empty when no
// program can be found.
std::string UninstallCommandLine(IFileSystem& fs, const std::string& command);

// Starts the record's uninstall command without waiting for it. A command
// that cannot be started but names an installer package (".msi" past its
// first character, in any letter case) is handed to the Windows Installer
// (msiexec.exe of the system folder), then the installer is asked for the
// product by its code (the key name). The record keeps the lower-cased
// command after a failed start. True when something was started.
bool StartUninstaller(IShell& shell, IFileSystem& fs, InstalledProgram& record);

}  // namespace tw
