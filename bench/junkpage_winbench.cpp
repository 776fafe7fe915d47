// The junk-file page under load, on the real tidewell.exe under Wine:
//  1. a scan of a tree of 200,000 files (200 of them junk) on the scratch
//     drive D:, against a bare FindFirstFile/FindNextFile walk of the same
//     tree in the same run (alternating rounds);
//  2. a tree of 100,000 junk files: listed by a scan, then deleted outright
//     with "delete all", against the core scanner and a loop in this process
//     that makes the page's calls for each file: the check every file
//     passes again before it goes, then DeleteFile (once before the page and
//     once after it, their mean). The page lists the tree in --list-rounds
//     rounds, the core scanner walking it between them (the page's window
//     still pinged), and the median of the rounds' own ratios is the
//     listing's: this machine's speed moves by a fifth within minutes;
//  3. the page's working set with the 100,000 rows listed against the same
//     page empty, read from this process.
// A thread of this program sends WM_NULL to the main window every 25 ms
// throughout; the interface keeps answering when every round trip stays
// under 50 ms.
//
// The page's settings come from a File.ini written here (delete outright,
// both folder options off, the one type *.tmp); a File.ini that was there
// before is put back at the end, and the trees are removed.
//
// Usage: junkpage_winbench.exe [--files=N] [--list=N] [--rounds=N] [--list-rounds=N]
//                              [--only=scan|list] [--keep]
// --keep leaves the scan tree behind and takes it again next time when it
// holds exactly N files: seeding 200,000 files takes a minute under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/junkpage_windows.h"
#include "junk_files/junk_scanner.h"
#include "junk_files/removal_check.h"
#include "page_winbench.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"

namespace {

using tw::bench::CPinger;
using tw::bench::NowMs;
using tw::bench::PollUntil;
using tw::e2e::CAppUnderTest;

const char kDrive[] = "D:";
const char kScanTree[] = "tw_junk_bench_scan";
const char kListTree[] = "tw_junk_bench_list";
constexpr std::size_t kFilesPerFolder = 1000;
constexpr std::size_t kJunkEvery = 1000;  // one *.tmp among this many files of the scan tree

std::string TreePath(const char* tree) { return std::string(kDrive) + "\\" + tree; }
std::string IniPath() { return tw::e2e::ProgramFolder() + "File.ini"; }

// --- files ----------------------------------------------------------------------

// Folders of 1,000 files each: root\gNNN\fNNNN.ext; in the scan tree one
// file of kJunkEvery is "*.tmp" and the rest "*.dat".
bool SeedTree(const std::string& root, std::size_t count, bool allJunk) {
  CreateDirectoryA(root.c_str(), nullptr);
  char path[MAX_PATH];
  std::string folder;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % kFilesPerFolder == 0) {
      std::snprintf(path, sizeof path, "%s\\g%03zu", root.c_str(), i / kFilesPerFolder);
      folder = path;
      if (!CreateDirectoryA(folder.c_str(), nullptr)) return false;
    }
    const bool junk = allJunk || i % kJunkEvery == kJunkEvery / 2;
    std::snprintf(path, sizeof path, "%s\\f%04zu.%s", folder.c_str(), i % kFilesPerFolder,
                  junk ? "tmp" : "dat");
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
  }
  return true;
}

bool Seed(const std::string& root, std::size_t count, bool allJunk) {
  const double t0 = NowMs();
  const bool ok = SeedTree(root, count, allJunk);
  std::printf("junkpage seed %s: %zu files in %.1f s%s\n", root.c_str(), count,
              (NowMs() - t0) / 1000, ok ? "" : " (FAILED)");
  std::fflush(stdout);
  return ok;
}

// The trees go, and File.ini is put back, whatever happens.
class CScratchGuard {
 public:
  explicit CScratchGuard(bool keepScanTree) : m_keepScanTree(keepScanTree) {
    m_hadIni = GetFileAttributesA(IniPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    m_ini = tw::e2e::ReadFileBytes(IniPath());
    if (!m_keepScanTree) tw::e2e::RemoveScratchTree(TreePath(kScanTree));
    tw::e2e::RemoveScratchTree(TreePath(kListTree));
  }
  ~CScratchGuard() {
    if (!m_keepScanTree) tw::e2e::RemoveScratchTree(TreePath(kScanTree));
    tw::e2e::RemoveScratchTree(TreePath(kListTree));
    if (m_hadIni) tw::e2e::WriteFileBytes(IniPath(), m_ini);
    else DeleteFileA(IniPath().c_str());
  }

 private:
  bool m_keepScanTree = false;
  bool m_hadIni = false;
  std::string m_ini;
};

// --- baselines ------------------------------------------------------------------

// Lists every entry of the tree, judging nothing: the least any scan does.
std::size_t BareWalk(const std::string& folder) {
  std::size_t files = 0;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (std::strcmp(fd.cFileName, ".") && std::strcmp(fd.cFileName, "..")) {
        files += BareWalk(folder + "\\" + fd.cFileName);
      }
    } else {
      ++files;
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return files;
}

class CCountingSink : public tw::IJunkScanSink {
 public:
  void OnScanFile(const std::string&) override {}
  void OnJunkFile(const std::string& path, std::uint64_t) override {
    if (keep) paths.push_back(path);
    ++found;
  }
  bool keep = false;
  std::size_t found = 0;
  std::vector<std::string> paths;
};

// The page's scan engine in this process, without the page. *cpuMs: what
// the walk cost this thread.
double CoreScan(const std::string& root, CCountingSink* sink, double* cpuMs = nullptr) {
  tw::CWin32FileSystem fs;
  tw::CRunControl run;
  tw::CJunkTypes types;
  types.Add("*.tmp");
  tw::CJunkScanner scanner(fs, run, *sink, types);
  const double cpu0 = tw::bench::ThreadCpuMs(GetCurrentThread());
  const double t0 = NowMs();
  scanner.WalkFolder(root, false);
  const double wall = NowMs() - t0;
  if (cpuMs) *cpuMs = tw::bench::ThreadCpuMs(GetCurrentThread()) - cpu0;
  return wall;
}

// The page's calls for each listed file, in this process: the check every
// file passes again before it goes, then DeleteFile. Answers how many went.
std::size_t BareDelete(const std::string& root, const std::vector<std::string>& paths,
                       double* ms) {
  const double t0 = NowMs();
  std::size_t deleted = 0;
  tw::CWin32FileSystem fs;
  const std::vector<std::string> roots = tw::WalkedRoots({root}, "", "");
  for (const std::string& path : paths) {
    if (tw::CheckRemovablePath(fs, roots, path) == tw::PathCheck::kPlainFile &&
        fs.DeleteFile(path) == tw::kErrorSuccess) {
      ++deleted;
    }
  }
  *ms = NowMs() - t0;
  return deleted;
}

// --- the page ---------------------------------------------------------------------

struct CPageUnderTest : tw::e2e::JunkPageWindows {
  int Rows() const { return tw::e2e::ListViewRowCount(results); }
};

// Outright deletion, both folder options off, the one type *.tmp ticked.
bool WriteSettings() {
  const std::string backup = tw::e2e::ProgramFolder() + "FileBackup";
  return tw::e2e::WriteFileBytes(IniPath(), "1\r\n0\r\n0\r\n" + backup + "\r\n1\r\n*.tmp\r\n\r\n");
}

bool StartOnPage(CAppUnderTest& app, CPageUnderTest& ui, const char* tree) {
  if (!WriteSettings() || !app.Start("tidewell.exe") || !ui.Open(app)) return false;
  return ui.TickOnly("(D:)", tree);
}

struct ScanOutcome {
  double startMs = 0, endMs = 0, listedMs = 0;
  int rows = 0;
  std::string status, count;
};

// Clicks scan and waits for its final status. Only the scan button and the
// row count are read meanwhile (plain messages): reading the status bar of
// another process allocates memory in it.
ScanOutcome RunPageScan(CPageUnderTest& ui, double timeoutMs) {
  using namespace tw::e2e;
  ScanOutcome out;
  std::vector<std::pair<double, int>> counts;
  HWND button = ui.Button(1034);
  out.startMs = NowMs();
  Click(button);
  PollUntil([&] { return GetText(button) == "停止"; }, 15000);
  out.endMs = PollUntil(
      [&] {
        counts.emplace_back(NowMs(), ui.Rows());
        return GetText(button) == "扫描";
      },
      timeoutMs);
  if (out.endMs == 0) return out;
  PollUntil(
      [&] {
        const auto panes = StatusBarTexts(ui.status);
        out.status = panes.size() > 0 ? panes[0] : "";
        out.count = panes.size() > 1 ? panes[1] : "";
        return out.status == "扫描完成." && out.count == "总共: " + std::to_string(ui.Rows());
      },
      10000);
  out.rows = ui.Rows();
  for (const auto& [t, n] : counts) {
    if (n == out.rows) {
      out.listedMs = t;
      break;
    }
  }
  if (!out.listedMs) out.listedMs = out.endMs;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  tw::SetAnsiCodePage(GetACP());
  std::size_t files = 200000, listCount = 100000;
  int rounds = 3, listRounds = 5;
  std::string only;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--files=", 0) == 0) files = std::strtoul(a.c_str() + 8, nullptr, 10);
    else if (a.rfind("--list=", 0) == 0) listCount = std::strtoul(a.c_str() + 7, nullptr, 10);
    else if (a.rfind("--rounds=", 0) == 0) rounds = std::max(1, std::atoi(a.c_str() + 9));
    else if (a.rfind("--list-rounds=", 0) == 0) listRounds = std::max(1, std::atoi(a.c_str() + 14));
    else if (a.rfind("--only=", 0) == 0) only = a.substr(7);
    else if (a == "--keep") keep = true;
  }
  CScratchGuard scratch(keep);
  int rc = 0;
  auto fail = [&rc](const char* what) {
    std::printf("junkpage: %s\n", what);
    std::fflush(stdout);
    rc = 1;
  };

  // 1. The scan against a bare walk, in alternating rounds.
  if (only != "list") {
    const std::string root = TreePath(kScanTree);
    const bool reuse = keep && BareWalk(root) == files;
    if (!reuse) tw::e2e::RemoveScratchTree(root);
    if (!reuse && !Seed(root, files, false)) {
      fail("seeding failed");
      return 1;
    }
    CAppUnderTest app;
    CPageUnderTest ui;
    if (!StartOnPage(app, ui, kScanTree)) {
      fail("tidewell.exe did not start, the page did not open or the tree has no scratch folder");
      return 1;
    }
    tw::bench::WaitForRegistrySave("junkpage", "the scans");
    std::vector<double> bare, core, page;
    std::size_t walked = 0, coreFound = 0;
    CPinger pinger(ui.main);
    CPinger::Stats rt;
    ScanOutcome scan;
    for (int round = 0; round < rounds && !rc; ++round) {
      auto runBare = [&] {
        const double t0 = NowMs();
        walked = BareWalk(root);
        bare.push_back(NowMs() - t0);
      };
      auto runCore = [&] {
        CCountingSink sink;
        core.push_back(CoreScan(root, &sink));
        coreFound = sink.found;
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
      const std::size_t expected = (files + kJunkEvery - 1 - kJunkEvery / 2) / kJunkEvery;
      if (scan.status != "扫描完成." || scan.count != "总共: " + std::to_string(expected) ||
          static_cast<std::size_t>(scan.rows) != expected || coreFound != expected ||
          walked != files) {
        std::printf("junkpage: final status \"%s;%s\", %d rows, core %zu, walked %zu, expected %zu\n",
                    scan.status.c_str(), scan.count.c_str(), scan.rows, coreFound, walked, expected);
        fail("the scan's final texts or rows are wrong");
      }
    }
    if (!page.empty()) {
      const double bareMs = tw::bench::MedianMs(bare), coreMs = tw::bench::MedianMs(core),
                   pageMs = tw::bench::MedianMs(page);
      std::printf(
          "junkpage scan of %zu files: ratio %.2f (page scan %.1f ms from the click to the final "
          "status, bare FindFirstFile walk %.1f ms; the core scanner alone %.1f ms, page/core "
          "%.2f; medians of %zu rounds; %d rows; target 1.30)\n",
          files, pageMs / bareMs, pageMs, bareMs, coreMs, pageMs / coreMs, page.size(), scan.rows);
      tw::bench::PrintRoundTrips("junkpage", "during the scans (the worst round)", rt);
      if (pageMs / bareMs > 1.3) fail("the scan is more than 1.3 times the bare walk");
      if (rt.maxOwnMs >= tw::bench::kMaxRoundTripMs) fail("the window stalled during a scan");
    }
    app.End();
    if (!keep) tw::e2e::RemoveScratchTree(root);
  }
  if (rc || only == "scan") return rc;

  // 2. listCount junk files: the baselines first (the core scanner lists
  // them, a bare DeleteFile loop removes them), then, seeded again, the page
  // lists them and deletes them all outright.
  const std::string root = TreePath(kListTree);
  if (!Seed(root, listCount, true)) {
    fail("seeding failed");
    return 1;
  }
  CCountingSink coreSink;
  coreSink.keep = true;
  double coreCpuMs = 0;
  const double coreScanMs = CoreScan(root, &coreSink, &coreCpuMs);
  const double bareCpu0 = tw::bench::ThreadCpuMs(GetCurrentThread());
  double bareDeleteMs = 0;
  const std::size_t bareDeleted = BareDelete(root, coreSink.paths, &bareDeleteMs);
  const double bareDeleteCpuMs = tw::bench::ThreadCpuMs(GetCurrentThread()) - bareCpu0;
  if (coreSink.found != listCount || bareDeleted != listCount) {
    std::printf("junkpage: the core scanner found %zu, DeleteFile removed %zu of %zu\n",
                coreSink.found, bareDeleted, listCount);
    fail("the baselines failed");
    return 1;
  }
  tw::e2e::RemoveScratchTree(root);
  if (!Seed(root, listCount, true)) {
    fail("seeding failed");
    return 1;
  }
  double pageDeleteMs = 0;
  std::vector<std::string> deletePanes;
  {
    CAppUnderTest app;
    CPageUnderTest ui;
    if (!StartOnPage(app, ui, kListTree)) {
      fail("tidewell.exe did not start, the page did not open or the tree has no scratch folder");
      return 1;
    }
    tw::bench::WaitForRegistrySave("junkpage", "the listing");
    const std::size_t emptyBytes = tw::bench::WorkingSetBytes(app.Process());
    CPinger pinger(ui.main);
    const DWORD uiThread = GetWindowThreadProcessId(ui.main, nullptr);
    // The page's listings and further walks of the core scanner in turns,
    // the order turning each round (the first walk came before the page).
    std::vector<double> pageMs, coreMs{coreScanMs};
    CPinger::Stats rtList;
    ScanOutcome scan;
    double interfaceCpuMs = 0;
    bool coreMissed = false;
    for (int round = 0; round < listRounds; ++round) {
      const auto runPage = [&] {
        const double cpu0 = tw::bench::InterfaceCpuMs(uiThread);
        scan = RunPageScan(ui, 900000);
        interfaceCpuMs = tw::bench::InterfaceCpuMs(uiThread) - cpu0;
        if (!scan.endMs) return;
        rtList.Merge(pinger.Between(scan.startMs, scan.endMs));
        pageMs.push_back(scan.listedMs - scan.startMs);
      };
      const auto runCore = [&] {
        CCountingSink sink;
        sink.keep = true;  // the same work as the first walk
        coreMs.push_back(CoreScan(root, &sink));
        coreMissed = coreMissed || sink.found != listCount;
      };
      if (round % 2) {
        runCore();
        runPage();
      } else {
        runPage();
        runCore();
      }
      if (!scan.endMs) break;
    }
    tw::bench::PrintThreadCpu("junkpage", "during the last listing", interfaceCpuMs,
                              scan.endMs - scan.startMs, coreCpuMs, coreScanMs);
    const int expected = static_cast<int>(listCount);
    if (!scan.endMs || scan.rows != expected || scan.count != "总共: " + std::to_string(expected)) {
      std::printf("junkpage: final status \"%s;%s\", %d rows\n", scan.status.c_str(),
                  scan.count.c_str(), scan.rows);
      fail("the list does not hold exactly the seeded files");
    } else {
      const double listMs = tw::bench::MedianMs(pageMs), coreMedianMs = tw::bench::MedianMs(coreMs);
      // Each listing against the walk of its own round (the first walk
      // came before the page).
      const double listRatio = tw::bench::MedianRatio(
          pageMs, std::vector<double>(coreMs.begin() + 1, coreMs.end()));
      const auto [pageLow, pageHigh] = std::minmax_element(pageMs.begin(), pageMs.end());
      const auto [coreLow, coreHigh] = std::minmax_element(coreMs.begin(), coreMs.end());
      std::printf(
          "junkpage list %d files: ratio %.2f, the median of the rounds' own ratios (page %.1f s "
          "from the click to every row listed, %.1f to %.1f s, median of %zu; the core scanner "
          "alone %.1f s, %.1f to %.1f s, median of %zu; last final status at %.1f s; target "
          "1.05)\n",
          expected, listRatio, listMs / 1000, *pageLow / 1000, *pageHigh / 1000,
          pageMs.size(), coreMedianMs / 1000, *coreLow / 1000, *coreHigh / 1000, coreMs.size(),
          (scan.endMs - scan.startMs) / 1000);
      tw::bench::PrintRoundTrips("junkpage", "while listing", rtList);
      if (coreMissed) fail("a further walk of the core scanner missed files");
      if (listRatio > 1.05) fail("the listing is more than 1.05 times the core scanner");
      if (rtList.maxOwnMs >= tw::bench::kMaxRoundTripMs) fail("the window stalled while listing");
      if (!tw::bench::PrintWorkingSet("junkpage", expected, emptyBytes,
                                      tw::bench::WorkingSetBytes(app.Process()))) {
        fail("the working set is 200 bytes a row or more");
      }
      const std::string done = "总共: 0   删除: " + std::to_string(expected);
      HWND deleteButton = ui.Button(1032);
      const double deleteCpuBefore = tw::bench::InterfaceCpuMs(uiThread);
      const double t0 = NowMs();
      tw::e2e::Command(ui.page, 32795);  // "全部删除" of the result list's menu
      // The button reads "删除" again once the worker has ended.
      PollUntil([&] { return tw::e2e::GetText(deleteButton) != "删除"; }, 15000);
      const double t1 = PollUntil(
          [&] { return ui.Rows() == 0 && tw::e2e::GetText(deleteButton) == "删除"; }, 1200000);
      const auto rtDelete = pinger.Between(t0, t1 ? t1 : NowMs());
      tw::bench::PrintThreadCpu("junkpage", "during delete all",
                                tw::bench::InterfaceCpuMs(uiThread) - deleteCpuBefore,
                                (t1 ? t1 : NowMs()) - t0,
                                bareDeleteCpuMs, bareDeleteMs);
      std::vector<std::string> panes;
      PollUntil(
          [&] {
            panes = tw::e2e::StatusBarTexts(ui.status);
            return panes.size() > 1 && panes[0] == "Tidewell" && panes[1] == done;
          },
          10000);
      const std::size_t left = BareWalk(root);
      if (!t1 || panes.size() < 2 || panes[1] != done || left != 0) {
        std::printf("junkpage: after delete all: %d rows, status \"%s\", %zu files left\n", ui.Rows(),
                    panes.size() > 1 ? panes[1].c_str() : "", left);
        fail("delete all did not remove every file with its row");
      } else {
        pageDeleteMs = t1 - t0;
        deletePanes = panes;
        tw::bench::PrintRoundTrips("junkpage", "during delete all", rtDelete);
        if (rtDelete.maxOwnMs >= tw::bench::kMaxRoundTripMs) fail("the window stalled during delete all");
      }
    }
    app.End();
  }
  // The loop once more, after the page: the page is held against the mean
  // of the loop before it and after it, as the machine's speed drifts over
  // the minutes between them.
  if (pageDeleteMs > 0) {
    double againMs = 0;
    tw::e2e::RemoveScratchTree(root);  // the page left the folders
    const bool seeded = Seed(root, listCount, true);
    const std::size_t again = seeded ? BareDelete(root, coreSink.paths, &againMs) : 0;
    tw::e2e::RemoveScratchTree(root);
    if (again != listCount) {
      std::printf("junkpage: the second DeleteFile loop removed %zu of %zu\n", again, listCount);
      fail("the second baseline failed");
    } else {
      const double bareMeanMs = (bareDeleteMs + againMs) / 2;
      std::printf(
          "junkpage delete all %zu files outright: ratio %.2f (page %.1f s until the list was "
          "empty; a loop of the same check and DeleteFile calls %.1f s before the page and %.1f s "
          "after it, mean %.1f s; target 1.30); final status \"%s;%s\"\n",
          listCount, pageDeleteMs / bareMeanMs, pageDeleteMs / 1000, bareDeleteMs / 1000,
          againMs / 1000, bareMeanMs / 1000, deletePanes[0].c_str(), deletePanes[1].c_str());
      if (pageDeleteMs / bareMeanMs > 1.3) fail("delete all is more than 1.3 times the loop");
    }
  }
  std::printf("junkpage: %s\n", rc ? "FAILED" : "all limits met");
  return rc;
}
