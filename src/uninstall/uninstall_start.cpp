#include "uninstall/uninstall_start.h"

#include <vector>

#include "platform/text.h"

namespace tw {

namespace {

bool IsFile(IFileSystem& fs, const std::string& path) {
  const std::uint32_t attrs = fs.GetFileAttributes(path);
  return attrs != kInvalidAttributes && !(attrs & kAttrDirectory);
}

std::string Quoted(const std::string& program) { return "\"" + program + "\""; }

// The folders a bare program name is looked up in, in this order.
std::string FindBareProgram(IFileSystem& fs, const std::string& name) {
  for (const std::string& folder : {fs.GetSystemDirectory(), fs.GetWindowsDirectory()}) {
    if (folder.empty()) continue;
    for (const std::string& candidate : {folder + "\\" + name, folder + "\\" + name + ".exe"}) {
      if (IsFile(fs, candidate)) return candidate;
    }
  }
  return std::string();
}

std::string Installer(IFileSystem& fs, const std::string& argument) {
  const std::string system = fs.GetSystemDirectory();
  if (system.empty()) return std::string();
  return Quoted(system + "\\msiexec.exe") + " /I" + argument;
}

}  // namespace

std::string UninstallCommandLine(IFileSystem& fs, const std::string& command) {
  std::size_t start = 0;
  while (start < command.size() && (command[start] == ' ' || command[start] == '\t')) ++start;
  const std::string line = command.substr(start);
  if (line.empty()) return std::string();
  if (line[0] == '"') return line;
  // Every place a blank ends a leading part, the whole text last; the
  // longest part that names a file wins. Only a full path is looked for: a
  // relative one would be found in the current folder.
  std::vector<std::size_t> ends;
  for (std::size_t i = FindChar(line, ' '); i != std::string::npos; i = FindChar(line, ' ', i + 1)) {
    ends.push_back(i);
  }
  ends.push_back(line.size());
  const bool fullPath = (line.size() >= 3 && line[1] == ':' && line[2] == '\\') ||
                        line.compare(0, 2, "\\\\") == 0;
  if (fullPath) {
    for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
      const std::string part = line.substr(0, *it);
      if (IsFile(fs, part)) return Quoted(part) + line.substr(*it);
    }
    return std::string();
  }
  const std::string name = line.substr(0, ends.front());
  if (FindChar(name, '\\') != std::string::npos || FindChar(name, ':') != std::string::npos) {
    return std::string();
  }
  const std::string program = FindBareProgram(fs, name);
  return program.empty() ? std::string() : Quoted(program) + line.substr(ends.front());
}

bool StartUninstaller(IShell& shell, IFileSystem& fs, InstalledProgram& record) {
  const std::string line = UninstallCommandLine(fs, record.uninstallCommand);
  if (!line.empty() && shell.CreateProcess(line)) return true;
  record.uninstallCommand = LowerCase(record.uninstallCommand);
  const std::size_t msi = FindText(record.uninstallCommand, ".msi");
  if (msi == std::string::npos || msi == 0) return false;
  // Registry text goes into the installer's command line only when it
  // cannot end its argument and add switches of its own.
  if (FindChar(record.uninstallCommand, '"') == std::string::npos) {
    const std::string package = Installer(fs, record.uninstallCommand);
    if (!package.empty() && shell.CreateProcess(package)) return true;
  }
  if (record.keyName.empty() || FindChar(record.keyName, '"') != std::string::npos ||
      FindChar(record.keyName, ' ') != std::string::npos) {
    return false;
  }
  const std::string product = Installer(fs, record.keyName);
  return !product.empty() && shell.CreateProcess(product);
}

}  // namespace tw
