// The junk-file cleaner's page (template 130): the folder tree, the settings
// view (deletion mode, backup folder, file types, the two folder options)
// and the result view with the found files. Scans and deletions run on a
// worker thread of the page; the engines are the portable ones beside it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/pending_rows.h"
#include "app/result_page.h"
#include "junk_files/folder_tree.h"
#include "junk_files/junk_deletion.h"
#include "junk_files/junk_match.h"
#include "junk_files/junk_scanner.h"
#include "junk_files/junk_settings.h"
#include "junk_files/removal_check.h"

namespace tw {

class CJunkFilePage : public CResultPage {
 public:
  // Makes the default backup folder at once: the page object lives from
  // start-up on, its window only from the first visit.
  explicit CJunkFilePage(const Platform& platform);
  ~CJunkFilePage() override;

  // UpdateRunButtons: the main window tells the page whether any run is active.
  void UpdateButtonsForBusy(bool busy) override;

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  void OnDestroy() override;
  void OnTimer(UINT_PTR id) override;

 private:
  class CScanSink;
  struct FoundRow {
    std::string path;
    std::string size;
  };

  // Settings view.
  void LoadSettings();
  void SaveSettings();
  void ApplyDeleteMode(int mode);
  void AddFileType();
  void DeleteFileTypes();
  void TickAllTypes();
  void BrowseBackupFolder();
  void ShowResultView(bool results);
  std::vector<FileTypeEntry> TypeRows() const;
  void InsertTypeRow(int at, const FileTypeEntry& entry);

  // Scan.
  void OnScan();
  void EndScan();
  void AddPendingRow(FoundRow row);
  bool DrainPendingRows(std::size_t limit) override;

  // Deletion.
  void OnDeleteTicked();
  void OnDeleteAll();
  void ToggleDeletion(int scope);
  void DeleteOnWorker();
  RemoveOutcome RemoveOne(const std::string& path);
  // Interface thread: copies a batch of rows for the deletion; answers how many.
  struct RowCopyRequest {
    int first = 0;
    std::vector<JunkRowCopy>* rows = nullptr;
  };
  int CopyRows(const RowCopyRequest& request);
  // Interface thread: takes out the rows whose files are gone; the result
  // list paces it.
  void DropGoneRows();

  // Shared.
  void EnableItems(std::initializer_list<int> ids, bool enable);
  std::string ItemText(int id) const;

  CFolderTree m_tree;
  JunkCleanSettings m_settings;
  std::atomic<int> m_deleteMode{0};
  bool m_bSettingsLoaded = false;
  bool m_bSettingsUnreadable = false;  // then the file is not written over at exit

  HWND m_hTypes = nullptr;
  int m_deleteScope = 0;

  // What the running scan looks for, fixed when it starts.
  CJunkTypes m_scanTypes;
  JunkScanPlan m_scanPlan;
  // The folders that scan walked: a deletion removes nothing outside them.
  std::vector<std::string> m_deleteRoots;

  // The result list's rows, in list order (interface thread only).
  std::vector<FoundRow> m_rows;
  CPendingRows<FoundRow> m_pending;
  // Rows to take out of the list, numbered as the list stands when each goes.
  CPendingRows<int> m_gone;
};

}  // namespace tw
