#include <windows.h>
#include <commctrl.h>

#include "controls/result_list.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "controls/check_list.h"
#include "controls/window_subclass.h"
#include "platform/win32/tick_count.h"

namespace tw {

namespace {

constexpr UINT kTicked = INDEXTOSTATEIMAGEMASK(2);
constexpr UINT kUnticked = INDEXTOSTATEIMAGEMASK(1);

}  // namespace

void CResultList::Attach(HWND page, HWND list, HIMAGELIST checkImages, CellText text) {
  m_hPage = page;
  m_hList = list;
  m_text = std::move(text);
  m_checks.clear();
  m_caughtUp = false;
  m_passDrawing = false;
  m_frameWaiting = true;  // a new list is drawn whole
  m_listing.Attach(page);
  m_gone.Attach(page);
  ShowCheckBoxes(list, checkImages);
  // The list view keeps the selection and the focus of an owner-data list;
  // the tick it asks for when it draws.
  SendMessageA(list, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
  SubclassControl(list, &CResultList::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK CResultList::ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR self) {
  auto* results = reinterpret_cast<CResultList*>(self);
  switch (msg) {
    case LVM_GETITEMSTATE: {
      const UINT mask = static_cast<UINT>(lp);
      LRESULT state = 0;
      if (mask & ~LVIS_STATEIMAGEMASK) state = CallNextSubclassProc(list, msg, wp, mask & ~LVIS_STATEIMAGEMASK);
      if ((mask & LVIS_STATEIMAGEMASK) && wp < results->m_checks.size()) {
        state |= results->m_checks[wp] ? kTicked : kUnticked;
      }
      return state;
    }
    case LVM_SETITEMSTATE:
      return results->SetTicks(wp, lp);
    case WM_PAINT:
      if (!wp) return results->Paint();
      break;
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
      // The list view lays itself out and draws again on a style change;
      // a quiet count change is none to it.
      if (results->m_quiet) return 0;
      results->m_frameWaiting = true;
      break;
    case WM_NCPAINT:
      results->m_frameWaiting = false;
      break;
    case WM_WINDOWPOSCHANGED:
    case WM_THEMECHANGED:
    case WM_ENABLE:
    case WM_NCMOUSEMOVE:
    case WM_NCMOUSELEAVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
      // Anything that may draw the frame anew, the scroll bar's hover look
      // included, waits for its WM_NCPAINT.
      if (!results->m_quiet) results->m_frameWaiting = true;
      break;
    case WM_NCDESTROY:
      RemoveControlSubclass(list, &CResultList::ListProc, id);
      break;
    default:
      break;
  }
  return CallNextSubclassProc(list, msg, wp, lp);
}

LRESULT CResultList::Paint() {
  const ULONGLONG began = TickCount64();
  HRGN later = nullptr;
  RECT update;
  RECT row;
  if (GetUpdateRect(m_hList, &update, FALSE) &&
      ListView_GetItemRect(m_hList, ListView_GetTopIndex(m_hList), &row, LVIR_BOUNDS)) {
    const int band = kPaintBandRows * (row.bottom - row.top);
    if (band > 0 && update.bottom - update.top > band) {
      later = CreateRectRgn(update.left, update.top + band, update.right, update.bottom);
      HRGN all = CreateRectRgn(0, 0, 0, 0);
      GetUpdateRgn(m_hList, all, FALSE);
      CombineRgn(later, later, all, RGN_AND);
      DeleteObject(all);
      ValidateRgn(m_hList, later);
    }
  }
  const LRESULT result = CallNextSubclassProc(m_hList, WM_PAINT, 0, 0);
  if (later) {
    // Erased too: the part may have been invalidated for erasing.
    InvalidateRgn(m_hList, later, TRUE);
    DeleteObject(later);
  }
  if (m_passDrawing) {
    m_gone.Spent(TickCount64() - began);
    m_passDrawing = later != nullptr;
  }
  return result;
}

LRESULT CResultList::SetTicks(WPARAM wp, LPARAM lp) {
  // LVITEMA and LVITEMW agree up to the text.
  const auto* item = reinterpret_cast<const LVITEMW*>(lp);
  if (!item || !(item->stateMask & LVIS_STATEIMAGEMASK)) {
    return CallNextSubclassProc(m_hList, LVM_SETITEMSTATE, wp, lp);
  }
  const UINT image = item->state & LVIS_STATEIMAGEMASK;
  const int row = static_cast<int>(wp);
  if ((image != kTicked && image != kUnticked) || row < -1 ||
      (row >= 0 && static_cast<std::size_t>(row) >= m_checks.size())) {
    return FALSE;
  }
  if (row < 0) {
    std::fill(m_checks.begin(), m_checks.end(), image == kTicked ? 1 : 0);
    InvalidateRows();
  } else {
    SetChecked(static_cast<std::size_t>(row), image == kTicked);
  }
  if (!(item->stateMask & ~LVIS_STATEIMAGEMASK)) return TRUE;
  LVITEMW rest = *item;
  rest.stateMask &= ~LVIS_STATEIMAGEMASK;
  return CallNextSubclassProc(m_hList, LVM_SETITEMSTATE, wp, reinterpret_cast<LPARAM>(&rest));
}

// The header is a child of the list: invalidating the whole list drew the
// themed header again with every gone pass, up to 90 ms on a loaded machine.
void CResultList::InvalidateRows() {
  RECT rows;
  GetClientRect(m_hList, &rows);
  HWND header = ListView_GetHeader(m_hList);
  RECT head;
  if (header && IsWindowVisible(header) && GetWindowRect(header, &head)) {
    MapWindowPoints(nullptr, m_hList, reinterpret_cast<POINT*>(&head), 2);
    rows.top = std::max(rows.top, head.bottom);
  }
  InvalidateRect(m_hList, &rows, FALSE);
}

void CResultList::Flip(int row) {
  if (row >= 0 && static_cast<std::size_t>(row) < m_checks.size()) {
    SetChecked(static_cast<std::size_t>(row), !m_checks[static_cast<std::size_t>(row)]);
  }
}

namespace {

bool ShownScrollBar(HWND list, SCROLLBARINFO* info) {
  *info = SCROLLBARINFO{};
  info->cbSize = sizeof *info;
  return GetScrollBarInfo(list, OBJID_VSCROLL, info) &&
         !(info->rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN));
}

bool LooksAlike(const SCROLLBARINFO& a, const SCROLLBARINFO& b) {
  return EqualRect(&a.rcScrollBar, &b.rcScrollBar) && a.dxyLineButton == b.dxyLineButton &&
         a.xyThumbTop == b.xyThumbTop && a.xyThumbBottom == b.xyThumbBottom &&
         std::equal(std::begin(a.rgstate), std::end(a.rgstate), std::begin(b.rgstate));
}

}  // namespace

// Each count change of a list with a scroll bar draws the scroll bar there
// and then: under Wine 5-7 ms for the themed bar, and tens of milliseconds
// on a loaded machine, once a second while a scan lists rows below a full
// view. Mostly nothing the user sees has changed: the rows land below the
// view and the thumb of a long list is at its least size. So while the
// scroll bar stays, the count changes with the list marked hidden, as
// WM_SETREDRAW does, and the scroll bar is invalidated for the message loop
// only when its look changed.
void CResultList::SetCount(bool keepScroll, bool quietly) {
  const WPARAM count = m_checks.size();
  const LPARAM flags = keepScroll ? LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL : 0;
  const int page = ListView_GetCountPerPage(m_hList);
  SCROLLBARINFO before;
  if (!quietly || page <= 0 || count <= static_cast<WPARAM>(page) + 1 ||
      !ShownScrollBar(m_hList, &before)) {
    SendMessageA(m_hList, LVM_SETITEMCOUNT, count, flags);
    return;
  }
  const LONG_PTR style = GetWindowLongPtrA(m_hList, GWL_STYLE);
  m_quiet = true;
  SetWindowLongPtrA(m_hList, GWL_STYLE, style & ~WS_VISIBLE);
  SendMessageA(m_hList, LVM_SETITEMCOUNT, count, flags);
  SetWindowLongPtrA(m_hList, GWL_STYLE, style);
  m_quiet = false;
  if (!m_frameWaiting) KeepFrameDrawn();
  SCROLLBARINFO after;
  if (ShownScrollBar(m_hList, &after) && LooksAlike(before, after)) return;
  // Client coordinates reach into the frame, where the bar is.
  RECT bar = after.rcScrollBar;
  UnionRect(&bar, &bar, &before.rcScrollBar);
  MapWindowPoints(nullptr, m_hList, reinterpret_cast<POINT*>(&bar), 2);
  RedrawWindow(m_hList, &bar, nullptr, RDW_INVALIDATE | RDW_FRAME);
  m_frameWaiting = true;
}

// Under Wine, marking the list visible again exposes its frame, and the
// next WM_PAINT of the list began with a WM_NCPAINT that drew the themed
// scroll bar: 3-5 ms, tens on a loaded machine, with every gone pass. When
// nothing has changed the frame since it was last drawn, that paint is
// dropped. Wine keeps it as a flag beside the update region and drops it
// only while there is a region, so a pixel is invalidated for the moment
// when there is none.
void CResultList::KeepFrameDrawn() {
  RECT client;
  GetClientRect(m_hList, &client);
  const RECT pixel = {client.right - 1, client.bottom - 1, client.right, client.bottom};
  const bool none = !GetUpdateRect(m_hList, nullptr, FALSE);
  if (none) RedrawWindow(m_hList, &pixel, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
  HRGN empty = CreateRectRgn(0, 0, 0, 0);
  RedrawWindow(m_hList, nullptr, empty, RDW_VALIDATE | RDW_NOFRAME | RDW_NOCHILDREN);
  DeleteObject(empty);
  if (none) RedrawWindow(m_hList, &pixel, nullptr, RDW_VALIDATE | RDW_NOCHILDREN);
}

bool CResultList::RowsLandBelowView(std::size_t countBefore) const {
  // The row after the last whole one in view may show in part.
  const int last = ListView_GetTopIndex(m_hList) + ListView_GetCountPerPage(m_hList);
  return static_cast<std::size_t>(last) < countBefore;
}

void CResultList::Append(std::size_t n, bool checked) {
  if (n == 0) return;
  // The ticks grow in blocks the heap maps on their own (over a megabyte):
  // a small block placed among a scan's passing work would keep all of
  // that work's memory in the working set after the scan has freed it.
  const bool below = RowsLandBelowView(m_checks.size());
  const std::size_t need = m_checks.size() + n;
  if (need > m_checks.capacity()) {
    m_checks.reserve(std::max({need, 2 * m_checks.capacity(), std::size_t(2) << 20}));
  }
  m_checks.resize(need, checked ? 1 : 0);
  SetCount(true, below);
}

void CResultList::Remove(const std::vector<std::size_t>& rows) {
  if (rows.empty()) return;
  // The list view numbers its selection by position: the selected rows that
  // stay are picked out before the count changes, then selected anew.
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(m_hList, i, LVNI_SELECTED)) {
    selected.push_back(i);
  }
  const int focused = ListView_GetNextItem(m_hList, -1, LVNI_FOCUSED);
  // The new position of old row `row`, or -1 when it goes.
  const auto moved = [&rows](int row) {
    const auto at = std::lower_bound(rows.begin(), rows.end(), static_cast<std::size_t>(row));
    if (at != rows.end() && *at == static_cast<std::size_t>(row)) return -1;
    return row - static_cast<int>(at - rows.begin());
  };
  EraseRows(&m_checks, rows);
  // Row by row: index -1 would have the list view visit every row it holds.
  for (int row : selected) ListView_SetItemState(m_hList, row, 0, LVIS_SELECTED);
  // The whole view is drawn again below.
  SetCount(true, true);
  for (int row : selected) {
    const int to = moved(row);
    if (to >= 0) ListView_SetItemState(m_hList, to, LVIS_SELECTED, LVIS_SELECTED);
  }
  if (focused >= 0 && moved(focused) >= 0) {
    ListView_SetItemState(m_hList, moved(focused), LVIS_FOCUSED, LVIS_FOCUSED);
  }
  InvalidateRows();
}

void CResultList::Clear() {
  m_checks.clear();
  // The count goes first: index -1 visits every row the list view holds,
  // which with 100,000 rows kept the window from answering for 100-150 ms.
  SetCount(false, false);
  ListView_SetItemState(m_hList, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  InvalidateRect(m_hList, nullptr, TRUE);
}

void CResultList::SetChecked(std::size_t row, bool on) {
  if (row >= m_checks.size()) return;
  m_checks[row] = on ? 1 : 0;
  ListView_RedrawItems(m_hList, static_cast<int>(row), static_cast<int>(row));
}

bool CResultList::AnyChecked() const {
  return std::find(m_checks.begin(), m_checks.end(), 1) != m_checks.end();
}

void CResultList::SetAll(int how) {
  for (std::uint8_t& tick : m_checks) tick = how == 2 ? !tick : how == 1;
  InvalidateRows();
}

void CResultList::FillDisplay(NMLVDISPINFOA* info) {
  LVITEMA& item = info->item;
  const auto row = static_cast<std::size_t>(item.iItem);
  if (item.iItem < 0 || row >= m_checks.size()) return;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    const std::string& text = m_text(row, item.iSubItem);
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    text.copy(item.pszText, n);
    item.pszText[n] = '\0';
  }
  if (item.mask & LVIF_STATE) {
    item.state = (item.state & ~LVIS_STATEIMAGEMASK) | (m_checks[row] ? kTicked : kUnticked);
  }
}

void CResultList::FillDisplay(NMLVDISPINFOW* info) {
  LVITEMW& item = info->item;
  const auto row = static_cast<std::size_t>(item.iItem);
  if (item.iItem < 0 || row >= m_checks.size()) return;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    const std::string& text = m_text(row, item.iSubItem);
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                item.pszText, item.cchTextMax - 1);
    item.pszText[std::max(n, 0)] = L'\0';
  }
  if (item.mask & LVIF_STATE) {
    item.state = (item.state & ~LVIS_STATEIMAGEMASK) | (m_checks[row] ? kTicked : kUnticked);
  }
}

bool CResultList::OnNotify(const NMHDR* header, LRESULT* result, bool boxNeedsSelection,
                           bool* rightClick) {
  if (header->hwndFrom != m_hList || !m_hList) return false;
  *rightClick = false;
  switch (header->code) {
    case LVN_GETDISPINFOA:
      FillDisplay(reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header)));
      return true;
    case LVN_GETDISPINFOW:
      FillDisplay(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
      return true;
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_SPACE) {
        Flip(ListView_GetNextItem(m_hList, -1, LVNI_FOCUSED));
      }
      return true;
    case NM_CLICK:
    case NM_DBLCLK: {
      const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
      if (header->code == NM_CLICK) {
        // A plain list flips the box when the button goes down.
        LVHITTESTINFO hit{};
        hit.pt = click->ptAction;
        const int row = ListView_SubItemHitTest(m_hList, &hit);
        if (row >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) Flip(row);
      }
      OnCheckListClick(m_hList, click, header->code == NM_DBLCLK, boxNeedsSelection);
      return true;
    }
    case NM_RCLICK:
      *rightClick = true;
      *result = 1;
      return true;
    default:
      return false;
  }
}

bool CResultList::ViewFull() const {
  const auto shown = ListView_GetTopIndex(m_hList) + ListView_GetCountPerPage(m_hList);
  return shown > 0 && static_cast<std::size_t>(shown) <= m_checks.size();
}

void CResultList::OnPending(const Drain& drain, bool fromTimer) {
  // While rows only trickle in, a listing waits out the pace; one that left
  // rows waiting is followed at once.
  if (!m_listing.Due(fromTimer, m_caughtUp, ViewFull() ? kBelowViewPaceMs : 0)) return;
  m_caughtUp = !drain(std::numeric_limits<std::size_t>::max());
  m_listing.Ran();
  if (!m_caughtUp) PostMessageA(m_hPage, m_message, 0, 0);
}

void CResultList::ListAll(const Drain& drain) {
  while (drain(std::numeric_limits<std::size_t>::max())) {
  }
  m_listing.Cancel();
  m_caughtUp = false;
}

void CResultList::OnGone(const DropGone& drop, bool fromTimer) {
  if (!m_gone.Due(fromTimer)) return;
  drop();
  m_gone.Ran();
  m_passDrawing = GetUpdateRect(m_hList, nullptr, FALSE) != FALSE;
}

void CResultList::DropAllGone(const DropGone& drop) {
  m_gone.Cancel();
  drop();
}

}  // namespace tw
