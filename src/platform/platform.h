// The set of platform services an engine or page is given.
#pragma once

#include "platform/file_system.h"
#include "platform/registry.h"

namespace tw {

struct Platform {
  IRegistry* registry = nullptr;
  IFileSystem* files = nullptr;
  IShell* shell = nullptr;
};

}  // namespace tw
