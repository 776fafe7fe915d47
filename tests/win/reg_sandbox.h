// Helpers for the registry tests on the real (Wine) registry: a unique
// sandbox name, a byte-exact snapshot of a key tree through the ANSI calls,
// removal of a whole tree, and running the system's registry editor.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tw::wintest {

inline std::string UniqueName(const char* prefix) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%lu_%lu", prefix, GetCurrentProcessId(), GetTickCount());
  return text;
}

struct SnapValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const SnapValue&) const = default;
};
// key path (relative to the snapshot's top) -> value name -> value
using Snapshot = std::map<std::string, std::map<std::string, SnapValue>>;

inline void SnapTree(IRegistry& reg, RegKey root, const std::string& path, const std::string& rel,
                     Snapshot* out) {
  RegKey key = 0;
  if (reg.OpenKey(root, path, kKeyRead, &key) != 0) return;
  auto& values = (*out)[rel];
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0;
       reg.EnumValue(key, i, &name, &type, &data, kUnlimited, kUnlimited) == 0; ++i) {
    values[name] = SnapValue{type, data};
  }
  std::vector<std::string> subkeys;
  for (std::uint32_t i = 0; reg.EnumKey(key, i, &name, kUnlimited) == 0; ++i) subkeys.push_back(name);
  reg.CloseKey(key);
  for (const std::string& sub : subkeys) SnapTree(reg, root, path + "\\" + sub, rel + "\\" + sub, out);
}

inline Snapshot Snap(IRegistry& reg, RegKey root, const std::string& path) {
  Snapshot s;
  SnapTree(reg, root, path, "", &s);
  return s;
}

inline std::string Hex(const std::vector<std::uint8_t>& data) {
  std::string out;
  char b[4];
  for (std::size_t i = 0; i < data.size() && i < 64; ++i) {
    std::snprintf(b, sizeof b, "%02x ", data[i]);
    out += b;
  }
  if (data.size() > 64) out += "... (" + std::to_string(data.size()) + " bytes)";
  return out;
}

// Every difference, one per line; empty when equal.
inline std::string Diff(const Snapshot& want, const Snapshot& got) {
  std::string out;
  for (const auto& [key, values] : want) {
    auto k = got.find(key);
    if (k == got.end()) {
      out += "missing key " + key + "\n";
      continue;
    }
    for (const auto& [name, v] : values) {
      auto g = k->second.find(name);
      if (g == k->second.end()) {
        out += "missing value " + key + " : \"" + name + "\"\n";
      } else if (!(g->second == v)) {
        out += "changed value " + key + " : \"" + name + "\" type " + std::to_string(v.type) + " -> " +
               std::to_string(g->second.type) + "\n   want " + Hex(v.data) + "\n   got  " +
               Hex(g->second.data) + "\n";
      }
    }
    for (const auto& [name, v] : k->second) {
      if (!values.count(name)) out += "extra value " + key + " : \"" + name + "\"\n";
    }
  }
  for (const auto& [key, values] : got) {
    if (!want.count(key)) out += "extra key " + key + "\n";
  }
  return out;
}

inline void DeleteTree(IRegistry& reg, RegKey root, const std::string& path) {
  RegKey key = 0;
  if (reg.OpenKey(root, path, kKeyAllAccess, &key) != 0) return;
  std::vector<std::string> subkeys;
  std::string name;
  for (std::uint32_t i = 0; reg.EnumKey(key, i, &name, kUnlimited) == 0; ++i) subkeys.push_back(name);
  reg.CloseKey(key);
  for (const std::string& sub : subkeys) DeleteTree(reg, root, path + "\\" + sub);
  reg.DeleteKey(root, path);
}

// Starts "<windows>\regedit.exe /s file" and waits for it. Its exit code
// says nothing (it answers 0 even when it imported nothing); callers
// compare the registry afterwards.
inline bool RunRegeditImport(const std::string& file) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string cmd = std::string("\"") + windows + "\\regedit.exe\" /s \"" + file + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return false;
  }
  const DWORD waited = WaitForSingleObject(pi.hProcess, 120000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return waited == WAIT_OBJECT_0;
}

// A tree as the system stores it, read through the wide calls: one line per
// key and per value, names as UTF-16 code units and data as bytes in hex,
// so that names the ANSI code page lacks compare exactly.
inline void WideDump(HKEY root, const std::wstring& path, std::vector<std::string>* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  auto hex = [](const void* p, std::size_t n) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
      std::snprintf(b, sizeof b, "%02x", static_cast<const unsigned char*>(p)[i]);
      s += b;
    }
    return s;
  };
  const std::string at = "[" + hex(path.data(), path.size() * 2) + "]";
  out->push_back(at);
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD cch = 16384, type = 0, size = 0;
    if (RegEnumValueW(key, i, name.data(), &cch, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size + 2);
    cch = 16384;
    RegEnumValueW(key, i, name.data(), &cch, nullptr, &type, data.data(), &size);
    out->push_back(at + " " + hex(name.data(), cch * 2) + " " + std::to_string(type) + ":" +
                   hex(data.data(), size));
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD cch = 16384;
    if (RegEnumKeyExW(key, i, name.data(), &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subkeys.emplace_back(name.data(), cch);
  }
  RegCloseKey(key);
  for (const auto& s : subkeys) WideDump(root, path + L"\\" + s, out);
}

inline std::vector<std::string> WideDump(HKEY root, const std::string& ansiPath) {
  std::vector<std::string> out;
  const int n = MultiByteToWideChar(CP_ACP, 0, ansiPath.data(), static_cast<int>(ansiPath.size()),
                                    nullptr, 0);
  std::wstring path(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansiPath.data(), static_cast<int>(ansiPath.size()), path.data(), n);
  WideDump(root, path, &out);
  return out;
}

inline std::string TempFolder() {
  char temp[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, temp);
  return n ? std::string(temp, n) : std::string("C:\\");
}

}  // namespace tw::wintest
