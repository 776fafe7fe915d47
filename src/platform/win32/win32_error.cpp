#include "platform/win32/win32_error.h"

#include <windows.h>

namespace tw {

long LastError() {
  const DWORD e = GetLastError();
  // ERROR_INVALID_FUNCTION: a call failed without saying why.
  return e == ERROR_SUCCESS ? 1 : static_cast<long>(e);
}

}  // namespace tw
