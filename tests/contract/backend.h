// What the contract suites run against: one backend (in-memory natively, the
// real system under Wine), a sandbox registry key and a scratch folder, both
// made fresh for each test and removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"

namespace tw::contract {

class IContractBackend {
 public:
  virtual ~IContractBackend() = default;
  virtual const char* Name() const = 0;
  virtual IRegistry& Registry() = 0;
  virtual IFileSystem& Files() = 0;
  virtual IShell& Shell() = 0;
  // "Software\TidewellTest\<unique>" below HKEY_CURRENT_USER, created and empty.
  virtual std::string SandboxPath() const = 0;
  // A folder on D: without a trailing "\", created and empty.
  virtual std::string Scratch() const = 0;
  // Holds a file open for writing as another program would, until the
  // returned object is released; letOthersDelete shares deletion too. Null
  // when the file cannot be opened.
  virtual std::shared_ptr<void> HoldOpenForWriting(const std::string& path,
                                                   bool letOthersDelete = false) = 0;
  // Registry handles opened through Registry() and not yet closed; -1 when
  // the backend cannot tell.
  virtual long OpenRegistryHandles() const = 0;
  // Makes root\path a registry link to the key named by the native path
  // `target` ("\Registry\Machine\Software\..."); false where the backend
  // has no links (the memory one).
  virtual bool CreateRegistryLink(RegKey root, const std::string& path, const std::string& target) {
    return false;
  }
  // Makes root\path and below it a key whose name the ANSI code page lacks
  // (Hangul), which an ANSI read cannot name; the tree goes with the
  // backend. False where the backend has no such names (the memory one).
  virtual bool CreateKeyNamedOutsideCodePage(RegKey root, const std::string& path) { return false; }
  // The backend's whole state (or what it can tell of it), for failure messages.
  virtual std::string Dump() const = 0;
};

// Provided by backend_memory.cpp or backend_win32.cpp.
std::unique_ptr<IContractBackend> MakeBackend();

class ContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_backend = MakeBackend();
    ASSERT_TRUE(m_backend);
  }
  void TearDown() override {
    const long open = m_backend->OpenRegistryHandles();
    if (open >= 0) {
      EXPECT_EQ(open, 0) << "registry handles left open\n" << m_backend->Dump();
    }
    m_backend.reset();
  }
  IRegistry& Reg() { return m_backend->Registry(); }
  IFileSystem& Fs() { return m_backend->Files(); }
  IShell& Shell() { return m_backend->Shell(); }
  std::string Sandbox() const { return m_backend->SandboxPath(); }
  std::string Scratch() const { return m_backend->Scratch(); }
  std::string Dump() const { return m_backend->Dump(); }
  std::unique_ptr<IContractBackend> m_backend;
};

}  // namespace tw::contract
