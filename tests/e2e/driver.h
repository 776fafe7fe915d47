// End-to-end driver: starts a Windows program of the build (tidewell.exe or a
// test target) and drives it from the test process, the way a user would,
// through window messages only. It knows nothing of the program's pages; page
// helpers build on it.
//
// Texts cross this interface as UTF-8 whatever the ANSI code page, so tests can
// write their expected Chinese texts as plain literals; the driver talks to the
// windows with the wide-character messages.
//
// Actions (Click, Command, AnswerMessageBox) are posted, not sent, so a modal
// loop the program enters in response (a message box, a dialog) never blocks
// the driver. Follow an action with a Wait... call for its visible effect.
//
// List views and status bars of another process are read through a buffer
// allocated inside that process (VirtualAllocEx / ReadProcessMemory), laid
// out as that process lays out its structures: a 32-bit program on 64-bit
// Windows (IsWow64Process) gets 32-bit pointer fields.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tw::e2e {

// Default patience for anything that waits on the program under test. Wine
// starts a program in about a second once its wineserver runs.
inline constexpr DWORD kTimeoutMs = 15000;

// Polls cond every 50 ms until it holds or timeoutMs passes; returns the last
// answer. Pumps this thread's messages meanwhile.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = kTimeoutMs);

// The folder the test program runs from (with its trailing "\"), where the
// build puts tidewell.exe and the other programs: P:\ under Wine.
std::string ProgramFolder();

// A whole file's bytes, read while others may hold it open; empty when it
// cannot be opened.
std::string ReadFileBytes(const std::string& path);
// Creates or replaces a file with exactly these bytes.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// --- the program under test -------------------------------------------------

class CAppUnderTest {
 public:
  enum class Ending { NotStarted, Exited, Closed, Terminated, Failed };

  CAppUnderTest() = default;
  // Ends the program if it still runs: a test that fails half-way leaves no
  // process behind.
  ~CAppUnderTest();
  CAppUnderTest(const CAppUnderTest&) = delete;
  CAppUnderTest& operator=(const CAppUnderTest&) = delete;

  // Starts exe (a name beside the test program, or a full path) with the given
  // command-line arguments. False with the reason in LastError() when
  // CreateProcess fails.
  bool Start(const std::string& exe = "tidewell.exe", const std::string& args = "");

  // The first visible top-level window of the program whose caption equals
  // caption (any caption when empty) and, when given, whose class is
  // className. Waits up to timeoutMs; nullptr when none appeared.
  HWND WaitForWindow(const std::string& caption, const std::string& className = "",
                     DWORD timeoutMs = kTimeoutMs) const;
  // The program's top-level windows (visible or not) matching caption and
  // class, either left empty to match all.
  std::vector<HWND> TopLevelWindows(const std::string& caption = "",
                                    const std::string& className = "") const;

  DWORD Pid() const { return m_pi.dwProcessId; }
  HANDLE Process() const { return m_pi.hProcess; }
  bool Running() const;
  // Waits for the program to end by itself; false when it still runs.
  bool WaitForExit(DWORD timeoutMs = kTimeoutMs) const;
  // Valid once the program has ended.
  DWORD ExitCode() const;

  // Ends the program: cancels the message boxes it has open, posts WM_CLOSE
  // to its visible top-level windows (so it can save its settings), answers
  // Yes (or OK) to a message box that comes up then (the "exit?" question),
  // and after closeTimeoutMs ends it with TerminateProcess by its handle.
  // Says how it ended. Safe to call twice.
  Ending End(DWORD closeTimeoutMs = 5000);

  const std::string& LastError() const { return m_error; }

 private:
  PROCESS_INFORMATION m_pi = {};
  std::string m_error;
};

// Forgets how often tidewell.exe has started in this prefix. Every 18th start
// asks about the version check, and a page suite starts the program about as
// often: a fixture that starts it calls this first, so no question of that
// kind comes up in the middle of a test.
void ResetStartCount();

// Whether a process with this executable name (e.g. "tidewell.exe", compared
// without regard to case) is running anywhere in this Wine prefix.
int CountProcesses(const std::string& exeName);

// Runs a command line (e.g. "regedit.exe /s file.reg") and waits up to
// timeoutMs for it to end; answers its exit code, or the CreateProcess error.
DWORD RunAndWait(std::string commandLine, DWORD timeoutMs);

// --- finding windows and controls -------------------------------------------

// The descendant of root (children, their children: pages and child dialogs
// included) with this control id, and, when given, this window class. Visible
// controls win over hidden ones with the same id, so a control of the page on
// show is found before its twin on a hidden page. nullptr when none.
HWND FindControl(HWND root, int id, const std::string& className = "");
HWND WaitForControl(HWND root, int id, const std::string& className = "",
                    DWORD timeoutMs = kTimeoutMs);
// All descendants of root with this class (any class when empty), in
// z-order, depth first.
std::vector<HWND> FindControls(HWND root, const std::string& className = "");
// The first descendant whose text equals text (e.g. a button by its label).
HWND FindControlByText(HWND root, const std::string& text, const std::string& className = "");

std::string ClassName(HWND hwnd);
std::string GetText(HWND hwnd);  // WM_GETTEXT, UTF-8
bool SetText(HWND hwnd, const std::string& text);  // WM_SETTEXT, e.g. into an edit
bool IsEnabled(HWND hwnd);
bool IsShown(HWND hwnd);  // the window and all its parents are visible
bool IsChecked(HWND button);  // BM_GETCHECK == BST_CHECKED
// Waits until the window has gone (destroyed or hidden).
bool WaitForGone(HWND hwnd, DWORD timeoutMs = kTimeoutMs);
// Waits until the window's text equals text; false (text unchanged) otherwise.
bool WaitForText(HWND hwnd, const std::string& text, DWORD timeoutMs = kTimeoutMs);

// --- acting -----------------------------------------------------------------

// Presses a button: posts BM_CLICK, so the button itself tells its parent,
// as for a mouse click. A disabled button ignores it, as it would a mouse.
bool Click(HWND button);
// Posts WM_COMMAND (code in the high word, id in the low word) to target: a
// menu or accelerator command (code 0, no control), or a control's
// notification (ctl the control) as its parent would receive it.
bool Command(HWND target, int id, int code = 0, HWND ctl = nullptr);
// Command to the parent of the control with this id under root, as a
// BN_CLICKED from that control.
bool ClickId(HWND root, int id);

// --- list views and status bars of another process ---------------------------

int ListViewRowCount(HWND listView);
int ListViewColumnCount(HWND listView);  // from its header; 1 when it has none
// The column titles, from its header.
std::vector<std::string> ListViewHeaders(HWND listView);
std::string ListViewText(HWND listView, int row, int column);
// All rows, each with every column (or the first `columns`, when >= 0).
std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns = -1);
// The row's check box (state image 2 = checked).
bool ListViewChecked(HWND listView, int row);
// The selected rows' indices.
std::vector<int> ListViewSelection(HWND listView);
// The row's image in its small-icon image list; -1 when it cannot be read.
int ListViewImage(HWND listView, int row);

// Sets the row's check box, as a click on it would (the list view tells its
// parent with LVN_ITEMCHANGED).
bool ListViewSetChecked(HWND listView, int row, bool checked);
// Makes row the only selected row and the focused one.
bool ListViewSelect(HWND listView, int row);

// The items of a list box or of a combo box's list.
std::vector<std::string> ListBoxItems(HWND listBox);
std::vector<std::string> ComboBoxItems(HWND comboBox);
// Selects a combo box item and tells the parent (CBN_SELCHANGE), as a pick
// from its list would.
bool ComboBoxSelect(HWND comboBox, int index);
int ComboBoxSelection(HWND comboBox);  // CB_ERR (-1) when none

// The texts of the status bar's panes, left to right.
std::vector<std::string> StatusBarTexts(HWND statusBar);

// --- message boxes -----------------------------------------------------------

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;  // the message itself
  std::vector<int> buttons;  // ids of its buttons: IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7...
  explicit operator bool() const { return hwnd != nullptr; }
};

// Waits for a message box (a #32770 dialog with only buttons and texts, so
// not a dialog that serves as a window or page) of process pid whose caption
// equals caption (any when empty) and reads it. Empty result (hwnd == nullptr) when
// none appeared.
MessageBoxInfo WaitForMessageBox(DWORD pid, const std::string& caption = "",
                                 DWORD timeoutMs = kTimeoutMs);
// Presses the box's button with this id (IDYES, IDNO, IDOK, IDCANCEL) and
// waits for the box to go away; false when it has no such button or stays.
bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = kTimeoutMs);

// --- screenshots -------------------------------------------------------------

// Lets every responsive window finish painting, then captures the whole
// screen into C:\screens\<name>.bmp (the harness turns it
// into build/win64/screenshots/<name>.png). name is reduced to letters,
// digits, "-" and "_". Returns the Windows path written, empty on failure.
std::string Screenshot(const std::string& name);

}  // namespace tw::e2e
