// The installed-software inventory on the in-memory registry: which entries
// are listed and with what, both roots and both views, the packed product
// code, and starting an uninstaller with its installer fallbacks.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "uninstall/software_inventory.h"
#include "uninstall/uninstall_start.h"

namespace tw {
namespace {

const std::string kMachine = kUninstallKeyMachine;
const std::string kMachine32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kUser = kUninstallKeyUser;
const std::string kCode = "{12345678-ABCD-EF01-2345-6789ABCDEF01}";
const std::string kPacked = "87654321DCBA10FE32547698BADCFE10";
const std::string kUserData = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";

struct Listed {
  std::string name, command, icon;
  RegKey root;
  RegView view;
  bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Listed& l) {
  return os << "{" << l.name << " | " << l.command << " | " << l.icon << " | " << l.root << " | "
            << static_cast<int>(l.view) << "}";
}

std::vector<Listed> ListAll(CMemoryRegistry& reg) {
  CSoftwareInventory inventory(reg);
  EXPECT_EQ(inventory.RefreshInventory(), 1);
  std::vector<Listed> out;
  for (const auto& p : inventory.Programs()) {
    out.push_back({p->displayName, p->uninstallCommand, p->icon, p->root, p->view});
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  return out;
}

void Entry(CMemoryRegistry& reg, const std::string& key, const std::string& name,
           const std::string& command, RegKey root = kHkeyLocalMachine,
           const std::string& base = kMachine) {
  reg.SeedKey(root, base + "\\" + key);
  if (!name.empty()) reg.SeedString(root, base + "\\" + key, "DisplayName", name);
  if (!command.empty()) reg.SeedString(root, base + "\\" + key, "UninstallString", command);
}

void Package(CMemoryRegistry& reg) {
  reg.SeedString(kHkeyLocalMachine,
                 kUserData + "\\S-1-5-18\\Products\\" + kPacked + "\\InstallProperties",
                 "LocalPackage", "C:\\windows\\Installer\\1a2b.msi");
}

const std::string kLong(300, 'x');
constexpr RegKey HKLM = kHkeyLocalMachine;
constexpr RegKey HKCU = kHkeyCurrentUser;

struct AcceptCase {
  const char* what;
  std::function<void(CMemoryRegistry&)> seed;
  std::vector<Listed> expected;
};

const AcceptCase kAcceptCases[] = {
    {"a plain entry", [](auto& r) { Entry(r, "App", "App", "C:\\App\\u.exe"); },
     {{"App", "C:\\App\\u.exe", "", HKLM, RegView::k64}}},
    {"SystemComponent 0 hides it",
     [](auto& r) {
       Entry(r, "App", "App", "u.exe");
       r.SeedDword(HKLM, kMachine + "\\App", "SystemComponent", 0);
     },
     {}},
    {"no way to uninstall", [](auto& r) { Entry(r, "App", "App", ""); }, {}},
    {"no display name", [](auto& r) { Entry(r, "App", "", "u.exe"); }, {}},
    {"own name", [](auto& r) { Entry(r, "App", "Tidewell", "u.exe"); }, {}},
    {"the skip list compares case", [](auto& r) { Entry(r, "App", "tidewell", "u.exe"); },
     {{"tidewell", "u.exe", "", HKLM, RegView::k64}}},
    {"installer product without command lists its package",
     [](auto& r) {
       Entry(r, kCode, "Pkg", "");
       r.SeedDword(HKLM, kMachine + "\\" + kCode, "WindowsInstaller", 1);
       Package(r);
     },
     {{"Pkg", "C:\\windows\\Installer\\1a2b.msi", "", HKLM, RegView::k64}}},
    {"installer product without command or package",
     [](auto& r) {
       Entry(r, kCode, "Pkg", "");
       r.SeedDword(HKLM, kMachine + "\\" + kCode, "WindowsInstaller", 1);
     },
     {}},
    {"installer flag on a key that is no product code",
     [](auto& r) {
       Entry(r, "NotACode", "Pkg", "");
       r.SeedDword(HKLM, kMachine + "\\NotACode", "WindowsInstaller", 1);
       Package(r);
     },
     {}},
    {"installer product keeps its command and takes its product icon",
     [](auto& r) {
       Entry(r, kCode, "Pkg", "MsiExec.exe /I" + kCode);
       r.SeedDword(HKLM, kMachine + "\\" + kCode, "WindowsInstaller", 1);
       r.SeedString(HKLM, kMachine + "\\" + kCode, "DisplayIcon", "C:\\other.exe");
       r.SeedString(HKLM, "SOFTWARE\\Classes\\Installer\\Products\\" + kPacked, "ProductIcon",
                    "C:\\p\\icon.exe,3");
       Package(r);
     },
     {{"Pkg", "MsiExec.exe /I" + kCode, "C:\\p\\icon.exe,3", HKLM, RegView::k64}}},
    {"display icon loses its index",
     [](auto& r) {
       Entry(r, "App", "App", "u.exe");
       r.SeedString(HKLM, kMachine + "\\App", "DisplayIcon", "C:\\App\\app.exe,0");
     },
     {{"App", "u.exe", "C:\\App\\app.exe", HKLM, RegView::k64}}},
    {"long texts are read whole",
     [](auto& r) { Entry(r, "App", "N" + kLong, "\"C:\\" + kLong + "\\u.exe\" /x"); },
     {{"N" + kLong, "\"C:\\" + kLong + "\\u.exe\" /x", "", HKLM, RegView::k64}}},
    {"the same entry in every place is listed each time, machine first",
     [](auto& r) {
       Entry(r, "App", "User", "u.exe", HKCU, kUser);
       Entry(r, "App", "Old", "u.exe", HKLM, kMachine32);
       Entry(r, "App", "New", "u.exe");
     },
     {{"New", "u.exe", "", HKLM, RegView::k64},
      {"Old", "u.exe", "", HKLM, RegView::k32},
      {"User", "u.exe", "", HKCU, RegView::kDefault}}},
};

TEST(UninstallInventory, WhichEntriesAreListed) {
  for (const auto& c : kAcceptCases) {
    CMemoryRegistry reg;
    c.seed(reg);
    EXPECT_EQ(ListAll(reg), c.expected) << c.what << "\n" << reg.Dump();
  }
}

TEST(UninstallInventory, PackedProductCode) {
  const std::pair<const char*, const char*> table[] = {
      {"{12345678-ABCD-EF01-2345-6789ABCDEF01}", "87654321DCBA10FE32547698BADCFE10"},
      {"12345678-ABCD-EF01-2345-6789ABCDEF01", ""},      // no braces
      {"{12345678-ABCD-EF01-2345-6789ABCDEF0}", ""},     // one short
  };
  for (const auto& [code, packed] : table) EXPECT_EQ(PackProductCode(code), packed) << code;
}

// A FILETIME as a little-endian value inside a usage-cache record.
std::string SlowInfo(std::int64_t size, std::uint64_t lastUsed, std::int32_t times,
                     const std::u16string& path, std::size_t total = 552) {
  std::string bytes(total, '\0');
  auto put = [&](std::size_t at, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(0, 552, 4);
  put(8, static_cast<std::uint64_t>(size), 8);
  put(16, lastUsed, 8);
  put(24, static_cast<std::uint32_t>(times), 4);
  for (std::size_t i = 0; i < path.size() && 28 + 2 * i + 1 < total; ++i) put(28 + 2 * i, path[i], 2);
  return bytes;
}

// The converter owns the calendar; this one knows a single time, so a
// record's time read from the wrong place gives no date.
constexpr std::uint64_t kMarch7 = (1141732800ULL + 11644473600ULL) * 10000000ULL;
bool March7(std::uint64_t ft, SystemTime* out) {
  *out = SystemTime{2006, 3, 2, 7, 0, 0, 0, 0};
  return ft == kMarch7;
}

TEST(UninstallInventory, UsageCacheFillsSizeUseLastUseAndIcon) {
  const std::string arp = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";
  struct Case {
    const char* what;
    std::string cache;  // empty: no record
    bool hasDisplayIcon;
    std::string size, usage, lastUsed, icon;
  };
  const Case cases[] = {
      {"no record: empty texts", "", false, "", "", "", ""},
      {"a full record", SlowInfo(153600, kMarch7, 11, u"C:\\App\\main.exe"), false, "150.0 KB",
       "\xBE\xAD\xB3\xA3(11)", "2006-3-7", "C:\\App\\main.exe"},
      {"the entry's own icon wins", SlowInfo(1023, 0, 2, u"C:\\App\\main.exe"), true,
       "1023 \xD7\xD6\xBD\xDA", "\xBA\xDC\xC9\xD9(2)", "", "C:\\own.ico"},
      {"a shorter record reads as zeros beyond it", SlowInfo(1536, 0, 3, u"", 28), false,
       "1.50 KB", "\xD3\xD0\xCA\xB1(3)", "", ""},
      {"a longer record is no record", SlowInfo(1536, 0, 3, u"", 600), false, "", "", "", ""},
  };
  for (const auto& c : cases) {
    CMemoryRegistry reg;
    Entry(reg, "App", "App", "u.exe");
    if (c.hasDisplayIcon) reg.SeedString(HKLM, kMachine + "\\App", "DisplayIcon", "C:\\own.ico");
    if (!c.cache.empty()) reg.Seed(HKLM, arp + "App", "SlowInfoCache", kRegBinary, c.cache);
    CSoftwareInventory inventory(reg);
    inventory.SetLocalTimeConverter(March7);
    inventory.RefreshInventory();
    ASSERT_EQ(inventory.Programs().size(), 1u) << c.what;
    const InstalledProgram& p = *inventory.Programs()[0];
    EXPECT_EQ(p.sizeText, c.size) << c.what;
    EXPECT_EQ(p.usageText, c.usage) << c.what;
    EXPECT_EQ(p.lastUsedText, c.lastUsed) << c.what;
    EXPECT_EQ(p.icon, c.icon) << c.what;
  }
}

// Records the command lines it is asked to start; the first `failures` fail.
class CFakeShell : public IShell {
 public:
  explicit CFakeShell(int failures) : m_failures(failures) {}
  int FileOperation(std::uint32_t, const std::string&, const std::string&, std::uint32_t,
                    std::uintptr_t) override {
    return 1;
  }
  bool ShellExecute(const std::string&, const std::string&, const std::string&, int) override {
    return false;
  }
  bool CreateProcess(const std::string& line) override {
    started.push_back(line);
    return m_failures-- <= 0;
  }
  std::vector<std::string> started;

 private:
  int m_failures;
};

// The program of a command is found as the system would be asked to find
// it, minus every way a planted file could be taken instead: the current
// folder, a shorter part of a path with blanks.
TEST(UninstallStart, ProgramsAreStartedByTheirFullPath) {
  const std::string pkg = "C:\\Windows\\Installer\\Ab.MSI";
  const std::string msiexec = "\"C:\\windows\\system32\\msiexec.exe\" /I";
  struct Case {
    std::string command;
    int failures;
    bool started;
    std::vector<std::string> tried;
    std::string kept;
  };
  const Case cases[] = {
      {"C:\\App\\U.exe /x", 0, true, {"\"C:\\App\\U.exe\" /x"}, "C:\\App\\U.exe /x"},
      {"C:\\App\\U.exe /x", 1, false, {"\"C:\\App\\U.exe\" /x"}, "c:\\app\\u.exe /x"},
      // C:\Program.exe exists, and so does the real uninstaller.
      {"C:\\Program Files\\App\\unins.exe /x", 0, true,
       {"\"C:\\Program Files\\App\\unins.exe\" /x"}, "C:\\Program Files\\App\\unins.exe /x"},
      // Without the real one, the planted file is not taken for it.
      {"C:\\Program Files\\Gone\\unins.exe /x", 0, false, {},
       "c:\\program files\\gone\\unins.exe /x"},
      {"\"C:\\Program Files\\App\\unins.exe\" /x", 0, true,
       {"\"C:\\Program Files\\App\\unins.exe\" /x"}, "\"C:\\Program Files\\App\\unins.exe\" /x"},
      // A bare name comes from the system folder, never the current one.
      {"MsiExec.exe /X" + kCode, 0, true, {"\"C:\\windows\\system32\\MsiExec.exe\" /X" + kCode},
       "MsiExec.exe /X" + kCode},
      {"planted.exe /x", 0, false, {}, "planted.exe /x"},
      {"App\\U.exe /x", 0, false, {}, "app\\u.exe /x"},
      {pkg, 1, true, {"\"" + pkg + "\"", msiexec + "c:\\windows\\installer\\ab.msi"}, LowerCase(pkg)},
      {pkg, 2, true,
       {"\"" + pkg + "\"", msiexec + "c:\\windows\\installer\\ab.msi", msiexec + kCode},
       LowerCase(pkg)},
      // A quote would end the installer's argument and add switches.
      {"C:\\Gone\\x.msi\" TRANSFORMS=\"C:\\evil.mst", 0, true, {msiexec + kCode},
       "c:\\gone\\x.msi\" transforms=\"c:\\evil.mst"},
  };
  for (const auto& c : cases) {
    CMemoryFileSystem fs;
    fs.AddDrive('C', kDriveFixed);
    for (const char* file : {"C:\\App\\U.exe", "C:\\Program.exe", "C:\\Program Files\\App\\unins.exe",
                             "C:\\windows\\system32\\msiexec.exe", "C:\\App\\planted.exe",
                             "C:\\planted.exe", "C:\\Windows\\Installer\\Ab.MSI"}) {
      fs.AddFile(file);
    }
    fs.SetCurrentFolder("C:\\");
    CFakeShell shell(c.failures);
    InstalledProgram record;
    record.keyName = kCode;
    record.uninstallCommand = c.command;
    EXPECT_EQ(StartUninstaller(shell, fs, record), c.started) << c.command << " " << c.failures;
    EXPECT_EQ(shell.started, c.tried) << c.command << " " << c.failures;
    EXPECT_EQ(record.uninstallCommand, c.kept) << c.command;
  }
}

}  // namespace
}  // namespace tw
