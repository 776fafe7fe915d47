// The registry scan against a bare walk of the same generated registry, on
// the in-memory backend: every category of a full scan, 10,000 and 100,000
// keys. The ratio says what judging the entries costs on top of reading
// them; the per-key time at both sizes shows whether the cost grows
// linearly.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "regscan_generator.h"

// With a key count as its argument it generates and times that size only,
// for a profiler's run.
int main(int argc, char** argv) {
  tw::SetAnsiCodePage(936);
  double perKey[2] = {0, 0};
  int i = 0;
  std::vector<std::size_t> sizes = {10000u, 100000u};
  if (argc > 1) sizes = {std::strtoul(argv[1], nullptr, 10)};
  for (std::size_t size : sizes) {
    tw::CMemoryRegistry reg;
    tw::CMemoryFileSystem fs;
    fs.AddDrive('C', tw::kDriveFixed);
    fs.AddDrive('D', tw::kDriveFixed);
    fs.AddDrive('E', tw::kDriveCdrom);
    for (const std::string& f : tw::bench::ExistingFiles()) fs.AddFile(f);
    fs.AddFolder("D:\\Data");
    tw::bench::CRegistryGenerator gen(reg);
    const std::size_t keys = gen.Generate(size);
    if (size == 10000) {
      // Caching within a scan must not change a single finding.
      const auto cached = tw::bench::FullScan(reg, fs, true);
      const auto fresh = tw::bench::FullScan(reg, fs, false);
      std::printf("regscan memory %zu keys: cached and uncached scans %s (%zu findings)\n", keys,
                  cached == fresh ? "agree" : "DIFFER", cached.size());
      if (cached != fresh) return 1;
    }
    const tw::bench::ScanTiming t = tw::bench::TimeScan(reg, fs, size > 50000 ? 3 : 5);
    tw::bench::PrintTiming("memory", keys, t);
    perKey[i++] = t.scanMs / keys;
  }
  if (sizes.size() < 2) return 0;
  std::printf("regscan memory growth: per-key scan time at 100,000 keys is %.2f times that at 10,000\n",
              perKey[1] / perKey[0]);
  return 0;
}
