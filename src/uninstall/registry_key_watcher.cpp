#include "uninstall/registry_key_watcher.h"

namespace tw {

namespace {
constexpr unsigned kCheckIntervalMs = 100;
}

CRegistryKeyWatcher::~CRegistryKeyWatcher() { Stop(); }

bool CRegistryKeyWatcher::WatchKey(RegKey root, RegView view, const std::string& path,
                                   Callback check) {
  if (m_thread.Joinable() || !check) return false;
  m_root = root;
  m_view = view;
  m_path = path;
  m_check = std::move(check);
  return m_thread.Start([this] { Run(); });
}

void CRegistryKeyWatcher::Stop() {
  m_bStop = true;
  m_thread.Join();
}

// A key that cannot be opened (or watched) any more still gets its check:
// the uninstaller may well have removed it before the first look, and the
// check is what notices that the program is gone.
void CRegistryKeyWatcher::Run() {
  while (!m_bStop) {
    RegKey key = 0;
    std::unique_ptr<IRegistryWatch> watch;
    if (m_reg.OpenKey(m_root, m_path, kKeyNotify, &key, m_view) == 0) {
      watch = m_reg.WatchKey(key);
      m_reg.CloseKey(key);
    }
    if (watch) {
      watch->Wait(kCheckIntervalMs);
    } else {
      SleepMs(kCheckIntervalMs / 4);
    }
    watch.reset();
    if (m_bStop) break;
    if (!m_check()) {
      m_bFinished = true;
      break;
    }
  }
}

}  // namespace tw
