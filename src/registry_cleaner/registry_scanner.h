// The registry cleaner's walks, one per scan category. Each is a plain
// synchronous engine: it reads the registry through the platform layer,
// polls the run control at fixed points and hands every key it opens and
// every finding to a sink. The page runs them on its worker thread and
// turns sink calls into list rows and status texts.
#pragma once

#include <string>
#include <vector>

#include "platform/run_control.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "registry_cleaner/path_checker.h"
#include "registry_cleaner/registry_finding.h"

namespace tw {

class IScanSink {
 public:
  virtual ~IScanSink() = default;
  // A key opened for examination, as the status line shows it:
  // "HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32".
  virtual void OnScanKey(const std::string& statusText) = 0;
  // One row for the result list (the found-counter grows by one per call).
  virtual void OnFinding(const RegistryFinding& finding) = 0;
};

// The uninstall entries' key below HKEY_LOCAL_MACHINE.
extern const char kUninstallKeyPath[];

class CRegistryScanner {
 public:
  // cacheWithinRun lets the path check remember drive types and existence
  // answers for the scanner's lifetime; use one scanner per scan.
  CRegistryScanner(IRegistry& reg, IFileSystem& fs, const CRunControl& run, IScanSink& sink,
                   ScanTexts texts = {}, bool cacheWithinRun = true);

  // Each walk answers false when it ended on a stop request, true when it
  // ran to its end.
  bool RunCategory(ScanCategory category);
  bool ScanHive(RegKey hive, ScanCategory category);
  bool ScanComServers();
  bool ScanTypeLibraries();
  bool ScanUninstallEntries();
  bool ScanFileAssociations();

  // A class key below one hive's classes key that no longer does anything:
  // no friendly type name, no command or icon with a text, no CLSID, and no
  // subkey that is itself alive. A key that cannot be opened, or a stop
  // request, counts as alive so that nothing is reported on doubt.
  bool IsClassKeyDead(const std::string& classKeyPath, RegKey classes = kHkeyLocalMachine);

 private:
  struct ValueRead {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  bool WalkSubkeys(const std::string& statusPrefix, RegKey key, const std::string& path,
                   ScanCategory category, std::size_t depth = 0);
  bool ReadValues(RegKey key, std::vector<ValueRead>* values, std::size_t* count);
  bool ScanTypeLibrariesIn(RegKey classes);
  bool ScanFileAssociationsIn(RegKey classes);
  bool ClassKeyExists(RegKey classes, const std::string& className);
  // The class named by a plain name, below an open classes key.
  bool IsClassKeyDeadBelow(RegKey classesKey, const std::string& className);
  // The class key open in `key`, `depth` names below its hive's root.
  bool IsOpenedClassKeyDead(RegKey key, std::size_t depth);
  bool ExamineValues(const std::vector<ValueRead>& values, std::size_t count,
                     const std::string& path, ScanCategory category);
  void Report(ScanCategory category, const std::string& location, const std::string& description,
              const std::string& valueName);

  IRegistry& m_reg;
  const CRunControl& m_run;
  IScanSink& m_sink;
  ScanTexts m_texts;
  CPathChecker m_paths;
  // The hive whose classes key the walk at hand reads (classes-root categories).
  RegKey m_classes = kHkeyLocalMachine;
  // One list of read values per level of the hive walk, kept from key to
  // key so that their strings keep their room.
  std::vector<std::vector<ValueRead>> m_levels;
};

}  // namespace tw
