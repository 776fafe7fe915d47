#include "platform/system_program.h"

#include "platform/text.h"

namespace tw {

namespace {

// Whether path lies in folder (or is it); the folder names of the system
// are plain ASCII, so a match ends on a character of their own.
bool InFolder(const std::string& path, const std::string& folder, std::string* rest) {
  const std::size_t n = folder.size();
  if (n == 0 || path.size() < n || !EqualsNoCase(path.substr(0, n), folder)) return false;
  if (path.size() > n && path[n] != '\\') return false;  // "System32x" is another folder
  *rest = path.substr(n);
  return true;
}

bool IsProgram(const std::string& path) {
  return path.size() > 4 && EqualsNoCase(path.substr(path.size() - 4), ".exe");
}

}  // namespace

ProgramStart SystemProgramStart(const SystemProgramLayout& layout, const std::string& path) {
  ProgramStart start{path, false};
  if (!layout.wow64 || !IsProgram(path)) return start;
  std::string rest;
  if (InFolder(path, layout.systemFolder, &rest)) {
    std::string parent;
    SplitAtLastBackslash(layout.systemFolder, &parent, nullptr);
    if (layout.hasSysnative && !parent.empty()) {
      start.path = parent + "\\Sysnative" + rest;
    } else {
      start.redirectionOff = true;
    }
    return start;
  }
  std::string windows = layout.windowsFolder;
  if (!windows.empty() && windows.back() == '\\') windows.pop_back();
  if (!windows.empty() && EqualsNoCase(path, windows + "\\regedit.exe")) start.redirectionOff = true;
  return start;
}

}  // namespace tw
