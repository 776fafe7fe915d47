// Removal of a browser extension's registration, and of its component's
// class registration with the component asked to unregister itself. What
// goes is first written whole to a registry-export backup in RegBackup, and
// only what the backup holds is removed.
#pragma once

#include <string>

#include "platform/platform.h"
#include "plugins/plugin_record.h"

namespace tw {

// "IE_2006_3_7_9_5_0.reg" below GetProgramFolder() + "\RegBackup\".
std::string MakePluginBackupFileName(IFileSystem& fs, const SystemTime& localTime);

// Removes root\path with everything below it, children first: a key's
// subkeys are all collected before any goes, then its values, then the key.
// True when the key is gone afterwards.
bool DeleteKeyTree(IRegistry& reg, RegKey root, const std::string& path);

// True for a server file that regsvr32 can unregister (".dll", ".ocx", in
// any letter case).
bool IsRegisterableServer(const std::string& serverPath);

struct PluginRemovalResult {
  // kErrorSuccess, or the error that stopped the command before anything
  // was removed (the backup file could not be made or written).
  long error = kErrorSuccess;
  std::string backupPath;   // the file made (or the one that could not be)
  // With an error: the section being written when the disk refused could not
  // be cut off again, so the backup's last section must not be imported.
  bool damagedEnd = false;
  bool registrationRemoved = false;
  bool classRemoved = false;
  bool unregisterStarted = false;
  // Uninstalling a registration of the user's own: it went, its class and
  // server were left as they are.
  bool perUserServerLeft = false;
};

class CPluginRemoval {
 public:
  // windowsFamily: ClassifyWindowsVersion's code, which picks the backup's form.
  CPluginRemoval(const Platform& platform, int windowsFamily)
      : m_platform(platform), m_windowsFamily(windowsFamily) {}

  // The extension's registration with the browser: the toolbar's value, or
  // the entry's whole key.
  PluginRemovalResult DeleteRegistration(int kind, const PluginRecord& record,
                                         const SystemTime& localTime);
  // The registration, the class's key tree, and "regsvr32 <server> -u" for a
  // server library.
  PluginRemovalResult UnregisterPlugin(int kind, const PluginRecord& record,
                                       const SystemTime& localTime);

 private:
  PluginRemovalResult Remove(int kind, const PluginRecord& record, const SystemTime& localTime,
                             bool unregister);

  Platform m_platform;
  int m_windowsFamily;
};

}  // namespace tw
