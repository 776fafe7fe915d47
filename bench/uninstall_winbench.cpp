// The uninstall page under load, on the real tidewell.exe under Wine: an
// inventory of 1,000 uninstall entries, each with a usage-cache record and
// every other one with an icon in a real program file. Candidate: a click on
// the refresh button until the list is filled again and drawn (the click is
// sent, so it returns when the page has rebuilt its rows; the list is then
// made to paint, which reads the icons of the rows it shows). Baseline, timed
// in the same run in alternating rounds: a bare walk in this process that
// opens every entry and its usage record and reads all their values. A
// thread of this program sends WM_NULL to the main window every 25 ms
// throughout.
//
// Usage: uninstall_winbench.exe [--entries=N] [--rounds=N]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "e2e/driver.h"
#include "e2e/list_page_windows.h"
#include "page_winbench.h"

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kArpCache[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
const char kPrefix[] = "TidewellUninstallBench_";

std::string Name(int i) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%04d", kPrefix, i);
  return buf;
}

void SetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

bool Seed(int entries) {
  for (int i = 0; i < entries; ++i) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\" + Name(i)).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    char text[128];
    std::snprintf(text, sizeof text, "Bench Program %04d", (i * 7919) % entries);
    SetValue(key, "DisplayName", REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
    std::snprintf(text, sizeof text, "C:\\Program Files\\Bench %04d\\uninst.exe /S", i);
    SetValue(key, "UninstallString", REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
    if (i % 2) {
      const char icon[] = "C:\\windows\\regedit.exe,0";
      SetValue(key, "DisplayIcon", REG_SZ, icon, sizeof icon);
    }
    const char version[] = "1.0";
    SetValue(key, "DisplayVersion", REG_SZ, version, sizeof version);
    RegCloseKey(key);
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kArpCache) + "\\" + Name(i)).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    unsigned char info[552] = {};
    const unsigned long long size = 1024ULL * (i + 1) * 37;
    const unsigned long long used = 128000000000000000ULL + i * 864000000000ULL;
    const int times = i % 20;
    info[0] = 0x28;
    info[1] = 0x02;
    memcpy(info + 8, &size, 8);
    memcpy(info + 16, &used, 8);
    memcpy(info + 24, &times, 4);
    SetValue(key, "SlowInfoCache", REG_BINARY, info, sizeof info);
    RegCloseKey(key);
  }
  return true;
}

void Unseed(int entries) {
  for (int i = 0; i < entries; ++i) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\" + Name(i)).c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kArpCache) + "\\" + Name(i)).c_str());
  }
}

// Opens a key and reads each of its values; answers how many.
int ReadValues(HKEY parent, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  char valueName[260];
  BYTE data[1024];
  int read = 0;
  for (DWORD v = 0;; ++v) {
    DWORD nameLen = sizeof valueName, size = sizeof data, type = 0;
    if (RegEnumValueA(key, v, valueName, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    ++read;
  }
  RegCloseKey(key);
  return read;
}

// Opens every entry and its usage record and reads each of their values:
// the least any inventory of these entries has to do.
int BareWalk() {
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &root) != ERROR_SUCCESS) return 0;
  HKEY usage = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kArpCache, 0, KEY_READ, &usage);
  int read = 0;
  char name[260];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(root, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    read += ReadValues(root, name);
    if (usage) read += ReadValues(usage, name);
  }
  if (usage) RegCloseKey(usage);
  RegCloseKey(root);
  return read;
}

}  // namespace

int main(int argc, char** argv) {
  int entries = 1000, rounds = 7;
  for (int i = 1; i < argc; ++i) {
    if (!strncmp(argv[i], "--entries=", 10)) entries = std::atoi(argv[i] + 10);
    if (!strncmp(argv[i], "--rounds=", 9)) rounds = std::atoi(argv[i] + 9);
  }
  Unseed(entries);
  if (!Seed(entries)) {
    std::printf("uninstall: cannot seed the entries\n");
    Unseed(entries);
    return 1;
  }
  int rc = 0;
  {
    tw::e2e::CAppUnderTest app;
    tw::e2e::ListPageWindows ui;
    if (!app.Start() || !ui.Open(app, 1057, 1065) ||
        !tw::e2e::WaitFor([&] { return tw::e2e::ListViewRowCount(ui.list) >= entries; }, 120000)) {
      std::printf("uninstall: the page did not fill\n");
      rc = 1;
    } else {
      const HWND refresh = tw::e2e::FindControl(ui.page, 1069);
      int rows = 0;
      tw::bench::WaitForRegistrySave("uninstall", "the refreshes");
      tw::bench::CPinger pinger(ui.main);
      const double from = tw::bench::NowMs();
      // When each side ran: the window is judged on its round trips
      // throughout, and the ones sent while only the walk ran show what the
      // machine's load alone costs a round trip.
      std::vector<std::pair<double, double>> refreshes, walks;
      auto candidate = [&] {
        refreshes.emplace_back(tw::bench::NowMs(), 0);
        DWORD_PTR result = 0;
        SendMessageTimeoutA(ui.page, WM_COMMAND, MAKEWPARAM(1069, BN_CLICKED),
                            reinterpret_cast<LPARAM>(refresh), SMTO_NORMAL, 120000, &result);
        // The paint is sent to the list's thread: it returns once the rows
        // on view are drawn, their icons read.
        UpdateWindow(ui.list);
        rows = tw::e2e::ListViewRowCount(ui.list);
        refreshes.back().second = tw::bench::NowMs();
      };
      int values = 0;
      auto baseline = [&] {
        walks.emplace_back(tw::bench::NowMs(), 0);
        values = BareWalk();
        walks.back().second = tw::bench::NowMs();
      };
      const auto r = tw::bench::Compare(
          "uninstall: refresh of " + std::to_string(entries) + " entries vs bare walk", baseline,
          candidate, rounds, 0);
      tw::bench::Print(r);
      const auto rt = pinger.Between(from, tw::bench::NowMs());
      tw::bench::PrintRoundTrips("uninstall", "throughout", rt);
      tw::bench::CPinger::Stats during, idle;
      for (const auto& [start, end] : refreshes) during.Merge(pinger.Between(start, end));
      for (const auto& [start, end] : walks) idle.Merge(pinger.Between(start, end));
      tw::bench::PrintRoundTrips("uninstall", "during the refreshes", during);
      tw::bench::PrintRoundTrips("uninstall", "while only the walk ran", idle);
      if (rows < entries || values < entries * 4) {
        std::printf("uninstall: list has %d rows, the walk read %d values\n", rows, values);
        rc = 1;
      }
      rc |= tw::bench::Check(r, 1.5);
      if (rt.maxOwnMs >= tw::bench::kMaxRoundTripMs) {
        std::printf("uninstall: the window stalled during a refresh\n");
        rc = 1;
      }
    }
    app.End();
  }
  Unseed(entries);
  return rc;
}
