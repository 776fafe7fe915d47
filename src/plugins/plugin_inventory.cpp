#include "plugins/plugin_inventory.h"

#include "platform/text.h"

namespace tw {

const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kMenuExtKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\MenuExt";
const char kHelperObjectsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

namespace {

// The lists' keys are opened as the removal will need them, so an account
// that could not remove an entry does not see it listed.
constexpr std::uint32_t kListAccess = kKeyRead | kKeyCreateSubKey | kKeySetValue;

const char kBandButton[] = "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";
const char kExecButton[] = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";

// Texts are read whatever their length: a long server path or name is shown
// and removed as it is, never taken for missing.
bool ReadText(IRegistry& reg, RegKey key, const std::string& name, std::string* out) {
  return RegReadString(reg, key, name, out, kUnlimited);
}

std::string TextUpToZero(const std::vector<std::uint8_t>& data) {
  std::size_t len = 0;
  while (len < data.size() && data[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(data.data()), len);
}

}  // namespace

bool IsUsableClassId(const std::string& classId) {
  return !classId.empty() && FindChar(classId, '\\') == std::string::npos;
}

std::vector<RegView> CPluginInventory::ViewsOf(RegKey root, const char* key) {
  std::vector<RegView> views = {RegView::kDefault};
  if (!EqualsNoCase(RegViewPath(root, key, RegView::k32), key)) views.push_back(RegView::k32);
  return views;
}

PluginRecord* CPluginInventory::Add(RegKey root, RegView view, const std::string& keyPath) {
  auto record = std::make_unique<PluginRecord>();
  record->root = root;
  record->view = view;
  record->keyPath = keyPath;
  record->storedKeyPath = RegViewPath(root, keyPath, view);
  m_records.push_back(std::move(record));
  return m_records.back().get();
}

int CPluginInventory::List(int kind) {
  switch (kind) {
    case kPluginToolbar:
      return ListToolbars();
    case kPluginButton:
      return ListToolbarButtons();
    case kPluginContextMenu:
      return ListContextMenus();
    case kPluginHelperObject:
      return ListHelperObjects();
    default:
      return 0;
  }
}

int CPluginInventory::ListToolbars() {
  m_records.clear();
  for (RegView view : ViewsOf(kHkeyLocalMachine, kToolbarKey)) ReadToolbars(view);
  ResolveAll();
  return 1;
}

void CPluginInventory::ReadToolbars(RegView view) {
  CRegKeyGuard key(m_reg);
  if (m_reg.OpenKey(kHkeyLocalMachine, kToolbarKey, kListAccess, key.Put(), view) != kErrorSuccess)
    return;
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0;
       NextValue(m_reg, key.Get(), &i, &name, &type, &data, kUnlimited, kUnlimited);
       ++i) {
    PluginRecord* record = Add(kHkeyLocalMachine, view, kToolbarKey);
    record->classId = name;
    record->name = TextUpToZero(data);
  }
}

int CPluginInventory::ListToolbarButtons() {
  m_records.clear();
  for (RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    for (RegView view : ViewsOf(root, kExtensionsKey)) ReadButtons(root, view);
  }
  ResolveAll();
  return 1;
}

void CPluginInventory::ReadButtons(RegKey root, RegView view) {
  CRegKeyGuard key(m_reg);
  if (m_reg.OpenKey(root, kExtensionsKey, kListAccess, key.Put(), view) != kErrorSuccess) return;
  std::string subkey;
  for (std::uint32_t i = 0; NextSubkey(m_reg, key.Get(), &i, &subkey, kUnlimited); ++i) {
    CRegKeyGuard entry(m_reg);
    if (m_reg.OpenKey(key.Get(), subkey, kListAccess, entry.Put()) != kErrorSuccess) continue;
    PluginRecord record;
    ReadText(m_reg, entry.Get(), "", &record.name);
    std::string kindClsid;
    if (!ReadText(m_reg, entry.Get(), "Clsid", &kindClsid)) continue;
    if (EqualsNoCase(kindClsid, kBandButton)) {
      ReadText(m_reg, entry.Get(), "BandClsid", &record.classId);
    } else if (EqualsNoCase(kindClsid, kExecButton)) {
      if (!ReadText(m_reg, entry.Get(), "ClsidExtension", &record.classId) &&
          !ReadText(m_reg, entry.Get(), "Exec", &record.serverPath)) {
        continue;
      }
    }
    if (!ReadText(m_reg, entry.Get(), "ButtonText", &record.buttonText)) continue;
    ReadText(m_reg, entry.Get(), "MenuStatusBar", &record.statusText);
    PluginRecord* kept = Add(root, view, std::string(kExtensionsKey) + "\\" + subkey);
    record.root = kept->root;
    record.view = kept->view;
    record.keyPath = kept->keyPath;
    record.storedKeyPath = kept->storedKeyPath;
    *kept = std::move(record);
  }
}

int CPluginInventory::ListContextMenus() {
  m_records.clear();
  for (RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine}) {
    for (RegView view : ViewsOf(root, kMenuExtKey)) ReadContextMenus(root, view);
  }
  return 1;
}

void CPluginInventory::ReadContextMenus(RegKey root, RegView view) {
  CRegKeyGuard key(m_reg);
  if (m_reg.OpenKey(root, kMenuExtKey, kListAccess, key.Put(), view) != kErrorSuccess) return;
  std::string subkey;
  for (std::uint32_t i = 0; NextSubkey(m_reg, key.Get(), &i, &subkey, kUnlimited); ++i) {
    PluginRecord* record = Add(root, view, std::string(kMenuExtKey) + "\\" + subkey);
    // The entry's name is its menu text; the second column shows it too.
    record->name = subkey;
    record->progId = subkey;
    CRegKeyGuard entry(m_reg);
    if (m_reg.OpenKey(key.Get(), subkey, kListAccess, entry.Put()) != kErrorSuccess) continue;
    if (!ReadText(m_reg, entry.Get(), "", &record->serverPath)) record->name.clear();
  }
}

int CPluginInventory::ListHelperObjects() {
  m_records.clear();
  for (RegView view : ViewsOf(kHkeyLocalMachine, kHelperObjectsKey)) ReadHelperObjects(view);
  ResolveAll();
  return 1;
}

void CPluginInventory::ReadHelperObjects(RegView view) {
  CRegKeyGuard key(m_reg);
  if (m_reg.OpenKey(kHkeyLocalMachine, kHelperObjectsKey, kListAccess, key.Put(), view) !=
      kErrorSuccess)
    return;
  std::string subkey;
  for (std::uint32_t i = 0; NextSubkey(m_reg, key.Get(), &i, &subkey, kUnlimited); ++i) {
    PluginRecord* record =
        Add(kHkeyLocalMachine, view, std::string(kHelperObjectsKey) + "\\" + subkey);
    record->classId = subkey;
  }
}

void CPluginInventory::ResolveAll() {
  for (auto& record : m_records) {
    ResolveClass(record->classId, record->view, &record->progId, &record->serverPath,
                 &record->classRoot, &record->classKeyPath, record->root);
  }
}

bool CPluginInventory::ResolveClass(const std::string& classId, RegView view, std::string* progId,
                                    std::string* serverPath, RegKey* classRoot,
                                    std::string* classKeyPath, RegKey entryRoot) {
  if (classRoot) *classRoot = 0;
  if (classKeyPath) classKeyPath->clear();
  if (!IsUsableClassId(classId)) return false;
  // The classes root shows the user's classes over the machine's; the key
  // is read, and later backed up and removed, where it actually is.
  const std::string path = "Software\\Classes\\CLSID\\" + classId;
  CRegKeyGuard key(m_reg);
  RegKey root = 0;
  for (RegKey candidate : {kHkeyCurrentUser, kHkeyLocalMachine}) {
    if (candidate == kHkeyCurrentUser && entryRoot == kHkeyLocalMachine) continue;
    if (m_reg.OpenKey(candidate, path, kKeyRead, key.Put(), view) == kErrorSuccess) {
      root = candidate;
      break;
    }
  }
  if (!root) return false;
  if (classRoot) *classRoot = root;
  if (classKeyPath) *classKeyPath = RegViewPath(root, path, view);
  std::string text;
  CRegKeyGuard sub(m_reg);
  if (m_reg.OpenKey(key.Get(), "VersionIndependentProgID", kKeyRead, sub.Put()) == kErrorSuccess) {
    if (!ReadText(m_reg, sub.Get(), "", &text)) text.clear();
    if (progId) *progId = text;
  }
  if (m_reg.OpenKey(key.Get(), "InprocServer32", kKeyRead, sub.Put()) != kErrorSuccess) return false;
  if (!ReadText(m_reg, sub.Get(), "", &text)) text.clear();
  if (serverPath) *serverPath = text;
  return true;
}

}  // namespace tw
