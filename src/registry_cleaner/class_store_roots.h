// The keys of the class store that hold other classes' data rather than a
// class of their own. A file type's default value names its class, and any
// program may write a per-user file type: one naming such a root must never
// make the cleaner judge (and offer to remove) the machine's whole store.
#pragma once

#include <string>

namespace tw {

// True for a root of the class store (compared without regard to case).
bool IsClassStoreRoot(const std::string& className);

// A class name is one key name. One that holds "\" names some deeper key
// (TypeLib\{...}, CLSID\{...}) and is no class; neither is an empty name or
// a class-store root.
bool IsPlainClassName(const std::string& className);

}  // namespace tw
