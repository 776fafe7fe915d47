// Helpers over IRegistry that many callers share.
#include "platform/registry.h"

#include "platform/text.h"

namespace tw {

long RegOpenPathNoFollow(IRegistry& reg, RegKey root, const std::string& path,
                         std::uint32_t access, RegKey* out, bool* isLink) {
  *out = 0;
  if (isLink) *isLink = false;
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t next = NextCharPos(path, i);
    if (next == i + 1 && path[i] == '\\') {
      if (part.empty()) return kErrorBadPathname;
      parts.push_back(std::move(part));
      part.clear();
    } else {
      part.append(path, i, next - i);
    }
    i = next;
  }
  if (!part.empty()) parts.push_back(std::move(part));
  if (parts.empty() || parts.size() > static_cast<std::size_t>(kMaxKeyDepth)) {
    return kErrorInvalidParameter;
  }
  RegKey at = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    RegKey next = 0;
    bool link = false;
    const long rc =
        reg.OpenKeyNoFollow(at, parts[i], last ? access : kKeyRead, &next, &link);
    if (at != root) reg.CloseKey(at);
    if (rc != kErrorSuccess) return rc;
    if (link && !last) {
      reg.CloseKey(next);
      return kErrorAccessDenied;
    }
    if (last && isLink) *isLink = link;
    at = next;
  }
  *out = at;
  return kErrorSuccess;
}

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

namespace {

// The first path part, compared without regard to case; *rest gets what
// follows its separator.
bool FirstPartIs(const std::string& path, const char* part, std::string* rest) {
  const std::size_t sep = FindChar(path, '\\');
  const std::string first = sep == std::string::npos ? path : path.substr(0, sep);
  if (!EqualsNoCase(first, part)) return false;
  if (rest) *rest = sep == std::string::npos ? std::string() : path.substr(sep + 1);
  return true;
}

std::string Join(const std::string& a, const std::string& b) { return b.empty() ? a : a + "\\" + b; }

// Classes\CLSID... of a 32-bit component, relative to the classes key.
std::string ClassesPath32(const std::string& path) {
  std::string rest;
  if (FirstPartIs(path, "CLSID", &rest)) return Join("Wow6432Node", path);
  return path;
}

}  // namespace

std::string RegViewPath(RegKey root, const std::string& path, RegView view) {
  if (view != RegView::k32) return path;
  std::string rest;
  switch (root) {
    case kHkeyLocalMachine: {
      if (!FirstPartIs(path, "Software", &rest) || rest.empty()) return path;
      std::string below;
      if (FirstPartIs(rest, "Wow6432Node", nullptr)) return path;  // named by its place already
      const std::string software = path.substr(0, path.size() - rest.size() - 1);
      if (FirstPartIs(rest, "Classes", &below)) {
        return Join(software + "\\" + rest.substr(0, rest.size() - below.size() - (below.empty() ? 0 : 1)),
                    ClassesPath32(below));
      }
      return Join(software, Join("Wow6432Node", rest));
    }
    case kHkeyClassesRoot:
      return ClassesPath32(path);
    case kHkeyCurrentUser: {
      std::string below;
      if (!FirstPartIs(path, "Software", &rest) || !FirstPartIs(rest, "Classes", &below)) return path;
      const std::string classes = path.substr(0, path.size() - below.size() - (below.empty() ? 0 : 1));
      return below.empty() ? path : Join(classes, ClassesPath32(below));
    }
    default:
      return path;
  }
}

namespace {

bool SkipsOneEntry(long rc) { return rc == kErrorMoreData || rc == kErrorNoUnicodeTranslation; }

}  // namespace

bool NextSubkey(IRegistry& reg, RegKey key, std::uint32_t* index, std::string* name,
                std::size_t nameBuf) {
  for (;; ++*index) {
    const long rc = reg.EnumKey(key, *index, name, nameBuf);
    if (rc == kErrorSuccess) return true;
    if (!SkipsOneEntry(rc)) return false;
  }
}

bool NextValue(IRegistry& reg, RegKey key, std::uint32_t* index, std::string* name,
               std::uint32_t* type, std::vector<std::uint8_t>* data, std::size_t nameBuf,
               std::size_t dataBuf) {
  for (;; ++*index) {
    const long rc = reg.EnumValue(key, *index, name, type, data, nameBuf, dataBuf);
    if (rc == kErrorSuccess) return true;
    if (!SkipsOneEntry(rc)) return false;
  }
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

std::string HivePrefix(RegKey root) {
  const std::string name = RootName(root);
  return name.empty() ? name : name + "\\";
}

}  // namespace tw
