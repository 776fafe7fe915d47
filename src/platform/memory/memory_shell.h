// The shell over a CMemoryFileSystem: SHFileOperation's delete, recycle,
// move and copy, and a record of every program started instead of starting
// it. A test can react to a start (an uninstaller removing its entry).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/memory/fault_plan.h"
#include "platform/memory/memory_file_system.h"
#include "platform/threads.h"

namespace tw {

struct StartedProgram {
  std::string how;  // "ShellExecute" or "CreateProcess"
  std::string verb, file, parameters;
  int show = 0;
  std::string commandLine;  // CreateProcess's; ShellExecute's as "file parameters"
};

class CMemoryShell : public IShell {
 public:
  explicit CMemoryShell(CMemoryFileSystem& fs) : m_fs(fs) {}

  int FileOperation(std::uint32_t op, const std::string& from, const std::string& to,
                    std::uint32_t flags, std::uintptr_t owner = 0) override;
  bool ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                    int show) override;
  bool CreateProcess(const std::string& commandLine) override;

  std::vector<StartedProgram> Started() const;
  // Called (outside the lock) for each program started; may change the scene.
  void SetOnStart(std::function<void(const StartedProgram&)> onStart) {
    m_onStart = std::move(onStart);
  }
  // Make every start fail (a program that cannot be found).
  void SetStartsFail(bool fail) { m_bStartsFail = fail; }
  CFaultPlan& Faults() { return m_faults; }
  // A recycle bin that takes nothing (a file where its folder should be).
  // The system's shell then deletes a file outright, silently, unless the
  // caller asked to be warned (kFofWantNukeWarning): then it asks, and the
  // answer given here (default: No, the file stays and the operation counts
  // as aborted) decides.
  void SetRecycleBinUsable(bool usable) { m_bRecycleUsable = usable; }
  void SetNukeAnswer(bool deleteForGood) { m_bNukeAnswer = deleteForGood; }
  int NukeQuestions() const { return m_nNukeQuestions; }
  std::string Dump() const;

 private:
  bool Start(StartedProgram program, const std::string& path);

  CMemoryFileSystem& m_fs;
  mutable CMutex m_mutex;
  std::vector<StartedProgram> m_started;
  std::function<void(const StartedProgram&)> m_onStart;
  bool m_bStartsFail = false;
  bool m_bRecycleUsable = true;
  bool m_bNukeAnswer = false;
  int m_nNukeQuestions = 0;
  CFaultPlan m_faults;
};

}  // namespace tw
