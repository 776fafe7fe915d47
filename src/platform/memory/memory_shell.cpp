#include "platform/memory/memory_shell.h"

#include "platform/text.h"

namespace tw {

namespace {

constexpr std::size_t kShellPathChars = 258;

}  // namespace

int CMemoryShell::FileOperation(std::uint32_t op, const std::string& from, const std::string& to,
                                std::uint32_t flags, std::uintptr_t owner) {
  long rc = kErrorSuccess;
  {
    CMutexLock lock(m_mutex);
    if (m_faults.Tick(true, &rc)) return static_cast<int>(rc);
  }
  if (m_fs.Fault(true, &rc)) return static_cast<int>(rc);
  if (from.empty()) return kErrorFileNotFound;
  // The shell's path buffers hold 259 characters and a zero; it refuses a
  // longer path before looking at it.
  if (from.size() > kShellPathChars || to.size() > kShellPathChars) return kErrorBadPathname;
  switch (op) {
    case kFoDelete:
      if ((flags & kFofAllowUndo) && m_bRecycleUsable) {
        rc = m_fs.Recycle(from);
      } else if ((flags & kFofAllowUndo) && (flags & kFofWantNukeWarning)) {
        ++m_nNukeQuestions;
        rc = m_bNukeAnswer ? m_fs.DeleteTree(from) : kErrorCancelled;
      } else {
        rc = m_fs.DeleteTree(from);
      }
      break;
    case kFoMove:
    case kFoCopy: {
      if (!m_fs.Exists(from)) return kErrorFileNotFound;
      std::string dest = to;
      // Into an existing folder the entry keeps its name. A destination
      // folder that does not exist is not made (the operation is
      // cancelled, as Wine's shell does).
      const std::uint32_t attrs = m_fs.GetFileAttributes(to);
      std::string name;
      SplitAtLastBackslash(from, nullptr, &name);
      if (attrs != kInvalidAttributes && (attrs & kAttrDirectory)) {
        dest = to + (to.empty() || to.back() == '\\' ? "" : "\\") + name;
      } else {
        std::string parent;
        SplitAtLastBackslash(to, &parent, nullptr);
        const std::uint32_t pa =
            m_fs.GetFileAttributes(parent.size() == 2 ? parent + "\\" : parent);
        if (pa == kInvalidAttributes || !(pa & kAttrDirectory)) return kErrorCancelled;
      }
      if (op == kFoCopy) {
        rc = m_fs.CopyTree(from, dest);
      } else {
        if (m_fs.Exists(dest) && !EqualsNoCase(dest, from)) {
          // The shell replaces a file of the same name without asking.
          const std::uint32_t da = m_fs.GetFileAttributes(dest);
          if (da & kAttrDirectory) return kErrorAlreadyExists;
          if ((rc = m_fs.DeleteTree(dest))) return static_cast<int>(rc);
        }
        rc = m_fs.MoveFile(from, dest);
      }
      break;
    }
    default:
      return kErrorInvalidParameter;
  }
  return static_cast<int>(rc);
}

bool CMemoryShell::Start(StartedProgram program, const std::string& path) {
  {
    CMutexLock lock(m_mutex);
    long rc = 0;
    if (m_faults.Tick(true, &rc) || m_bStartsFail) return false;
  }
  // A program given with its folder must exist; a bare name is looked up on
  // the search path, which the memory scene does not model.
  if (FindChar(path, '\\') != std::string::npos && !m_fs.Exists(path)) return false;
  {
    CMutexLock lock(m_mutex);
    m_started.push_back(program);
  }
  if (m_onStart) m_onStart(program);
  return true;
}

bool CMemoryShell::ShellExecute(const std::string& verb, const std::string& file,
                                const std::string& parameters, int show) {
  StartedProgram p;
  p.how = "ShellExecute";
  p.verb = verb;
  p.file = file;
  p.parameters = parameters;
  p.show = show;
  p.commandLine = parameters.empty() ? file : file + " " + parameters;
  return Start(std::move(p), file);
}

bool CMemoryShell::CreateProcess(const std::string& commandLine) {
  StartedProgram p;
  p.how = "CreateProcess";
  p.commandLine = commandLine;
  p.show = kSwShowNormal;
  // The program is the quoted first part, or else the shortest run of words
  // up to a space that names an existing file (as CreateProcess tries them).
  std::string program;
  std::size_t i = 0;
  while (i < commandLine.size() && commandLine[i] == ' ') ++i;
  if (i < commandLine.size() && commandLine[i] == '"') {
    const std::size_t end = commandLine.find('"', i + 1);
    program = commandLine.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    p.parameters = end == std::string::npos ? "" : commandLine.substr(end + 1);
  } else {
    std::size_t space = i;
    program = commandLine.substr(i);
    while ((space = FindChar(commandLine, ' ', space + 1)) != std::string::npos) {
      const std::string candidate = commandLine.substr(i, space - i);
      if (m_fs.Exists(candidate) || m_fs.Exists(candidate + ".exe")) {
        program = candidate;
        break;
      }
      if (FindChar(candidate, '\\') == std::string::npos) {
        program = candidate;
        break;
      }
    }
    p.parameters =
        program.size() + i < commandLine.size() ? commandLine.substr(i + program.size()) : "";
  }
  while (!p.parameters.empty() && p.parameters[0] == ' ') p.parameters.erase(0, 1);
  p.file = program;
  std::string check = program;
  if (FindChar(check, '\\') != std::string::npos && !m_fs.Exists(check) &&
      m_fs.Exists(check + ".exe")) {
    check += ".exe";
  }
  return Start(std::move(p), check);
}

std::vector<StartedProgram> CMemoryShell::Started() const {
  CMutexLock lock(m_mutex);
  return m_started;
}

std::string CMemoryShell::Dump() const {
  CMutexLock lock(m_mutex);
  std::string out;
  for (const auto& p : m_started) {
    out += p.how + ": " + (p.verb.empty() ? "" : p.verb + " ") + p.commandLine + " (show " +
           std::to_string(p.show) + ")\n";
  }
  return out;
}

}  // namespace tw
