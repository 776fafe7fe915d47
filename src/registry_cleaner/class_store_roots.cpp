#include "registry_cleaner/class_store_roots.h"

#include "platform/text.h"

namespace tw {

namespace {

// Each holds entries that are alive through their values or through other
// keys pointing at them, never through a command or an icon of their own,
// so the dead-class rule would find them all dead.
const char* const kClassStoreRoots[] = {
    "CLSID",                 // COM classes
    "Interface",             // COM interfaces: proxies and type-library links
    "TypeLib",               // type libraries
    "AppID",                 // COM server processes and their security
    "Installer",             // Windows Installer products, features, components
    "Component Categories",  // COM categories
    "Wow6432Node",           // the 32-bit view of the whole store
    "MIME",                  // content types and their databases
    "Record",                // COM records (structures)
    "Media Type",            // DirectShow media types
    "MediaFoundation",       // Media Foundation transforms
    "DirectShow",            // DirectShow filters
    "Filter",                // ActiveMovie filters
    "PROTOCOLS",             // URL protocol handlers and filters
    "Licenses",              // COM control licences
    "SystemFileAssociations",  // shell verbs shared by file kinds
    "Local Settings",        // the shell's per-user software state
    "Applications",          // per-program open-with data
};

}  // namespace

bool IsClassStoreRoot(const std::string& className) {
  for (const char* root : kClassStoreRoots) {
    if (EqualsNoCase(className, root)) return true;
  }
  return false;
}

bool IsPlainClassName(const std::string& className) {
  return !className.empty() && FindChar(className, '\\') == std::string::npos &&
         !IsClassStoreRoot(className);
}

}  // namespace tw
