#include <windows.h>

#include "app/system_services.h"

#include "platform/system_clock.h"

namespace tw {

Platform CSystemServices::Services() {
  return Platform{&m_registry, &m_files, &m_shell, &GetMachineClock()};
}

}  // namespace tw
