// Registry operations the core relies on, named after the advapi32 calls they
// stand for. Results are Win32 error codes (0 = success); a missing key or a
// value that does not fit its buffer is an ordinary non-zero answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace tw {

// Opaque key handle. The four roots carry the predefined HKEY values so the
// Win32 backend can pass them through unchanged.
using RegKey = std::uintptr_t;
constexpr RegKey kHkeyClassesRoot = 0x80000000u;
constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr RegKey kHkeyUsers = 0x80000003u;

// Which registry view a 64-bit program opens a root's key in (the
// KEY_WOW64_32KEY / KEY_WOW64_64KEY flags): 32-bit components register under
// keys that the 64-bit view shows below "Wow6432Node".
enum class RegView { kDefault, k32, k64 };

// Value types by number.
enum : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegResourceList = 8,
  kRegFullResourceDescriptor = 9,
  kRegResourceRequirementsList = 10,
  kRegQword = 11,
};

// Access masks, same numbers as Win32.
enum : std::uint32_t {
  kKeyQueryValue = 0x0001,
  kKeySetValue = 0x0002,
  kKeyCreateSubKey = 0x0004,
  kKeyEnumerateSubKeys = 0x0008,
  kKeyNotify = 0x0010,
  kKeyRead = 0x20019,
  kKeyWrite = 0x20006,
  kKeyAllAccess = 0xF003F,
  kKeyDelete = 0x10000,  // DELETE: the right DeleteOpenedKey needs
};

// The depth of keys below a root that the system allows; a walk that gets
// deeper is in a loop.
constexpr int kMaxKeyDepth = 512;

// The buffer size the program uses for names, data and paths.
constexpr std::size_t kBufferSize = 260;
// Pass as a buffer size to read a name or data whatever its length.
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

struct RegKeyInfo {
  std::uint32_t subKeys = 0;
  std::uint32_t values = 0;
  std::uint32_t maxSubKeyLen = 0;     // in characters (a double-byte one counts once), no terminator
  std::uint32_t maxValueNameLen = 0;  // likewise
  std::uint32_t maxValueLen = 0;      // in bytes as stored (texts as UTF-16)
};

// A watch on a key and everything below it (RegNotifyChangeKeyValue over
// the whole subtree with filter 15: subkeys, attributes, values, security).
// It holds its own handle, so the caller may close the key it came from.
class IRegistryWatch {
 public:
  virtual ~IRegistryWatch() = default;
  // Waits up to timeoutMs for a change since the watch was set or since the
  // last Wait that reported one; true when there was one. The watch then
  // re-arms itself; the caller re-reads what it cares about.
  virtual bool Wait(unsigned timeoutMs) = 0;
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;

  // Opens root\path (path may be empty: the root itself, or a new handle to
  // an open key). Path parts are compared without regard to case.
  // The view applies to a path below one of the four roots; a key opened in
  // a view keeps it for the paths opened below that key.
  virtual long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
                       RegView view = RegView::kDefault) = 0;
  // Opens root\path, creating any missing keys on the way.
  virtual long CreateKey(RegKey parent, const std::string& path, RegKey* out,
                         RegView view = RegView::kDefault) = 0;
  virtual long CloseKey(RegKey key) = 0;

  // The index-th subkey's name. Fails with kErrorNoMoreItems past the last and
  // with kErrorMoreData when the name (plus its zero) does not fit nameBuf.
  virtual long EnumKey(RegKey key, std::uint32_t index, std::string* name,
                       std::size_t nameBuf = kBufferSize) = 0;
  // The index-th value. Fails past the last value, or when the name (plus its
  // zero) does not fit nameBuf or the data does not fit dataBuf.
  virtual long EnumValue(RegKey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                         std::vector<std::uint8_t>* data, std::size_t nameBuf = kBufferSize,
                         std::size_t dataBuf = kBufferSize) = 0;
  // A value's type and data; the empty name is the default value. Fails when
  // the value is missing or its data does not fit dataBuf.
  virtual long QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                          std::vector<std::uint8_t>* data, std::size_t dataBuf = kBufferSize) = 0;
  virtual long QueryKeyInfo(RegKey key, RegKeyInfo* info) = 0;

  virtual long SetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                        std::size_t size) = 0;
  virtual long DeleteValue(RegKey key, const std::string& name) = 0;
  // Removes parent\path; fails while the key still has subkeys.
  virtual long DeleteKey(RegKey parent, const std::string& path,
                        RegView view = RegView::kDefault) = 0;
  // Opens parent's subkey `name` (one key name) without following it when
  // it is a registry link (a key whose SymbolicLinkValue names another
  // key): the link is opened as itself and *isLink says so. With isLink
  // null no look is made: a link then shows as the value
  // "SymbolicLinkValue" of type kRegLink among the key's values. Backends
  // without links open the key as OpenKey does.
  virtual long OpenKeyNoFollow(RegKey parent, const std::string& name, std::uint32_t access,
                               RegKey* out, bool* isLink) {
    if (isLink) *isLink = false;
    return OpenKey(parent, name, access, out);
  }
  // Removes the key the handle stands for (opened with kKeyDelete; a link
  // opened as one goes as itself, its target stays). Fails while the key
  // has subkeys.
  virtual long DeleteOpenedKey(RegKey key) { return kErrorCallNotImplemented; }
  // Starts watching key and everything below it; null (with *error set when
  // given) when it cannot be watched. A watch must not outlive its registry.
  virtual std::unique_ptr<IRegistryWatch> WatchKey(RegKey key, long* error = nullptr) {
    if (error) *error = kErrorCallNotImplemented;
    return nullptr;
  }
};

// Convenience wrappers shared by callers.
// Reads a REG_SZ/REG_EXPAND_SZ value as text (up to its first zero byte);
// false when missing or when its data does not fit dataBuf.
bool RegReadString(IRegistry& reg, RegKey key, const std::string& name, std::string* out,
                   std::size_t dataBuf = kBufferSize);
long RegWriteString(IRegistry& reg, RegKey key, const std::string& name, const std::string& text);
bool RegReadDword(IRegistry& reg, RegKey key, const std::string& name, std::uint32_t* out);
long RegWriteDword(IRegistry& reg, RegKey key, const std::string& name, std::uint32_t value);
// An enumeration's next entry from *index on: the index-th subkey or value,
// or the first after it whose name (and data) read whole. An entry that
// fails alone, because it does not fit the buffers (kErrorMoreData) or the
// code page cannot name it (kErrorNoUnicodeTranslation), is stepped over,
// so one long name never hides the entries after it. False past the last,
// or when the key itself fails; *index then stays where it failed.
bool NextSubkey(IRegistry& reg, RegKey key, std::uint32_t* index, std::string* name,
                std::size_t nameBuf = kBufferSize);
bool NextValue(IRegistry& reg, RegKey key, std::uint32_t* index, std::string* name,
               std::uint32_t* type, std::vector<std::uint8_t>* data,
               std::size_t nameBuf = kBufferSize, std::size_t dataBuf = kBufferSize);
// RegQueryValueA: the default value of key\subPath as text (empty when the
// subkey has none); false when the subkey is missing or the text does not
// fit dataBuf.
bool RegReadSubkeyDefault(IRegistry& reg, RegKey key, const std::string& subPath, std::string* out,
                          std::size_t dataBuf = kBufferSize);
// Opens root\path one key at a time without following a registry link on
// the way: a link as the last key is opened as itself (*isLink), a link
// before it answers kErrorAccessDenied (the path leads somewhere else).
long RegOpenPathNoFollow(IRegistry& reg, RegKey root, const std::string& path,
                         std::uint32_t access, RegKey* out, bool* isLink);
// The path below the same root at which the 64-bit view (the default one of
// this 64-bit program, and the one the registry editor imports into) holds
// the key that `view` opens as root\path. In the 32-bit view,
// HKLM\Software\X lives at Software\Wow6432Node\X, HKLM\Software\Classes\X at
// Software\Classes\Wow6432Node\X, class ids (HKCR\CLSID, HKCU\Software\Classes
// \CLSID) below the classes' Wow6432Node; the rest of HKCU and HKU is shared.
std::string RegViewPath(RegKey root, const std::string& path, RegView view);
// "HKEY_CLASSES_ROOT" and friends, without a trailing separator.
const char* RootName(RegKey root);
// The same with its separator ("HKEY_CLASSES_ROOT\"), as export files and
// status lines put it before a key path; empty for anything but a root.
std::string HivePrefix(RegKey root);

// Closes a key when it goes out of scope.
class CRegKeyGuard {
 public:
  CRegKeyGuard(IRegistry& reg, RegKey key = 0) : m_reg(reg), m_key(key) {}
  ~CRegKeyGuard() { Reset(); }
  CRegKeyGuard(const CRegKeyGuard&) = delete;
  CRegKeyGuard& operator=(const CRegKeyGuard&) = delete;
  RegKey* Put() {
    Reset();
    return &m_key;
  }
  RegKey Get() const { return m_key; }
  void Reset() {
    if (m_key) m_reg.CloseKey(m_key);
    m_key = 0;
  }

 private:
  IRegistry& m_reg;
  RegKey m_key;
};

}  // namespace tw
