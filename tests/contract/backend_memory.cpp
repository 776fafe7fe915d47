// The contract suites' in-memory backend, seeded like the Wine prefix the
// Win32 build's suites run in.
#include <atomic>

#include "contract/backend.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"

namespace tw::contract {
namespace {

class CMemoryBackend : public IContractBackend {
 public:
  CMemoryBackend() : m_shell(m_fs) {
    static std::atomic<int> counter{0};
    m_strSandbox = "Software\\TidewellTest\\run" + std::to_string(++counter);
    m_reg.SeedKey(kHkeyCurrentUser, m_strSandbox);
    // The prefix's drives: C: and D: fixed, E: CD-ROM, F: removable,
    // G: network, H: RAM disk, P: the programs' folder (network).
    m_fs.AddDrive('C', kDriveFixed, "");
    m_fs.AddDrive('D', kDriveFixed, "");
    m_fs.AddDrive('E', kDriveCdrom, "");
    m_fs.AddDrive('F', kDriveRemovable, "");
    m_fs.AddDrive('G', kDriveRemote, "");
    m_fs.AddDrive('H', kDriveRamdisk, "");
    m_fs.AddDrive('P', kDriveRemote, "");
    m_fs.AddFolder("C:\\users\\tidewell\\Temp");
    m_fs.SetTempPath("C:\\users\\tidewell\\Temp\\");
    m_fs.AddFile("C:\\windows\\regedit.exe", "MZ");
    m_fs.AddFile("C:\\windows\\system32\\cmd.exe", "MZ");
    m_fs.SetWindowsDirectory("C:\\windows");
    m_fs.AddFile("P:\\contract_memory.exe", "MZ");
    m_fs.SetModuleFileName("P:\\contract_memory.exe");
    m_fs.SetCurrentFolder("P:\\");
    m_strScratch = "D:\\twtest_run" + std::to_string(counter.load());
    m_fs.AddFolder(m_strScratch);
  }
  const char* Name() const override { return "memory"; }
  IRegistry& Registry() override { return m_reg; }
  IFileSystem& Files() override { return m_fs; }
  IShell& Shell() override { return m_shell; }
  std::string SandboxPath() const override { return m_strSandbox; }
  std::string Scratch() const override { return m_strScratch; }
  // A file in use refuses every deletion, whatever its holder shares.
  std::shared_ptr<void> HoldOpenForWriting(const std::string& path, bool) override {
    if (!m_fs.SetInUse(path, true)) return nullptr;
    CMemoryFileSystem* fs = &m_fs;
    return std::shared_ptr<void>(new int(0), [fs, path](void* p) {
      fs->SetInUse(path, false);
      delete static_cast<int*>(p);
    });
  }
  long OpenRegistryHandles() const override { return static_cast<long>(m_reg.OpenHandleCount()); }
  std::string Dump() const override {
    return m_reg.Dump(kHkeyCurrentUser, m_strSandbox) + m_fs.Dump() + m_shell.Dump();
  }

 private:
  CMemoryRegistry m_reg;
  CMemoryFileSystem m_fs;
  CMemoryShell m_shell;
  std::string m_strSandbox;
  std::string m_strScratch;
};

}  // namespace

std::unique_ptr<IContractBackend> MakeBackend() { return std::make_unique<CMemoryBackend>(); }

}  // namespace tw::contract
