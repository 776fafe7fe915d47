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

CVersionDialog::CVersionDialog(std::uint16_t langId, bool checkAtOnce)
    : m_strVersion(LoadStr(IDS_57735)), m_wLanguage(langId), m_bCheckAtOnce(checkAtOnce) {}

std::string CVersionDialog::QueryBaseUrl() {
  if (TestHooks().versionQueryUrl) return TestHooks().versionQueryUrl();
  return TW_VERSION_QUERY_URL;
}

void CVersionDialog::SetLog(const std::string& text) {
  m_log = text;
  SetDlgItemTextA(m_hWnd, IDC_1090, m_log.c_str());
  // Caret to the end, nothing selected: the newest lines stay in view.
  SendDlgItemMessageA(m_hWnd, IDC_1090, EM_SETSEL, m_log.size(), m_log.size());
  SendDlgItemMessageA(m_hWnd, IDC_1090, EM_SCROLLCARET, 0, 0);
}

void CVersionDialog::AppendLog(const std::string& text) { SetLog(m_log + text); }

BOOL CVersionDialog::OnInit() {
  std::string caption = LoadStr(IDS_57865);
  if (!caption.empty()) SetWindowTextA(m_hWnd, caption.c_str());
  SetLog(m_strVersion);
  ShowWindow(Item(IDC_1090), SW_HIDE);
  if (m_check.Attach(m_hWnd, IDC_1091)) m_check.SetTooltip(LoadStr(IDS_57712));
  m_update.Attach(m_hWnd, IDC_1092);
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
  ShowWindow(Item(IDC_1090), SW_SHOW);
  UpdateWindow(m_hWnd);
  Sleep(500);
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));

  bool ok = false;
  if (HINTERNET net = InternetOpenA("CheckNewVersion", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                    nullptr, 0)) {
    std::string url = BuildVersionQueryUrl(QueryBaseUrl(), m_wLanguage);
    if (HINTERNET request = InternetOpenUrlA(net, url.c_str(), nullptr, 0,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE,
                                             0)) {
      std::string answer = ReadAnswerInChunks([&](char* buf, std::uint32_t size,
                                                  std::uint32_t* read) {
        DWORD n = 0;
        BOOL r = InternetReadFile(request, buf, size, &n);
        *read = n;
        return r != FALSE;
      });
      AppendLog(answer);
      ok = true;
      InternetCloseHandle(request);
    }
    InternetCloseHandle(net);
  }
  if (!ok) AppendLog(LoadStr(IDS_57737));
  SetCursor(old);
}

bool CVersionDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_1091:
      Check();
      return true;
    case IDC_1092:
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
