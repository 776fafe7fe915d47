// The installed programs, read from the uninstall entries of the machine (in
// both registry views on 64-bit Windows) and of the user, with the Windows
// Installer package and icon of installer products and the size, frequency
// of use and last use from the usage cache of the system's add/remove panel.
// Rebuilt in full on every refresh; nothing is written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "uninstall/inventory_format.h"
#include "uninstall/installed_program.h"

namespace tw {

extern const char kUninstallKeyMachine[];  // "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
extern const char kUninstallKeyUser[];     // "Software\Microsoft\..." (the user's own)

// Whether name has the form of a product code {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
bool IsProductCode(const std::string& name);
// The 32-character form Windows Installer names its keys by; empty for a
// name that is not a product code.
std::string PackProductCode(const std::string& code);
// The uninstall key path of an entry under its root.
std::string UninstallEntryPath(RegKey root, const std::string& keyName);

class CSoftwareInventory {
 public:
  explicit CSoftwareInventory(IRegistry& reg);

  void SetTexts(const InventoryTexts& texts) { m_texts = texts; }
  void SetLocalTimeConverter(LocalTimeConverter toLocal) { m_toLocal = std::move(toLocal); }
  // Called after each entry read: the caller's window can answer those who
  // wait for it while a long inventory is read.
  void SetEntryRead(std::function<void()> entryRead) { m_entryRead = std::move(entryRead); }

  // Empties the list and reads it again; always 1.
  int RefreshInventory();
  // Fills record from root\entryPath opened in view; false when the entry
  // is not to be listed. record.keyName must be set.
  bool ReadUninstallEntry(RegKey root, RegView view, const std::string& entryPath,
                          InstalledProgram* record);
  // The installed package of a Windows Installer product (packagePath) and
  // its product icon (icon, only set when found); true when an icon was found.
  bool FindInstallerProduct(const std::string& keyName, std::string* packagePath,
                            std::string* icon);
  // Size, use and last use from the usage cache of root's add/remove panel.
  void ReadUsageCache(RegKey root, const std::string& keyName, InstalledProgram* record);

  const std::vector<std::unique_ptr<InstalledProgram>>& Programs() const { return m_programs; }
  // The list read, moved out; the inventory is empty afterwards.
  std::vector<std::unique_ptr<InstalledProgram>> TakePrograms() { return std::move(m_programs); }

 private:
  void ReadUninstallKey(RegKey root, RegView view, const std::string& keyPath);
  bool HasThirtyTwoBitView();

  IRegistry& m_reg;
  InventoryTexts m_texts;
  LocalTimeConverter m_toLocal = ConvertWithCLibrary;
  std::function<void()> m_entryRead;
  std::vector<std::unique_ptr<InstalledProgram>> m_programs;
};

}  // namespace tw
