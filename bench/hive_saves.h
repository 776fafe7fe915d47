// When Wine's server last wrote the registry to disk. The server keeps the
// registry in memory and, every 30 s, writes each branch changed since its
// last save whole to its file in the prefix folder (user.reg, system.reg,
// userdef.reg), through a temporary file renamed over it. It answers no
// other request meanwhile, and a message sent to a window of another thread
// goes through it: with 100,000 keys in a hive that save alone can hold a
// round trip longer than any page's own step. Windows does not hold callers
// while it flushes the registry, so the benchmarks tell these stalls apart
// from the program's own.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tw::bench {

// The system clock in FILETIME units (100 ns since 1601, UTC), the clock a
// file's write time is kept in.
inline unsigned long long SystemTicks() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

class CHiveSaves {
 public:
  // The hive files of the prefix named by WINEPREFIX, reached through Wine's
  // path form for host paths; none outside Wine.
  CHiveSaves() {
    char prefix[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (n == 0 || n >= sizeof prefix || prefix[0] != '/') return;
    std::string folder = std::string("\\\\?\\unix") + prefix;
    for (char& c : folder) {
      if (c == '/') c = '\\';
    }
    if (folder.back() != '\\') folder += '\\';
    for (const char* name : {"user.reg", "system.reg", "userdef.reg"}) {
      const std::string path = folder + name;
      if (WriteTicks(path)) m_files.push_back(path);
    }
  }

  bool Known() const { return !m_files.empty(); }

  // The latest write time of any hive file (SystemTicks units); 0 when none
  // can be read.
  unsigned long long LastSave() const {
    unsigned long long latest = 0;
    for (const std::string& f : m_files) latest = std::max(latest, WriteTicks(f));
    return latest;
  }

  // Whether the server finished a save between the two SystemTicks times.
  // The write time is taken by the host when the file's last block is
  // written, a moment before the rename that ends the save: a little slack
  // on both sides.
  bool SavedBetween(unsigned long long from, unsigned long long to) const {
    constexpr unsigned long long kSlack = 20000;  // 2 ms
    const unsigned long long t = LastSave();
    return t && t + kSlack >= from && t <= to + kSlack;
  }

  // Waits until the server has saved the registry once after this call, so
  // that what a benchmark's set-up wrote is on disk before a timed phase
  // starts. A mark of its own makes sure there is something to save; it
  // stays until this object goes, since taking it away would make the hive
  // dirty again 30 s into the timed phase. The server saves every 30 s:
  // answers false after timeoutMs without a save.
  bool WaitForNextSave(DWORD timeoutMs = 35000) {
    if (!Known()) return false;
    const unsigned long long since = SystemTicks();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kMark, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      m_marked = true;
      RegSetValueExA(key, "Since", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&since), sizeof since);
      RegCloseKey(key);
    }
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    bool saved = false;
    while (!saved && GetTickCount64() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      saved = LastSave() > since;
    }
    return saved;
  }

  CHiveSaves(const CHiveSaves&) = delete;
  CHiveSaves& operator=(const CHiveSaves&) = delete;
  ~CHiveSaves() {
    if (m_marked) RegDeleteKeyA(HKEY_CURRENT_USER, kMark);
  }

 private:
  static unsigned long long WriteTicks(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
  }
  static constexpr const char* kMark = "Software\\TidewellBenchHiveSave";
  std::vector<std::string> m_files;
  bool m_marked = false;
};

}  // namespace tw::bench
