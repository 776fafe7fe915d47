// Watches one registry key on a thread of its own: the check it is given runs
// at once after every change below the key and at least every 100 ms, until
// the check answers false or the watcher is stopped.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/registry.h"
#include "platform/threads.h"

namespace tw {

class CRegistryKeyWatcher {
 public:
  // Runs on the watch thread; true to go on watching.
  using Callback = std::function<bool()>;

  explicit CRegistryKeyWatcher(IRegistry& reg) : m_reg(reg) {}
  // Stops the thread and waits for it: the check never runs after this.
  virtual ~CRegistryKeyWatcher();
  CRegistryKeyWatcher(const CRegistryKeyWatcher&) = delete;
  CRegistryKeyWatcher& operator=(const CRegistryKeyWatcher&) = delete;

  // Starts watching root\path in view; once per watcher.
  bool WatchKey(RegKey root, RegView view, const std::string& path, Callback check);
  void Stop();
  // True once the check has answered false (the thread is ending or ended).
  bool Finished() const { return m_bFinished; }

  RegKey Root() const { return m_root; }
  RegView View() const { return m_view; }
  const std::string& Path() const { return m_path; }

 private:
  void Run();

  IRegistry& m_reg;
  Callback m_check;
  std::string m_path;
  RegKey m_root = 0;
  RegView m_view = RegView::kDefault;
  std::atomic<bool> m_bStop{false};
  std::atomic<bool> m_bFinished{false};
  CThread m_thread;
};

}  // namespace tw
