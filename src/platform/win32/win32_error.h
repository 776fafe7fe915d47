// The one place where the Win32 backend turns the thread's last error into
// the error value the core sees.
#pragma once

#include <string>

namespace tw {

// GetLastError(), never 0: a failed call that left no error reads as
// error 1 (ERROR_INVALID_FUNCTION) rather than as success.
long LastError();

// The system's text for an error code, without its line end; the number
// itself where the system has no text for it.
std::string SystemMessage(long code);

}  // namespace tw
