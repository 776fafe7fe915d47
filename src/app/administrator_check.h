// Whether the process may change the machine: a member of the built-in
// Administrators group whose membership is in force.
#pragma once

#include <windows.h>

namespace tw {

// True when the effective token (the thread's while it impersonates, else
// the process's) holds the Administrators group enabled.
bool IsAdministrator();

// The group-list scan used where the system has no CheckTokenMembership
// (NT 4): the group counts only when enabled and not deny-only.
bool TokenHasEnabledAdministrators(HANDLE token);

}  // namespace tw
