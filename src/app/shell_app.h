// The application object: language, rights check, single instance, the
// hidden status strip and the modal main window, in that order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/windows_version.h"

namespace tw {

class CShellApp {
 public:
  CShellApp() = default;
  ~CShellApp();
  CShellApp(const CShellApp&) = delete;
  CShellApp& operator=(const CShellApp&) = delete;

  // Runs the program from start to end; answers the process exit code.
  int Run();

  // Tries the library for one language from the program's folder.
  bool LoadLanguageLibrary(std::uint16_t langId);
  std::uint16_t LanguageId() const { return m_wLanguage; }

 private:
  bool LoadLibraryFile(const std::string& fileName);
  void WakeRunningInstance();

  std::uint16_t m_wLanguage = 0x804;
  HMODULE m_hLibrary = nullptr;
  HANDLE m_hMutex = nullptr;
};

// GetVersionExA as a version source.
class CSystemVersion : public IVersionSource {
 public:
  bool GetVersion(bool extended, OsVersion* out) override;
};

}  // namespace tw
