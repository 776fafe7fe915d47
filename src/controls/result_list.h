// The result list of the registry and junk-file pages: a list view with
// LVS_OWNERDATA over rows the page keeps in a vector of its own. Listing
// 100,000 rows is one count change and taking rows out one pass over the
// vector; the list view asks for the few cells it draws. The ticks live
// here, one byte a row. The list view keeps no tick of an owner-data row and
// tells nothing of a tick set through LVM_SETITEMSTATE, so the list's own
// window procedure answers LVM_GETITEMSTATE and LVM_SETITEMSTATE for the
// state image (index -1 for every row) from these bytes; a click on a box
// and the space key flip them here.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/pace_timer.h"

namespace tw {

class CResultList {
 public:
  // The text of one cell of the page's row; it must stay put until the
  // next call.
  using CellText = std::function<const std::string&(std::size_t row, int column)>;
  // Moves waiting rows into the page's vector (and calls Append), at most
  // `limit` of them; answers whether more wait.
  using Drain = std::function<bool(std::size_t limit)>;

  // Takes the rows whose files went out of the page's vector (and calls
  // Remove).
  using DropGone = std::function<void()>;

  // pendingMessage and the timer ids are the page's: the paced listing
  // posts the one and sets the timers (goneTimerId 0: the page takes out no
  // rows while a worker runs).
  CResultList(UINT pendingMessage, UINT_PTR timerId, ULONGLONG paceMs = 200,
              UINT_PTR goneTimerId = 0, ULONGLONG gonePaceMs = 250)
      : m_message(pendingMessage), m_listing(timerId, paceMs), m_gone(goneTimerId, gonePaceMs) {}

  // checkImages (bitmap 134) may be null; the caller keeps it.
  void Attach(HWND page, HWND list, HIMAGELIST checkImages, CellText text);
  HWND Handle() const { return m_hList; }
  std::size_t Count() const { return m_checks.size(); }

  // `n` rows were appended to the page's vector.
  void Append(std::size_t n, bool checked = false);
  // The rows at `rows` (ascending, as numbered before) left the page's
  // vector; the rows that stay keep their ticks and their selection.
  void Remove(const std::vector<std::size_t>& rows);
  void Clear();

  bool Checked(std::size_t row) const { return row < m_checks.size() && m_checks[row] != 0; }
  void SetChecked(std::size_t row, bool on);
  bool AnyChecked() const;
  // how: 0 unticks every row, 1 ticks every row, 2 inverts every row.
  void SetAll(int how);

  // The list's notifications: cell texts, the box and the space key, and
  // the click rules of a check-box list (OnCheckListClick). *rightClick
  // tells the page to show its menu. Answers whether the notification was
  // the list's.
  bool OnNotify(const NMHDR* header, LRESULT* result, bool boxNeedsSelection, bool* rightClick);

  // Paced listing. While rows only trickle in, a new listing comes no sooner
  // than the pace after the last one: under Wine each listing into a visible
  // list costs the interface thread a few milliseconds (the list and its
  // header are laid out and drawn again), and a worker walking the disk
  // meanwhile loses more than that. A listing takes every waiting row, so
  // a flood waits no longer than a trickle.
  // Once the view is full, rows listed land below it and change only the
  // scroll bar, while each count change of a long list still costs the
  // interface thread the list's and its header's layout (under Wine about
  // 25 ms at 100,000 rows on a loaded machine): those wait out
  // kBelowViewPaceMs instead. Every listing stretches the next wait by its
  // own cost (CPaceTimer::kCostShare).
  // The page's answer to pendingMessage (fromTimer false) and to its
  // WM_TIMER timerId (true).
  static constexpr ULONGLONG kBelowViewPaceMs = 1000;
  void OnPending(const Drain& drain, bool fromTimer);
  bool IsTimer(UINT_PTR id) const { return m_listing.IsTimer(id); }
  // At the end of a run: every waiting row is listed, and no listing waits.
  void ListAll(const Drain& drain);

  // Rows whose files went during a deletion leave at the gone pace, in one
  // pass each time: every change of a visible list costs the interface
  // thread a redraw, and the worker deleting meanwhile loses more than that.
  // The drawing that follows a pass counts to its cost, which stretches the
  // wait before the next.
  // The page's answer to its gone-rows message (fromTimer false) and to its
  // WM_TIMER goneTimerId (true).
  void OnGone(const DropGone& drop, bool fromTimer);
  bool IsGoneTimer(UINT_PTR id) const { return m_gone.IsTimer(id); }
  // At the end of a deletion: every gone row leaves now.
  void DropAllGone(const DropGone& drop);

  // A tall update is drawn kPaintBandRows rows at a time, a band for each
  // WM_PAINT: under Wine a whole view of rows took 50-100 ms on a loaded
  // machine, and callers and input are answered between two bands.
  static constexpr int kPaintBandRows = 6;

 private:
  static LRESULT CALLBACK ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR self);
  LRESULT Paint();
  LRESULT SetTicks(WPARAM row, LPARAM item);
  void Flip(int row);
  void InvalidateRows();
  // quietly: no row that comes or goes is in view (or the whole view is
  // drawn again afterwards).
  void SetCount(bool keepScroll, bool quietly);
  void KeepFrameDrawn();
  bool RowsLandBelowView(std::size_t countBefore) const;
  bool ViewFull() const;
  void FillDisplay(NMLVDISPINFOA* info);
  void FillDisplay(NMLVDISPINFOW* info);

  HWND m_hPage = nullptr;
  HWND m_hList = nullptr;
  CellText m_text;
  std::vector<std::uint8_t> m_checks;  // one a row of the page's vector

  UINT m_message;
  CPaceTimer m_listing;
  CPaceTimer m_gone;
  bool m_caughtUp = false;     // the last listing left no row waiting
  bool m_quiet = false;        // the list is marked hidden for a count change
  bool m_frameWaiting = false; // the frame may have changed since its last WM_NCPAINT
  bool m_passDrawing = false;  // the last gone pass is not drawn in full yet
};

// Erases the elements at `rows` (ascending) in one pass.
template <class Row>
void EraseRows(std::vector<Row>* from, const std::vector<std::size_t>& rows) {
  std::size_t to = 0;
  std::size_t next = 0;
  for (std::size_t i = 0; i < from->size(); ++i) {
    if (next < rows.size() && rows[next] == i) {
      ++next;
      continue;
    }
    if (to != i) (*from)[to] = std::move((*from)[i]);
    ++to;
  }
  from->erase(from->begin() + static_cast<std::ptrdiff_t>(to), from->end());
}

}  // namespace tw
