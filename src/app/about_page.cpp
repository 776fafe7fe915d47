#include "app/about_page.h"

#include <windows.h>

#include "app/language_files.h"
#include "app/settings_store.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

#ifndef TW_MAKER_SITE_URL
#define TW_MAKER_SITE_URL "http://www.quorvane.example/"
#endif
#ifndef TW_SUPPORT_SITE_URL
#define TW_SUPPORT_SITE_URL "http://support.quorvane.example/"
#endif
#ifndef TW_SUPPORT_MAIL
#define TW_SUPPORT_MAIL "support@quorvane.example"
#endif

namespace tw {
namespace {

// The page's controls by their roles.
constexpr int kSiteLink = IDC_1053;
constexpr int kMailLink = IDC_1056;
constexpr int kSecondAddress = IDC_1071;
constexpr int kLanguageList = IDC_1070;
constexpr int kHelpButton = IDC_1060;
constexpr int kExitButton = IDC_1055;

}  // namespace


const char* MakerSiteUrl() { return TW_MAKER_SITE_URL; }

void OpenHelpFile() { ShellOpen(ProgramFolder() + "\\Contents.chm"); }

CAboutPage::CAboutPage() : CPage(IDD_100, 0) {}

BOOL CAboutPage::OnInit() {
  AttachButton(m_help, m_hWnd, {kHelpButton, IDS_57685}, true);
  AttachButton(m_exit, m_hWnd, {kExitButton, IDS_57686}, true);
  // The links open the addresses they show; the configured ones fill in
  // when a template leaves them empty.
  char text[256] = {};
  if (!GetDlgItemTextA(m_hWnd, kSiteLink, text, sizeof text)) {
    SetDlgItemTextA(m_hWnd, kSiteLink, TW_SUPPORT_SITE_URL);
  }
  m_siteLink.Attach(m_hWnd, kSiteLink, text[0] ? text : TW_SUPPORT_SITE_URL);
  text[0] = 0;
  if (!GetDlgItemTextA(m_hWnd, kMailLink, text, sizeof text)) {
    SetDlgItemTextA(m_hWnd, kMailLink, TW_SUPPORT_MAIL);
    lstrcpynA(text, TW_SUPPORT_MAIL, sizeof text);
  }
  m_mailLink.Attach(m_hWnd, kMailLink, std::string("mailto:") + text);
  for (CHyperLink* link : {&m_siteLink, &m_mailLink}) {
    link->SetColors(RGB(0, 0, 255), RGB(0, 0, 255), RGB(0, 0, 255));
  }
  if (HWND second = GetDlgItem(m_hWnd, kSecondAddress)) {
    if (GetWindowTextLengthA(second) == 0) SetWindowTextA(second, TW_MAKER_SITE_URL);
  }
  m_combo.Attach(m_hWnd, kLanguageList);
  FillLanguages();
  return TRUE;
}

int CAboutPage::AddLanguageEntry(HWND combo, const std::string& code, std::uint16_t inUse) {
  std::uint16_t id = LanguageIdFromCode(code);
  char native[64] = {};
  if (!GetLocaleInfoA(MAKELCID(id, SORT_DEFAULT), LOCALE_SNATIVELANGNAME, native, sizeof native)) {
    native[0] = 0;
  }
  std::string name = LanguageEntryName(code, native);
  int index = static_cast<int>(
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())));
  if (index < 0) return index;
  SendMessageA(combo, CB_SETITEMDATA, index, id);
  if (id == inUse) SendMessageA(combo, CB_SETCURSEL, index, 0);
  return index;
}

void CAboutPage::FillLanguages() {
  HWND combo = Item(kLanguageList);
  if (!combo) return;
  AddLanguageEntry(combo, "804", m_wLanguage);
  std::string pattern = ProgramFolder() + "\\RC*.dll";
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    AddLanguageEntry(combo, LanguageCodeFromFileName(fd.cFileName), m_wLanguage);
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  // The entry in use may have been sorted away from its index; select again.
  int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (static_cast<std::uint16_t>(SendMessageA(combo, CB_GETITEMDATA, i, 0)) == m_wLanguage) {
      SendMessageA(combo, CB_SETCURSEL, i, 0);
      break;
    }
  }
}

void CAboutPage::OnLanguageChange() {
  HWND combo = Item(kLanguageList);
  int index = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
  if (index < 0) return;
  auto id = static_cast<std::uint16_t>(SendMessageA(combo, CB_GETITEMDATA, index, 0));
  if (id == m_wLanguage) return;
  WriteProfileInt("Language", "LangID", id);
  MessageBoxA(m_hWnd, LoadStr(IDS_57756).c_str(), LoadStr(IDS_57755).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

bool CAboutPage::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case kHelpButton:
      OpenHelpFile();
      return true;
    case kExitButton:
      SendMessageA(GetParent(m_hWnd), WM_CLOSE, 0, 0);
      return true;
    case kLanguageList:
      if (code == CBN_SELCHANGE) OnLanguageChange();
      return true;
    default:
      return false;
  }
}

}  // namespace tw
