#include "registry_cleaner/registry_scanner.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"
#include "registry_cleaner/class_store_roots.h"

namespace tw {

const char kUninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

// The two halves of the classes root, the machine's first.
constexpr RegKey kClassesHives[] = {kHkeyLocalMachine, kHkeyCurrentUser};

std::string ClassesPath(const std::string& path) {
  return path.empty() ? std::string(kClassesKeyPath) : std::string(kClassesKeyPath) + "\\" + path;
}

std::string ClassesPrefix(RegKey hive) { return HivePrefix(hive) + kClassesKeyPath + "\\"; }

bool EndsWithDll(const std::string& text) {
  const std::string lower = LowerCase(text);
  return lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0;
}

}  // namespace

CRegistryScanner::CRegistryScanner(IRegistry& reg, IFileSystem& fs, const CRunControl& run,
                                   IScanSink& sink, ScanTexts texts, bool cacheWithinRun)
    : m_reg(reg), m_run(run), m_sink(sink), m_texts(std::move(texts)), m_paths(fs, cacheWithinRun) {}

void CRegistryScanner::Report(ScanCategory category, const std::string& location,
                              const std::string& description, const std::string& valueName) {
  RegistryFinding finding;
  finding.location = location;
  finding.description = description;
  finding.valueName = valueName;
  finding.category = category;
  if (CategoryHive(category) == kHkeyClassesRoot) finding.classesHive = m_classes;
  m_sink.OnFinding(finding);
}

bool CRegistryScanner::RunCategory(ScanCategory category) {
  switch (category) {
    case ScanCategory::kCurrentUser:
    case ScanCategory::kLocalMachine:
    case ScanCategory::kUsers:
    case ScanCategory::kClassesRoot:
      return ScanHive(CategoryHive(category), category);
    case ScanCategory::kComServers: return ScanComServers();
    case ScanCategory::kTypeLibraries: return ScanTypeLibraries();
    case ScanCategory::kUninstall: return ScanUninstallEntries();
    case ScanCategory::kFileAssociations: return ScanFileAssociations();
  }
  return true;
}

// Post-order: a key's subkeys are examined before its own values, and the
// hive root's values are never examined. One handle is open per level: the
// key being enumerated, which is also the one whose values are read once
// its own subtree is done.
bool CRegistryScanner::ScanHive(RegKey hive, ScanCategory category) {
  if (hive == kHkeyClassesRoot) {
    // Each half on its own, so that every finding names the hive it lives in.
    for (RegKey classes : kClassesHives) {
      m_classes = classes;
      CRegKeyGuard root(m_reg);
      if (m_reg.OpenKey(classes, kClassesKeyPath, kKeyRead, root.Put()) != kErrorSuccess) continue;
      if (!WalkSubkeys(ClassesPrefix(classes), root.Get(), "", category)) return false;
    }
    return true;
  }
  CRegKeyGuard root(m_reg);
  if (m_reg.OpenKey(hive, "", kKeyRead, root.Put()) != kErrorSuccess) return true;
  return WalkSubkeys(HivePrefix(hive), root.Get(), "", category);
}

bool CRegistryScanner::WalkSubkeys(const std::string& statusPrefix, RegKey key,
                                   const std::string& path, ScanCategory category,
                                   std::size_t depth) {
  if (m_levels.size() <= depth) m_levels.resize(depth + 1);
  std::string name;
  std::string subPath;
  for (std::uint32_t i = 0; NextSubkey(m_reg, key, &i, &name); ++i) {
    // Besides the polls below, a stop is seen before each key is entered
    // or reported, so nothing more shows on the status line after it.
    if (m_run.StopRequested()) return false;
    if (category == ScanCategory::kClassesRoot) {
      if (m_run.Poll()) return false;
      // Class and type-library registrations have walks of their own.
      const std::string upper = UpperCase(name);
      if (upper == "CLSID" || upper == "TYPELIB") continue;
    }
    CRegKeyGuard sub(m_reg);
    // The key's values are read as it is opened, once: they also tell
    // whether it is a link, which leads elsewhere (and may lead back up,
    // without end); its target is walked where it lives. They are judged
    // after the subtree, as the findings' order has it.
    if (m_reg.OpenKeyNoFollow(key, name, kKeyRead, sub.Put(), nullptr) != kErrorSuccess) continue;
    std::size_t count = 0;
    if (!ReadValues(sub.Get(), &m_levels[depth], &count)) continue;
    subPath = path.empty() ? name : path + "\\" + name;
    // A stop ends every level on the way out, so no further value is judged.
    if (!WalkSubkeys(statusPrefix, sub.Get(), subPath, category, depth + 1) ||
        m_run.StopRequested()) {
      return false;
    }
    m_sink.OnScanKey(statusPrefix + subPath);
    if (!ExamineValues(m_levels[depth], count, subPath, category)) return false;
  }
  return true;
}

namespace {

bool IsLinkValue(std::uint32_t type, const std::string& name) {
  return type == kRegLink && UpperCase(name) == "SYMBOLICLINKVALUE";
}

}  // namespace

// Every value that reads whole within the program's buffers, as NextValue
// steps over the others; false for a link.
bool CRegistryScanner::ReadValues(RegKey key, std::vector<ValueRead>* values, std::size_t* count) {
  *count = 0;
  for (std::uint32_t i = 0;; ++i) {
    if (values->size() <= *count) values->resize(*count + 1);
    ValueRead& v = (*values)[*count];
    const long rc = m_reg.EnumValue(key, i, &v.name, &v.type, &v.data, kBufferSize, kBufferSize);
    if (rc == kErrorMoreData) {
      // Too long to be judged, but the link's value may be that long: read
      // it whole to know. Reading every value whole would cost each one a
      // large buffer.
      if (m_reg.EnumValue(key, i, &v.name, &v.type, &v.data, kUnlimited, kUnlimited) ==
              kErrorSuccess &&
          IsLinkValue(v.type, v.name)) {
        return false;
      }
      continue;
    }
    if (rc == kErrorNoUnicodeTranslation) continue;
    if (rc != kErrorSuccess) return true;
    if (IsLinkValue(v.type, v.name)) return false;
    ++*count;
  }
}

bool CRegistryScanner::ExamineValues(const std::vector<ValueRead>& values, std::size_t count,
                                     const std::string& path, ScanCategory category) {
  std::string description;
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    const ValueRead& v = values[i];
    if (m_run.Poll()) return false;
    if (m_paths.Check(v.name, m_texts.invalidPath, &description) == PathVerdict::kInvalid) {
      Report(category, path, description, v.name);
    }
    if (v.type == kRegSz) {
      // String data as the ANSI interface hands it out: up to the first zero byte.
      const auto zero = std::find(v.data.begin(), v.data.end(), std::uint8_t{0});
      text.assign(v.data.begin(), zero);
      if (m_paths.Check(text, m_texts.invalidPath, &description) == PathVerdict::kInvalid) {
        Report(category, path, description, v.name);
      }
    }
  }
  return true;
}

bool CRegistryScanner::ScanComServers() {
  for (RegKey classes : kClassesHives) {
    m_classes = classes;
    CRegKeyGuard clsid(m_reg);
    if (m_reg.OpenKey(classes, ClassesPath("CLSID"), kKeyRead, clsid.Put()) != kErrorSuccess) {
      continue;
    }
    std::string id;
    for (std::uint32_t i = 0; NextSubkey(m_reg, clsid.Get(), &i, &id); ++i) {
      CRegKeyGuard server(m_reg);
      if (m_reg.OpenKey(clsid.Get(), id + "\\InprocServer32", kKeyRead, server.Put()) !=
          kErrorSuccess) {
        continue;
      }
      m_sink.OnScanKey(ClassesPrefix(classes) + "CLSID\\" + id + "\\InprocServer32");
      std::string text;
      if (!RegReadString(m_reg, server.Get(), "", &text, kBufferSize)) continue;
      if (m_run.Poll()) return false;
      std::string description;
      if (m_paths.Check(text, m_texts.invalidPath, &description) == PathVerdict::kInvalid) {
        Report(ScanCategory::kComServers, "CLSID\\" + id, description, "");
      }
    }
  }
  return true;
}

bool CRegistryScanner::ScanTypeLibraries() {
  for (RegKey classes : kClassesHives) {
    m_classes = classes;
    if (!ScanTypeLibrariesIn(classes)) return false;
  }
  return true;
}

bool CRegistryScanner::ScanTypeLibrariesIn(RegKey classes) {
  CRegKeyGuard typeLib(m_reg);
  if (m_reg.OpenKey(classes, ClassesPath("TypeLib"), kKeyRead, typeLib.Put()) != kErrorSuccess) {
    return true;
  }
  std::string lib;
  for (std::uint32_t i = 0; NextSubkey(m_reg, typeLib.Get(), &i, &lib); ++i) {
    CRegKeyGuard libKey(m_reg);
    if (m_reg.OpenKey(typeLib.Get(), lib, kKeyRead, libKey.Put()) != kErrorSuccess) continue;
    const std::string libPath = "TypeLib\\" + lib;
    m_sink.OnScanKey(ClassesPrefix(classes) + libPath);
    std::string version;
    for (std::uint32_t j = 0; NextSubkey(m_reg, libKey.Get(), &j, &version); ++j) {
      CRegKeyGuard win32(m_reg);
      if (m_reg.OpenKey(libKey.Get(), version + "\\0\\win32", kKeyRead, win32.Put()) != kErrorSuccess) {
        continue;
      }
      std::string text;
      if (!RegReadString(m_reg, win32.Get(), "", &text, kBufferSize)) continue;
      if (m_run.Poll()) return false;
      // A type library kept in a file of its own (.tlb, .olb, .exe) is
      // judged by its folder only; a library DLL must exist itself.
      if (!EndsWithDll(text)) {
        const std::size_t slash = FindLastChar(text, '\\');
        if (slash != std::string::npos && slash > 0) text.resize(slash);
      }
      std::string description;
      if (m_paths.Check(text, m_texts.invalidPath, &description) == PathVerdict::kInvalid) {
        Report(ScanCategory::kTypeLibraries, libPath, description, "");
      }
    }
  }
  return true;
}

bool CRegistryScanner::ScanUninstallEntries() {
  CRegKeyGuard uninstall(m_reg);
  if (m_reg.OpenKey(kHkeyLocalMachine, kUninstallKeyPath, kKeyRead, uninstall.Put()) !=
      kErrorSuccess) {
    return true;
  }
  static const char* const kSigns[] = {"UninstallString", "WindowsInstaller", "SystemComponent",
                                       "InstallLocation", "QuietUninstallString"};
  std::string name;
  for (std::uint32_t i = 0; NextSubkey(m_reg, uninstall.Get(), &i, &name); ++i) {
    CRegKeyGuard entry(m_reg);
    if (m_reg.OpenKey(uninstall.Get(), name, kKeyRead, entry.Put()) != kErrorSuccess) continue;
    const std::string location = std::string(kUninstallKeyPath) + "\\" + name;
    m_sink.OnScanKey(HivePrefix(kHkeyLocalMachine) + location);
    bool present = false;
    for (const char* sign : kSigns) {
      std::uint32_t type = 0;
      std::vector<std::uint8_t> data;
      if (m_reg.QueryValue(entry.Get(), sign, &type, &data, kBufferSize) == kErrorSuccess) {
        present = true;
        break;
      }
    }
    if (present) continue;
    if (m_run.Poll()) return false;
    Report(ScanCategory::kUninstall, location, m_texts.invalidUninstall, "");
  }
  return true;
}

bool CRegistryScanner::ScanFileAssociations() {
  for (RegKey classes : kClassesHives) {
    m_classes = classes;
    if (!ScanFileAssociationsIn(classes)) return false;
  }
  return true;
}

// A file type is judged with the class it names in its own hive. A user's
// file type may name a machine class (the classes root shows it to the
// user); that class is judged too, but only the user's file type is
// reported: an entry any program can write never offers a machine key.
bool CRegistryScanner::ScanFileAssociationsIn(RegKey classes) {
  CRegKeyGuard root(m_reg);
  if (m_reg.OpenKey(classes, kClassesKeyPath, kKeyRead, root.Put()) != kErrorSuccess) return true;
  // The classes keys the class checks start from, opened once as every
  // check would open them, without following a link on the way; where
  // that fails each check opens its own path and fails alike.
  CRegKeyGuard checked[2] = {CRegKeyGuard(m_reg), CRegKeyGuard(m_reg)};
  for (int h = 0; h < 2; ++h) {
    // A file type names a class of its own hive or the machine's.
    if (kClassesHives[h] != classes && kClassesHives[h] != kHkeyLocalMachine) continue;
    bool link = false;
    if (RegOpenPathNoFollow(m_reg, kClassesHives[h], kClassesKeyPath, kKeyRead, checked[h].Put(),
                            &link) == kErrorSuccess &&
        link) {
      checked[h].Reset();
    }
  }
  std::string name;
  for (std::uint32_t i = 0; NextSubkey(m_reg, root.Get(), &i, &name); ++i) {
    if (name.empty() || name[0] != '.') continue;
    CRegKeyGuard ext(m_reg);
    if (m_reg.OpenKey(root.Get(), name, kKeyRead, ext.Put()) != kErrorSuccess) continue;
    m_sink.OnScanKey(ClassesPrefix(classes) + name);
    std::string className;
    if (!RegReadString(m_reg, ext.Get(), "", &className, kBufferSize)) continue;
    if (!IsPlainClassName(className)) continue;
    RegKey classHive = classes;
    if (!ClassKeyExists(classes, className)) {
      if (classes != kHkeyCurrentUser || !ClassKeyExists(kHkeyLocalMachine, className)) continue;
      classHive = kHkeyLocalMachine;
    }
    const RegKey from = checked[classHive == kHkeyLocalMachine ? 0 : 1].Get();
    if (from ? !IsClassKeyDeadBelow(from, className) : !IsClassKeyDead(className, classHive)) {
      continue;
    }
    // A class key without subkeys is judged dead without any poll; polling
    // here keeps rows from appearing after a stop.
    if (m_run.Poll()) return false;
    Report(ScanCategory::kFileAssociations, name, m_texts.invalidAssociation, "");
    if (classHive == classes) {
      Report(ScanCategory::kFileAssociations, className, m_texts.invalidAssociation, "");
    }
  }
  return true;
}

bool CRegistryScanner::ClassKeyExists(RegKey classes, const std::string& className) {
  CRegKeyGuard key(m_reg);
  return m_reg.OpenKey(classes, ClassesPath(className), kKeyRead, key.Put()) == kErrorSuccess;
}

bool CRegistryScanner::IsClassKeyDead(const std::string& classKeyPath, RegKey classes) {
  const std::string path = ClassesPath(classKeyPath);
  CRegKeyGuard key(m_reg);
  bool link = false;
  if (RegOpenPathNoFollow(m_reg, classes, path, kKeyRead, key.Put(), &link) != kErrorSuccess ||
      link) {
    return false;
  }
  std::size_t depth = 1;
  for (std::size_t at = FindChar(path, '\\'); at != std::string::npos;
       at = FindChar(path, '\\', at + 1)) {
    ++depth;
  }
  return IsOpenedClassKeyDead(key.Get(), depth);
}

bool CRegistryScanner::IsClassKeyDeadBelow(RegKey classesKey, const std::string& className) {
  CRegKeyGuard key(m_reg);
  bool link = false;
  if (m_reg.OpenKeyNoFollow(classesKey, className, kKeyRead, key.Put(), &link) != kErrorSuccess ||
      link) {
    return false;
  }
  // The hive's root, its classes key's two names, and the class.
  return IsOpenedClassKeyDead(key.Get(), 3);
}

// Each subkey is opened from its parent's handle, one name at a time, so
// that a class tree costs one open per key and no link on the way is
// followed; a link, like anything that cannot be read, keeps the class.
bool CRegistryScanner::IsOpenedClassKeyDead(RegKey key, std::size_t depth) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (m_reg.QueryValue(key, "FriendlyTypeName", &type, &data, kBufferSize) == kErrorSuccess) {
    return false;
  }
  std::string name;
  for (std::uint32_t i = 0;; ++i) {
    const long rc = m_reg.EnumKey(key, i, &name);
    if (rc == kErrorNoMoreItems) break;
    // A subkey that cannot be listed (a name longer than the buffer, a
    // failing read) cannot be judged: keep the class.
    if (rc != kErrorSuccess) return false;
    if (m_run.Poll()) return false;
    const std::string upper = UpperCase(name);
    if (upper == "COMMAND" || upper == "DEFAULTICON") {
      CRegKeyGuard sub(m_reg);
      std::string text;
      if (m_reg.OpenKey(key, name, kKeyRead, sub.Put()) == kErrorSuccess &&
          RegReadString(m_reg, sub.Get(), "", &text, kBufferSize) && !text.empty()) {
        return false;
      }
    } else if (upper == "CLSID") {
      return false;
    } else {
      if (depth >= static_cast<std::size_t>(kMaxKeyDepth)) return false;
      CRegKeyGuard sub(m_reg);
      bool link = false;
      if (m_reg.OpenKeyNoFollow(key, name, kKeyRead, sub.Put(), &link) != kErrorSuccess || link ||
          !IsOpenedClassKeyDead(sub.Get(), depth + 1)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace tw
