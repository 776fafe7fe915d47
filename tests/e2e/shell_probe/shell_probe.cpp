// tidewell.exe with test seams, driven by the shell's end-to-end tests.
// Environment:
//   TW_PROBE_NOT_ADMIN=1      the administrator check answers false
//   TW_PROBE_VERSION_URL=...  the version query goes there (a local server)
//   TW_PROBE_VERSION_TIMEOUT_MS=n  and gives up after n ms instead of 15 s
//   TW_PROBE_LOG=C:\...       menus shown, strip texts and the web addresses
//                             the program would open are logged there
// Commands posted to the main window:
//   0x7F01 set g_bScanning, 0x7F02 clear the scan flags,
//   0x7F10+k send the main window status text k, 0x7F20 log the strip texts.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/run_control.h"
#include "app/shell_app.h"
#include "app/shell_hooks.h"
#include "app/status_strip.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

namespace {

std::string Env(const char* name) {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

void Log(const std::string& line) {
  std::string path = Env("TW_PROBE_LOG");
  if (path.empty()) return;
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

const char* const kStatusTexts[] = {
    "Scan: HKLM\\Software;Total: 3;Time: 0:0:1;",
    "SCAN: hklm\\software;total: 3;time: 0:0:1;",  // a change only in case
    ";x;y;",                                        // empty first field
    "a;b",                                          // only one ";"
};

bool Command(int id) {
  HWND main = tw::GetAppMainWindow();
  switch (id) {
    case 0x7F01:
      g_bScanning = 1;
      return true;
    case 0x7F02:
      tw::ClearScanFlags();
      return true;
    case 0x7F20: {
      std::string line = "strip";
      if (tw::CStatusStrip* strip = tw::GetStatusStrip()) {
        for (int i = 0; i < 3; ++i) line += "|" + strip->Text(i);
      }
      Log(line);
      return true;
    }
    default:
      if (id >= 0x7F10 && id < 0x7F10 + static_cast<int>(sizeof kStatusTexts / sizeof *kStatusTexts)) {
        SendMessageA(main, WM_SCAN_STATUS, reinterpret_cast<WPARAM>(kStatusTexts[id - 0x7F10]), 0);
        return true;
      }
      return false;
  }
}

void MenuShown(const char* where, const std::vector<tw::TrayMenuItem>& items) {
  std::string line = where;
  for (const auto& item : items) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %u:%u:%s", item.command, item.textId, item.grayed ? "gray" : "on");
    line += buf;
  }
  Log(line);
}

void SiteOpened(const char* url) { Log(std::string("site ") + url); }

bool NotAdministrator() { return false; }

std::string VersionUrl() { return Env("TW_PROBE_VERSION_URL"); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tw::ShellTestHooks& hooks = tw::TestHooks();
  if (Env("TW_PROBE_NOT_ADMIN") == "1") hooks.isAdministrator = NotAdministrator;
  if (!Env("TW_PROBE_VERSION_URL").empty()) hooks.versionQueryUrl = VersionUrl;
  hooks.versionTimeoutMs = std::strtoul(Env("TW_PROBE_VERSION_TIMEOUT_MS").c_str(), nullptr, 10);
  hooks.menuShown = MenuShown;
  hooks.siteOpened = SiteOpened;
  hooks.command = Command;
  tw::CShellApp app;
  return app.Run();
}
