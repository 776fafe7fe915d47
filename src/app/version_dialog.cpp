#include "app/version_dialog.h"

#include <wininet.h>
#include <windows.h>

#include "app/shell_hooks.h"
#include "app/version_query.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

// The maker's version-query address; the build may set another one.
#ifndef TW_VERSION_QUERY_URL
#define TW_VERSION_QUERY_URL "http://www.quorvane.example/version.asp?LangID="
#endif

namespace tw {
namespace {

// The dialog's controls by their roles.
constexpr int kLog = IDC_1090;
constexpr int kCheckButton = IDC_1091;
constexpr int kUpdateButton = IDC_1092;

void SetTimeouts(HINTERNET handle, DWORD timeout) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionA(handle, option, &timeout, sizeof timeout);
  }
}

// Sends the GET request for url and answers its handle (the connection's in
// *session), or null. Made step by step rather than in one call, so that the
// time-outs sit on the connection and the request themselves: not every
// internet library hands them down from the library's handle.
HINTERNET OpenRequest(HINTERNET net, const std::string& url, DWORD timeout, HINTERNET* session) {
  char host[256] = {}, path[2048] = {}, extra[2048] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = sizeof extra;
  if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return nullptr;
  *session = InternetConnectA(net, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!*session) return nullptr;
  SetTimeouts(*session, timeout);
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  const std::string object = std::string(path) + extra;
  HINTERNET request =
      HttpOpenRequestA(*session, "GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0);
  if (!request) return nullptr;
  SetTimeouts(request, timeout);
  if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    InternetCloseHandle(request);
    return nullptr;
  }
  return request;
}

}  // namespace

CVersionDialog::CVersionDialog(std::uint16_t langId, bool checkAtOnce)
    : m_strVersion(LoadStr(IDS_57735)), m_wLanguage(langId), m_bCheckAtOnce(checkAtOnce) {}

std::string CVersionDialog::QueryBaseUrl() {
  if (TestHooks().versionQueryUrl) return TestHooks().versionQueryUrl();
  return TW_VERSION_QUERY_URL;
}

void CVersionDialog::SetLog(const std::string& text) {
  m_log = text;
  SetDlgItemTextA(m_hWnd, kLog, m_log.c_str());
  // Caret to the end, nothing selected: the newest lines stay in view.
  SendDlgItemMessageA(m_hWnd, kLog, EM_SETSEL, m_log.size(), m_log.size());
  SendDlgItemMessageA(m_hWnd, kLog, EM_SCROLLCARET, 0, 0);
}

void CVersionDialog::AppendLog(const std::string& text) { SetLog(m_log + text); }

BOOL CVersionDialog::OnInit() {
  std::string caption = LoadStr(IDS_57865);
  if (!caption.empty()) SetWindowTextA(m_hWnd, caption.c_str());
  SetLog(m_strVersion);
  ShowWindow(Item(kLog), SW_HIDE);
  if (m_check.Attach(m_hWnd, kCheckButton)) m_check.SetTooltip(LoadStr(IDS_57712));
  m_update.Attach(m_hWnd, kUpdateButton);
  m_close.Attach(m_hWnd, IDCANCEL);
  for (COwnerButton* b : {&m_check, &m_update, &m_close}) StyleFlatBlueButton(*b);
  if (m_bCheckAtOnce) {
    // Let the dialog appear first; the check runs on this thread.
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    Check();
  }
  return TRUE;
}

void CVersionDialog::Check() {
  SetLog(m_strVersion + "\r\n" + LoadStr(IDS_57736));
  ShowWindow(Item(kLog), SW_SHOW);
  UpdateWindow(m_hWnd);
  Sleep(500);
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));

  // The check runs on this thread: a server that never answers, or never
  // stops, must not hold the window for ever.
  const DWORD timeout =
      TestHooks().versionTimeoutMs ? TestHooks().versionTimeoutMs : kVersionTimeoutMs;
  bool ok = false;
  if (HINTERNET net =
          InternetOpenA("CheckNewVersion", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
    SetTimeouts(net, timeout);
    std::string url = BuildVersionQueryUrl(QueryBaseUrl(), m_wLanguage);
    HINTERNET session = nullptr;
    if (HINTERNET request = OpenRequest(net, url, timeout, &session)) {
      // A server that trickles bytes just within the time-out is cut off
      // too: the whole answer gets the same time as one wait.
      const DWORD started = GetTickCount();
      std::string answer =
          ReadAnswerInChunks([&](char* buf, std::uint32_t size, std::uint32_t* read) {
            if (GetTickCount() - started > timeout) return false;
            DWORD n = 0;
            BOOL r = InternetReadFile(request, buf, size, &n);
            *read = n;
            return r != FALSE;
          });
      // What came is shown, also when the server stopped or was cut off
      // midway; nothing at all counts as a failed check.
      AppendLog(answer);
      ok = !answer.empty();
      InternetCloseHandle(request);
    }
    if (session) InternetCloseHandle(session);
    InternetCloseHandle(net);
  }
  if (!ok) AppendLog(LoadStr(IDS_57737));
  SetCursor(old);
}

bool CVersionDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case kCheckButton:
      Check();
      return true;
    case kUpdateButton:
      ShellOpen(ProgramFolder() + "\\update.exe");
      return true;
    case IDCANCEL:
    case IDOK:
      End(id);
      return true;
    default:
      return false;
  }
}

}  // namespace tw
