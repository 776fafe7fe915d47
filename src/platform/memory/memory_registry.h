// An in-memory registry that answers like the system's: four roots (the
// classes root is the machine's Software\Classes, as on Windows), key paths
// compared without regard to case, subkeys and values enumerated in the
// order the system keeps them (sorted by case-folded name), buffers that are
// too small answered with kErrorMoreData, access checked per handle. Tests
// can count open handles, dump the whole tree and make the Nth call fail.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/fault_plan.h"
#include "platform/registry.h"
#include "platform/threads.h"

namespace tw {

class CMemoryRegistry : public IRegistry {
 public:
  CMemoryRegistry();
  ~CMemoryRegistry() override;

  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
              RegView view = RegView::kDefault) override;
  long CreateKey(RegKey parent, const std::string& path, RegKey* out,
                 RegView view = RegView::kDefault) override;
  long CloseKey(RegKey key) override;
  long EnumKey(RegKey key, std::uint32_t index, std::string* name, std::size_t nameBuf) override;
  long EnumValue(RegKey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                 std::vector<std::uint8_t>* data, std::size_t nameBuf,
                 std::size_t dataBuf) override;
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* data, std::size_t dataBuf) override;
  long QueryKeyInfo(RegKey key, RegKeyInfo* info) override;
  long SetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                std::size_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long DeleteKey(RegKey parent, const std::string& path,
                RegView view = RegView::kDefault) override;
  std::unique_ptr<IRegistryWatch> WatchKey(RegKey key, long* error = nullptr) override;

  // Test helpers; none of them counts as a call for fault injection.
  // Handles opened and not yet closed (the four roots do not count).
  std::size_t OpenHandleCount() const;
  bool KeyExists(RegKey root, const std::string& path) const;
  // Creates the key (and its parents) and sets one value.
  void Seed(RegKey root, const std::string& path, const std::string& name, std::uint32_t type,
            const std::string& bytes);
  void SeedString(RegKey root, const std::string& path, const std::string& name,
                  const std::string& text);  // REG_SZ with its zero
  void SeedDword(RegKey root, const std::string& path, const std::string& name,
                 std::uint32_t value);
  void SeedKey(RegKey root, const std::string& path);
  // The whole tree (or one key's subtree), one line per key and per value,
  // for failure messages.
  std::string Dump() const;
  std::string Dump(RegKey root, const std::string& path) const;
  CFaultPlan& Faults() { return m_faults; }

 private:
  struct Value {
    std::string name;
    std::u16string sortKey;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  struct Node {
    std::string name;
    std::u16string sortKey;
    Node* parent = nullptr;
    bool deleted = false;
    std::vector<std::shared_ptr<Node>> subkeys;  // kept sorted by sortKey
    std::vector<Value> values;                   // kept sorted by sortKey
  };
  class CWatch;
  friend class CWatch;
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t access = 0;
  };

  long Resolve(RegKey key, std::uint32_t need, std::shared_ptr<Node>* node) const;
  std::shared_ptr<Node> RootNode(RegKey root) const;
  // The path the 64-bit view holds a view's key at (below a root only).
  std::string ViewPath(RegKey parent, const std::string& path, RegView view) const;
  static long SplitPath(const std::string& path, std::vector<std::string>* parts);
  static std::shared_ptr<Node> FindChild(const Node& node, const std::string& name);
  static std::shared_ptr<Node> AddChild(const std::shared_ptr<Node>& node, const std::string& name);
  static int FindValue(const Node& node, const std::string& name);
  static std::uint32_t StoredSize(const Value& value);
  long Walk(std::shared_ptr<Node> from, const std::string& path, bool create,
            std::shared_ptr<Node>* out) const;
  RegKey NewHandle(std::shared_ptr<Node> node, std::uint32_t access);
  bool Fault(bool mutating, long* error);
  // Tells the watches on node and its ancestors that something changed.
  void Changed(const Node* node);
  static void DumpNode(const Node& node, const std::string& path, std::string* out);

  mutable CMutex m_mutex;
  std::shared_ptr<Node> m_roots[4];  // HKCR slot unused: it aliases HKLM\Software\Classes
  std::shared_ptr<Node> m_classes;
  std::map<RegKey, Handle> m_handles;
  RegKey m_nNextHandle = 0x1000;
  CFaultPlan m_faults;
  CMutex m_watchMutex;
  std::vector<CWatch*> m_watches;  // guarded by m_watchMutex
};

}  // namespace tw
