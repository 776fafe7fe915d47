#include "app/shell_hooks.h"

namespace tw {

ShellTestHooks& TestHooks() {
  static ShellTestHooks hooks;
  return hooks;
}

}  // namespace tw
