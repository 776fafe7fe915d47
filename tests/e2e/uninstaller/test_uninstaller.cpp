// A small program's own uninstaller, for the uninstall page's tests.
//   tw_uninstaller.exe /register HKLM|HKCU KEY "Display name"  [/keep]
// writes the Uninstall entry KEY naming this program as its uninstaller;
//   tw_uninstaller.exe /uninstall HKLM|HKCU KEY [/keep]
// is what that entry starts: it counts its runs in the entry ("UninstallerRan"),
// waits a moment as a real uninstaller would while it removes files, and
// then removes the entry, or, with /keep, leaves it as a user's Cancel would.
#include <windows.h>

#include <string>

namespace {

const char kMachine[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kUser[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr DWORD kWorkMs = 300;

void SetText(HKEY key, const char* name, const std::string& text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 4) return 2;
  const std::string verb = __argv[1];
  const bool user = std::string(__argv[2]) == "HKCU";
  const HKEY root = user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  const std::string keyName = __argv[3];
  const std::string path = (user ? kUser : kMachine) + keyName;
  const bool keep = std::string(__argv[__argc - 1]) == "/keep";

  if (verb == "/register" && __argc >= 5) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return 1;
    }
    SetText(key, "DisplayName", __argv[4]);
    SetText(key, "UninstallString", std::string("\"") + self + "\" /uninstall " + __argv[2] + " " +
                                        keyName + (keep ? " /keep" : ""));
    SetText(key, "DisplayIcon", std::string(self) + ",0");
    RegCloseKey(key);
    return 0;
  }
  if (verb == "/uninstall") {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
      return 1;
    }
    DWORD runs = 0, size = sizeof runs;
    if (RegQueryValueExA(key, "UninstallerRan", nullptr, nullptr, reinterpret_cast<BYTE*>(&runs),
                         &size) != ERROR_SUCCESS) {
      runs = 0;
    }
    ++runs;
    RegSetValueExA(key, "UninstallerRan", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&runs),
                   sizeof runs);
    RegCloseKey(key);
    Sleep(kWorkMs);
    if (keep) return 0;
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS ? 0 : 1;
  }
  return 2;
}
