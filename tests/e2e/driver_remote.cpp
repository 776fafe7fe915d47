// The driver's reading of list views and status bars that live in another
// process. Their messages take pointers that the system does not marshal, so
// the structure and the text buffer go into memory allocated inside the
// owning process, and the answer is read back from there.
#include <windows.h>
#include <commctrl.h>

#include "e2e/driver.h"

namespace tw::e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr int kTextChars = 1024;  // longer cell texts come back cut

// A block of memory inside the process that owns a window.
class CRemoteBuffer {
 public:
  CRemoteBuffer(HWND owner, SIZE_T size) : m_size(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (m_process)
      m_base = static_cast<char*>(
          VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~CRemoteBuffer() {
    if (m_base) VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
    if (m_process) CloseHandle(m_process);
  }
  CRemoteBuffer(const CRemoteBuffer&) = delete;
  CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

  bool ok() const { return m_base != nullptr; }
  char* at(SIZE_T offset) const { return m_base + offset; }
  bool Write(SIZE_T offset, const void* data, SIZE_T n) const {
    SIZE_T done = 0;
    return offset + n <= m_size &&
           WriteProcessMemory(m_process, m_base + offset, data, n, &done) && done == n;
  }
  bool Read(SIZE_T offset, void* data, SIZE_T n) const {
    SIZE_T done = 0;
    return offset + n <= m_size &&
           ReadProcessMemory(m_process, m_base + offset, data, n, &done) && done == n;
  }

 private:
  HANDLE m_process = nullptr;
  char* m_base = nullptr;
  SIZE_T m_size;
};

LRESULT Send(HWND hwnd, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) return -1;
  return static_cast<LRESULT>(result);
}

// Reads the wide text the control wrote at offset into the buffer.
std::string ReadText(const CRemoteBuffer& buf, SIZE_T offset, LRESULT chars) {
  if (chars <= 0) return {};
  if (chars > kTextChars - 1) chars = kTextChars - 1;
  std::wstring text(static_cast<size_t>(chars), L'\0');
  if (!buf.Read(offset, text.data(), text.size() * sizeof(wchar_t))) return {};
  return Narrow(text);
}

}  // namespace

int ListViewRowCount(HWND listView) {
  LRESULT n = Send(listView, LVM_GETITEMCOUNT);
  return n < 0 ? 0 : static_cast<int>(n);
}

int ListViewColumnCount(HWND listView) {
  HWND header = reinterpret_cast<HWND>(Send(listView, LVM_GETHEADER));
  if (!header || header == reinterpret_cast<HWND>(-1)) return 1;
  LRESULT n = Send(header, HDM_GETITEMCOUNT);
  return n <= 0 ? 1 : static_cast<int>(n);
}

std::vector<std::string> ListViewHeaders(HWND listView) {
  std::vector<std::string> titles;
  HWND header = reinterpret_cast<HWND>(Send(listView, LVM_GETHEADER));
  if (!header || header == reinterpret_cast<HWND>(-1)) return titles;
  const LRESULT n = Send(header, HDM_GETITEMCOUNT);
  CRemoteBuffer buf(header, sizeof(HDITEMW) + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return titles;
  for (int i = 0; i < n; ++i) {
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.pszText = reinterpret_cast<LPWSTR>(buf.at(sizeof item));
    item.cchTextMax = kTextChars;
    const wchar_t none = 0;
    std::wstring text(kTextChars, L'\0');
    if (!buf.Write(0, &item, sizeof item) || !buf.Write(sizeof item, &none, sizeof none) ||
        Send(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(buf.at(0))) <= 0 ||
        !buf.Read(sizeof item, text.data(), text.size() * sizeof(wchar_t))) {
      titles.emplace_back();
      continue;
    }
    text.resize(wcsnlen(text.c_str(), text.size()));
    titles.push_back(Narrow(text));
  }
  return titles;
}

std::string ListViewText(HWND listView, int row, int column) {
  CRemoteBuffer buf(listView, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<LPWSTR>(buf.at(sizeof item));
  item.cchTextMax = kTextChars;
  if (!buf.Write(0, &item, sizeof item)) return {};
  LRESULT n = Send(listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buf.at(0)));
  return ReadText(buf, sizeof item, n);
}

std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns) {
  if (columns < 0) columns = ListViewColumnCount(listView);
  std::vector<std::vector<std::string>> rows;
  const int n = ListViewRowCount(listView);
  // One buffer for the whole table: a big list costs one allocation.
  CRemoteBuffer buf(listView, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return rows;
  for (int r = 0; r < n; ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) {
      LVITEMW item = {};
      item.iSubItem = c;
      item.pszText = reinterpret_cast<LPWSTR>(buf.at(sizeof item));
      item.cchTextMax = kTextChars;
      LRESULT len = -1;
      if (buf.Write(0, &item, sizeof item))
        len = Send(listView, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(buf.at(0)));
      row.push_back(ReadText(buf, sizeof item, len));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool ListViewChecked(HWND listView, int row) {
  LRESULT state = Send(listView, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return state > 0 && ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::vector<int> ListViewSelection(HWND listView) {
  std::vector<int> out;
  for (LRESULT i = Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED); i >= 0;
       i = Send(listView, LVM_GETNEXTITEM, i, LVNI_SELECTED)) {
    out.push_back(static_cast<int>(i));
    if (out.size() > 1000000) break;
  }
  return out;
}

namespace {

// LVM_SETITEMSTATE with the LVITEM inside the list view's process.
bool SetItemState(HWND listView, int row, UINT state, UINT mask) {
  CRemoteBuffer buf(listView, sizeof(LVITEMW));
  LVITEMW item = {};
  item.state = state;
  item.stateMask = mask;
  if (!buf.ok() || !buf.Write(0, &item, sizeof item)) return false;
  return Send(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
              reinterpret_cast<LPARAM>(buf.at(0))) > 0;
}

}  // namespace

bool ListViewSetChecked(HWND listView, int row, bool checked) {
  if (row < 0 || row >= ListViewRowCount(listView)) return false;
  return SetItemState(listView, row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK) &&
         ListViewChecked(listView, row) == checked;
}

bool ListViewSelect(HWND listView, int row) {
  if (row < 0 || row >= ListViewRowCount(listView)) return false;
  // Row -1 stands for every row: clear the selection first.
  if (!SetItemState(listView, -1, 0, LVIS_SELECTED)) return false;
  return SetItemState(listView, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

std::vector<std::string> StatusBarTexts(HWND statusBar) {
  std::vector<std::string> out;
  // A simple status bar shows one text, kept apart from its panes.
  const bool simple = Send(statusBar, SB_ISSIMPLE) > 0;
  LRESULT parts = simple ? 1 : Send(statusBar, SB_GETPARTS);
  if (parts <= 0) parts = 1;
  for (LRESULT i = 0; i < parts; ++i) {
    const WPARAM index = simple ? SB_SIMPLEID : static_cast<WPARAM>(i);
    const LRESULT len = LOWORD(Send(statusBar, SB_GETTEXTLENGTHW, index));
    // SB_GETTEXT takes no buffer size: the buffer fits the whole text.
    CRemoteBuffer buf(statusBar, (len + 1) * sizeof(wchar_t));
    const wchar_t zero = 0;
    if (!buf.ok() || !buf.Write(0, &zero, sizeof zero)) return out;
    Send(statusBar, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(buf.at(0)));
    std::wstring text(static_cast<size_t>(len), L'\0');
    if (len > 0 && !buf.Read(0, text.data(), text.size() * sizeof(wchar_t))) text.clear();
    out.push_back(Narrow(text));
  }
  return out;
}

}  // namespace tw::e2e

namespace tw::e2e {

int ListViewImage(HWND listView, int row) {
  CRemoteBuffer buf(listView, sizeof(LVITEMW));
  LVITEMW item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  if (!buf.ok() || !buf.Write(0, &item, sizeof item)) return -1;
  if (!Send(listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buf.at(0)))) return -1;
  if (!buf.Read(0, &item, sizeof item)) return -1;
  return item.iImage;
}

}  // namespace tw::e2e
