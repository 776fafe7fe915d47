#include "platform/memory/memory_registry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/text.h"

namespace tw {

namespace {

// The order the system keeps names in: UTF-16 code units, case folded, a
// shorter name before a longer one that starts with it. Wine folds to lower
// case ("_x" before "A"), Windows to upper case; the contract suites run
// under Wine, so this follows Wine.
std::u16string MakeSortKey(const std::string& name) {
  std::u16string key;
  bool ascii = true;
  for (unsigned char c : name) ascii = ascii && c < 0x80;
  if (ascii) {
    key.assign(name.begin(), name.end());
  } else {
    key = AnsiToUtf16(name);
  }
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return key;
}

bool IsStringType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

const char* TypeName(std::uint32_t type) {
  static const char* const names[] = {"REG_NONE",   "REG_SZ",       "REG_EXPAND_SZ",
                                      "REG_BINARY", "REG_DWORD",    "REG_DWORD_BIG_ENDIAN",
                                      "REG_LINK",   "REG_MULTI_SZ", "REG_RESOURCE_LIST"};
  return type < sizeof names / sizeof names[0] ? names[type] : "REG_?";
}

void AppendEscaped(const std::string& s, std::string* out) {
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F || c == '"') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out->append(buf);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
}

}  // namespace

class CMemoryRegistry::CWatch : public IRegistryWatch {
 public:
  CWatch(CMemoryRegistry& reg, std::shared_ptr<Node> node) : m_reg(reg), m_node(std::move(node)) {
    CMutexLock lock(m_reg.m_watchMutex);
    m_reg.m_watches.push_back(this);
  }
  ~CWatch() override {
    CMutexLock lock(m_reg.m_watchMutex);
    m_reg.m_watches.erase(std::find(m_reg.m_watches.begin(), m_reg.m_watches.end(), this));
  }
  bool Wait(unsigned timeoutMs) override { return m_changed.Wait(timeoutMs); }
  const Node* Watched() const { return m_node.get(); }
  // Raised on a change since the last Wait that reported one.
  CEvent m_changed;

 private:
  CMemoryRegistry& m_reg;
  std::shared_ptr<Node> m_node;
};

void CMemoryRegistry::Changed(const Node* node) {
  CMutexLock lock(m_watchMutex);
  for (CWatch* w : m_watches) {
    for (const Node* n = node; n; n = n->parent) {
      if (n == w->Watched()) {
        w->m_changed.Set();
        break;
      }
    }
  }
}

std::unique_ptr<IRegistryWatch> CMemoryRegistry::WatchKey(RegKey key, long* error) {
  CMutexLock lock(m_mutex);
  std::shared_ptr<Node> node;
  const long rc = Resolve(key, 0, &node);
  if (error) *error = rc;
  if (rc) return nullptr;
  return std::make_unique<CWatch>(*this, std::move(node));
}

CMemoryRegistry::CMemoryRegistry() {
  const char* names[4] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                          "HKEY_USERS"};
  for (int i = 0; i < 4; ++i) {
    m_roots[i] = std::make_shared<Node>();
    m_roots[i]->name = names[i];
  }
  // On Windows the classes root shows HKLM\Software\Classes.
  m_classes = AddChild(AddChild(m_roots[2], "Software"), "Classes");
}

CMemoryRegistry::~CMemoryRegistry() = default;

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::RootNode(RegKey root) const {
  switch (root) {
    case kHkeyClassesRoot:
      return m_classes;
    case kHkeyCurrentUser:
      return m_roots[1];
    case kHkeyLocalMachine:
      return m_roots[2];
    case kHkeyUsers:
      return m_roots[3];
    default:
      return nullptr;
  }
}

long CMemoryRegistry::Resolve(RegKey key, std::uint32_t need, std::shared_ptr<Node>* node) const {
  std::shared_ptr<Node> n = RootNode(key);
  if (!n) {
    auto it = m_handles.find(key);
    if (it == m_handles.end()) return kErrorInvalidHandle;
    if ((it->second.access & need) != need) return kErrorAccessDenied;
    n = it->second.node;
  }
  if (n->deleted) return kErrorKeyDeleted;
  *node = std::move(n);
  return kErrorSuccess;
}

// Parts separated by one or more "\"; a trailing "\" is allowed, a leading
// one is not (as the system's key-path parser).
long CMemoryRegistry::SplitPath(const std::string& path, std::vector<std::string>* parts) {
  parts->clear();
  if (!path.empty() && path[0] == '\\') return kErrorBadPathname;
  std::string part;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t next = NextCharPos(path, i);
    if (next == i + 1 && path[i] == '\\') {
      if (!part.empty()) parts->push_back(std::move(part));
      part.clear();
    } else {
      part.append(path, i, next - i);
    }
    i = next;
  }
  if (!part.empty()) parts->push_back(std::move(part));
  return kErrorSuccess;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::FindChild(const Node& node,
                                                                  const std::string& name) {
  const std::u16string key = MakeSortKey(name);
  auto it = std::lower_bound(
      node.subkeys.begin(), node.subkeys.end(), key,
      [](const std::shared_ptr<Node>& n, const std::u16string& k) { return n->sortKey < k; });
  if (it != node.subkeys.end() && (*it)->sortKey == key) return *it;
  return nullptr;
}

std::shared_ptr<CMemoryRegistry::Node> CMemoryRegistry::AddChild(const std::shared_ptr<Node>& node,
                                                                 const std::string& name) {
  if (auto existing = FindChild(*node, name)) return existing;
  auto child = std::make_shared<Node>();
  child->name = name;
  child->sortKey = MakeSortKey(name);
  child->parent = node.get();
  auto it = std::lower_bound(
      node->subkeys.begin(), node->subkeys.end(), child->sortKey,
      [](const std::shared_ptr<Node>& n, const std::u16string& k) { return n->sortKey < k; });
  node->subkeys.insert(it, child);
  return child;
}

int CMemoryRegistry::FindValue(const Node& node, const std::string& name) {
  const std::u16string key = MakeSortKey(name);
  for (std::size_t i = 0; i < node.values.size(); ++i) {
    if (node.values[i].sortKey == key) return static_cast<int>(i);
  }
  return -1;
}

// Texts are kept as UTF-16 by the system, so their stored size is that of
// the converted text.
std::uint32_t CMemoryRegistry::StoredSize(const Value& value) {
  if (!IsStringType(value.type)) return static_cast<std::uint32_t>(value.data.size());
  const std::string bytes(value.data.begin(), value.data.end());
  return static_cast<std::uint32_t>(AnsiToUtf16(bytes).size() * 2);
}

long CMemoryRegistry::Walk(std::shared_ptr<Node> from, const std::string& path, bool create,
                           std::shared_ptr<Node>* out) const {
  std::vector<std::string> parts;
  if (long rc = SplitPath(path, &parts)) return rc;
  for (const std::string& part : parts) {
    // The system limits a key name to 255 characters.
    if (part.size() > 255 && AnsiToUtf16(part).size() > 255) {
      return create ? kErrorInvalidParameter : kErrorFileNotFound;
    }
    std::shared_ptr<Node> child = FindChild(*from, part);
    if (!child) {
      if (!create) return kErrorFileNotFound;
      child = AddChild(from, part);
    }
    from = std::move(child);
  }
  *out = std::move(from);
  return kErrorSuccess;
}

RegKey CMemoryRegistry::NewHandle(std::shared_ptr<Node> node, std::uint32_t access) {
  const RegKey h = m_nNextHandle;
  m_nNextHandle += 4;
  m_handles[h] = Handle{std::move(node), access};
  return h;
}

bool CMemoryRegistry::Fault(bool mutating, long* error) { return m_faults.Tick(mutating, error); }

std::string CMemoryRegistry::ViewPath(RegKey parent, const std::string& path,
                                      RegView view) const {
  // Below an opened key the view has been applied already.
  return RootNode(parent) ? RegViewPath(parent, path, view) : path;
}

long CMemoryRegistry::OpenKey(RegKey parent, const std::string& pathInView, std::uint32_t access,
                              RegKey* out, RegView view) {
  const std::string path = ViewPath(parent, pathInView, view);
  CMutexLock lock(m_mutex);
  if (out) *out = 0;
  long rc = kErrorSuccess;
  if (Fault(false, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(parent, 0, &node))) return rc;
  if ((rc = Walk(node, path, false, &node))) return rc;
  if (out) *out = NewHandle(std::move(node), access);
  return kErrorSuccess;
}

long CMemoryRegistry::CreateKey(RegKey parent, const std::string& pathInView, RegKey* out,
                                RegView view) {
  const std::string path = ViewPath(parent, pathInView, view);
  CMutexLock lock(m_mutex);
  if (out) *out = 0;
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(parent, 0, &node))) return rc;
  std::shared_ptr<Node> found;
  const bool existed = Walk(node, path, false, &found) == kErrorSuccess;
  if ((rc = Walk(node, path, true, &node))) return rc;
  if (!existed) Changed(node.get());
  if (out) *out = NewHandle(std::move(node), kKeyAllAccess);
  return kErrorSuccess;
}

long CMemoryRegistry::CloseKey(RegKey key) {
  CMutexLock lock(m_mutex);
  if (RootNode(key)) return kErrorSuccess;
  // Closing never fails for fault injection: callers cannot act on it.
  return m_handles.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long CMemoryRegistry::EnumKey(RegKey key, std::uint32_t index, std::string* name,
                              std::size_t nameBuf) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(false, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(key, kKeyEnumerateSubKeys, &node))) return rc;
  if (index >= node->subkeys.size()) return kErrorNoMoreItems;
  const std::string& n = node->subkeys[index]->name;
  if (nameBuf != kUnlimited && n.size() >= nameBuf) return kErrorMoreData;
  if (name) *name = n;
  return kErrorSuccess;
}

long CMemoryRegistry::EnumValue(RegKey key, std::uint32_t index, std::string* name,
                                std::uint32_t* type, std::vector<std::uint8_t>* data,
                                std::size_t nameBuf, std::size_t dataBuf) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(false, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(key, kKeyQueryValue, &node))) return rc;
  if (index >= node->values.size()) return kErrorNoMoreItems;
  const Value& v = node->values[index];
  if (nameBuf != kUnlimited && v.name.size() >= nameBuf) return kErrorMoreData;
  if (dataBuf != kUnlimited && v.data.size() > dataBuf) return kErrorMoreData;
  if (name) *name = v.name;
  if (type) *type = v.type;
  if (data) *data = v.data;
  return kErrorSuccess;
}

long CMemoryRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                                 std::vector<std::uint8_t>* data, std::size_t dataBuf) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(false, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(key, kKeyQueryValue, &node))) return rc;
  const int i = FindValue(*node, name);
  if (i < 0) return kErrorFileNotFound;
  const Value& v = node->values[i];
  if (dataBuf != kUnlimited && v.data.size() > dataBuf) return kErrorMoreData;
  if (type) *type = v.type;
  if (data) *data = v.data;
  return kErrorSuccess;
}

long CMemoryRegistry::QueryKeyInfo(RegKey key, RegKeyInfo* info) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(false, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(key, kKeyQueryValue, &node))) return rc;
  RegKeyInfo r;
  r.subKeys = static_cast<std::uint32_t>(node->subkeys.size());
  r.values = static_cast<std::uint32_t>(node->values.size());
  for (const auto& k : node->subkeys) {
    r.maxSubKeyLen = std::max<std::uint32_t>(r.maxSubKeyLen, k->sortKey.size());
  }
  for (const auto& v : node->values) {
    r.maxValueNameLen = std::max<std::uint32_t>(r.maxValueNameLen, v.sortKey.size());
    r.maxValueLen = std::max(r.maxValueLen, StoredSize(v));
  }
  if (info) *info = r;
  return kErrorSuccess;
}

long CMemoryRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                               const void* data, std::size_t size) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(key, kKeySetValue, &node))) return rc;
  if (size > 0 && !data) return kErrorInvalidParameter;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> withZero;
  if (IsStringType(type) && size > 0 && bytes[size - 1] != 0) {
    // A text handed over without its zero gets one, as the system does.
    withZero.assign(bytes, bytes + size);
    withZero.push_back(0);
    bytes = withZero.data();
    ++size;
  }
  const int i = FindValue(*node, name);
  if (i >= 0) {
    // The first spelling of the name stays, as in the system's store.
    node->values[i].type = type;
    node->values[i].data.assign(bytes, bytes + size);
    Changed(node.get());
    return kErrorSuccess;
  }
  Value v;
  v.name = name;
  v.sortKey = MakeSortKey(name);
  v.type = type;
  v.data.assign(bytes, bytes + size);
  auto it = std::lower_bound(node->values.begin(), node->values.end(), v.sortKey,
                             [](const Value& a, const std::u16string& k) { return a.sortKey < k; });
  node->values.insert(it, std::move(v));
  Changed(node.get());
  return kErrorSuccess;
}

long CMemoryRegistry::DeleteValue(RegKey key, const std::string& name) {
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(key, kKeySetValue, &node))) return rc;
  const int i = FindValue(*node, name);
  if (i < 0) return kErrorFileNotFound;
  node->values.erase(node->values.begin() + i);
  Changed(node.get());
  return kErrorSuccess;
}

long CMemoryRegistry::DeleteKey(RegKey parent, const std::string& pathInView, RegView view) {
  const std::string path = ViewPath(parent, pathInView, view);
  CMutexLock lock(m_mutex);
  long rc = kErrorSuccess;
  if (Fault(true, &rc)) return rc;
  std::shared_ptr<Node> node;
  if ((rc = Resolve(parent, 0, &node))) return rc;
  if ((rc = Walk(node, path, false, &node))) return rc;
  // A root (or the classes root) cannot go, nor a key that still has subkeys.
  if (!node->parent || node == m_classes || !node->subkeys.empty()) return kErrorAccessDenied;
  Node* p = node->parent;
  Changed(node.get());  // a watch on the key itself hears of its end too
  node->deleted = true;
  node->parent = nullptr;
  p->subkeys.erase(std::find(p->subkeys.begin(), p->subkeys.end(), node));
  return kErrorSuccess;
}

std::size_t CMemoryRegistry::OpenHandleCount() const {
  CMutexLock lock(m_mutex);
  return m_handles.size();
}

bool CMemoryRegistry::KeyExists(RegKey root, const std::string& path) const {
  CMutexLock lock(m_mutex);
  std::shared_ptr<Node> node = RootNode(root);
  return node && Walk(node, path, false, &node) == kErrorSuccess;
}

void CMemoryRegistry::SeedKey(RegKey root, const std::string& path) {
  CMutexLock lock(m_mutex);
  std::shared_ptr<Node> node = RootNode(root);
  if (node) Walk(node, path, true, &node);
}

void CMemoryRegistry::Seed(RegKey root, const std::string& path, const std::string& name,
                           std::uint32_t type, const std::string& bytes) {
  CMutexLock lock(m_mutex);
  std::shared_ptr<Node> node = RootNode(root);
  if (!node || Walk(node, path, true, &node) != kErrorSuccess) return;
  const RegKey h = NewHandle(node, kKeyAllAccess);
  const CFaultPlan saved = m_faults;
  m_faults.Clear();
  SetValue(h, name, type, bytes.data(), bytes.size());
  m_faults = saved;
  m_handles.erase(h);
}

void CMemoryRegistry::SeedString(RegKey root, const std::string& path, const std::string& name,
                                 const std::string& text) {
  Seed(root, path, name, kRegSz, std::string(text.c_str(), text.size() + 1));
}

void CMemoryRegistry::SeedDword(RegKey root, const std::string& path, const std::string& name,
                                std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  Seed(root, path, name, kRegDword, bytes);
}

void CMemoryRegistry::DumpNode(const Node& node, const std::string& path, std::string* out) {
  out->append(path).append("\n");
  for (const Value& v : node.values) {
    out->append("  ");
    if (v.name.empty()) {
      out->append("@");
    } else {
      out->append("\"");
      AppendEscaped(v.name, out);
      out->append("\"");
    }
    out->append(" = ").append(TypeName(v.type)).append(" ");
    if (v.type == kRegSz || v.type == kRegExpandSz) {
      out->append("\"");
      AppendEscaped(std::string(v.data.begin(), v.data.end()), out);
      out->append("\"");
    } else if (v.type == kRegDword && v.data.size() == 4) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%08X",
                    v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                        (static_cast<unsigned>(v.data[3]) << 24));
      out->append(buf);
    } else {
      for (std::size_t i = 0; i < v.data.size(); ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.data[i]);
        out->append(buf);
      }
    }
    out->append("\n");
  }
  for (const auto& k : node.subkeys) DumpNode(*k, path + "\\" + k->name, out);
}

std::string CMemoryRegistry::Dump() const {
  CMutexLock lock(m_mutex);
  std::string out;
  for (int i = 1; i < 4; ++i) DumpNode(*m_roots[i], m_roots[i]->name, &out);
  char buf[64];
  std::snprintf(buf, sizeof buf, "(%zu open handles)\n", m_handles.size());
  out.append(buf);
  return out;
}

std::string CMemoryRegistry::Dump(RegKey root, const std::string& path) const {
  CMutexLock lock(m_mutex);
  std::shared_ptr<Node> node = RootNode(root);
  if (!node || Walk(node, path, false, &node) != kErrorSuccess) {
    return std::string(RootName(root)) + "\\" + path + " (missing)\n";
  }
  std::string out;
  DumpNode(*node, path.empty() ? RootName(root) : std::string(RootName(root)) + "\\" + path, &out);
  return out;
}

}  // namespace tw
