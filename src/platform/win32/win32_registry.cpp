#include <windows.h>
// windows.h first: it renames these methods (GetDriveType -> GetDriveTypeA ...)
// by macro, and the declarations must be renamed alike.
#include <cstring>

#include "platform/win32/win32_registry.h"

namespace tw {

namespace {

HKEY H(RegKey key) { return reinterpret_cast<HKEY>(key); }

// The largest names the system has: 255 characters for a key, 16,383 for a
// value, each up to two bytes in a double-byte code page.
constexpr DWORD kMaxKeyName = 2 * 255 + 1;
constexpr DWORD kMaxValueName = 2 * 16383 + 1;

DWORD Clamp(std::size_t n) { return n > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(n); }

// An auto-reset event signalled by the system on a change below the key.
class CWin32Watch : public IRegistryWatch {
 public:
  CWin32Watch(HKEY key, HANDLE event) : m_key(key), m_event(event) {}
  ~CWin32Watch() override {
    RegCloseKey(m_key);  // ends the notification
    CloseHandle(m_event);
  }
  long Arm() {
    return RegNotifyChangeKeyValue(m_key, TRUE,
                                   REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                       REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY,
                                   m_event, TRUE);
  }
  bool Wait(unsigned timeoutMs) override {
    if (WaitForSingleObject(m_event, timeoutMs) != WAIT_OBJECT_0) return false;
    Arm();
    return true;
  }

 private:
  HKEY m_key;
  HANDLE m_event;
};

}  // namespace

std::unique_ptr<IRegistryWatch> CWin32Registry::WatchKey(RegKey key, long* error) {
  HKEY own = nullptr;
  LONG rc = RegOpenKeyExA(H(key), "", 0, KEY_NOTIFY, &own);
  if (rc != ERROR_SUCCESS) {
    if (error) *error = rc;
    return nullptr;
  }
  const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!event) {
    if (error) *error = static_cast<long>(GetLastError());
    RegCloseKey(own);
    return nullptr;
  }
  auto watch = std::make_unique<CWin32Watch>(own, event);
  if ((rc = watch->Arm()) != ERROR_SUCCESS) {
    if (error) *error = rc;
    return nullptr;
  }
  if (error) *error = ERROR_SUCCESS;
  return watch;
}

namespace {

// Whether this is a 32-bit program on 64-bit Windows. IsWow64Process came
// with XP SP2; a system without it has no 64-bit half.
bool RunsOnWow64() {
  static const bool wow64 = [] {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto fn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL result = FALSE;
    return fn && fn(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

// The default view is the system's own (64-bit) one for either program, so
// the 32-bit program reads, writes and backs up the keys the 64-bit one
// does, and the 32-bit view stays below "Wow6432Node" for both. A 32-bit
// system has one view, and Windows 2000 refuses the flags.
REGSAM ViewFlag(RegView view) {
  if (sizeof(void*) == 4 && !RunsOnWow64()) return 0;
  switch (view) {
    case RegView::k32:
      return KEY_WOW64_32KEY;
    case RegView::k64:
      return KEY_WOW64_64KEY;
    default:
      return sizeof(void*) == 4 ? KEY_WOW64_64KEY : 0;
  }
}

}  // namespace

long CWin32Registry::OpenKey(RegKey parent, const std::string& path, std::uint32_t access,
                             RegKey* out, RegView view) {
  HKEY hk = nullptr;
  const LONG rc = RegOpenKeyExA(H(parent), path.c_str(), 0, access | ViewFlag(view), &hk);
  if (out) *out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(hk) : 0;
  if (rc == ERROR_SUCCESS && !out) RegCloseKey(hk);
  return rc;
}

long CWin32Registry::CreateKey(RegKey parent, const std::string& path, RegKey* out,
                               RegView view) {
  HKEY hk = nullptr;
  const LONG rc = RegCreateKeyExA(H(parent), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | ViewFlag(view), nullptr, &hk, nullptr);
  if (out) *out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(hk) : 0;
  if (rc == ERROR_SUCCESS && !out) RegCloseKey(hk);
  return rc;
}

long CWin32Registry::CloseKey(RegKey key) { return RegCloseKey(H(key)); }

long CWin32Registry::EnumKey(RegKey key, std::uint32_t index, std::string* name,
                             std::size_t nameBuf) {
  const DWORD size = nameBuf == kUnlimited ? kMaxKeyName : Clamp(nameBuf);
  std::string buf(size + 1, '\0');
  DWORD cch = size;
  const LONG rc =
      RegEnumKeyExA(H(key), index, buf.data(), &cch, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS && name) name->assign(buf.data(), cch);
  return rc;
}

long CWin32Registry::EnumValue(RegKey key, std::uint32_t index, std::string* name,
                               std::uint32_t* type, std::vector<std::uint8_t>* data,
                               std::size_t nameBuf, std::size_t dataBuf) {
  const DWORD nameSize = nameBuf == kUnlimited ? kMaxValueName : Clamp(nameBuf);
  DWORD dataSize = Clamp(dataBuf);
  if (dataBuf == kUnlimited) {
    // The largest value of the key tells the size; a text is never longer
    // in the ANSI code page than in UTF-16.
    DWORD maxValue = 0;
    RegQueryInfoKeyA(H(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &maxValue, nullptr, nullptr);
    dataSize = maxValue > 4096 ? maxValue : 4096;
  }
  std::string nameText(nameSize + 1, '\0');
  std::vector<std::uint8_t> bytes;
  for (int attempt = 0;; ++attempt) {
    bytes.assign(dataSize + 1, 0);
    DWORD cch = nameSize;
    DWORD cb = dataSize;
    DWORD t = 0;
    const LONG rc =
        RegEnumValueA(H(key), index, nameText.data(), &cch, nullptr, &t, bytes.data(), &cb);
    if (rc == ERROR_MORE_DATA && dataBuf == kUnlimited && nameBuf == kUnlimited && attempt < 8) {
      // The value grew meanwhile.
      dataSize = cb > dataSize ? cb : dataSize * 2;
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (name) name->assign(nameText.data(), cch);
    if (type) *type = t;
    if (data) data->assign(bytes.begin(), bytes.begin() + cb);
    return ERROR_SUCCESS;
  }
}

long CWin32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                                std::vector<std::uint8_t>* data, std::size_t dataBuf) {
  DWORD size = dataBuf == kUnlimited ? 4096 : Clamp(dataBuf);
  std::vector<std::uint8_t> bytes;
  for (;;) {
    bytes.assign(size + 1, 0);
    DWORD cb = size;
    DWORD t = 0;
    const LONG rc = RegQueryValueExA(H(key), name.c_str(), nullptr, &t, bytes.data(), &cb);
    if (rc == ERROR_MORE_DATA && dataBuf == kUnlimited && cb > size) {
      size = cb;
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (type) *type = t;
    if (data) data->assign(bytes.begin(), bytes.begin() + cb);
    return ERROR_SUCCESS;
  }
}

long CWin32Registry::QueryKeyInfo(RegKey key, RegKeyInfo* info) {
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
  const LONG rc = RegQueryInfoKeyA(H(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                                   &values, &maxValueName, &maxValue, nullptr, nullptr);
  if (rc == ERROR_SUCCESS && info) {
    info->subKeys = subKeys;
    info->values = values;
    info->maxSubKeyLen = maxSubKey;
    info->maxValueNameLen = maxValueName;
    info->maxValueLen = maxValue;
  }
  return rc;
}

long CWin32Registry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                              const void* data, std::size_t size) {
  // The system may look one byte past a text's data for its zero, so the
  // data goes through a copy that has one.
  std::vector<std::uint8_t> copy(size + 1, 0);
  if (size) std::memcpy(copy.data(), data, size);
  return RegSetValueExA(H(key), name.c_str(), 0, type, copy.data(), Clamp(size));
}

long CWin32Registry::DeleteValue(RegKey key, const std::string& name) {
  return RegDeleteValueA(H(key), name.c_str());
}

long CWin32Registry::DeleteKey(RegKey parent, const std::string& path, RegView view) {
  const REGSAM flag = ViewFlag(view);
  if (!flag) return RegDeleteKeyA(H(parent), path.c_str());
  // RegDeleteKeyExA is missing from 32-bit Windows XP, where no view needs it.
  using RegDeleteKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  static const auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExAFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
  if (!deleteKeyEx) return ERROR_CALL_NOT_IMPLEMENTED;
  return deleteKeyEx(H(parent), path.c_str(), flag, 0);
}

}  // namespace tw
