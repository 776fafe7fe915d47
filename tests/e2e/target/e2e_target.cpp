// A small program for the driver's own tests: the controls the driver has to
// read and press in another process (a check-box list view, a status bar with
// panes, buttons that raise message boxes, a menu command, the same control id
// on a shown and a hidden page), with none of Tidewell's logic in the way.
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

namespace {

enum : int {
  kIdList = 101,
  kIdStatus = 102,
  kIdAsk = 103,
  kIdInfo = 104,
  kIdPageShown = 110,
  kIdPageHidden = 111,
  kIdPageEdit = 201,
  kIdListBox = 120,
  kIdCombo = 121,
  kIdMenuHello = 40001,
  kIdMenuDialog = 40002,
  kIdMenuAskOnClose = 40003,
};

HWND g_status = nullptr;
bool g_bAskOnClose = false;

// A modeless dialog with an edit field, captioned like the message box: a
// dialog that is a page, not a message box.
INT_PTR CALLBACK PageDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

void OpenPageDialog(HWND owner) {
  alignas(4) static WORD tmpl[64] = {};
  auto* dlg = reinterpret_cast<DLGTEMPLATE*>(tmpl);
  dlg->style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME;
  dlg->cdit = 0;
  dlg->x = 250;
  dlg->y = 10;
  dlg->cx = 120;
  dlg->cy = 40;
  // menu, class, title follow the fixed part
  WORD* p = reinterpret_cast<WORD*>(dlg + 1);
  *p++ = 0;
  *p++ = 0;
  for (const wchar_t* t = L"E2E Confirm"; *t; ++t) *p++ = *t;
  *p++ = 0;
  HWND page = CreateDialogIndirectW(nullptr, dlg, owner, PageDialogProc);
  CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"page", WS_CHILD | WS_VISIBLE, 10, 10, 120, 24, page,
                  nullptr, nullptr, nullptr);
}

void SetStatus(int pane, const wchar_t* text) {
  SendMessageW(g_status, SB_SETTEXTW, pane, reinterpret_cast<LPARAM>(text));
}

HWND MakePage(HWND parent, int id, bool shown, const wchar_t* editText) {
  HWND page = CreateWindowExW(0, L"Static", L"", WS_CHILD | (shown ? WS_VISIBLE : 0), 10, 250, 400,
                              40, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              nullptr, nullptr);
  CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", editText, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0,
                  300, 24, page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdPageEdit)), nullptr,
                  nullptr);
  return page;
}

void Create(HWND hwnd) {
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 460,
                              150, hwnd, reinterpret_cast<HMENU>(kIdList), nullptr, nullptr);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  const wchar_t* heads[] = {L"Name", L"Size", L"Where"};
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 140;
    col.pszText = const_cast<wchar_t*>(heads[c]);
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
  const wchar_t* rows[][3] = {
      {L"alpha", L"1", L"C:\\a"}, {L"注册表", L"22", L"D:\\中文\\表"}, {L"gamma", L"333", L""}};
  for (int r = 0; r < 3; ++r) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = r;
    item.pszText = const_cast<wchar_t*>(rows[r][0]);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int c = 1; c < 3; ++c) {
      item.iSubItem = c;
      item.pszText = const_cast<wchar_t*>(rows[r][c]);
      SendMessageW(list, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
    }
  }
  // Row 1 checked, row 2 selected.
  LVITEMW state = {};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(2);
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));

  CreateWindowExW(0, L"Button", L"Ask", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 170, 100, 28,
                  hwnd, reinterpret_cast<HMENU>(kIdAsk), nullptr, nullptr);
  CreateWindowExW(0, L"Button", L"Info", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 120, 170, 100, 28,
                  hwnd, reinterpret_cast<HMENU>(kIdInfo), nullptr, nullptr);
  HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL,
                             240, 170, 110, 70, hwnd, reinterpret_cast<HMENU>(kIdListBox), nullptr,
                             nullptr);
  HWND combo = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 360,
                               170, 120, 120, hwnd, reinterpret_cast<HMENU>(kIdCombo), nullptr,
                               nullptr);
  for (const wchar_t* t : {L"one", L"二", L"three"}) {
    SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  }
  MakePage(hwnd, kIdPageHidden, false, L"hidden page");
  MakePage(hwnd, kIdPageShown, true, L"shown page");

  g_status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd,
                             reinterpret_cast<HMENU>(kIdStatus), nullptr, nullptr);
  int edges[] = {160, 320, -1};
  SendMessageW(g_status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  SetStatus(0, L"Ready");
  SetStatus(1, L"3 items");
  SetStatus(2, L"就绪");
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      Create(hwnd);
      return 0;
    case WM_SIZE:
      SendMessageW(g_status, WM_SIZE, 0, 0);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kIdAsk: {
          int answer = MessageBoxW(hwnd, L"Remove the selected entries?\n删除所选项目？",
                                   L"E2E Confirm", MB_YESNO | MB_ICONQUESTION);
          SetStatus(0, answer == IDYES ? L"Answer: Yes" : answer == IDNO ? L"Answer: No" : L"?");
          return 0;
        }
        case kIdInfo:
          MessageBoxW(hwnd, L"Done.", L"E2E Info", MB_OK | MB_ICONINFORMATION);
          SetStatus(0, L"Info seen");
          return 0;
        case kIdCombo:
          if (HIWORD(wp) == CBN_SELCHANGE) {
            wchar_t text[64] = L"Picked: ";
            HWND combo = reinterpret_cast<HWND>(lp);
            const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            if (i >= 0 && SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 50)
              SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text + 8));
            SetStatus(1, text);
          }
          return 0;
        case kIdMenuDialog:
          OpenPageDialog(hwnd);
          return 0;
        case kIdMenuAskOnClose:
          g_bAskOnClose = true;
          return 0;
        case kIdMenuHello:
          SetStatus(0, L"Menu: hello");
          return 0;
      }
      break;
    case WM_NOTIFY: {
      // A check box flipped: the pane counts the checked rows.
      auto* change = reinterpret_cast<NMLISTVIEW*>(lp);
      if (change->hdr.idFrom == kIdList && change->hdr.code == LVN_ITEMCHANGED &&
          (change->uChanged & LVIF_STATE) &&
          ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK)) {
        int checked = 0;
        const int n = static_cast<int>(SendMessageW(change->hdr.hwndFrom, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
          if (((SendMessageW(change->hdr.hwndFrom, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >>
                12) & 0xF) == 2)
            ++checked;
        wchar_t text[32];
        wsprintfW(text, L"%d checked", checked);
        SetStatus(1, text);
      }
      return 0;
    }
    case WM_CLOSE:
      if (g_bAskOnClose &&
          MessageBoxW(hwnd, L"Exit?", L"E2E Exit", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TwE2eTarget";
  RegisterClassW(&wc);
  HMENU menu = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kIdMenuHello, L"Say hello");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
  HWND hwnd = CreateWindowExW(0, L"TwE2eTarget", L"E2E Target", WS_OVERLAPPEDWINDOW, 40, 40, 500,
                              380, nullptr, menu, inst, nullptr);
  ShowWindow(hwnd, show);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
