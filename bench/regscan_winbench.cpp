// The registry scan against a bare walk under Wine, on the real registry
// and file system: a generated registry of 10,000 and 100,000 keys stands
// in a sandbox key, and a thin layer maps the four roots into it, so both
// walks see only the generated keys.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "call_profile.h"
#include "regscan_generator.h"

namespace {

// Opens of a root go to HKEY_CURRENT_USER\<base>\<root's folder>;
// HKEY_CLASSES_ROOT is the machine folder's SOFTWARE\Classes, as on Windows.
class CRebasedRegistry : public tw::CWin32Registry {
 public:
  explicit CRebasedRegistry(std::string base) : m_base(std::move(base)) {}
  // A view's keys are rebased by the path the 64-bit view holds them at.
  long OpenKey(tw::RegKey parent, const std::string& path, std::uint32_t access, tw::RegKey* out,
               tw::RegView view = tw::RegView::kDefault) override {
    return CWin32Registry::OpenKey(Root(parent), Map(parent, ViewPath(parent, path, view)), access,
                                   out);
  }
  long CreateKey(tw::RegKey parent, const std::string& path, tw::RegKey* out,
                 tw::RegView view = tw::RegView::kDefault) override {
    return CWin32Registry::CreateKey(Root(parent), Map(parent, ViewPath(parent, path, view)), out);
  }
  long DeleteKey(tw::RegKey parent, const std::string& path,
                 tw::RegView view = tw::RegView::kDefault) override {
    return CWin32Registry::DeleteKey(Root(parent), Map(parent, ViewPath(parent, path, view)));
  }
  // A name below a root is opened below the root's folder; without this
  // the class checks, which open their path one name at a time from the
  // root, read the prefix's own classes and never found a dead class.
  long OpenKeyNoFollow(tw::RegKey parent, const std::string& name, std::uint32_t access,
                       tw::RegKey* out, bool* isLink) override {
    if (!IsRoot(parent)) return CWin32Registry::OpenKeyNoFollow(parent, name, access, out, isLink);
    tw::RegKey root = 0;
    const long rc = CRebasedRegistry::OpenKey(parent, "", tw::kKeyRead, &root);
    if (rc != 0) {
      *out = 0;
      return rc;
    }
    const long opened = CWin32Registry::OpenKeyNoFollow(root, name, access, out, isLink);
    CWin32Registry::CloseKey(root);
    return opened;
  }

 private:
  static bool IsRoot(tw::RegKey key) { return key >= tw::kHkeyClassesRoot && key <= tw::kHkeyUsers; }
  static std::string ViewPath(tw::RegKey parent, const std::string& path, tw::RegView view) {
    return IsRoot(parent) ? tw::RegViewPath(parent, path, view) : path;
  }
  static tw::RegKey Root(tw::RegKey parent) { return IsRoot(parent) ? tw::kHkeyCurrentUser : parent; }
  std::string Map(tw::RegKey parent, const std::string& path) const {
    const char* folder = nullptr;
    switch (parent) {
      case tw::kHkeyClassesRoot: folder = "HKLM\\SOFTWARE\\Classes"; break;
      case tw::kHkeyCurrentUser: folder = "HKCU"; break;
      case tw::kHkeyLocalMachine: folder = "HKLM"; break;
      case tw::kHkeyUsers: folder = "HKU"; break;
      default: return path;  // an open key: relative as given
    }
    std::string mapped = m_base + "\\" + folder;
    if (!path.empty()) mapped += "\\" + path;
    return mapped;
  }
  std::string m_base;
};

void DeleteTree(tw::CWin32Registry& reg, const std::string& path) {
  tw::RegKey key = 0;
  if (reg.OpenKey(tw::kHkeyCurrentUser, path, tw::kKeyAllAccess, &key) != 0) return;
  std::vector<std::string> subkeys;
  std::string name;
  for (std::uint32_t i = 0; reg.EnumKey(key, i, &name, tw::kUnlimited) == 0; ++i) subkeys.push_back(name);
  reg.CloseKey(key);
  for (const std::string& s : subkeys) DeleteTree(reg, path + "\\" + s);
  reg.DeleteKey(tw::kHkeyCurrentUser, path);
}

}  // namespace

int main(int argc, char** argv) {
  tw::SetAnsiCodePage(GetACP());
  tw::CWin32FileSystem fs;
  tw::CWin32Registry plain;
  // The folder of the generated values' data files, there but empty; the
  // file-system tests expect D: as they left it.
  const bool madeData = CreateDirectoryA("D:\\Data", nullptr) != 0;
  double perKey[2] = {0, 0};
  int i = 0;
  int rc = 0;
  constexpr double kMaxRatio = 1.15;  // the scan against the bare walk, at both sizes
  const std::size_t largest = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  for (std::size_t size : {std::size_t{10000}, largest}) {
    char base[80];
    std::snprintf(base, sizeof base, "Software\\TidewellBench\\%lu_%zu", GetCurrentProcessId(), size);
    CRebasedRegistry reg(base);
    std::size_t keys = 0;
    const double genMs = tw::bench::Millis([&] { keys = tw::bench::CRegistryGenerator(reg).Generate(size); });
    std::printf("regscan wine %zu keys: generated in %.1f s\n", keys, genMs / 1000);
    std::fflush(stdout);
    const tw::bench::ScanTiming t = tw::bench::TimeScan(reg, fs, 3);
    tw::bench::PrintTiming("wine", keys, t);
    if (t.scanMs / t.bareMs > kMaxRatio) {
      std::printf("regscan wine %zu keys: the scan took more than %.2f times the bare walk\n", keys,
                  kMaxRatio);
      rc = 1;
    }
    perKey[i++] = t.scanMs / keys;
    for (bool scan : {false, true}) {
      tw::bench::CallProfile profile;
      tw::bench::CProfiledRegistry<CRebasedRegistry> profiled(profile, base);
      tw::bench::CProfiledFileSystem<tw::CWin32FileSystem> profiledFs(profile);
      profile.on = true;
      const double ms = tw::bench::Millis([&] {
        if (scan) tw::bench::FullScan(profiled, profiledFs);
        else tw::bench::BareWalk(profiled);
      });
      profile.Print("regscan", scan ? "full scan" : "bare walk", keys, ms);
    }
    DeleteTree(plain, base);
  }
  tw::RegKey k = 0;
  if (plain.OpenKey(tw::kHkeyCurrentUser, "Software", tw::kKeyAllAccess, &k) == 0) {
    plain.DeleteKey(k, "TidewellBench");
    plain.CloseKey(k);
  }
  if (madeData) RemoveDirectoryA("D:\\Data");
  std::printf("regscan wine growth: per-key scan time at %zu keys is %.2f times that at 10,000\n",
              largest, perKey[1] / perKey[0]);
  return rc;
}
