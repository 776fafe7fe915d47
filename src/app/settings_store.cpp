#include "app/settings_store.h"

#include <windows.h>

#include "app/shell_settings.h"
#include "controls/resource_module.h"

namespace tw {

namespace {
HKEY OpenSection(const std::string& section, bool create) {
  std::string path = SettingsKeyPath(ProgramName(), section);
  HKEY key = nullptr;
  LONG rc = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                     KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
                   : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
  return rc == ERROR_SUCCESS ? key : nullptr;
}
}  // namespace

UINT ReadProfileInt(const std::string& section, const std::string& entry, UINT fallback) {
  HKEY key = OpenSection(section, false);
  if (!key) return fallback;
  DWORD type = 0, value = 0, size = sizeof value;
  LONG rc = RegQueryValueExA(key, entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return fallback;
  return value;
}

bool WriteProfileInt(const std::string& section, const std::string& entry, UINT value) {
  HKEY key = OpenSection(section, true);
  if (!key) return false;
  DWORD v = value;
  LONG rc = RegSetValueExA(key, entry.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                           sizeof v);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

}  // namespace tw
