// The contract suites' Win32 backend: the real (Wine) registry and file
// system. Each test gets its own key below HKCU\Software\TidewellTest and its
// own folder on D:; both are removed afterwards, and leftovers of a run that
// crashed are removed when the next run starts.
#include <windows.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "contract/backend.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"

namespace tw::contract {
namespace {

const char kTestRoot[] = "Software\\TidewellTest";
const char kScratchPrefix[] = "D:\\twtest_";

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA wfd;
  const HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &wfd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = wfd.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (wfd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &wfd));
    FindClose(h);
  }
  RemoveDirectoryA(folder.c_str());
}

// Removes what an earlier, crashed run left behind (once per process).
void RemoveLeftovers() {
  static std::atomic<bool> done{false};
  if (done.exchange(true)) return;
  // Only this suite's own keys ("run..."): other suites share the root.
  HKEY root = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestRoot, 0, KEY_ALL_ACCESS, &root) == ERROR_SUCCESS) {
    char name[256];
    for (DWORD i = 0;;) {
      DWORD cch = sizeof name;
      if (RegEnumKeyExA(root, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      if (std::string(name, cch).rfind("run", 0) == 0) {
        RegDeleteTreeA(root, name);
        if (RegDeleteKeyA(root, name) != ERROR_SUCCESS) ++i;  // cannot go: step over it
      } else {
        ++i;
      }
    }
    RegCloseKey(root);
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);  // only when empty
  WIN32_FIND_DATAA wfd;
  const HANDLE h = FindFirstFileA((std::string(kScratchPrefix) + "*").c_str(), &wfd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    RemoveTree(std::string("D:\\") + wfd.cFileName);
  } while (FindNextFileA(h, &wfd));
  FindClose(h);
}

// Counts the handles it opens so tests can assert none leaked.
class CCountingRegistry : public CWin32Registry {
 public:
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
              RegView view = RegView::kDefault) override {
    const long rc = CWin32Registry::OpenKey(parent, path, access, out, view);
    if (rc == 0 && out) ++m_nOpen;
    return rc;
  }
  long CreateKey(RegKey parent, const std::string& path, RegKey* out,
                 RegView view = RegView::kDefault) override {
    const long rc = CWin32Registry::CreateKey(parent, path, out, view);
    if (rc == 0 && out) ++m_nOpen;
    return rc;
  }
  long OpenKeyNoFollow(RegKey parent, const std::string& name, std::uint32_t access, RegKey* out,
                       bool* isLink) override {
    const long rc = CWin32Registry::OpenKeyNoFollow(parent, name, access, out, isLink);
    if (rc == 0 && out) ++m_nOpen;
    return rc;
  }
  long CloseKey(RegKey key) override {
    const long rc = CWin32Registry::CloseKey(key);
    if (rc == 0 && key != kHkeyClassesRoot && key != kHkeyCurrentUser && key != kHkeyLocalMachine &&
        key != kHkeyUsers) {
      --m_nOpen;
    }
    return rc;
  }
  long m_nOpen = 0;
};

class CWin32Backend : public IContractBackend {
 public:
  CWin32Backend() {
    RemoveLeftovers();
    static std::atomic<int> counter{0};
    const std::string unique =
        std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    m_strSandbox = std::string(kTestRoot) + "\\run" + unique;
    HKEY hk = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_strSandbox.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &hk, nullptr) == ERROR_SUCCESS) {
      RegCloseKey(hk);
    }
    m_strScratch = kScratchPrefix + unique;
    CreateDirectoryA(m_strScratch.c_str(), nullptr);
  }
  ~CWin32Backend() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, m_strSandbox.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, m_strSandbox.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);  // only when no other run uses it
    RemoveTree(m_strScratch);
    // The ANSI calls of a test's own clean-up cannot name what is below.
    for (const auto& [root, path] : m_foreignTrees) {
      const std::wstring wide(path.begin(), path.end());
      RegDeleteTreeW(root, wide.c_str());
      RegDeleteKeyW(root, wide.c_str());
    }
  }
  const char* Name() const override { return "win32"; }
  IRegistry& Registry() override { return m_reg; }
  IFileSystem& Files() override { return m_fs; }
  IShell& Shell() override { return m_shell; }
  std::string SandboxPath() const override { return m_strSandbox; }
  std::string Scratch() const override { return m_strScratch; }
  std::shared_ptr<void> HoldOpenForWriting(const std::string& path,
                                           bool letOthersDelete) override {
    const DWORD share =
        FILE_SHARE_READ | FILE_SHARE_WRITE | (letOthersDelete ? FILE_SHARE_DELETE : 0);
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(h, [](void* p) { CloseHandle(static_cast<HANDLE>(p)); });
  }
  long OpenRegistryHandles() const override { return m_reg.m_nOpen; }
  bool CreateRegistryLink(RegKey root, const std::string& path, const std::string& target) override {
    const std::wstring wide(path.begin(), path.end());
    HKEY hk = nullptr;
    if (RegCreateKeyExW(reinterpret_cast<HKEY>(root), wide.c_str(), 0, nullptr,
                        REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &hk,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    // The target as the system stores it: UTF-16 without a terminator.
    const std::wstring to(target.begin(), target.end());
    const bool ok = RegSetValueExW(hk, L"SymbolicLinkValue", 0, REG_LINK,
                                   reinterpret_cast<const BYTE*>(to.data()),
                                   static_cast<DWORD>(to.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(hk);
    return ok;
  }
  bool CreateKeyNamedOutsideCodePage(RegKey root, const std::string& path) override {
    const std::wstring wide = std::wstring(path.begin(), path.end()) + L"\\\uD55C\uAE00";
    HKEY hk = nullptr;
    if (RegCreateKeyExW(reinterpret_cast<HKEY>(root), wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &hk, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(hk);
    m_foreignTrees.emplace_back(reinterpret_cast<HKEY>(root), path);
    return true;
  }
  std::string Dump() const override {
    std::string out = "HKCU\\" + m_strSandbox + " and " + m_strScratch + ":\n";
    DumpKey(HKEY_CURRENT_USER, m_strSandbox, &out);
    DumpFolder(m_strScratch, &out);
    return out;
  }

 private:
  static void DumpKey(HKEY root, const std::string& path, std::string* out) {
    HKEY hk = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &hk) != ERROR_SUCCESS) return;
    *out += "  key " + path + "\n";
    char name[1024];
    for (DWORD i = 0;; ++i) {
      DWORD cch = sizeof name;
      DWORD type = 0;
      if (RegEnumValueA(hk, i, name, &cch, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      *out += "    value \"" + std::string(name, cch) + "\" type " + std::to_string(type) + "\n";
    }
    for (DWORD i = 0;; ++i) {
      DWORD cch = sizeof name;
      if (RegEnumKeyExA(hk, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      DumpKey(root, path + "\\" + std::string(name, cch), out);
    }
    RegCloseKey(hk);
  }
  static void DumpFolder(const std::string& folder, std::string* out) {
    WIN32_FIND_DATAA wfd;
    const HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &wfd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = wfd.cFileName;
      if (name == "." || name == "..") continue;
      *out += "  " + folder + "\\" + name + " attr " + std::to_string(wfd.dwFileAttributes) +
              " size " + std::to_string(wfd.nFileSizeLow) + "\n";
      if (wfd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DumpFolder(folder + "\\" + name, out);
    } while (FindNextFileA(h, &wfd));
    FindClose(h);
  }

  CCountingRegistry m_reg;
  CWin32FileSystem m_fs;
  CWin32Shell m_shell;
  std::string m_strSandbox;
  std::string m_strScratch;
  std::vector<std::pair<HKEY, std::string>> m_foreignTrees;
};

}  // namespace

std::unique_ptr<IContractBackend> MakeBackend() { return std::make_unique<CWin32Backend>(); }

}  // namespace tw::contract
