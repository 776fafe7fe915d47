#include "uninstall/software_inventory.h"

#include <cstring>

#include "platform/text.h"

namespace tw {

const char kUninstallKeyMachine[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kUninstallKeyUser[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const char kArpCache[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";
const char kInstallerUserData[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
const char kInstallerProducts[] = "SOFTWARE\\Classes\\Installer\\Products\\";

// This program's own name and its sibling product's, in English and in
// katakana (code page 932), are never offered for removal.
const char* const kSkipNames[] = {"Tidewell", "Lumacrest",
                                  "\x83\x8B\x83\x7D\x83\x4E\x83\x8C\x83\x58\x83\x67"};

// The usage cache record the add/remove panel keeps per entry.
constexpr std::size_t kSlowInfoSize = 552;

// Windows Installer data is the 64-bit system's own, in its native view.

bool ValueExists(IRegistry& reg, RegKey key, const char* name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  return reg.QueryValue(key, name, &type, &data, kUnlimited) == kErrorSuccess;
}

// Texts are read whole: a command line or name longer than the program's
// usual 260-byte buffers is still the program's.
bool ReadText(IRegistry& reg, RegKey key, const char* name, std::string* out) {
  return RegReadString(reg, key, name, out, kUnlimited);
}

template <typename T>
T LittleEndian(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return static_cast<T>(v);
}

}  // namespace

bool IsProductCode(const std::string& name) {
  return name.size() == 38 && name[0] == '{' && name[37] == '}' && name[9] == '-' &&
         name[14] == '-' && name[19] == '-' && name[24] == '-';
}

std::string PackProductCode(const std::string& code) {
  if (!IsProductCode(code)) return {};
  // The first three groups reversed, the last two with each pair swapped.
  std::string out;
  for (auto [from, n] : {std::pair{1, 8}, std::pair{10, 4}, std::pair{15, 4}}) {
    out.append(code.rbegin() + (38 - from - n), code.rbegin() + (38 - from));
  }
  for (int i : {20, 22, 25, 27, 29, 31, 33, 35}) {
    out.push_back(code[i + 1]);
    out.push_back(code[i]);
  }
  return out;
}

std::string UninstallEntryPath(RegKey root, const std::string& keyName) {
  return std::string(root == kHkeyCurrentUser ? kUninstallKeyUser : kUninstallKeyMachine) + "\\" +
         keyName;
}

CSoftwareInventory::CSoftwareInventory(IRegistry& reg) : m_reg(reg) {}

int CSoftwareInventory::RefreshInventory() {
  m_programs.clear();
  // A 64-bit program sees only the 64-bit view unless it asks; 32-bit
  // installers register in the other one, which Windows' own list shows too.
  ReadUninstallKey(kHkeyLocalMachine, RegView::k64, kUninstallKeyMachine);
  if (HasThirtyTwoBitView()) ReadUninstallKey(kHkeyLocalMachine, RegView::k32, kUninstallKeyMachine);
  ReadUninstallKey(kHkeyCurrentUser, RegView::kDefault, kUninstallKeyUser);
  return 1;
}

// On a 32-bit system both views are the same key; only a 64-bit one has
// the Wow6432Node key that holds the other.
bool CSoftwareInventory::HasThirtyTwoBitView() {
  RegKey key = 0;
  if (m_reg.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Wow6432Node", kKeyRead, &key, RegView::k64) != 0) return false;
  m_reg.CloseKey(key);
  return true;
}

void CSoftwareInventory::ReadUninstallKey(RegKey root, RegView view, const std::string& keyPath) {
  CRegKeyGuard key(m_reg);
  if (m_reg.OpenKey(root, keyPath, kKeyRead, key.Put(), view) != 0) return;
  for (std::uint32_t i = 0;; ++i) {
    std::string name;
    if (!NextSubkey(m_reg, key.Get(), &i, &name, kBufferSize)) break;
    auto record = std::make_unique<InstalledProgram>();
    record->keyName = name;
    if (ReadUninstallEntry(root, view, keyPath + "\\" + name, record.get())) {
      m_programs.push_back(std::move(record));
    }
    if (m_entryRead) m_entryRead();
  }
}

bool CSoftwareInventory::ReadUninstallEntry(RegKey root, RegView view, const std::string& entryPath,
                                            InstalledProgram* record) {
  CRegKeyGuard key(m_reg);
  if (m_reg.OpenKey(root, entryPath, kKeyRead, key.Put(), view) != 0) return false;
  if (ValueExists(m_reg, key.Get(), "SystemComponent")) return false;
  // The command is read once: only when it is no text does it matter
  // whether the value is there at all.
  std::string command;
  const bool commandText = ReadText(m_reg, key.Get(), "UninstallString", &command);
  const bool hasCommand = commandText || ValueExists(m_reg, key.Get(), "UninstallString");
  const bool installerProduct = ValueExists(m_reg, key.Get(), "WindowsInstaller");
  if (!hasCommand && !installerProduct) return false;

  if (hasCommand && !commandText && !installerProduct) {
    return false;  // there, but not a text: nothing to start
  }
  if (installerProduct) {
    std::string package;
    FindInstallerProduct(record->keyName, &package, &record->icon);
    if (command.empty()) command = package;
    if (command.empty()) return false;
  }

  std::string name;
  if (!ReadText(m_reg, key.Get(), "DisplayName", &name)) return false;
  for (const char* skip : kSkipNames) {
    if (name == skip) return false;
  }
  record->displayName = name;
  record->uninstallCommand = command;
  record->root = root;
  record->view = view;

  if (record->icon.empty()) {
    std::string icon;
    if (ReadText(m_reg, key.Get(), "DisplayIcon", &icon)) {
      // "file,index": the page takes the file's first icon.
      const std::size_t comma = FindChar(icon, ',');
      if (comma != std::string::npos && comma > 0) icon.resize(comma);
      record->icon = icon;
    }
  }
  ReadUsageCache(root, record->keyName, record);
  return true;
}

bool CSoftwareInventory::FindInstallerProduct(const std::string& keyName, std::string* packagePath,
                                              std::string* icon) {
  if (!IsProductCode(keyName)) return false;
  const std::string packed = PackProductCode(keyName);
  {
    CRegKeyGuard userData(m_reg);
    if (m_reg.OpenKey(kHkeyLocalMachine, kInstallerUserData, kKeyRead, userData.Put(), RegView::k64) != 0) {
      return false;
    }
    for (std::uint32_t i = 0;; ++i) {
      std::string account;
      if (!NextSubkey(m_reg, userData.Get(), &i, &account, kBufferSize)) break;
      CRegKeyGuard props(m_reg);
      if (m_reg.OpenKey(userData.Get(), account + "\\Products\\" + packed + "\\InstallProperties",
                        kKeyRead, props.Put()) != 0) {
        continue;
      }
      std::string package;
      if (ReadText(m_reg, props.Get(), "LocalPackage", &package)) {
        if (packagePath) *packagePath = package;
        break;
      }
    }
  }
  CRegKeyGuard product(m_reg);
  if (m_reg.OpenKey(kHkeyLocalMachine, kInstallerProducts + packed, kKeyRead, product.Put(), RegView::k64) != 0) {
    return false;
  }
  std::string found;
  if (!ReadText(m_reg, product.Get(), "ProductIcon", &found)) return false;
  if (icon) *icon = found;
  return true;
}

void CSoftwareInventory::ReadUsageCache(RegKey root, const std::string& keyName,
                                        InstalledProgram* record) {
  CRegKeyGuard key(m_reg);
  // The panel that keeps the cache is the system's own, so the machine's
  // cache is in the native view whichever view the entry came from.
  const RegView view = root == kHkeyLocalMachine ? RegView::k64 : RegView::kDefault;
  if (m_reg.OpenKey(root, kArpCache + keyName, kKeyRead, key.Put(), view) != 0) return;
  std::uint32_t type = kRegBinary;
  std::vector<std::uint8_t> data;
  if (m_reg.QueryValue(key.Get(), "SlowInfoCache", &type, &data, kSlowInfoSize) != 0) return;
  std::uint8_t info[kSlowInfoSize] = {};
  std::memcpy(info, data.data(), data.size() < kSlowInfoSize ? data.size() : kSlowInfoSize);

  record->size = LittleEndian<std::int64_t>(info + 8);
  record->sizeText = FormatSize(record->size, m_texts);
  record->timesUsed = LittleEndian<std::int32_t>(info + 24);
  record->usageText = FormatUsage(record->timesUsed, m_texts);
  record->lastUsedText = FormatLastUsed(LittleEndian<std::uint64_t>(info + 16), m_texts, m_toLocal);
  if (record->icon.empty()) {
    // The main file's path: UTF-16, at most 260 characters, ended by a zero.
    std::u16string path;
    for (std::size_t i = 28; i + 1 < 28 + 520; i += 2) {
      const char16_t c = static_cast<char16_t>(info[i] | (info[i + 1] << 8));
      if (!c) break;
      path.push_back(c);
    }
    record->icon = Utf16ToAnsi(path);
  }
}

}  // namespace tw
