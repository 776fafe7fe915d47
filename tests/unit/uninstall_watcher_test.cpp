// The key watcher on the in-memory registry: its check runs when a change
// wakes it and on its own every 100 ms, it ends when the check says so, and stopping
// it waits for the thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/memory/memory_registry.h"
#include "uninstall/registry_key_watcher.h"

namespace tw {
namespace {

const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";

bool WaitUntil(const std::function<bool()>& cond, int ms = 2000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool KeyThere(CMemoryRegistry& reg, RegKey root, const std::string& path, RegView view) {
  RegKey k = 0;
  if (reg.OpenKey(root, path, kKeyRead, &k, view) != 0) return false;
  reg.CloseKey(k);
  return true;
}

// Notes how each wait of the watches it hands out ended: woken by a change,
// or at the end of its time.
class CWaitNotingRegistry : public CMemoryRegistry {
 public:
  std::unique_ptr<IRegistryWatch> WatchKey(RegKey key, long* error = nullptr) override {
    auto inner = CMemoryRegistry::WatchKey(key, error);
    if (!inner) return inner;
    return std::make_unique<CNotingWatch>(std::move(inner), *this);
  }
  std::atomic<int> woken{0};
  std::atomic<int> timedOut{0};

 private:
  class CNotingWatch : public IRegistryWatch {
   public:
    CNotingWatch(std::unique_ptr<IRegistryWatch> inner, CWaitNotingRegistry& reg)
        : m_inner(std::move(inner)), m_reg(reg) {}
    bool Wait(unsigned timeoutMs) override {
      const bool changed = m_inner->Wait(timeoutMs);
      ++(changed ? m_reg.woken : m_reg.timedOut);
      return changed;
    }

   private:
    std::unique_ptr<IRegistryWatch> m_inner;
    CWaitNotingRegistry& m_reg;
  };
};

TEST(UninstallWatcher, EndsWhenTheKeyIsGoneInItsView) {
  for (RegView view : {RegView::k64, RegView::k32}) {
    CWaitNotingRegistry reg;
    const std::string stored =
        view == RegView::k32 ? "SOFTWARE\\Wow6432Node" + kKey.substr(8) : kKey;
    reg.SeedString(kHkeyLocalMachine, stored, "DisplayName", "App");
    std::atomic<int> checks{0};
    CRegistryKeyWatcher watcher(reg);
    ASSERT_TRUE(watcher.WatchKey(kHkeyLocalMachine, view, kKey, [&] {
      ++checks;
      return KeyThere(reg, kHkeyLocalMachine, kKey, view);
    }));
    // Unchanged, the check still comes round every 100 ms.
    EXPECT_TRUE(WaitUntil([&] { return checks >= 3; }));
    EXPECT_FALSE(watcher.Finished());
    EXPECT_EQ(reg.woken, 0) << "woken without a change";
    // Just after a check the watch is set again and waits its 100 ms: the
    // removal falls into that wait.
    const int seen = checks;
    ASSERT_TRUE(WaitUntil([&] { return checks > seen; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(reg.DeleteKey(kHkeyLocalMachine, stored), 0);
    EXPECT_TRUE(WaitUntil([&] { return watcher.Finished(); }, 1000));
    // The removal itself woke the check, before the wait's 100 ms were up:
    // the polling alone would have found the key gone too, only later.
    EXPECT_EQ(reg.woken, 1);
    const int after = checks;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(checks, after) << "no check after the watch ended";
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
}

TEST(UninstallWatcher, AKeyGoneBeforeTheFirstLookStillEndsTheWatch) {
  CMemoryRegistry reg;
  CRegistryKeyWatcher watcher(reg);
  ASSERT_TRUE(watcher.WatchKey(kHkeyCurrentUser, RegView::kDefault, "Software\\Missing",
                               [&] { return KeyThere(reg, kHkeyCurrentUser, "Software\\Missing", RegView::kDefault); }));
  EXPECT_TRUE(WaitUntil([&] { return watcher.Finished(); }, 1000));
}

TEST(UninstallWatcher, StoppingWaitsForTheThreadAndEndsTheChecks) {
  CMemoryRegistry reg;
  reg.SeedKey(kHkeyLocalMachine, kKey);
  std::atomic<int> checks{0};
  {
    CRegistryKeyWatcher watcher(reg);
    watcher.WatchKey(kHkeyLocalMachine, RegView::k64, kKey, [&] {
      ++checks;
      return true;
    });
    EXPECT_TRUE(WaitUntil([&] { return checks >= 1; }));
  }  // the destructor stops it
  const int after = checks;
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(checks, after);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tw
