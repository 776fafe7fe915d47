// The system's own registry, files, shell and clock, made once by the main
// window and handed to every page as one Platform.
#pragma once

#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

namespace tw {

class CSystemServices {
 public:
  CSystemServices() = default;
  CSystemServices(const CSystemServices&) = delete;
  CSystemServices& operator=(const CSystemServices&) = delete;

  Platform Services();

 private:
  CWin32Registry m_registry;
  CWin32FileSystem m_files;
  CWin32Shell m_shell;
};

}  // namespace tw
