// The registry page under load, on the real tidewell.exe under Wine: a scan
// of a prefix with 100,000 extra keys against a bare walk of the same hive,
// and a result list of 100,000 findings, listed and then deleted with
// "delete all". A thread of this program sends WM_NULL to the main window
// every 25 ms throughout; the interface keeps answering when every round trip
// stays under kMaxRoundTripMs (50 ms).
//
// Aims: listing the findings at most 1.05 times the core scanner alone
// producing the same rows, "delete all" at most 1.2 times the deletion
// engine alone.
//
// Baselines, timed in the same run: a bare RegEnumKeyEx/RegEnumValue walk and
// the core scanner in this process (for the scan, in alternating rounds); the
// core scanner on the same findings (for the list); the deletion engine on
// the same rows, once before the page and once after it, their mean (for
// delete all).
//
// Only the category "HKEY_CURRENT_USER" is ticked: it reaches the seeded keys
// below HKCU\Software\TidewellRegPageBenchSandbox, and HKEY_USERS (which holds
// the same user's hive under Wine) would list every stale entry twice.
// The keys are seeded through the registry API, which was faster here than
// "regedit /s" of a generated file (10,000 keys: 3.1 s against 4.1 s).
//
// --only=memory measures, in this process and without the page, where a
// listing's memory goes: the core scanner alone, and the found rows kept the
// way the page keeps them.
//
// Usage: regpage_winbench.exe [--seed=api|regedit] [--keys=N] [--rounds=N]
//        [--only=scan|list|memory] [--list-rounds=N]
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/windows_version.h"
#include "e2e/driver.h"
#include "e2e/regpage_windows.h"
#include "call_profile.h"
#include "page_winbench.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "reg_export/reg_export_file.h"
#include "registry_cleaner/registry_deletion.h"
#include "registry_cleaner/registry_row_store.h"
#include "registry_cleaner/registry_scanner.h"

namespace {

using tw::bench::CPinger;
using tw::bench::kMaxRoundTripMs;
using tw::bench::NowMs;
using tw::bench::PollUntil;
using tw::e2e::CAppUnderTest;

double Median(const std::vector<double>& v) { return tw::bench::MedianMs(v); }
void PrintRoundTrips(const char* what, const CPinger::Stats& s) {
  tw::bench::PrintRoundTrips("regpage", what, s);
}

constexpr double kMaxListRatio = 1.05;
constexpr double kMaxDeleteRatio = 1.2;

const char kSandbox[] = "Software\\TidewellRegPageBenchSandbox";
const char kScratch[] = "C:\\tidewell_regpage_bench";
constexpr int kCategoryRowCurrentUser = 1;  // list position of " 扫描 HKEY_CURRENT_USER"

// --- seeding ------------------------------------------------------------------

struct SeedValue {
  std::string name;
  DWORD type = REG_SZ;
  std::string text;  // REG_SZ data
  DWORD number = 0;  // REG_DWORD data
};
struct SeedKey {
  std::string path;  // below HKEY_CURRENT_USER
  std::vector<SeedValue> values;
};

bool SeedByApi(const std::vector<SeedKey>& keys) {
  for (const SeedKey& k : keys) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, k.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      std::printf("regpage: cannot create HKCU\\%s\n", k.path.c_str());
      return false;
    }
    for (const SeedValue& v : k.values) {
      if (v.type == REG_DWORD) {
        RegSetValueExA(key, v.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number),
                       sizeof v.number);
      } else {
        RegSetValueExA(key, v.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                       static_cast<DWORD>(v.text.size() + 1));
      }
    }
    RegCloseKey(key);
  }
  return true;
}

std::string RegEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// The registry editor's own import of a generated file (ANSI, "REGEDIT4").
bool SeedByRegedit(const std::vector<SeedKey>& keys) {
  CreateDirectoryA(kScratch, nullptr);
  const std::string file = std::string(kScratch) + "\\seed.reg";
  std::string text = "REGEDIT4\r\n\r\n";
  char number[32];
  for (const SeedKey& k : keys) {
    text.append("[HKEY_CURRENT_USER\\").append(k.path).append("]\r\n");
    for (const SeedValue& v : k.values) {
      text.append("\"").append(RegEscape(v.name)).append("\"=");
      if (v.type == REG_DWORD) {
        std::snprintf(number, sizeof number, "dword:%08lx\r\n", v.number);
        text += number;
      } else {
        text.append("\"").append(RegEscape(v.text)).append("\"\r\n");
      }
    }
    text += "\r\n";
  }
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(h);
  const DWORD code = ok ? tw::e2e::RunAndWait("regedit.exe /s \"" + file + "\"", 600000) : 1;
  DeleteFileA(file.c_str());
  return ok && code == 0;
}

// Keys (the one named included) and values below root\path.
struct TreeCount {
  std::size_t keys = 0, values = 0;
};

TreeCount CountTree(HKEY root, const std::string& path) {
  TreeCount count;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return count;
  DWORD subkeys = 0, values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  count.keys = 1;
  count.values = values;
  char name[260];
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const TreeCount below = CountTree(key, name);
    count.keys += below.keys;
    count.values += below.values;
  }
  RegCloseKey(key);
  return count;
}

std::size_t CountValues(HKEY root, const std::string& path) { return CountTree(root, path).values; }

void RemoveSandbox() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSandbox);
  RegDeleteKeyA(HKEY_CURRENT_USER, kSandbox);
  DeleteFileA((std::string(kScratch) + "\\seed.reg").c_str());
  RemoveDirectoryA(kScratch);
}

// Whatever happens, the sandbox goes when the program ends.
struct CSandboxGuard {
  CSandboxGuard() { RemoveSandbox(); }
  ~CSandboxGuard() { RemoveSandbox(); }
};

// 100,000 keys (groups of 1,000), every one with values a scan examines and
// finds fine: a text, a number, and in one key of ten a path that exists.
std::vector<SeedKey> ValidKeys(std::size_t count) {
  std::vector<SeedKey> keys;
  char path[160];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(path, sizeof path, "%s\\Scan\\g%03zu\\k%04zu", kSandbox, i / 1000, i % 1000);
    SeedKey k{path, {}};
    k.values.push_back({"Text", REG_SZ, "Item " + std::to_string(i), 0});
    k.values.push_back({"Size", REG_DWORD, "", static_cast<DWORD>(i)});
    if (i % 10 == 0) k.values.push_back({"Command", REG_SZ, "C:\\windows\\notepad.exe", 0});
    keys.push_back(std::move(k));
  }
  return keys;
}

// `count` values (1,000 per key), each naming a library in a folder that does
// not exist: one finding apiece.
std::vector<SeedKey> StaleValues(std::size_t count) {
  std::vector<SeedKey> keys;
  char path[160], name[32], data[160];
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 1000 == 0) {
      std::snprintf(path, sizeof path, "%s\\Stale\\g%03zu", kSandbox, i / 1000);
      keys.push_back({path, {}});
    }
    std::snprintf(name, sizeof name, "v%04zu", i % 1000);
    std::snprintf(data, sizeof data, "%s\\gone\\g%03zu\\lib%04zu.dll", kScratch, i / 1000, i % 1000);
    keys.back().values.push_back({name, REG_SZ, data, 0});
  }
  return keys;
}

bool Seed(const std::vector<SeedKey>& keys, bool regedit, const char* what) {
  bool ok = false;
  const double ms = [&] {
    const double t0 = NowMs();
    ok = regedit ? SeedByRegedit(keys) : SeedByApi(keys);
    return NowMs() - t0;
  }();
  // The registry editor answers 0 even when it imported nothing: count.
  std::size_t values = 0;
  for (const SeedKey& k : keys) values += k.values.size();
  const TreeCount there = CountTree(HKEY_CURRENT_USER, kSandbox);
  const std::size_t keysThere = there.keys;
  const std::size_t valuesThere = there.values;
  std::printf("regpage seed %s: %zu keys, %zu values by %s in %.1f s (%zu keys, %zu values there)\n",
              what, keys.size(), values, regedit ? "regedit /s" : "the registry API", ms / 1000,
              keysThere, valuesThere);
  ok = ok && keysThere >= keys.size() && valuesThere == values;
  std::fflush(stdout);
  return ok;
}

// --- baselines ------------------------------------------------------------------

// Opens every key of the hive and reads every value, judging nothing.
std::size_t BareWalk(HKEY key) {
  std::size_t opened = 0;
  char name[260];
  BYTE data[260];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name, size = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub = nullptr;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    opened += 1 + BareWalk(sub);
    RegCloseKey(sub);
  }
  return opened;
}

class CCountingSink : public tw::IScanSink {
 public:
  void OnScanKey(const std::string&) override {}
  void OnFinding(const tw::RegistryFinding& f) override {
    ++findings;
    if (keep) {
      rows.push_back({f.location, f.description, f.valueName, static_cast<int>(f.category), false});
    }
  }
  std::size_t findings = 0;
  bool keep = false;
  std::vector<tw::RegistryRow> rows;
};

// The bare walk's calls, counted as the profile counts the scanner's.
std::size_t CountedBareWalk(HKEY key, tw::bench::CallProfile& p) {
  std::size_t opened = 0;
  char name[260];
  BYTE data[260];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name, size = sizeof data, type = 0;
    ++p.calls[tw::bench::CallProfile::kEnumValue];
    if (RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    ++p.calls[tw::bench::CallProfile::kEnumKey];
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub = nullptr;
    ++p.calls[tw::bench::CallProfile::kOpen];
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    opened += 1 + CountedBareWalk(sub, p);
    ++p.calls[tw::bench::CallProfile::kClose];
    RegCloseKey(sub);
  }
  return opened;
}

// The same walk through the program's registry layer: what its text
// conversions cost apart from anything the scanner judges.
std::size_t LayerWalk(tw::IRegistry& reg, tw::RegKey key) {
  std::size_t opened = 0;
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; reg.EnumValue(key, i, &name, &type, &data, tw::kBufferSize,
                                          tw::kBufferSize) == tw::kErrorSuccess;
       ++i) {
  }
  for (std::uint32_t i = 0; reg.EnumKey(key, i, &name) == tw::kErrorSuccess; ++i) {
    tw::RegKey sub = 0;
    if (reg.OpenKey(key, name, tw::kKeyRead, &sub) != tw::kErrorSuccess) continue;
    opened += 1 + LayerWalk(reg, sub);
    reg.CloseKey(sub);
  }
  return opened;
}

void ProfileScanOnce();

// One untimed pass of each walk over HKEY_CURRENT_USER: its registry calls
// by kind, its wall time and the CPU its own thread spent (what the server
// spends answering is the rest of the wall time).
void ProfileScan() {
  // Twice in turn, so that a stall of the server in one pass shows as a
  // difference between the passes.
  for (int pass = 0; pass < 2; ++pass) ProfileScanOnce();
}

void ProfileScanOnce() {
  using tw::bench::CallProfile;
  auto OwnThreadCpuMs = [] { return tw::bench::ThreadCpuMs(GetCurrentThread()); };
  auto report = [](const char* what, std::size_t keys, double wallMs, double cpuMs,
                   const CallProfile& p) {
    p.Print("regpage", what, keys, wallMs);
    std::printf("regpage profile %s: this thread's CPU %.1f ms of %.1f ms\n", what, cpuMs, wallMs);
    std::fflush(stdout);
  };
  {
    CallProfile p;
    const double c0 = OwnThreadCpuMs(), t0 = NowMs();
    const std::size_t keys = CountedBareWalk(HKEY_CURRENT_USER, p);
    report("bare walk (the system's ANSI calls)", keys, NowMs() - t0, OwnThreadCpuMs() - c0, p);
  }
  {
    CallProfile p;
    tw::bench::CProfiledRegistry<tw::CWin32Registry> reg(p);
    tw::RegKey root = 0;
    reg.OpenKey(tw::kHkeyCurrentUser, "", tw::kKeyRead, &root);
    const double c0 = OwnThreadCpuMs(), t0 = NowMs();
    p.on = true;
    const std::size_t keys = LayerWalk(reg, root);
    p.on = false;
    const double wall = NowMs() - t0, cpu = OwnThreadCpuMs() - c0;
    reg.CloseKey(root);
    report("bare walk through the registry layer", keys, wall, cpu, p);
  }
  {
    CallProfile p;
    tw::bench::CProfiledRegistry<tw::CWin32Registry> reg(p);
    tw::bench::CProfiledFileSystem<tw::CWin32FileSystem> fs(p);
    tw::CRunControl run;
    CCountingSink sink;
    const double c0 = OwnThreadCpuMs(), t0 = NowMs();
    p.on = true;
    tw::CRegistryScanner scanner(reg, fs, run, sink);
    scanner.RunCategory(tw::ScanCategory::kCurrentUser);
    p.on = false;
    report("core scanner", p.calls[CallProfile::kOpenNoFollow], NowMs() - t0,
           OwnThreadCpuMs() - c0, p);
  }
}

// The same scan in this process, without the page: its time and its rows.
double CoreScan(CCountingSink* sink) {
  tw::CWin32Registry reg;
  tw::CWin32FileSystem fs;
  tw::CRunControl run;
  const double t0 = NowMs();
  tw::CRegistryScanner scanner(reg, fs, run, *sink);
  scanner.RunCategory(tw::ScanCategory::kCurrentUser);
  return NowMs() - t0;
}

// The page's deletion engine in this process, without the page: every row
// written to one backup file and removed. Answers its time, 0 on failure.
double CoreDeleteAll(const std::vector<tw::RegistryRow>& found) {
  tw::CWin32Registry reg;
  tw::CWin32FileSystem fs;
  tw::CRegistryRowStore rows;
  for (const tw::RegistryRow& row : found) rows.Append(row);
  CreateDirectoryA(kScratch, nullptr);
  const std::string path = std::string(kScratch) + "\\core.reg";
  DeleteFileA(path.c_str());
  const double t0 = NowMs();
  tw::CRegExportFile file(reg, fs);
  std::string opened;
  if (file.OpenNew(path, &opened) != tw::kErrorSuccess || file.WriteHeader(tw::kWinNt5) != tw::kErrorSuccess) {
    return 0;
  }
  long left = static_cast<long>(rows.Size()), deleted = 0;
  tw::CRegistryDeletion deletion(
      [&](const tw::RegistryRow& row) {
        tw::RegistryFinding f;
        f.location = row.location;
        f.description = row.description;
        f.valueName = row.valueName;
        f.category = static_cast<tw::ScanCategory>(row.category);
        const long r = ExportAndRemoveFinding(file, row.location, f);
        if (file.WriteError() != tw::kErrorSuccess) return tw::CRegistryDeletion::Outcome::kStop;
        return r == tw::kErrorSuccess || r == tw::kErrorFileNotFound
                   ? tw::CRegistryDeletion::Outcome::kRemoved
                   : tw::CRegistryDeletion::Outcome::kKept;
      },
      [](const std::string&) {});
  const long count = deletion.Delete(&rows, true, &left, &deleted);
  file.Close();
  const double ms = NowMs() - t0;
  DeleteFileA(opened.c_str());
  return count > 0 && rows.Empty() ? ms : 0;
}

// --- where the memory goes ------------------------------------------------------

std::size_t OwnWorkingSet() { return tw::bench::WorkingSetBytes(GetCurrentProcess()); }

std::size_t OwnPeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
             ? counters.PeakWorkingSetSize
             : 0;
}

void PrintGrowth(const char* what, std::size_t before, std::size_t after, std::size_t rows) {
  const double perRow =
      rows ? (static_cast<double>(after) - static_cast<double>(before)) / rows : 0;
  std::printf("regpage memory %s: %.0f bytes a row (%.1f MB to %.1f MB, %zu rows)\n", what, perRow,
              before / 1048576.0, after / 1048576.0, rows);
  std::fflush(stdout);
}

// The scanner's rows as the page's worker hands them over: queued one by
// one, taken out in one batch and moved into the list's vector.
class CQueueingSink : public tw::IScanSink {
 public:
  void OnScanKey(const std::string&) override {}
  void OnFinding(const tw::RegistryFinding& f) override {
    queue.push_back({f.location, f.description, f.valueName, static_cast<int>(f.category), false,
                     f.classesHive});
  }
  std::deque<tw::RegistryRow> queue;
};

// The rows as the page's worker hands them over now: into a block of compact
// rows that the list's store takes every 2,000 rows.
class CBlockSink : public tw::IScanSink {
 public:
  void OnScanKey(const std::string&) override {}
  void OnFinding(const tw::RegistryFinding& f) override {
    block.Append(f.location, f.description, f.valueName, static_cast<int>(f.category), false,
                 f.classesHive);
    if (block.Size() == 2000) listed.Take(&block);
  }
  tw::CRegistryRowStore block, listed;
};

// Each figure is the working set of this process after the step against
// before it; freed small blocks between live ones stay in it.
void MeasureMemory(std::size_t seeded) {
  tw::CWin32Registry reg;
  tw::CWin32FileSystem fs;
  tw::CRunControl run;
  {
    const std::size_t before = OwnWorkingSet();
    CCountingSink sink;
    {
      tw::CRegistryScanner scanner(reg, fs, run, sink);
      scanner.RunCategory(tw::ScanCategory::kCurrentUser);
      PrintGrowth("the core scanner alone, its caches still held", before, OwnWorkingSet(),
                  sink.findings);
    }
    PrintGrowth("the core scanner alone, after it ended", before, OwnWorkingSet(), sink.findings);
  }
  std::size_t rows = 0;
  {
    const std::size_t before = OwnWorkingSet();
    CQueueingSink sink;
    {
      tw::CRegistryScanner scanner(reg, fs, run, sink);
      scanner.RunCategory(tw::ScanCategory::kCurrentUser);
    }
    rows = sink.queue.size();
    PrintGrowth("rows queued by the scan", before, OwnWorkingSet(), rows);
    std::deque<tw::RegistryRow> taken;
    taken.swap(sink.queue);
    std::vector<tw::RegistryRow> batch(std::make_move_iterator(taken.begin()),
                                       std::make_move_iterator(taken.end()));
    PrintGrowth("rows moved into a batch, the queue still held", before, OwnWorkingSet(), rows);
    taken.clear();
    taken.shrink_to_fit();
    std::vector<tw::RegistryRow> listed;
    listed.reserve(batch.size());
    for (auto& row : batch) listed.push_back(std::move(row));
    batch.clear();
    batch.shrink_to_fit();
    PrintGrowth("rows listed, queue and batch freed", before, OwnWorkingSet(), rows);
    std::size_t heap = listed.capacity() * sizeof(tw::RegistryRow);
    for (const tw::RegistryRow& r : listed) {
      for (const std::string* s : {&r.location, &r.description, &r.valueName}) {
        if (s->capacity() > 15) heap += s->capacity() + 1;
      }
    }
    std::printf("regpage memory the listed rows' own bytes (vector and text blocks, no heap "
                "overhead): %.0f bytes a row, sizeof(RegistryRow) %zu\n",
                rows ? static_cast<double>(heap) / rows : 0, sizeof(tw::RegistryRow));
  }
  {
    // As the page keeps them now: a block of compact rows filled during the
    // scan and taken into the list's store from time to time.
    const std::size_t before = OwnWorkingSet();
    CBlockSink sink;
    {
      tw::CRegistryScanner scanner(reg, fs, run, sink);
      scanner.RunCategory(tw::ScanCategory::kCurrentUser);
    }
    sink.listed.Take(&sink.block);
    PrintGrowth("rows in the page's row store, the scan ended", before, OwnWorkingSet(),
                sink.listed.Size());
  }
  std::printf("regpage memory peak working set of this process: %.1f MB (%zu seeded)\n",
              OwnPeakWorkingSet() / 1048576.0, seeded);
  std::fflush(stdout);
}

// --- where the page's CPU goes ---------------------------------------------------

struct ThreadCpu {
  DWORD id = 0;
  double ms = 0;
};

// The CPU time of every thread of a process, by the system's thread list
// (Wine answers no sound total for another process as a whole).
std::vector<ThreadCpu> ProcessThreadCpu(DWORD pid) {
  std::vector<ThreadCpu> out;
  const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  THREADENTRY32 te{};
  te.dwSize = sizeof te;
  for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID != pid) continue;
    if (HANDLE t = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID)) {
      out.push_back({te.th32ThreadID, tw::bench::ThreadCpuMs(t)});
      CloseHandle(t);
    }
  }
  CloseHandle(snap);
  return out;
}

// Each thread's time since `before` (a thread started meanwhile counts
// whole, one that ended meanwhile is gone from both lists' sense).
std::vector<ThreadCpu> ThreadCpuSince(const std::vector<ThreadCpu>& before,
                                      const std::vector<ThreadCpu>& after) {
  std::vector<ThreadCpu> out;
  for (const ThreadCpu& a : after) {
    double base = 0;
    for (const ThreadCpu& b : before) {
      if (b.id == a.id) base = b.ms;
    }
    out.push_back({a.id, a.ms - base});
  }
  return out;
}

// The scan's worker ends with the scan, and a thread that ended is in no
// list: every thread's time is read twice a second while the scan runs,
// and the last reading of each kept.
class CThreadCpuSampler {
 public:
  explicit CThreadCpuSampler(DWORD pid) : m_pid(pid), m_thread([this] { Run(); }) {}
  ~CThreadCpuSampler() { Stop(); }
  std::vector<ThreadCpu> Stop() {
    if (m_thread.joinable()) {
      m_stop = true;
      m_thread.join();
      Sample();
    }
    return m_last;
  }

 private:
  void Run() {
    while (!m_stop) {
      Sample();
      Sleep(500);
    }
  }
  void Sample() {
    for (const ThreadCpu& t : ProcessThreadCpu(m_pid)) {
      auto it = std::find_if(m_last.begin(), m_last.end(), [&](const ThreadCpu& k) { return k.id == t.id; });
      if (it == m_last.end()) m_last.push_back(t);
      else it->ms = t.ms;
    }
  }
  DWORD m_pid;
  std::atomic<bool> m_stop{false};
  std::vector<ThreadCpu> m_last;
  std::thread m_thread;
};

void PrintThreadCpus(const char* what, const std::vector<ThreadCpu>& threads, double wallMs,
                     double ownMs, double ownWallMs) {
  std::printf("regpage thread CPU %s (%.1f s):", what, wallMs / 1000);
  for (const ThreadCpu& t : threads) {
    if (t.ms >= 10) std::printf(" thread %lu %.1f s;", t.id, t.ms / 1000);
  }
  std::printf(" the core scanner's own thread %.1f s in %.1f s\n", ownMs / 1000, ownWallMs / 1000);
  std::fflush(stdout);
}

std::pair<double, double> Spread(const std::vector<double>& v) {
  if (v.empty()) return {0, 0};
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return {*lo, *hi};
}

// --- the page ---------------------------------------------------------------------

struct CPageUnderTest : tw::e2e::RegistryPageWindows {
  std::vector<std::string> Panes() const { return tw::e2e::StatusBarTexts(status); }
  int Rows() const { return tw::e2e::ListViewRowCount(results); }
  void TickOnly(int row) {
    using namespace tw::e2e;
    Command(page, 32781);  // check none
    SendMessageW(categories, LB_SETCARETINDEX, row, FALSE);
    Command(page, 1003, LBN_DBLCLK, categories);
    Sleep(300);
  }
};

std::string Pane(const std::vector<std::string>& panes, std::size_t i) {
  return i < panes.size() ? panes[i] : std::string();
}

std::set<std::string> BackupFiles() {
  std::set<std::string> out;
  const std::string folder = tw::e2e::ProgramFolder() + "RegBackup\\";
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "*.reg").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.insert(folder + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

// Runs the page's scan and waits for its final status; answers the scan's
// time in ms (0 on a timeout) and the rows and count it ended with.
struct ScanOutcome {
  double startMs = 0, endMs = 0, listedMs = 0;
  int rows = 0;
  std::vector<std::string> panes;
};

ScanOutcome RunPageScan(CPageUnderTest& ui, double timeoutMs) {
  using namespace tw::e2e;
  ScanOutcome out;
  std::vector<std::pair<double, int>> counts;
  HWND button = FindControl(ui.page, 1035);
  out.startMs = NowMs();
  Click(button);
  PollUntil([&] { return GetText(button) == "停止"; }, 15000);
  // The button turns back to "扫描" when the worker has run its last
  // category; the scan's final texts follow. Only the button and the row
  // count are read meanwhile (plain messages): reading the status bar of
  // another process allocates memory in it, which would slow its worker.
  out.endMs = PollUntil(
      [&] {
        counts.emplace_back(NowMs(), ui.Rows());
        return GetText(button) == "扫描";
      },
      timeoutMs);
  if (out.endMs == 0) return out;
  PollUntil(
      [&] {
        counts.emplace_back(NowMs(), ui.Rows());
        out.panes = ui.Panes();
        return Pane(out.panes, 0) == "扫描完成." &&
               Pane(out.panes, 1) == "总共: " + std::to_string(counts.back().second);
      },
      10000);
  out.rows = counts.back().second;
  for (const auto& [t, n] : counts) {
    if (n == out.rows) {
      out.listedMs = t;
      break;
    }
  }
  return out;
}

}  // namespace

// Starts the program and opens its registry page with only the
// HKEY_CURRENT_USER category ticked.
bool StartOnPage(CAppUnderTest& app, CPageUnderTest& ui) {
  if (!app.Start("tidewell.exe") || !ui.Open(app)) return false;
  ui.TickOnly(kCategoryRowCurrentUser);
  return true;
}

int main(int argc, char** argv) {
  tw::SetAnsiCodePage(GetACP());
  bool regedit = false;
  std::size_t count = 100000;
  int rounds = 3;
  int listRounds = 5;
  std::string only;  // "scan" or "list": one half only; "memory"
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seed=regedit") regedit = true;
    else if (a == "--seed=api") regedit = false;
    else if (a.rfind("--keys=", 0) == 0) count = std::strtoul(a.c_str() + 7, nullptr, 10);
    else if (a.rfind("--rounds=", 0) == 0) rounds = std::max(1, std::atoi(a.c_str() + 9));
    else if (a.rfind("--only=", 0) == 0) only = a.substr(7);
    else if (a.rfind("--list-rounds=", 0) == 0) listRounds = std::max(1, std::atoi(a.c_str() + 14));
  }
  CSandboxGuard sandbox;
  int rc = 0;
  auto fail = [&rc](const char* what) {
    std::printf("regpage: %s\n", what);
    std::fflush(stdout);
    rc = 1;
  };

  // 1. The scan of a hive with `count` extra keys, against a bare walk, in
  // alternating rounds.
  if (only == "memory") {
    if (!Seed(StaleValues(count), regedit, "stale values")) {
      fail("seeding failed");
      return 1;
    }
    MeasureMemory(count);
    return rc;
  }
  if (only != "list") {
    if (!Seed(ValidKeys(count), regedit, "valid keys")) {
      fail("seeding failed");
      return 1;
    }
    CAppUnderTest app;
    CPageUnderTest ui;
    if (!StartOnPage(app, ui)) {
      fail("tidewell.exe did not start or the registry page did not open");
      return 1;
    }
    std::vector<double> bare, core, page;
    std::size_t keysOpened = 0, coreFindings = 0;
    tw::CWin32Registry reg;
    tw::CWin32FileSystem fs;
    tw::bench::WaitForRegistrySave("regpage", "the scans");
    CPinger pinger(ui.main);
    CPinger::Stats rt;
    ScanOutcome scan;
    for (int round = 0; round < rounds && !rc; ++round) {
      auto runBare = [&] {
        const double t0 = NowMs();
        keysOpened = BareWalk(HKEY_CURRENT_USER);
        bare.push_back(NowMs() - t0);
      };
      auto runCore = [&] {
        const double t0 = NowMs();
        tw::CRunControl run;
        CCountingSink sink;
        tw::CRegistryScanner scanner(reg, fs, run, sink);
        scanner.RunCategory(tw::ScanCategory::kCurrentUser);
        core.push_back(NowMs() - t0);
        coreFindings = sink.findings;
      };
      auto runPage = [&] {
        scan = RunPageScan(ui, 600000);
        rt.Merge(pinger.Between(scan.startMs, scan.endMs ? scan.endMs : NowMs()));
        if (!scan.endMs) {
          fail("the scan did not end within 10 minutes");
          return;
        }
        page.push_back(scan.endMs - scan.startMs);
      };
      tw::bench::RunRound(round, runBare, runCore, runPage);
      if (rc) break;
      if (Pane(scan.panes, 0) != "扫描完成." || Pane(scan.panes, 1) != "总共: " + std::to_string(scan.rows) ||
          static_cast<std::size_t>(scan.rows) != coreFindings) {
        std::printf("regpage: final status \"%s;%s;%s\", %d rows, the core scanner found %zu\n",
                    Pane(scan.panes, 0).c_str(), Pane(scan.panes, 1).c_str(),
                    Pane(scan.panes, 2).c_str(), scan.rows, coreFindings);
        fail("the final status text of the scan is wrong");
      }
    }
    if (!page.empty()) {
      const double bareMs = Median(bare), coreMs = Median(core), pageMs = Median(page);
      std::printf(
          "regpage scan of HKEY_CURRENT_USER with %zu extra keys: ratio %.2f (page scan %.1f ms, "
          "bare walk %.1f ms, %zu keys opened; core scanner alone %.1f ms, page/core %.2f; "
          "medians of %zu rounds; %d findings; only the category HKEY_CURRENT_USER ticked)\n",
          count, pageMs / bareMs, pageMs, bareMs, keysOpened, coreMs, pageMs / coreMs, page.size(),
          scan.rows);
      PrintRoundTrips("during the scans (the worst round)", rt);
      if (rt.maxOwnMs >= kMaxRoundTripMs) fail("the window stalled during a scan");
    }
    ProfileScan();
    app.End();
  }
  RemoveSandbox();
  if (rc || only == "scan") return rc;

  // 2. `count` findings: listed, then deleted with "delete all". The
  // baselines first: the same scan and the same deletion in this process.
  const std::vector<SeedKey> stale = StaleValues(count);
  if (!Seed(stale, regedit, "stale values")) {
    fail("seeding failed");
    return 1;
  }
  CCountingSink coreSink;
  coreSink.keep = true;
  tw::bench::WaitForRegistrySave("regpage", "the core scanner's listing");
  const double coreScanMs = CoreScan(&coreSink);
  std::printf("regpage list: the core scanner's first run, straight after seeding, %.1f s\n",
              coreScanMs / 1000);
  // "Delete all" must find nothing but the seeded findings to delete.
  const std::string mine = std::string(kSandbox) + "\\Stale\\";
  std::size_t foreign = 0;
  for (const tw::RegistryRow& row : coreSink.rows) {
    if (row.location.rfind(mine, 0) != 0) {
      std::printf("regpage: a finding outside the sandbox: HKEY_CURRENT_USER\\%s \"%s\"\n",
                  row.location.c_str(), row.valueName.c_str());
      ++foreign;
    }
  }
  if (foreign) {
    fail("HKEY_CURRENT_USER holds findings of its own; delete all would remove them too");
    return 1;
  }
  const double coreDeleteMs = CoreDeleteAll(coreSink.rows);
  if (coreSink.rows.size() != count || coreDeleteMs == 0 ||
      CountValues(HKEY_CURRENT_USER, std::string(kSandbox) + "\\Stale") != 0) {
    std::printf("regpage: the core scanner found %zu of %zu seeded findings\n", coreSink.rows.size(),
                count);
    fail("the baseline scan or deletion failed");
    return 1;
  }
  if (!Seed(stale, regedit, "stale values again")) {
    fail("seeding failed");
    return 1;
  }
  const std::set<std::string> backupsBefore = BackupFiles();
  double pageDeleteMs = 0;
  {
    CAppUnderTest app;
    CPageUnderTest ui;
    if (!StartOnPage(app, ui)) {
      fail("tidewell.exe did not start or the registry page did not open");
      return 1;
    }
    tw::bench::WaitForRegistrySave("regpage", "the page's listing");
    const std::size_t emptyBytes = tw::bench::WorkingSetBytes(app.Process());
    CPinger pinger(ui.main);
    // Rounds of the core scanner and the page in turns, the order turning
    // round each round; a single run of either scattered by a factor of
    // three with the same code, and medians of three rounds still by a
    // tenth between runs (five by default).
    std::vector<double> coreMs, listMs;
    std::vector<std::size_t> roundBytes;  // the page's working set after each listing
    CPinger::Stats rtList;
    ScanOutcome scan;
    std::vector<ThreadCpu> pageThreads;
    double coreCpuMs = 0;
    for (int round = 0; round < listRounds; ++round) {
      auto runCore = [&] {
        CCountingSink sink;
        sink.keep = true;  // the rows made, as the page's list holds them
        const double c0 = tw::bench::ThreadCpuMs(GetCurrentThread());
        coreMs.push_back(CoreScan(&sink));
        coreCpuMs = tw::bench::ThreadCpuMs(GetCurrentThread()) - c0;
      };
      auto runPage = [&] {
        const DWORD pid = GetProcessId(app.Process());
        const std::vector<ThreadCpu> before = ProcessThreadCpu(pid);
        CThreadCpuSampler sampler(pid);
        scan = RunPageScan(ui, 900000);
        pageThreads = ThreadCpuSince(before, sampler.Stop());
        rtList.Merge(pinger.Between(scan.startMs, scan.listedMs ? scan.listedMs : NowMs()));
        if (scan.endMs) listMs.push_back(scan.listedMs - scan.startMs);
        roundBytes.push_back(tw::bench::WorkingSetBytes(app.Process()));
      };
      if (round % 2) {
        runPage();
        runCore();
      } else {
        runCore();
        runPage();
      }
      if (!scan.endMs) break;
    }
    const int expected = static_cast<int>(count);
    bool listed = scan.endMs != 0;
    if (!scan.endMs) {
      fail("the scan did not end within 15 minutes");
    } else {
      const double pageListMs = Median(listMs), coreListMs = Median(coreMs);
      const double ratio = tw::bench::MedianRatio(listMs, coreMs);
      std::printf(
          "regpage list %d findings: ratio %.2f, the median of the rounds' own ratios (page %.1f s "
          "from scan start to every row listed, %.1f to %.1f s; the core scanner alone %.1f s, "
          "%.1f to %.1f s; medians of %zu rounds; last scan end at %.1f s); final status "
          "\"%s;%s;%s\"\n",
          scan.rows, ratio, pageListMs / 1000, Spread(listMs).first / 1000,
          Spread(listMs).second / 1000, coreListMs / 1000, Spread(coreMs).first / 1000,
          Spread(coreMs).second / 1000, listMs.size(), (scan.endMs - scan.startMs) / 1000,
          Pane(scan.panes, 0).c_str(), Pane(scan.panes, 1).c_str(), Pane(scan.panes, 2).c_str());
      PrintThreadCpus("the last page scan", pageThreads, listMs.back(), coreCpuMs, coreMs.back());
      PrintRoundTrips("while listing", rtList);
      if (ratio > kMaxListRatio) fail("listing took more than 1.05 times the core scanner");
      if (rtList.maxOwnMs >= kMaxRoundTripMs) fail("the window stalled while listing");
      if (scan.rows != expected || Pane(scan.panes, 1) != "总共: " + std::to_string(expected)) {
        // Rows of other keys would be deleted too: stop here.
        fail("the list does not hold exactly the seeded findings");
        listed = false;
      } else if (!tw::bench::PrintWorkingSet("regpage", scan.rows, emptyBytes,
                                             tw::bench::WorkingSetBytes(app.Process()))) {
        fail("the working set is 200 bytes a row or more");
      }
      // Memory kept from one scan to the next shows as a rise here.
      std::printf("regpage working set after each listing:");
      for (std::size_t bytes : roundBytes) std::printf(" %.1f MB", bytes / 1e6);
      std::printf("\n");
      std::fflush(stdout);
    }
    if (listed) {
      const std::string done = "总共: 0   删除: " + std::to_string(expected);
      const double t0 = NowMs();
      tw::e2e::Command(ui.page, 32795);  // "全部删除" of the result list's menu
      std::vector<std::string> panes;
      // Only the row count (a plain message) is polled while the deletion
      // runs: reading the status bar of another process allocates memory in
      // it and sends it messages, which would be timed as the page's own
      // cost. The rows leave the list in one step at the end, just before
      // the final status.
      double t1 = PollUntil([&] { return ui.Rows() == 0; }, 900000);
      if (t1 && !PollUntil(
                    [&] {
                      panes = ui.Panes();
                      return Pane(panes, 0) == "Tidewell" && Pane(panes, 1) == done;
                    },
                    10000)) {
        t1 = 0;
      }
      const auto rtDelete = pinger.Between(t0, t1 ? t1 : NowMs());
      if (!t1) {
        std::printf("regpage: status after delete all \"%s;%s;%s\", %d rows\n",
                    Pane(panes, 0).c_str(), Pane(panes, 1).c_str(), Pane(panes, 2).c_str(),
                    ui.Rows());
        fail("delete all did not end with an empty list and its final status");
      } else {
        pageDeleteMs = t1 - t0;
        std::printf("regpage delete all %d findings: page %.1f s until the list was empty; final "
                    "status \"%s;%s;%s\"\n",
                    expected, pageDeleteMs / 1000, Pane(panes, 0).c_str(), Pane(panes, 1).c_str(),
                    Pane(panes, 2).c_str());
        PrintRoundTrips("during delete all", rtDelete);
        if (rtDelete.maxOwnMs >= kMaxRoundTripMs) fail("the window stalled during delete all");
        const std::size_t left = CountValues(HKEY_CURRENT_USER, std::string(kSandbox) + "\\Stale");
        if (left != 0) {
          std::printf("regpage: %zu seeded values are still there\n", left);
          fail("delete all left values behind");
        }
      }
    }
    app.End();
  }
  if (pageDeleteMs > 0) {
    // The engine's deletion once more, now that the registry has been
    // through what the page's run did to it: single runs of the same
    // deletion scattered by a fifth between the two ends of one run.
    double againMs = 0;
    if (Seed(stale, regedit, "stale values for the engine's second deletion")) {
      tw::bench::WaitForRegistrySave("regpage", "the engine's second deletion");
      againMs = CoreDeleteAll(coreSink.rows);
    }
    if (againMs == 0) {
      fail("the second baseline deletion failed");
    } else {
      const double coreMs = (coreDeleteMs + againMs) / 2;
      std::printf(
          "regpage delete all %zu findings: ratio %.2f (page %.1f s; the deletion engine alone "
          "%.1f s before the page and %.1f s after it, mean %.1f s)\n",
          count, pageDeleteMs / coreMs, pageDeleteMs / 1000, coreDeleteMs / 1000, againMs / 1000,
          coreMs / 1000);
      if (pageDeleteMs / coreMs > kMaxDeleteRatio) {
        fail("delete all took more than 1.2 times the deletion engine");
      }
    }
  }
  std::size_t backups = 0;
  for (const std::string& f : BackupFiles()) {
    if (!backupsBefore.count(f)) {
      DeleteFileA(f.c_str());
      ++backups;
    }
  }
  if (!rc && backups != 1) {
    std::printf("regpage: delete all wrote %zu backup files\n", backups);
    fail("delete all must write exactly one backup file");
  }
  std::printf("regpage: %s\n", rc ? "FAILED" : "all limits met");
  return rc;
}
