// The inventory of browser extensions: toolbars, toolbar buttons and menu
// items, context-menu entries and helper objects, read from the registry one
// kind at a time, with their classes resolved to a programmatic name and an
// in-process server. Both registry views are read: a 32-bit extension
// registers where only the 32-bit view (Wow6432Node) shows it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "plugins/plugin_record.h"

namespace tw {

extern const char kToolbarKey[];
extern const char kExtensionsKey[];
extern const char kMenuExtKey[];
extern const char kHelperObjectsKey[];

class CPluginInventory {
 public:
  explicit CPluginInventory(IRegistry& reg) : m_reg(reg) {}

  // Each frees the records of the last listing and reads one kind; all
  // answer 1.
  int ListToolbars();
  int ListToolbarButtons();
  int ListContextMenus();
  int ListHelperObjects();
  // The listing of a kind by its number (1-4); 0 for another number.
  int List(int kind);

  // Reads the class's programmatic name and in-process server in the given
  // view; true when it has an "InprocServer32" key. Fields are changed only
  // by what is found (a button's "Exec" program stays when there is no
  // server). *classRoot / *classKeyPath, when given, receive where the
  // class's key is (0 and empty when nowhere). For an entry of the machine
  // (entryRoot HKEY_LOCAL_MACHINE) only the machine's classes count: a class
  // of the user's, which any program can write, never stands for it.
  bool ResolveClass(const std::string& classId, RegView view, std::string* progId,
                    std::string* serverPath, RegKey* classRoot = nullptr,
                    std::string* classKeyPath = nullptr, RegKey entryRoot = 0);

  const std::vector<std::unique_ptr<PluginRecord>>& Records() const { return m_records; }

 private:
  // The views to read key below root in: the default one, and the 32-bit
  // one when it keeps that key elsewhere.
  static std::vector<RegView> ViewsOf(RegKey root, const char* key);
  PluginRecord* Add(RegKey root, RegView view, const std::string& keyPath);
  void ResolveAll();
  void ReadButtons(RegKey root, RegView view);
  void ReadContextMenus(RegKey root, RegView view);
  void ReadHelperObjects(RegView view);
  void ReadToolbars(RegView view);

  IRegistry& m_reg;
  std::vector<std::unique_ptr<PluginRecord>> m_records;
};

// A text usable as a class id in a key path: not empty, no separator.
bool IsUsableClassId(const std::string& classId);

}  // namespace tw
