// A small reader of registry-export files for the tests: it reads back what
// the writer produced, the way the registry editor does (UTF-16LE with a
// byte-order mark, or ANSI without), and applies it to a registry, so that
// a test can check that export + removal + import gives back the original.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace tw::test {

struct RegFileEntry {
  bool isKey = false;
  RegKey hive = 0;
  std::string path;
  std::string name;  // values: empty = default
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;  // as the ANSI interface hands it out
};

struct RegFile {
  bool unicode = false;
  std::string header;
  std::vector<std::string> lines;  // complete lines only, without CR LF
  std::vector<RegFileEntry> entries;
};

inline RegKey HiveFromName(const std::string& name) {
  if (name == "HKEY_CLASSES_ROOT") return kHkeyClassesRoot;
  if (name == "HKEY_CURRENT_USER") return kHkeyCurrentUser;
  if (name == "HKEY_LOCAL_MACHINE") return kHkeyLocalMachine;
  if (name == "HKEY_USERS") return kHkeyUsers;
  return 0;
}

// Reads a quoted text with \\ and \" escapes starting after the opening
// quote; pos ends after the closing quote.
inline bool ReadQuoted(const std::string& line, std::size_t* pos, std::string* out) {
  out->clear();
  std::size_t i = *pos;
  while (i < line.size()) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (IsLeadByte(c) && i + 1 < line.size()) {
      *out += line.substr(i, 2);
      i += 2;
    } else if (c == '\\') {
      if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"')) return false;
      *out += line[i + 1];
      i += 2;
    } else if (c == '"') {
      *pos = i + 1;
      return true;
    } else {
      *out += line[i++];
    }
  }
  return false;
}

inline bool ParseHex(const std::string& text, std::vector<std::uint8_t>* out) {
  out->clear();
  if (text.empty()) return true;
  std::size_t i = 0;
  for (;;) {
    std::size_t end = text.find(',', i);
    const std::string item = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
    if (item.empty() || item.size() > 2) return false;
    if (item.size() == 2 && item[0] == '0') return false;  // no leading zeros
    unsigned v = 0;
    for (char c : item) {
      v *= 16;
      if (c >= '0' && c <= '9') v += c - '0';
      else if (c >= 'a' && c <= 'f') v += c - 'a' + 10;
      else return false;
    }
    out->push_back(static_cast<std::uint8_t>(v));
    if (end == std::string::npos) return true;
    i = end + 1;
  }
}

// UTF-16LE string bytes back to what the ANSI interface would show.
inline std::vector<std::uint8_t> WideDataToAnsi(const std::vector<std::uint8_t>& wide) {
  std::vector<std::uint8_t> out;
  std::u16string part;
  for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
    const char16_t u = static_cast<char16_t>(wide[i] | (wide[i + 1] << 8));
    if (u == 0) {
      for (char c : Utf16ToAnsi(part)) out.push_back(static_cast<std::uint8_t>(c));
      out.push_back(0);
      part.clear();
    } else {
      part += u;
    }
  }
  for (char c : Utf16ToAnsi(part)) out.push_back(static_cast<std::uint8_t>(c));
  return out;
}

// False with *error set on anything the registry editor would not read the
// same way. An unfinished last line (a write that failed) is left out.
inline bool ParseRegFile(const std::string& bytes, RegFile* file, std::string* error) {
  std::string text;
  file->unicode = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  if (file->unicode) {
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    text = Utf16ToAnsi(wide);
  } else {
    text = bytes;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) break;
    file->lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  RegFileEntry key;
  for (std::size_t n = 0; n < file->lines.size(); ++n) {
    const std::string& line = file->lines[n];
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
      *error = "bare line break in line " + std::to_string(n);
      return false;
    }
    if (n == 0) {
      file->header = line;
      continue;
    }
    if (line.empty()) continue;
    if (line[0] == '[') {
      const std::size_t close = line.rfind(']');
      const std::string full = line.substr(1, close - 1);
      const std::size_t slash = full.find('\\');
      key = RegFileEntry();
      key.isKey = true;
      key.hive = HiveFromName(full.substr(0, slash));
      key.path = slash == std::string::npos ? "" : full.substr(slash + 1);
      if (!key.hive || close != line.size() - 1) {
        *error = "bad key line: " + line;
        return false;
      }
      file->entries.push_back(key);
      continue;
    }
    if (!key.isKey) {
      *error = "value before any key: " + line;
      return false;
    }
    RegFileEntry value;
    value.hive = key.hive;
    value.path = key.path;
    std::size_t pos = 0;
    if (line.compare(0, 2, "@=") == 0) {
      pos = 2;
    } else if (line[0] == '"') {
      pos = 1;
      if (!ReadQuoted(line, &pos, &value.name) || pos >= line.size() || line[pos] != '=') {
        *error = "bad name: " + line;
        return false;
      }
      ++pos;
    } else {
      *error = "bad line: " + line;
      return false;
    }
    const std::string data = line.substr(pos);
    if (!data.empty() && data[0] == '"') {
      std::size_t p = 1;
      std::string s;
      if (!ReadQuoted(data, &p, &s) || p != data.size()) {
        *error = "bad string: " + line;
        return false;
      }
      value.type = kRegSz;
      value.data.assign(s.begin(), s.end());
      value.data.push_back(0);
    } else if (data.compare(0, 6, "dword:") == 0 && data.size() == 14) {
      const std::uint32_t v = static_cast<std::uint32_t>(std::stoul(data.substr(6), nullptr, 16));
      value.type = kRegDword;
      value.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                    static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    } else if (data.compare(0, 4, "hex:") == 0) {
      value.type = kRegBinary;
      if (!ParseHex(data.substr(4), &value.data)) {
        *error = "bad hex: " + line;
        return false;
      }
    } else if (data.compare(0, 4, "hex(") == 0) {
      const std::size_t close = data.find("):");
      if (close == std::string::npos) {
        *error = "bad hex type: " + line;
        return false;
      }
      value.type = static_cast<std::uint32_t>(std::stoul(data.substr(4, close - 4), nullptr, 16));
      if (!ParseHex(data.substr(close + 2), &value.data)) {
        *error = "bad hex: " + line;
        return false;
      }
      const bool stringType =
          value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
      if (stringType && file->unicode) value.data = WideDataToAnsi(value.data);
    } else {
      *error = "unknown data: " + line;
      return false;
    }
    file->entries.push_back(value);
  }
  return true;
}

// What an import does: create every key, set every value.
inline void ApplyRegFile(const RegFile& file, IRegistry& reg) {
  for (const RegFileEntry& e : file.entries) {
    RegKey key = 0;
    if (reg.CreateKey(e.hive, e.path, &key) != 0) continue;
    if (!e.isKey) reg.SetValue(key, e.name, e.type, e.data.data(), e.data.size());
    reg.CloseKey(key);
  }
}

}  // namespace tw::test
