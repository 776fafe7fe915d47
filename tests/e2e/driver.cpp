// The driver's process control, window search and actions.
#include "e2e/driver.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

namespace tw::e2e {

namespace {

// Generous for a program that is busy but alive; a hung one fails the read
// instead of hanging the test.
constexpr UINT kSendTimeoutMs = 5000;

std::string ErrorText(const char* what) {
  return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

void PumpOwnMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

bool WindowOfProcess(HWND hwnd, DWORD pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  return owner == pid;
}

struct TopLevelSearch {
  DWORD pid;
  std::wstring caption;
  std::wstring className;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<TopLevelSearch*>(lp);
  if (!WindowOfProcess(hwnd, s->pid)) return TRUE;
  if (s->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
  if (!s->className.empty() && Widen(ClassName(hwnd)) != s->className) return TRUE;
  if (!s->caption.empty() && Widen(GetText(hwnd)) != s->caption) return TRUE;
  s->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopLevel(DWORD pid, const std::string& caption, const std::string& className,
                           bool visibleOnly) {
  TopLevelSearch s{pid, Widen(caption), Widen(className), visibleOnly, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

// EnumChildWindows already walks every descendant, depth first.
std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> all;
  if (root && IsWindow(root)) EnumChildWindows(root, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

// A message box is a dialog with buttons and texts only; a dialog that
// serves as a program's window or page has other controls too, and may well
// carry the same caption as the program's message boxes.
bool LooksLikeMessageBox(HWND hwnd) {
  if (ClassName(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return false;
  bool button = false;
  for (HWND w : Descendants(hwnd)) {
    const std::string cls = ClassName(w);
    if (_stricmp(cls.c_str(), "Button") == 0) button = true;
    else if (_stricmp(cls.c_str(), "Static") != 0) return false;
  }
  return button;
}

std::vector<HWND> MessageBoxes(DWORD pid, const std::string& caption) {
  std::vector<HWND> out;
  for (HWND w : TopLevel(pid, caption, "#32770", true))
    if (LooksLikeMessageBox(w)) out.push_back(w);
  return out;
}

std::wstring LowerWide(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

}  // namespace

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs) {
  const ULONGLONG until = GetTickCount64() + timeoutMs;
  for (;;) {
    if (cond()) return true;
    if (GetTickCount64() >= until) return cond();
    PumpOwnMessages();
    Sleep(50);
  }
}

std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return Narrow(s.substr(0, s.find_last_of(L'\\') + 1));
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(h);
  return ok && done == bytes.size();
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

// --- CAppUnderTest -----------------------------------------------------------

CAppUnderTest::~CAppUnderTest() {
  End();
  if (m_pi.hProcess) CloseHandle(m_pi.hProcess);
  if (m_pi.hThread) CloseHandle(m_pi.hThread);
}

bool CAppUnderTest::Start(const std::string& exe, const std::string& args) {
  if (m_pi.hProcess) {
    m_error = "already started";
    return false;
  }
  std::wstring path = Widen(exe);
  if (path.find(L'\\') == std::wstring::npos && path.find(L':') == std::wstring::npos)
    path = Widen(ProgramFolder()) + path;
  std::wstring cmd = L"\"" + path + L"\"";
  if (!args.empty()) cmd += L" " + Widen(args);
  std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);

  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  if (!CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &si, &m_pi)) {
    m_error = ErrorText("CreateProcess") + " for " + Narrow(path);
    m_pi = {};
    return false;
  }
  return true;
}

HWND CAppUnderTest::WaitForWindow(const std::string& caption, const std::string& className,
                                  DWORD timeoutMs) const {
  HWND found = nullptr;
  if (!m_pi.hProcess) return nullptr;
  WaitFor(
      [&] {
        auto w = TopLevel(m_pi.dwProcessId, caption, className, true);
        found = w.empty() ? nullptr : w.front();
        return found != nullptr || !Running();
      },
      timeoutMs);
  return found;
}

std::vector<HWND> CAppUnderTest::TopLevelWindows(const std::string& caption,
                                                 const std::string& className) const {
  if (!m_pi.hProcess) return {};
  return TopLevel(m_pi.dwProcessId, caption, className, false);
}

bool CAppUnderTest::Running() const {
  return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool CAppUnderTest::WaitForExit(DWORD timeoutMs) const {
  return !m_pi.hProcess || WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD CAppUnderTest::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (m_pi.hProcess) GetExitCodeProcess(m_pi.hProcess, &code);
  return code;
}

CAppUnderTest::Ending CAppUnderTest::End(DWORD closeTimeoutMs) {
  if (!m_pi.hProcess) return Ending::NotStarted;
  if (!Running()) return Ending::Exited;
  const DWORD pid = m_pi.dwProcessId;
  // Message boxes left open are cancelled first (their owners refuse to
  // close while they are up), then the program's windows are closed.
  std::vector<HWND> stale = MessageBoxes(pid, "");
  for (HWND w : stale) PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  WaitFor([&] {
    for (HWND w : stale)
      if (IsWindow(w) && IsWindowVisible(w)) return false;
    return true;
  }, 2000);
  for (HWND w : TopLevel(pid, "", "", true)) PostMessageW(w, WM_CLOSE, 0, 0);
  // A box that comes up now asks whether to exit: the answer is yes.
  const ULONGLONG until = GetTickCount64() + closeTimeoutMs;
  std::vector<HWND> answered;
  while (GetTickCount64() < until) {
    if (WaitForSingleObject(m_pi.hProcess, 50) == WAIT_OBJECT_0) return Ending::Closed;
    for (HWND box : MessageBoxes(pid, "")) {
      if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
      answered.push_back(box);
      HWND yes = GetDlgItem(box, IDYES);
      Click(yes ? yes : GetDlgItem(box, IDOK));
    }
  }
  if (!TerminateProcess(m_pi.hProcess, 0xE2E)) {
    m_error = ErrorText("TerminateProcess");
    return Ending::Failed;
  }
  WaitForSingleObject(m_pi.hProcess, 5000);
  return Ending::Terminated;
}

DWORD RunAndWait(std::string commandLine, DWORD timeoutMs) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return GetLastError();
  }
  WaitForSingleObject(pi.hProcess, timeoutMs);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

void ResetStartCount() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tidewell\\tidewell\\Used", 0, KEY_SET_VALUE,
                    &key) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteValueA(key, "times");
  RegCloseKey(key);
}

int CountProcesses(const std::string& exeName) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  const std::wstring want = LowerWide(Widen(exeName));
  int n = 0;
  PROCESSENTRY32W pe = {};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    if (LowerWide(pe.szExeFile) == want) ++n;
  CloseHandle(snap);
  return n;
}

// --- windows and controls ----------------------------------------------------

HWND FindControl(HWND root, int id, const std::string& className) {
  HWND hidden = nullptr;
  const std::wstring cls = Widen(className);
  for (HWND w : Descendants(root)) {
    if (GetDlgCtrlID(w) != id) continue;
    if (!cls.empty() && LowerWide(Widen(ClassName(w))) != LowerWide(cls)) continue;
    if (IsShown(w)) return w;
    if (!hidden) hidden = w;
  }
  return hidden;
}

HWND WaitForControl(HWND root, int id, const std::string& className, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindControl(root, id, className)) != nullptr; }, timeoutMs);
  return found;
}

std::vector<HWND> FindControls(HWND root, const std::string& className) {
  std::vector<HWND> out;
  const std::wstring cls = LowerWide(Widen(className));
  for (HWND w : Descendants(root))
    if (cls.empty() || LowerWide(Widen(ClassName(w))) == cls) out.push_back(w);
  return out;
}

HWND FindControlByText(HWND root, const std::string& text, const std::string& className) {
  for (HWND w : FindControls(root, className))
    if (GetText(w) == text) return w;
  return nullptr;
}

std::string ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  int n = GetClassNameW(hwnd, name, 256);
  return Narrow(std::wstring(name, n > 0 ? n : 0));
}

std::string GetText(HWND hwnd) {
  // WM_GETTEXT is marshalled between processes by the system, unlike
  // GetWindowText, which for another process's control does not ask it.
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len))
    return {};
  std::wstring buf(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
    return {};
  buf.resize(std::min<DWORD_PTR>(got, len));
  return Narrow(buf);
}

bool SetText(HWND hwnd, const std::string& text) {
  std::wstring w = Widen(text);
  DWORD_PTR ok = 0;
  return SendMessageTimeoutW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &ok) &&
         ok;
}

bool IsEnabled(HWND hwnd) { return hwnd && IsWindowEnabled(hwnd); }

bool IsShown(HWND hwnd) { return hwnd && IsWindowVisible(hwnd); }

bool IsChecked(HWND button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
  return state == BST_CHECKED;
}

bool WaitForText(HWND hwnd, const std::string& text, DWORD timeoutMs) {
  return WaitFor([&] { return GetText(hwnd) == text; }, timeoutMs);
}

bool WaitForGone(HWND hwnd, DWORD timeoutMs) {
  return WaitFor([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeoutMs);
}

namespace {

// The strings of a list box or of a combo box's list, through the count,
// length and text messages of its kind: they are marshalled between
// processes for a control with strings.
std::vector<std::string> StringItems(HWND control, UINT countMsg, UINT lengthMsg, UINT textMsg) {
  std::vector<std::string> out;
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(control, countMsg, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &n))
    return out;
  for (DWORD_PTR i = 0; i < n && static_cast<LONG_PTR>(n) > 0; ++i) {
    DWORD_PTR len = 0;
    SendMessageTimeoutW(control, lengthMsg, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len);
    if (static_cast<LONG_PTR>(len) < 0) len = 0;
    std::wstring text(len + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(control, textMsg, i, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &got);
    text.resize(static_cast<LONG_PTR>(got) < 0 ? 0 : std::min<DWORD_PTR>(got, len));
    out.push_back(Narrow(text));
  }
  return out;
}

}  // namespace

std::vector<std::string> ListBoxItems(HWND listBox) {
  return StringItems(listBox, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::string> ComboBoxItems(HWND comboBox) {
  return StringItems(comboBox, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

bool ComboBoxSelect(HWND comboBox, int index) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(comboBox, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &result) ||
      static_cast<int>(result) != index)
    return false;
  return Command(GetParent(comboBox), GetDlgCtrlID(comboBox), CBN_SELCHANGE, comboBox);
}

int ComboBoxSelection(HWND comboBox) {
  DWORD_PTR result = static_cast<DWORD_PTR>(CB_ERR);
  SendMessageTimeoutW(comboBox, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<int>(result);
}

// --- actions -----------------------------------------------------------------

bool Click(HWND button) { return button && PostMessageW(button, BM_CLICK, 0, 0); }

bool Command(HWND target, int id, int code, HWND ctl) {
  return target && PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, code),
                                reinterpret_cast<LPARAM>(ctl));
}

bool ClickId(HWND root, int id) {
  HWND ctl = FindControl(root, id);
  if (!ctl) return false;
  return Command(GetParent(ctl), id, BN_CLICKED, ctl);
}

// --- message boxes -----------------------------------------------------------

MessageBoxInfo WaitForMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  MessageBoxInfo info;
  WaitFor(
      [&] {
        auto boxes = MessageBoxes(pid, caption);
        if (boxes.empty()) return false;
        info.hwnd = boxes.front();
        return true;
      },
      timeoutMs);
  if (!info.hwnd) return info;
  info.caption = GetText(info.hwnd);
  for (HWND w : Descendants(info.hwnd)) {
    const std::string cls = ClassName(w);
    const int id = GetDlgCtrlID(w);
    if (_stricmp(cls.c_str(), "Button") == 0) {
      info.buttons.push_back(id);
    } else if (_stricmp(cls.c_str(), "Static") == 0) {
      // The icon is a static without text; the message is the static that
      // has some.
      std::string t = GetText(w);
      if (!t.empty()) info.text += (info.text.empty() ? "" : "\n") + t;
    }
  }
  return info;
}

bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs) {
  HWND button = GetDlgItem(box, buttonId);
  if (!button) return false;
  if (!Click(button)) return false;
  return WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeoutMs);
}

}  // namespace tw::e2e
