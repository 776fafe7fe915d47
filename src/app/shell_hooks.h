// Seams for the end-to-end tests. Every pointer is null in tidewell.exe:
// only a test program's own translation unit, linked into a separate test
// build of the shell, ever sets them, so the shipped program cannot be
// steered through them.
#pragma once

#include <string>
#include <vector>

#include "app/scan_status.h"

namespace tw {

struct ShellTestHooks {
  // Replaces the answer of the administrator check.
  bool (*isAdministrator)() = nullptr;
  // Told the items of the tray or strip menu each time one is shown.
  void (*menuShown)(const char* where, const std::vector<TrayMenuItem>& items) = nullptr;
  // Offered every main-window command first; true when it took it.
  bool (*command)(int id) = nullptr;
  // Replaces the configured version-query address.
  std::string (*versionQueryUrl)() = nullptr;
  // Replaces the version check's time-out (milliseconds) when not 0.
  unsigned long versionTimeoutMs = 0;
  // Told the maker's address instead of handing it to the browser.
  void (*siteOpened)(const char* url) = nullptr;
};

ShellTestHooks& TestHooks();

}  // namespace tw
