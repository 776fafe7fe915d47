// A generated registry for the scan benchmarks: the four hives with a
// realistic mix of keys and values — vendor trees with paths that exist,
// paths that are gone, quoted commands with arguments, environment-variable
// paths and plain texts and numbers; COM classes, type libraries, uninstall
// entries and file associations, some of them stale. Deterministic for a
// given key count. Both the native and the Windows benchmark use it, with
// the same list of files that exist.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tw::bench {

// Files that exist on a fresh Wine prefix; the native benchmark creates them
// in its in-memory file system.
inline const std::vector<std::string>& ExistingFiles() {
  static const std::vector<std::string> files = {
      "C:\\windows\\notepad.exe",          "C:\\windows\\regedit.exe",
      "C:\\windows\\system32\\kernel32.dll", "C:\\windows\\system32\\user32.dll",
      "C:\\windows\\system32\\ole32.dll",    "C:\\windows\\system32\\oleaut32.dll",
      "C:\\windows\\system32\\shell32.dll",  "C:\\windows\\system32\\comctl32.dll",
      "C:\\windows\\system32\\advapi32.dll", "C:\\windows\\system32\\msxml3.dll",
      "C:\\windows\\system32\\stdole2.tlb",  "C:\\windows\\system32\\cmd.exe",
  };
  return files;
}

class CRegistryGenerator {
 public:
  explicit CRegistryGenerator(IRegistry& reg) : m_reg(reg) {}

  // Creates about `keys` keys below the four roots (HKEY_CLASSES_ROOT is
  // written through HKEY_LOCAL_MACHINE\SOFTWARE\Classes, as on Windows).
  // Answers the number of keys made.
  std::size_t Generate(std::size_t keys) {
    m_made = 0;
    const std::size_t classes = keys * 30 / 100;
    const std::size_t machine = keys * 40 / 100;
    const std::size_t user = keys * 22 / 100;
    const std::string cls = "SOFTWARE\\Classes";
    // Classes: COM servers (2 keys each), type libraries (4 each),
    // extensions with their class (1 + 1..4), and ProgIDs.
    std::size_t n = 0;
    for (std::size_t i = 0; m_made < classes * 35 / 100; ++i) {
      const std::string id = Guid(i);
      const std::string server = cls + "\\CLSID\\" + id + "\\InprocServer32";
      Put(kHkeyLocalMachine, cls + "\\CLSID\\" + id, "", kRegSz, Sz("Component " + std::to_string(i)));
      Put(kHkeyLocalMachine, server, "", kRegSz, Sz(PathValue(i)));
      Put(kHkeyLocalMachine, server, "ThreadingModel", kRegSz, Sz("Apartment"));
    }
    for (std::size_t i = 0; m_made < classes * 55 / 100; ++i) {
      const std::string lib = cls + "\\TypeLib\\" + Guid(i + 7777777);
      Put(kHkeyLocalMachine, lib + "\\1.0", "", kRegSz, Sz("Library " + std::to_string(i)));
      Put(kHkeyLocalMachine, lib + "\\1.0\\0\\win32", "", kRegSz,
          Sz(i % 5 == 0 ? "C:\\Program Files\\Gone" + std::to_string(i) + "\\lib.tlb"
                        : ExistingFiles()[10]));
    }
    for (std::size_t i = 0; m_made < classes * 85 / 100; ++i) {
      const std::string ext = cls + "\\.x" + std::to_string(i);
      const std::string name = "App" + std::to_string(i) + ".File";
      Put(kHkeyLocalMachine, ext, "", kRegSz, Sz(name));
      Put(kHkeyLocalMachine, ext, "Content Type", kRegSz, Sz("application/x-" + std::to_string(i)));
      switch (i % 4) {
        case 0: Key(kHkeyLocalMachine, cls + "\\" + name); break;  // dead
        case 1:
          Put(kHkeyLocalMachine, cls + "\\" + name + "\\shell\\open\\command", "", kRegSz,
              Sz("\"" + PathValue(i) + "\" \"%1\""));
          break;
        case 2: Put(kHkeyLocalMachine, cls + "\\" + name, "FriendlyTypeName", kRegSz, Sz("File")); break;
        default:
          Put(kHkeyLocalMachine, cls + "\\" + name + "\\DefaultIcon", "", kRegSz, Sz(PathValue(i) + ",0"));
      }
    }
    while (m_made < classes) Tree(kHkeyLocalMachine, cls + "\\Prog" + std::to_string(n++), 2, classes);
    // Machine: vendor trees and uninstall entries.
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    for (std::size_t i = 0; i < machine / 40 + 1; ++i) {
      const std::string entry = uninstall + "\\Product" + std::to_string(i);
      if (i % 3) Put(kHkeyLocalMachine, entry, "UninstallString", kRegSz, Sz(PathValue(i) + " /uninstall"));
      Put(kHkeyLocalMachine, entry, "DisplayName", kRegSz, Sz("Product " + std::to_string(i)));
    }
    const std::size_t machineEnd = classes + machine;
    while (m_made < machineEnd) Tree(kHkeyLocalMachine, "SOFTWARE\\Vendor" + std::to_string(n++), 4, machineEnd);
    const std::size_t userEnd = machineEnd + user;
    while (m_made < userEnd) Tree(kHkeyCurrentUser, "Software\\Vendor" + std::to_string(n++), 4, userEnd);
    while (m_made < keys) Tree(kHkeyUsers, ".DEFAULT\\Software\\Vendor" + std::to_string(n++), 3, keys);
    return m_made;
  }

 private:
  static std::string Sz(const std::string& s) { return s + std::string(1, '\0'); }

  std::uint32_t Next() {
    m_seed = m_seed * 1103515245u + 12345u;
    return (m_seed >> 8) & 0xFFFFFF;
  }

  static std::string Guid(std::size_t i) {
    char text[48];
    std::snprintf(text, sizeof text, "{%08X-1234-5678-9ABC-%012zX}", static_cast<unsigned>(i * 2654435761u),
                  i);
    return text;
  }

  // Existing files, gone files, and texts that only look a little like paths.
  std::string PathValue(std::size_t i) {
    const std::uint32_t r = Next() % 100;
    const std::vector<std::string>& files = ExistingFiles();
    if (r < 55) return files[i % files.size()];
    if (r < 70) return "C:\\Program Files\\Gone" + std::to_string(i % 997) + "\\app.exe";
    if (r < 80) return "C:\\Program Files\\Vendor\\Tool " + std::to_string(i) + "\\tool.dll";
    if (r < 90) return "D:\\Data\\file" + std::to_string(i) + ".dat";
    return "E:\\setup.exe";
  }

  void Key(RegKey root, const std::string& path) {
    RegKey key = 0;
    if (m_reg.CreateKey(root, path, &key) == kErrorSuccess) m_reg.CloseKey(key);
    ++m_made;
  }

  void Put(RegKey root, const std::string& path, const std::string& name, std::uint32_t type,
           const std::string& data) {
    RegKey key = 0;
    if (m_reg.CreateKey(root, path, &key) != kErrorSuccess) return;
    m_reg.SetValue(key, name, type, data.data(), data.size());
    m_reg.CloseKey(key);
    if (path != m_lastPath) ++m_made;
    m_lastPath = path;
  }

  // A vendor tree: keys with 0..5 values of every kind, up to `depth` deep.
  void Tree(RegKey root, const std::string& path, int depth, std::size_t limit) {
    RegKey key = 0;
    if (m_reg.CreateKey(root, path, &key) != kErrorSuccess) return;
    ++m_made;
    m_lastPath = path;
    const std::uint32_t values = Next() % 6;
    for (std::uint32_t v = 0; v < values; ++v) {
      const std::uint32_t r = Next() % 100;
      const std::string name = "Value" + std::to_string(v);
      std::string data;
      std::uint32_t type = kRegSz;
      if (r < 35) {
        data = Sz(PathValue(m_made + v));
      } else if (r < 45) {
        data = Sz("\"" + PathValue(m_made + v) + "\" -embedding /s");
      } else if (r < 55) {
        type = kRegExpandSz;
        data = Sz("%SystemRoot%\\system32\\x" + std::to_string(v) + ".dll");
      } else if (r < 75) {
        data = Sz("Some setting " + std::to_string(Next()));
      } else if (r < 90) {
        type = kRegDword;
        const std::uint32_t d = Next();
        data.assign(reinterpret_cast<const char*>(&d), 4);
      } else {
        type = kRegBinary;
        data.assign(16 + Next() % 48, static_cast<char>(v));
      }
      m_reg.SetValue(key, name, type, data.data(), data.size());
    }
    m_reg.CloseKey(key);
    if (depth <= 1) return;
    const std::uint32_t children = 1 + Next() % 4;
    for (std::uint32_t c = 0; c < children && m_made < limit; ++c) {
      Tree(root, path + "\\Sub" + std::to_string(c), depth - 1, limit);
    }
  }

  IRegistry& m_reg;
  std::uint32_t m_seed = 20240307u;
  std::size_t m_made = 0;
  std::string m_lastPath;
};

// The baseline: open every key below the four roots and enumerate every
// value, as a walk that judges nothing would. Answers the keys opened.
inline std::size_t BareWalk(IRegistry& reg) {
  std::size_t opened = 0;
  std::function<void(RegKey)> walk = [&](RegKey key) {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0;
         reg.EnumValue(key, i, &name, &type, &data, kBufferSize, kBufferSize) == kErrorSuccess; ++i) {
    }
    for (std::uint32_t i = 0; reg.EnumKey(key, i, &name) == kErrorSuccess; ++i) {
      RegKey sub = 0;
      if (reg.OpenKey(key, name, kKeyRead, &sub) != kErrorSuccess) continue;
      ++opened;
      walk(sub);
      reg.CloseKey(sub);
    }
  };
  for (RegKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers}) {
    RegKey key = 0;
    if (reg.OpenKey(root, "", kKeyRead, &key) != kErrorSuccess) continue;
    walk(key);
    reg.CloseKey(key);
  }
  return opened;
}

}  // namespace tw::bench

#include <chrono>

#include "platform/run_control.h"
#include "registry_cleaner/registry_scanner.h"

namespace tw::bench {

class CCollectingSink : public IScanSink {
 public:
  void OnScanKey(const std::string&) override { ++keys; }
  void OnFinding(const RegistryFinding& f) override { findings.push_back(f); }
  std::size_t keys = 0;
  std::vector<RegistryFinding> findings;
};

// Every category in list order, as a scan with all boxes ticked runs them.
inline std::vector<RegistryFinding> FullScan(IRegistry& reg, IFileSystem& fs, bool cache = true) {
  CRunControl run;
  CCollectingSink sink;
  CRegistryScanner scanner(reg, fs, run, sink, ScanTexts(), cache);
  for (const ScanCategoryInfo& info : kScanCategories) scanner.RunCategory(info.id);
  return sink.findings;
}

inline double NowMillis() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

inline double Millis(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct ScanTiming {
  double scanMs = 0, bareMs = 0;
  std::size_t findings = 0, keysOpened = 0;
};

// Alternating rounds of bare walk and scan; the medians of each.
inline ScanTiming TimeScan(IRegistry& reg, IFileSystem& fs, int rounds) {
  std::vector<double> scan, bare;
  ScanTiming t;
  for (int i = 0; i < rounds; ++i) {
    auto doBare = [&] { bare.push_back(Millis([&] { t.keysOpened = BareWalk(reg); })); };
    auto doScan = [&] { scan.push_back(Millis([&] { t.findings = FullScan(reg, fs).size(); })); };
    if (i % 2) {
      doScan();
      doBare();
    } else {
      doBare();
      doScan();
    }
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  t.scanMs = median(scan);
  t.bareMs = median(bare);
  return t;
}

inline void PrintTiming(const char* where, std::size_t keys, const ScanTiming& t) {
  std::printf(
      "regscan %s %zu keys: ratio %.2f (full scan %.1f ms, bare walk %.1f ms; %.2f us per key "
      "scanned; %zu keys opened, %zu findings)\n",
      where, keys, t.scanMs / t.bareMs, t.scanMs, t.bareMs, t.scanMs * 1000.0 / keys, t.keysOpened,
      t.findings);
  std::fflush(stdout);
}

}  // namespace tw::bench
