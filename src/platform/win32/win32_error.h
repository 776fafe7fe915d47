// The one place where the Win32 backend turns the thread's last error into
// the error value the core sees.
#pragma once

namespace tw {

// GetLastError(), never 0: a failed call that left no error reads as
// error 1 (ERROR_INVALID_FUNCTION) rather than as success.
long LastError();

}  // namespace tw
