#include <windows.h>
// windows.h first: it renames these methods (GetDriveType -> GetDriveTypeA ...)
// by macro, and the declarations must be renamed alike.
#include <cstring>

#include "platform/win32/win32_registry.h"
#include "platform/win32/exact_ansi.h"
#include "platform/win32/wow64.h"

namespace tw {

namespace {

HKEY H(RegKey key) { return reinterpret_cast<HKEY>(key); }

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

long CWin32Registry::OpenKey(RegKey parent, const std::string& path, std::uint32_t access,
                             RegKey* out, RegView view) {
  HKEY hk = nullptr;
  const LONG rc = RegOpenKeyExA(H(parent), path.c_str(), 0, access | RegistryViewFlag(view), &hk);
  if (out) *out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(hk) : 0;
  if (rc == ERROR_SUCCESS && !out) RegCloseKey(hk);
  return rc;
}

long CWin32Registry::CreateKey(RegKey parent, const std::string& path, RegKey* out,
                               RegView view) {
  HKEY hk = nullptr;
  const LONG rc = RegCreateKeyExA(H(parent), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | RegistryViewFlag(view), nullptr, &hk, nullptr);
  if (out) *out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(hk) : 0;
  if (rc == ERROR_SUCCESS && !out) RegCloseKey(hk);
  return rc;
}

long CWin32Registry::CloseKey(RegKey key) { return RegCloseKey(H(key)); }

namespace {

// Names go through the wide calls and back into the code page only when
// they convert exactly (platform/win32/exact_ansi.h). A key name holds at
// most 255 characters, a value name 16,383.
constexpr DWORD kKeyNameChars = 1024;
constexpr DWORD kValueNameChars = 16384;

// The wide room that tells whether data fits `dataBuf` bytes once in the
// code page: a text never shrinks to less than half its UTF-16 bytes, and
// other data stays as it is, so data that overflows twice the room cannot
// fit and data within it is converted and measured.
DWORD WideRoom(std::size_t dataBuf) {
  if (dataBuf == kUnlimited || dataBuf > 0x3FFFFFFE) return 0xFFFFFFFFu;
  return static_cast<DWORD>(2 * dataBuf + 2);
}

// Reads one value's data through `read(buffer, &size)`, growing the buffer
// up to `room`; then the name check is the caller's.
template <typename Read>
LONG ReadWide(DWORD room, std::vector<BYTE>* bytes, DWORD* type, DWORD* size, Read read) {
  DWORD have = room < 4096 ? room : 4096;
  for (int attempt = 0;; ++attempt) {
    bytes->assign(static_cast<std::size_t>(have) + 2, 0);
    DWORD cb = have;
    const LONG rc = read(bytes->data(), &cb, type);
    if (rc == ERROR_MORE_DATA && have < room && attempt < 8) {
      // The value is larger (or grew meanwhile).
      const DWORD want = cb > have ? cb : (have > room / 2 ? room : 2 * have);
      have = want < room ? want : room;
      continue;
    }
    if (rc == ERROR_SUCCESS) *size = cb;
    return rc;
  }
}

constexpr std::size_t kKeptRoom = 1 << 16;

// The converted data, measured against the caller's buffer. The caller's
// data is replaced only on success; its old room becomes this thread's
// scratch room for the next read, so that a walk reading value after value
// allocates nothing per value.
LONG ToAnsiData(DWORD type, const std::vector<BYTE>& wide, DWORD size, std::size_t dataBuf,
                std::vector<std::uint8_t>* data) {
  static thread_local std::vector<std::uint8_t> ansi;
  if (!ExactAnsiRegData(type, wide.data(), size, &ansi)) return kErrorNoUnicodeTranslation;
  if (dataBuf != kUnlimited && ansi.size() > dataBuf) return ERROR_MORE_DATA;
  if (data) data->swap(ansi);
  // A long value read whole leaves no lasting room behind.
  if (ansi.capacity() > kKeptRoom) std::vector<std::uint8_t>().swap(ansi);
  return ERROR_SUCCESS;
}

// The wide read's room, kept per thread for the same reason.
std::vector<BYTE>& WideScratch() {
  static thread_local std::vector<BYTE> bytes;
  if (bytes.capacity() > kKeptRoom) std::vector<BYTE>().swap(bytes);
  return bytes;
}

}  // namespace

long CWin32Registry::EnumKey(RegKey key, std::uint32_t index, std::string* name,
                             std::size_t nameBuf) {
  wchar_t wide[kKeyNameChars];
  DWORD cch = kKeyNameChars;
  const LONG rc = RegEnumKeyExW(H(key), index, wide, &cch, nullptr, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  std::string ansi;
  if (!ExactWideToAnsi(wide, cch, &ansi)) return kErrorNoUnicodeTranslation;
  // The name and its zero must fit the caller's buffer.
  if (nameBuf != kUnlimited && ansi.size() >= nameBuf) return ERROR_MORE_DATA;
  if (name) *name = std::move(ansi);
  return ERROR_SUCCESS;
}

long CWin32Registry::EnumValue(RegKey key, std::uint32_t index, std::string* name,
                               std::uint32_t* type, std::vector<std::uint8_t>* data,
                               std::size_t nameBuf, std::size_t dataBuf) {
  // One room per thread for the longest name there is (a worker's stack has
  // room, but not for this on every level of a walk).
  static thread_local wchar_t nameWide[kValueNameChars];
  std::vector<BYTE>& bytes = WideScratch();
  DWORD t = 0;
  DWORD size = 0;
  DWORD cch = 0;
  const LONG rc = ReadWide(WideRoom(dataBuf), &bytes, &t, &size,
                           [&](BYTE* buffer, DWORD* cb, DWORD* valueType) {
                             cch = kValueNameChars;
                             return RegEnumValueW(H(key), index, nameWide, &cch, nullptr,
                                                  valueType, buffer, cb);
                           });
  if (rc != ERROR_SUCCESS) return rc;
  std::string ansiName;
  if (!ExactWideToAnsi(nameWide, cch, &ansiName)) return kErrorNoUnicodeTranslation;
  if (nameBuf != kUnlimited && ansiName.size() >= nameBuf) return ERROR_MORE_DATA;
  const LONG converted = ToAnsiData(t, bytes, size, dataBuf, data);
  if (converted != ERROR_SUCCESS) return converted;
  if (name) *name = std::move(ansiName);
  if (type) *type = t;
  return ERROR_SUCCESS;
}

long CWin32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                                std::vector<std::uint8_t>* data, std::size_t dataBuf) {
  std::wstring wideName;
  if (!ExactAnsiToWide(name, &wideName)) return kErrorNoUnicodeTranslation;
  std::vector<BYTE>& bytes = WideScratch();
  DWORD t = 0;
  DWORD size = 0;
  const LONG rc = ReadWide(WideRoom(dataBuf), &bytes, &t, &size,
                           [&](BYTE* buffer, DWORD* cb, DWORD* valueType) {
                             return RegQueryValueExW(H(key), wideName.c_str(), nullptr,
                                                     valueType, buffer, cb);
                           });
  if (rc != ERROR_SUCCESS) return rc;
  const LONG converted = ToAnsiData(t, bytes, size, dataBuf, data);
  if (converted != ERROR_SUCCESS) return converted;
  if (type) *type = t;
  return ERROR_SUCCESS;
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
  const REGSAM flag = RegistryViewFlag(view);
  if (!flag) return RegDeleteKeyA(H(parent), path.c_str());
  // RegDeleteKeyExA is missing from 32-bit Windows XP, where no view needs it.
  using RegDeleteKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  static const auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExAFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
  if (!deleteKeyEx) return ERROR_CALL_NOT_IMPLEMENTED;
  return deleteKeyEx(H(parent), path.c_str(), flag, 0);
}

}  // namespace tw
