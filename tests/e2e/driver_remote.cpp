// The driver's reading of list views and status bars that live in another
// process. Their messages take pointers that the system does not marshal, so
// the structure and the text buffer go into memory allocated inside the
// owning process, and the answer is read back from there, in the layout of
// that process: a 32-bit program on 64-bit Windows reads its structures with
// 32-bit pointers.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <type_traits>

#include "e2e/driver.h"

namespace tw::e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr int kTextChars = 1024;  // longer cell texts come back cut

// LVITEMW and HDITEMW as a 32-bit program lays them out: the same fields,
// with pointers, handles and LPARAMs as 32-bit numbers (its memory lies
// below 4 GB, so an address in it fits).
struct LvItem32 {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  std::uint32_t pszText;
  int cchTextMax;
  int iImage;
  std::uint32_t lParam;
  int iIndent;
  int iGroupId;
  UINT cColumns;
  std::uint32_t puColumns;
  std::uint32_t piColFmt;
  int iGroup;
};
static_assert(sizeof(LvItem32) == 60);

struct HdItem32 {
  UINT mask;
  int cxy;
  std::uint32_t pszText;
  std::uint32_t hbm;
  int cchTextMax;
  int fmt;
  std::uint32_t lParam;
  int iImage;
  int iOrder;
  UINT type;
  std::uint32_t pvFilter;
  UINT state;
};
static_assert(sizeof(HdItem32) == 48);

// A buffer address as the structure's pointer field holds it.
template <typename Field>
Field RemotePointer(char* address) {
  if constexpr (std::is_pointer_v<Field>) {
    return reinterpret_cast<Field>(address);
  } else {
    return static_cast<Field>(reinterpret_cast<std::uintptr_t>(address));
  }
}

// Whether the process is a 32-bit one on 64-bit Windows.
bool IsWow64(HANDLE process) {
  BOOL wow64 = FALSE;
  return IsWow64Process(process, &wow64) && wow64;
}

// A block of memory inside the process that owns a window.
class CRemoteBuffer {
 public:
  CRemoteBuffer(HWND owner, SIZE_T size) : m_size(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                PROCESS_QUERY_INFORMATION,
                            FALSE, pid);
    if (m_process) {
      m_wow64 = IsWow64(m_process);
      m_base = static_cast<char*>(
          VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  ~CRemoteBuffer() {
    if (m_base) VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
    if (m_process) CloseHandle(m_process);
  }
  CRemoteBuffer(const CRemoteBuffer&) = delete;
  CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

  bool ok() const { return m_base != nullptr; }
  // The owner is a 32-bit process: its structures have the 32-bit layouts.
  bool wow64() const { return m_wow64; }
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
  bool m_wow64 = false;
};

// Room for the larger layout of either kind, then the text.
constexpr SIZE_T kItemRoom = sizeof(LVITEMW) > sizeof(HDITEMW) ? sizeof(LVITEMW) : sizeof(HDITEMW);

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

namespace {

template <typename Item>
bool HeaderTitle(const CRemoteBuffer& buf, HWND header, int i, std::string* title) {
  Item item = {};
  item.mask = HDI_TEXT;
  item.pszText = RemotePointer<decltype(item.pszText)>(buf.at(kItemRoom));
  item.cchTextMax = kTextChars;
  const wchar_t none = 0;
  std::wstring text(kTextChars, L'\0');
  if (!buf.Write(0, &item, sizeof item) || !buf.Write(kItemRoom, &none, sizeof none) ||
      Send(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(buf.at(0))) <= 0 ||
      !buf.Read(kItemRoom, text.data(), text.size() * sizeof(wchar_t))) {
    return false;
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  *title = Narrow(text);
  return true;
}

}  // namespace

std::vector<std::string> ListViewHeaders(HWND listView) {
  std::vector<std::string> titles;
  HWND header = reinterpret_cast<HWND>(Send(listView, LVM_GETHEADER));
  if (!header || header == reinterpret_cast<HWND>(-1)) return titles;
  const LRESULT n = Send(header, HDM_GETITEMCOUNT);
  CRemoteBuffer buf(header, kItemRoom + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return titles;
  for (int i = 0; i < n; ++i) {
    std::string title;
    const bool read = buf.wow64() ? HeaderTitle<HdItem32>(buf, header, i, &title)
                                  : HeaderTitle<HDITEMW>(buf, header, i, &title);
    titles.push_back(read ? title : std::string());
  }
  return titles;
}

namespace {

template <typename Item>
std::string ItemText(const CRemoteBuffer& buf, HWND listView, int row, int column) {
  Item item = {};
  item.iSubItem = column;
  item.pszText = RemotePointer<decltype(item.pszText)>(buf.at(kItemRoom));
  item.cchTextMax = kTextChars;
  if (!buf.Write(0, &item, sizeof item)) return {};
  const LRESULT n = Send(listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buf.at(0)));
  return ReadText(buf, kItemRoom, n);
}

std::string ItemText(const CRemoteBuffer& buf, HWND listView, int row, int column) {
  return buf.wow64() ? ItemText<LvItem32>(buf, listView, row, column)
                     : ItemText<LVITEMW>(buf, listView, row, column);
}

}  // namespace

std::string ListViewText(HWND listView, int row, int column) {
  CRemoteBuffer buf(listView, kItemRoom + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return {};
  return ItemText(buf, listView, row, column);
}

std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns) {
  if (columns < 0) columns = ListViewColumnCount(listView);
  std::vector<std::vector<std::string>> rows;
  const int n = ListViewRowCount(listView);
  // One buffer for the whole table: a big list costs one allocation.
  CRemoteBuffer buf(listView, kItemRoom + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return rows;
  for (int r = 0; r < n; ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) row.push_back(ItemText(buf, listView, r, c));
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
template <typename Item>
bool SetItemState(const CRemoteBuffer& buf, HWND listView, int row, UINT state, UINT mask) {
  Item item = {};
  item.state = state;
  item.stateMask = mask;
  if (!buf.Write(0, &item, sizeof item)) return false;
  return Send(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
              reinterpret_cast<LPARAM>(buf.at(0))) > 0;
}

bool SetItemState(HWND listView, int row, UINT state, UINT mask) {
  CRemoteBuffer buf(listView, kItemRoom);
  if (!buf.ok()) return false;
  return buf.wow64() ? SetItemState<LvItem32>(buf, listView, row, state, mask)
                     : SetItemState<LVITEMW>(buf, listView, row, state, mask);
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

namespace {

template <typename Item>
int ItemImage(const CRemoteBuffer& buf, HWND listView, int row) {
  Item item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  if (!buf.Write(0, &item, sizeof item)) return -1;
  if (!Send(listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buf.at(0)))) return -1;
  if (!buf.Read(0, &item, sizeof item)) return -1;
  return item.iImage;
}

}  // namespace

int ListViewImage(HWND listView, int row) {
  CRemoteBuffer buf(listView, kItemRoom);
  if (!buf.ok()) return -1;
  return buf.wow64() ? ItemImage<LvItem32>(buf, listView, row)
                     : ItemImage<LVITEMW>(buf, listView, row);
}

}  // namespace tw::e2e
