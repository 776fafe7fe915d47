#include "plugins/plugin_removal.h"

#include "platform/text.h"
#include "plugins/plugin_inventory.h"
#include "reg_export/reg_export_file.h"

namespace tw {

namespace {

// Removal asks for what it needs and no more.
constexpr std::uint32_t kRemoveAccess = kKeyRead | kKeyCreateSubKey | kKeySetValue;

// A path regsvr32 may be given between quotes: a file on a local drive,
// named plainly. A quote would end the argument early and let the rest of
// the registry's text be switches ("/i:http://... scrobj.dll"); a share, a
// device path or a drive of the network would load code from elsewhere.
bool IsPlainLocalFilePath(IFileSystem& fs, const std::string& path) {
  if (path.size() < 4 || path.size() >= 260) return false;
  const char drive = static_cast<char>(path[0] | 0x20);
  if (drive < 'a' || drive > 'z' || path[1] != ':' || path[2] != '\\') return false;
  for (std::size_t i = 0; i < path.size(); i = NextCharPos(path, i)) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || FindChar("\"<>|*?/:", static_cast<char>(c)) != std::string::npos) {
      if (!(c == ':' && i == 1)) return false;
    }
  }
  const std::uint32_t type = fs.GetDriveType(path.substr(0, 3));
  return type == kDriveFixed || type == kDriveRemovable || type == kDriveRamdisk;
}

}  // namespace

std::string MakePluginBackupFileName(IFileSystem& fs, const SystemTime& localTime) {
  return GetProgramFolder(fs) + "\\RegBackup\\IE_" + FormatBackupStamp(localTime) + ".reg";
}

namespace {

// Children first, each opened below its parent without following a link: a
// link goes as itself and its target is left alone; deeper than the system
// allows is a loop, and that part stays.
void DeleteOpenedTree(IRegistry& reg, RegKey key, bool isLink, int depth) {
  if (!isLink && depth < kMaxKeyDepth) {
    // The enumeration ends before anything goes, so no index shifts under it.
    std::vector<std::string> subkeys;
    std::string name;
    for (std::uint32_t i = 0; NextSubkey(reg, key, &i, &name, kUnlimited); ++i) subkeys.push_back(name);
    for (const auto& sub : subkeys) {
      CRegKeyGuard child(reg);
      bool link = false;
      if (reg.OpenKeyNoFollow(key, sub, kRemoveAccess | kKeyDelete, child.Put(), &link) ==
          kErrorSuccess) {
        DeleteOpenedTree(reg, child.Get(), link, depth + 1);
      }
    }
    std::vector<std::string> values;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; NextValue(reg, key, &i, &name, &type, &data, kUnlimited, kUnlimited);
         ++i) {
      if (!name.empty()) values.push_back(name);
    }
    reg.DeleteValue(key, "");
    for (const auto& value : values) reg.DeleteValue(key, value);
  }
  reg.DeleteOpenedKey(key);
}

}  // namespace

bool DeleteKeyTree(IRegistry& reg, RegKey root, const std::string& path) {
  // An empty path would name the root itself.
  if (path.empty()) return false;
  {
    CRegKeyGuard key(reg);
    bool link = false;
    if (RegOpenPathNoFollow(reg, root, path, kRemoveAccess | kKeyDelete, key.Put(), &link) ==
        kErrorSuccess) {
      DeleteOpenedTree(reg, key.Get(), link, 0);
    }
  }
  CRegKeyGuard left(reg);
  bool link = false;
  return RegOpenPathNoFollow(reg, root, path, kKeyRead, left.Put(), &link) == kErrorFileNotFound;
}

bool IsRegisterableServer(const std::string& serverPath) {
  if (serverPath.size() < 4) return false;
  const std::string ending = LowerCase(serverPath.substr(serverPath.size() - 4));
  return ending == ".dll" || ending == ".ocx";
}

PluginRemovalResult CPluginRemoval::DeleteRegistration(int kind, const PluginRecord& record,
                                                       const SystemTime& localTime) {
  return Remove(kind, record, localTime, false);
}

PluginRemovalResult CPluginRemoval::UnregisterPlugin(int kind, const PluginRecord& record,
                                                     const SystemTime& localTime) {
  return Remove(kind, record, localTime, true);
}

PluginRemovalResult CPluginRemoval::Remove(int kind, const PluginRecord& record,
                                           const SystemTime& localTime, bool unregister) {
  PluginRemovalResult result;
  IRegistry& reg = *m_platform.registry;
  CRegExportFile file(reg, *m_platform.files);
  // Each removal keeps its own backup: a second one within the same second
  // gets a numbered name instead of emptying the first.
  result.error = file.OpenNew(MakePluginBackupFileName(*m_platform.files, localTime),
                              &result.backupPath);
  if (result.error != kErrorSuccess) {
    result.backupPath = MakePluginBackupFileName(*m_platform.files, localTime);
    return result;
  }
  result.error = file.WriteHeader(m_windowsFamily);
  if (result.error != kErrorSuccess) {
    result.damagedEnd = file.CutBackFailed();
    return result;
  }

  const bool toolbar = kind == kPluginToolbar;
  // A toolbar is one value of the shared Toolbar key; the other kinds own
  // their entry's key.
  // A toolbar is named by its class: the Toolbar key's default value is no
  // toolbar, and the writer would empty it while backing it up.
  const bool registrationSaved =
      !record.storedKeyPath.empty() && (!toolbar || !record.classId.empty()) &&
      file.ExportKey(record.root, record.storedKeyPath, record.classId, toolbar) == kErrorSuccess;
  // A registration of the user's own names a server the user put there:
  // only the registration goes, and nothing the user's hive names is
  // removed from the machine or loaded with administrator rights.
  result.perUserServerLeft = unregister && record.root == kHkeyCurrentUser;
  const bool hasClass = unregister && !result.perUserServerLeft &&
                        IsUsableClassId(record.classId) && record.classRoot != 0 &&
                        !record.classKeyPath.empty();
  const bool classSaved =
      hasClass && file.ExportKey(record.classRoot, record.classKeyPath, "", false) == kErrorSuccess;
  // Nothing goes before the whole backup is on disk.
  result.damagedEnd = file.CutBackFailed();
  const long closed = file.Close();
  if (file.WriteError() != kErrorSuccess || closed != kErrorSuccess) {
    result.error = file.WriteError() != kErrorSuccess ? file.WriteError() : closed;
    return result;
  }

  if (registrationSaved) {
    if (toolbar) {
      CRegKeyGuard key(reg);
      if (reg.OpenKey(record.root, record.storedKeyPath, kRemoveAccess, key.Put()) ==
          kErrorSuccess) {
        result.registrationRemoved = reg.DeleteValue(key.Get(), record.classId) == kErrorSuccess;
      }
    } else {
      result.registrationRemoved = DeleteKeyTree(reg, record.root, record.storedKeyPath);
    }
  }
  if (classSaved) result.classRemoved = DeleteKeyTree(reg, record.classRoot, record.classKeyPath);

  // The component is asked to unregister itself; regsvr32 runs without its
  // silent switch and reports in its own message box. What it removes goes
  // beyond the backup, so it runs only once the class tree is in the backup
  // whole, and it is started from the system folder, never found by a
  // search that looks in the current folder first. A component of the
  // 32-bit view is a 32-bit library, which only the 32-bit regsvr32 of
  // 64-bit Windows can load.
  std::string system;
  if (record.view == RegView::k32) system = m_platform.files->GetSystemWow64Directory();
  if (system.empty()) system = m_platform.files->GetSystemDirectory();
  if (classSaved && !system.empty() && IsRegisterableServer(record.serverPath) &&
      IsPlainLocalFilePath(*m_platform.files, record.serverPath)) {
    result.unregisterStarted = m_platform.shell->ShellExecute(
        "open", system + "\\regsvr32.exe", "\"" + record.serverPath + "\" -u", 0 /* hidden */);
  }
  return result;
}

}  // namespace tw
