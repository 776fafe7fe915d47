#include "app/administrator_check.h"

#include <windows.h>

#include <vector>

#include "app/shell_hooks.h"

namespace tw {

namespace {

using CheckTokenMembershipFn = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);

// Builds S-1-5-32-544; null when the system refuses.
PSID AdministratorsSid() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &sid)) {
    return nullptr;
  }
  return sid;
}

// Looked up at run time: advapi32 of the 9x family and of NT 4 lacks it, and
// a static import would keep the program from starting there at all.
CheckTokenMembershipFn SystemMembershipCheck() {
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  if (!advapi) return nullptr;
  return reinterpret_cast<CheckTokenMembershipFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "CheckTokenMembership")));
}

// The token in force for this thread: an impersonation token when there is
// one, so that the answer is about whoever the thread acts for.
HANDLE OpenEffectiveToken() {
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return token;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return token;
  return nullptr;
}

}  // namespace

bool TokenHasEnabledAdministrators(HANDLE token) {
  // The list is as long as the account's groups make it: a domain account
  // easily needs more than a fixed kilobyte.
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return false;
  PSID admins = AdministratorsSid();
  if (!admins) return false;
  // With UAC a filtered token still lists the group, marked deny-only: that
  // is no membership, as no access check will grant anything through it.
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool found = false;
  for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
    DWORD attributes = groups->Groups[i].Attributes;
    found = (attributes & SE_GROUP_ENABLED) && !(attributes & SE_GROUP_USE_FOR_DENY_ONLY) &&
            EqualSid(groups->Groups[i].Sid, admins);
  }
  FreeSid(admins);
  return found;
}

bool IsAdministrator() {
  if (TestHooks().isAdministrator) return TestHooks().isAdministrator();
  if (CheckTokenMembershipFn check = SystemMembershipCheck()) {
    PSID admins = AdministratorsSid();
    if (!admins) return false;
    BOOL member = FALSE;
    // A null token asks about the thread's effective token.
    BOOL ok = check(nullptr, admins, &member);
    FreeSid(admins);
    return ok && member;
  }
  HANDLE token = OpenEffectiveToken();
  if (!token) return false;
  bool found = TokenHasEnabledAdministrators(token);
  CloseHandle(token);
  return found;
}

}  // namespace tw
