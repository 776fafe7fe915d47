// Registry helpers of the end-to-end tests, in ANSI as the program reads:
// seed values, look for keys and values, and dump a tree so that two states
// of the registry compare as texts.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::e2e {

inline void SetValue(HKEY root, const std::string& path, const char* name, DWORD type,
                     const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

inline void SetString(HKEY root, const std::string& path, const char* name,
                      const std::string& text) {
  SetValue(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

inline bool ValueExists(HKEY root, const std::string& path, const char* name) {
  return RegGetValueA(root, path.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

// One line per key and per value (type and bytes in hex), subkeys after
// their key's values.
inline void DumpKey(HKEY root, const std::string& path, std::vector<std::string>* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out->push_back("[" + path + "]");
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD nameLen = sizeof(name), type = 0, dataLen = 0;
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &dataLen) != ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> data(dataLen + 1);
    nameLen = sizeof(name);
    DWORD size = dataLen;
    RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
    std::string line = "[" + path + "] \"" + std::string(name, nameLen) + "\" " +
                       std::to_string(type) + ":";
    char hex[4];
    for (DWORD b = 0; b < size; ++b) {
      wsprintfA(hex, "%02x", data[b]);
      line += hex;
    }
    out->push_back(line);
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD len = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  for (const auto& s : subkeys) DumpKey(root, path + "\\" + s, out);
}

}  // namespace tw::e2e
