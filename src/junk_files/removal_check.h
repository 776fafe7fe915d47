// The check a found file passes again just before it is removed. Between the
// scan and the deletion anyone may change what a path names: a folder on the
// way can become a link to the system's folders, a name can hold "*" or "?"
// (wildcards to the shell) or end in a dot or a blank (which the system
// drops, naming a sibling). A file is removed only when its path still
// leads, through plain folders below the walked folder, to a plain file of
// exactly that name.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tw {

enum class PathCheck {
  kPlainFile,  // safe to remove
  kGone,       // nothing of that name is there any more
  kRefused,    // a link, a folder, a wildcard, another name, or outside every walked folder
};

// `roots` are the folders the scan walked, as the walk spelled them (lower
// case, no trailing "\"; a drive as "c:"). The path must lie below one of
// them; the deepest one that holds it is the one checked from.
PathCheck CheckRemovablePath(IFileSystem& fs, const std::vector<std::string>& roots,
                             const std::string& path);

// The walked folders of a scan, spelled as the walk spells them.
std::vector<std::string> WalkedRoots(const std::vector<std::string>& roots,
                                     const std::string& cacheFolder, const std::string& tempFolder);

}  // namespace tw
