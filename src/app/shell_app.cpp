#include "app/shell_app.h"

#include <commctrl.h>
#include <windows.h>

#include "app/administrator_check.h"
#include "app/language_files.h"
#include "app/main_window.h"
#include "platform/run_control.h"
#include "app/settings_store.h"
#include "app/shell_hooks.h"
#include "app/status_strip.h"
#include "platform/text.h"
#include "controls/message_dialog.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

#ifndef LOAD_LIBRARY_AS_IMAGE_RESOURCE
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#endif

namespace tw {

bool CSystemVersion::GetVersion(bool extended, OsVersion* out) {
  OSVERSIONINFOEXA info = {};
  info.dwOSVersionInfoSize = extended ? sizeof(OSVERSIONINFOEXA) : sizeof(OSVERSIONINFOA);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
  out->platformId = info.dwPlatformId;
  out->major = info.dwMajorVersion;
  out->minor = info.dwMinorVersion;
  return true;
}

CShellApp::~CShellApp() {
  if (m_hMutex) {
    ReleaseMutex(m_hMutex);
    CloseHandle(m_hMutex);
  }
}

bool CShellApp::LoadLibraryFile(const std::string& fileName) {
  // Only the program's own folder, and only as a resource image: a file of
  // that name anywhere else on the search path, or code inside the library,
  // never runs.
  std::string folder = ProgramFolder();
  if (folder.empty()) return false;
  std::string path = folder + "\\" + fileName;
  HMODULE lib = LoadLibraryExA(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!lib) return false;
  // A library without the product name is not a language library of ours.
  char probe[64];
  if (LoadStringA(lib, IDS_57755, probe, sizeof probe) <= 0) {
    FreeLibrary(lib);
    return false;
  }
  m_hLibrary = lib;
  return true;
}

bool CShellApp::LoadLanguageLibrary(std::uint16_t langId) {
  bool ok = TryLanguageLibrary(
      langId, [this](const std::string& name) { return LoadLibraryFile(name); });
  if (ok && langId != kBuiltInLanguage) {
    SetResourceInstance(m_hLibrary);
    m_wLanguage = langId;
  }
  return ok;
}

void CShellApp::WakeRunningInstance() {
  std::string name = LoadStr(IDS_57755);
  HWND other = FindWindowA(nullptr, name.c_str());
  if (other) {
    if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
    return;
  }
  MessageBoxA(nullptr, LoadStr(IDS_57772).c_str(), name.c_str(), MB_OK | MB_ICONINFORMATION);
}

int CShellApp::Run() {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  SetAnsiCodePage(GetACP());

  // 1. Language: the saved choice, then the user's and the system's default.
  m_wLanguage = kBuiltInLanguage;
  UINT saved = ReadProfileInt("Language", "LangID", 0);
  if (!LoadLanguageLibrary(static_cast<std::uint16_t>(saved & 0xFFFF)) &&
      !LoadLanguageLibrary(GetUserDefaultLangID())) {
    LoadLanguageLibrary(GetSystemDefaultLangID());
  }

  // 2. Rights: the NT family needs an administrator.
  CSystemVersion version;
  if (NeedsRightsCheck(ClassifyWindowsVersion(version)) && !IsAdministrator()) {
    CMessageDialog(IDS_57774, CMessageDialog::kOk).Show(nullptr);
  } else {
    // 3. One instance only.
    std::string name = LoadStr(IDS_57755);
    if (HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str())) {
      WakeRunningInstance();
      CloseHandle(other);
    } else {
      m_hMutex = CreateMutexA(nullptr, TRUE, name.c_str());
      // 4. Flags; 5. the hidden strip; 6. the main window.
      ClearScanFlags();
      CStatusStrip strip;
      strip.CreateStrip();
      SetStatusStrip(&strip);
      {
        CMainWindow window(m_wLanguage);
        window.Run();
      }
      SetStatusStrip(nullptr);
    }
  }
  // 7. The library goes when the program ends.
  if (m_hLibrary) {
    SetResourceInstance(nullptr);
    FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
  }
  return 0;
}

}  // namespace tw
