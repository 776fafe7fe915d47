// The rights check on real tokens. Wine gives every process a fully elevated
// token; a UAC-filtered one (Administrators listed but deny-only) is made
// with CreateRestrictedToken and worn by the test thread as an impersonation
// token, as Windows Vista and later hand it to an administrator's program
// started without elevation.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/administrator_check.h"

namespace {

class Impersonation {
 public:
  explicit Impersonation(HANDLE token) { active_ = SetThreadToken(nullptr, token) != FALSE; }
  ~Impersonation() {
    if (active_) RevertToSelf();
  }
  Impersonation(const Impersonation&) = delete;
  Impersonation& operator=(const Impersonation&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h) CloseHandle(h);
  }
};

// An impersonation token like the process's own, Administrators deny-only
// when filtered is true.
bool MakeImpersonationToken(bool filtered, Handle* out) {
  Handle process, restricted;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process.h)) return false;
  HANDLE source = process.h;
  if (filtered) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &admins)) {
      return false;
    }
    SID_AND_ATTRIBUTES deny = {admins, 0};
    BOOL made = CreateRestrictedToken(process.h, 0, 1, &deny, 0, nullptr, 0, nullptr, &restricted.h);
    FreeSid(admins);
    if (!made) return false;
    source = restricted.h;
  }
  return DuplicateToken(source, SecurityImpersonation, &out->h) != FALSE;
}

TEST(AdministratorCheckTest, DenyOnlyAdministratorsIsNoMembership) {
  struct Case {
    const char* token;
    bool filtered;
    bool administrator;
  } cases[] = {
      {"the process's own token", false, true},
      {"Administrators made deny-only", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    Handle token;
    ASSERT_TRUE(MakeImpersonationToken(c.filtered, &token)) << "error " << GetLastError();
    // The group-list scan, as on systems without CheckTokenMembership.
    EXPECT_EQ(tw::TokenHasEnabledAdministrators(token.h), c.administrator);
    Impersonation wearing(token.h);
    ASSERT_TRUE(wearing.active()) << "error " << GetLastError();
    EXPECT_EQ(tw::IsAdministrator(), c.administrator);
  }
  // Back on the process's own token.
  EXPECT_TRUE(tw::IsAdministrator());
}

}  // namespace
