// Registry helpers of the end-to-end tests: seed values (in ANSI as the
// program reads, or wide where the code page lacks a character), look for
// keys and values, dump a tree so that two states of the registry compare
// as texts, and find the program's backup files and import them with the
// system's registry editor.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "e2e/driver.h"

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

// A class's key below HKEY_LOCAL_MACHINE, in the 64-bit view and in the
// 32-bit one.
inline std::string ClassKey(const std::string& id) { return "Software\\Classes\\CLSID\\" + id; }
inline std::string ClassKey32(const std::string& id) {
  return "Software\\Classes\\Wow6432Node\\CLSID\\" + id;
}

// Removes the key with everything below it; a missing key is no error.
inline void RemoveKey(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
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
// their key's values. Read through the wide calls and written as UTF-8, so
// a name or text the ANSI code page lacks (Hangul, an emoji) shows as it is
// stored and never as the "?" that the ANSI calls make of it.
inline std::string Utf8Of(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

inline void DumpKeyWide(HKEY root, const std::wstring& path, std::vector<std::string>* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  const std::string at = "[" + Utf8Of(path) + "]";
  out->push_back(at);
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLen = 16384, type = 0, dataLen = 0;
    if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, nullptr, &dataLen) != ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> data(dataLen + 1);
    nameLen = 16384;
    DWORD size = dataLen;
    RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
    std::string line =
        at + " \"" + Utf8Of(std::wstring(name, nameLen)) + "\" " + std::to_string(type) + ":";
    char hex[4];
    for (DWORD b = 0; b < size; ++b) {
      wsprintfA(hex, "%02x", data[b]);
      line += hex;
    }
    out->push_back(line);
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD len = 512;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name, len);
  }
  RegCloseKey(key);
  for (const auto& s : subkeys) DumpKeyWide(root, path + L"\\" + s, out);
}

inline void DumpKey(HKEY root, const std::string& path, std::vector<std::string>* out) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  DumpKeyWide(root, wide, out);
}

using RegKeys = std::vector<std::pair<HKEY, std::string>>;

// The dumps of all the keys in one sorted list: two states of the registry
// compare as texts, whatever order the keys come back in.
inline std::vector<std::string> SortedDump(const RegKeys& keys) {
  std::vector<std::string> lines;
  for (const auto& [root, path] : keys) DumpKey(root, path, &lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Sets a value through the wide calls: names and texts that the ANSI code
// page cannot hold.
inline void SetWideValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                         const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << Utf8Of(path);
  RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// The backup files matching pattern in folder (the program's RegBackup when
// none is named), in name order.
inline std::vector<std::string> BackupFiles(const std::string& pattern = "*.reg",
                                            std::string folder = "") {
  std::vector<std::string> out;
  WIN32_FIND_DATAA fd;
  if (folder.empty()) folder = ProgramFolder() + "RegBackup\\";
  HANDLE h = FindFirstFileA((folder + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.push_back(folder + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

inline void ClearBackups() {
  for (const auto& f : BackupFiles()) DeleteFileA(f.c_str());
}

// Imports a file silently with the system's registry editor and waits for
// it. Its exit code says nothing (it is 0 even when nothing was imported),
// so callers compare the registry afterwards.
inline void ImportWithRegedit(const std::string& file) {
  RunAndWait("regedit.exe /s \"" + file + "\"", 60000);
}

}  // namespace tw::e2e
