// Helpers over IRegistry that many callers share.
#include "platform/registry.h"

namespace tw {

bool RegReadString(IRegistry& reg, RegKey key, const std::string& name, std::string* out,
                   std::size_t dataBuf) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (reg.QueryValue(key, name, &type, &data, dataBuf) != kErrorSuccess) return false;
  if (type != kRegSz && type != kRegExpandSz) return false;
  std::size_t len = 0;
  while (len < data.size() && data[len] != 0) ++len;
  if (out) out->assign(reinterpret_cast<const char*>(data.data()), len);
  return true;
}

long RegWriteString(IRegistry& reg, RegKey key, const std::string& name, const std::string& text) {
  // The terminating zero is part of a REG_SZ value's data.
  return reg.SetValue(key, name, kRegSz, text.c_str(), text.size() + 1);
}

bool RegReadDword(IRegistry& reg, RegKey key, const std::string& name, std::uint32_t* out) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (reg.QueryValue(key, name, &type, &data, sizeof(std::uint32_t)) != kErrorSuccess) return false;
  if (type != kRegDword || data.size() != 4) return false;
  if (out) {
    *out = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
           (static_cast<std::uint32_t>(data[2]) << 16) |
           (static_cast<std::uint32_t>(data[3]) << 24);
  }
  return true;
}

long RegWriteDword(IRegistry& reg, RegKey key, const std::string& name, std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  return reg.SetValue(key, name, kRegDword, bytes, sizeof bytes);
}

bool RegReadSubkeyDefault(IRegistry& reg, RegKey key, const std::string& subPath, std::string* out,
                          std::size_t dataBuf) {
  RegKey sub = 0;
  if (reg.OpenKey(key, subPath, kKeyQueryValue, &sub) != kErrorSuccess) return false;
  CRegKeyGuard guard(reg, sub);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const long rc = reg.QueryValue(sub, "", &type, &data, dataBuf);
  if (rc == kErrorFileNotFound) {
    if (out) out->clear();  // a key without a default value reads as empty text
    return true;
  }
  if (rc != kErrorSuccess || (type != kRegSz && type != kRegExpandSz)) return false;
  std::size_t len = 0;
  while (len < data.size() && data[len] != 0) ++len;
  if (out) out->assign(reinterpret_cast<const char*>(data.data()), len);
  return true;
}

const char* RootName(RegKey root) {
  switch (root) {
    case kHkeyClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
      return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kHkeyUsers:
      return "HKEY_USERS";
    default:
      return "";
  }
}

}  // namespace tw
