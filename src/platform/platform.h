// The set of system services an engine or page is given. The application
// makes them once (on the system's own registry, files, shell and clock) and
// hands the same set to every page; tests hand in the in-memory ones.
#pragma once

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system_clock.h"

namespace tw {

struct Platform {
  IRegistry* registry = nullptr;
  IFileSystem* files = nullptr;
  IShell* shell = nullptr;
  ISystemClock* clock = nullptr;
};

}  // namespace tw
