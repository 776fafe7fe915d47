#include <windows.h>

#include "platform/text.h"
#include "platform/win32/exact_ansi.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/wow64.h"

namespace tw {

namespace {

HKEY H(RegKey key) { return reinterpret_cast<HKEY>(key); }

using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
using RtlNtStatusToDosErrorFn = ULONG(WINAPI*)(LONG);

// RegDeleteKey opens the key it removes by name, which follows a link to
// its target; only the native call removes the very key a handle stands for.
template <typename Fn>
Fn NtdllEntry(const char* name) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)))
               : nullptr;
}

}  // namespace

long CWin32Registry::OpenKeyNoFollow(RegKey parent, const std::string& name,
                                     std::uint32_t access, RegKey* out, bool* isLink) {
  *out = 0;
  if (isLink) *isLink = false;
  // One key name only: a path would be followed through any link on it.
  if (name.empty() || FindChar(name, '\\') != std::string::npos) return kErrorInvalidParameter;
  // A plain ASCII name, as nearly every key's is, widens character for
  // character in every code page; only others go through a conversion.
  static thread_local std::u16string wide;
  if (IsAsciiBytes(name.data(), name.size())) {
    wide.assign(name.begin(), name.end());
  } else {
    wide = AnsiToUtf16(name);
  }
  HKEY hk = nullptr;
  // The view is named on every open: without it a 32-bit program's walk
  // from a 64-bit key would step into the 32-bit view at "Software".
  const LONG rc = RegOpenKeyExW(H(parent), reinterpret_cast<LPCWSTR>(wide.c_str()),
                                REG_OPTION_OPEN_LINK,
                                access | KEY_QUERY_VALUE | RegistryViewFlag(RegView::kDefault), &hk);
  if (rc != ERROR_SUCCESS) return rc;
  // The look for the link's value is a call of its own; a caller that reads
  // every value anyway asks for none and sees it there.
  if (isLink) {
    DWORD type = 0;
    DWORD size = 0;
    *isLink = RegQueryValueExW(hk, L"SymbolicLinkValue", nullptr, &type, nullptr, &size) ==
                  ERROR_SUCCESS &&
              type == REG_LINK;
  }
  *out = reinterpret_cast<RegKey>(hk);
  return kErrorSuccess;
}

long CWin32Registry::DeleteOpenedKey(RegKey key) {
  static const auto deleteKey = NtdllEntry<NtDeleteKeyFn>("NtDeleteKey");
  static const auto toError = NtdllEntry<RtlNtStatusToDosErrorFn>("RtlNtStatusToDosError");
  if (!deleteKey || !toError) return kErrorCallNotImplemented;
  if (key == kHkeyClassesRoot || key == kHkeyCurrentUser || key == kHkeyLocalMachine ||
      key == kHkeyUsers) {
    return kErrorAccessDenied;
  }
  const LONG status = deleteKey(reinterpret_cast<HANDLE>(H(key)));
  return status == 0 ? kErrorSuccess : static_cast<long>(toError(status));
}

}  // namespace tw
