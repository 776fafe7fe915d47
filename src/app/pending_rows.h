// Rows a page's worker has found and the interface thread has not listed
// yet. The worker only queues them and posts one message per batch; the
// interface thread lists them a time slice at a time, so the window answers
// between slices however slow inserting into a long list gets (under Wine,
// 2,000 rows into a list of 100,000 took over 100 ms).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <iterator>
#include <vector>

#include "platform/threads.h"

namespace tw {

template <class Row>
class CPendingRows {
 public:
  // Worker side: queues a row; posts `message` to `page` unless a message
  // for the rows waiting is already on its way.
  void Add(HWND page, UINT message, Row row) {
    bool post = false;
    {
      CMutexLock lock(m_mutex);
      m_rows.push_back(std::move(row));
      if (!m_bPosted) m_bPosted = post = true;
    }
    if (post) PostMessageA(page, message, 0, 0);
  }

  // Interface side: takes out at most `limit` rows; *more tells whether
  // rows still wait (a message to list them is then posted or about to be).
  std::vector<Row> Take(std::size_t limit, bool* more) {
    CMutexLock lock(m_mutex);
    const std::size_t n = std::min(limit, m_rows.size());
    const auto end = m_rows.begin() + static_cast<std::ptrdiff_t>(n);
    std::vector<Row> batch(std::make_move_iterator(m_rows.begin()), std::make_move_iterator(end));
    m_rows.erase(m_rows.begin(), end);
    *more = !m_rows.empty();
    if (!*more) m_bPosted = false;
    return batch;
  }

  // Before a new run, with no worker running.
  void Clear() {
    CMutexLock lock(m_mutex);
    m_rows.clear();
  }

 private:
  CMutex m_mutex;
  std::deque<Row> m_rows;
  bool m_bPosted = false;
};

// How many rows one drain call lists at the most.
constexpr std::size_t kPendingRowBatch = 25;

// The interface thread's answer to the posted message: lists batches
// (drain(kPendingRowBatch) answers whether more wait) with the list's
// redrawing off until a time slice is used up (under Wine each redraw of a
// long list costs as much as many inserted rows); answers whether more wait,
// and then the message is to be posted again.
bool ListPendingSlice(HWND list, const std::function<bool(std::size_t)>& drain);

// Answers the window's callers during a long step of the interface thread,
// at most once per intervalMs since *lastServed: any peek first delivers
// what other threads and programs sent; of the queue only paint requests are
// taken, so no click or key starts anything before the step ends.
void ServeSentMessages(ULONGLONG* lastServed, ULONGLONG intervalMs = 25);

// At the end of a run: lists every waiting row, so the final status shows
// the count of a complete list. between() runs between batches; without it
// the window's callers are served (ServeSentMessages), since a last backlog
// into a long list can take longer than a window may keep them waiting.
void ListAllPending(HWND list, const std::function<bool(std::size_t)>& drain,
                    const std::function<void()>& between = {});

// The interface side of a run's found rows: slices as above, and, while rows
// only trickle in, a new listing no sooner than `pace` after the last one.
// Under Wine each listing into a visible list costs the interface thread a
// few milliseconds (the list and its header are laid out and drawn again),
// and a worker walking the disk meanwhile loses more than that: with one
// listing per found row, a scan of 200,000 files of which 200 were found
// took half as long again as with the list hidden. Rows that come faster
// than they can be listed are still listed slice after slice.
class CRowListing {
 public:
  CRowListing(UINT message, UINT_PTR timerId, ULONGLONG paceMs = 200)
      : m_message(message), m_timerId(timerId), m_paceMs(paceMs) {}

  // The page's answer to `message` (fromTimer false) and to its WM_TIMER
  // `timerId` (true): lists a slice now, or sets the timer for the rest of
  // the pace.
  void OnPending(HWND page, HWND list, const std::function<bool(std::size_t)>& drain,
                 bool fromTimer);
  bool IsTimer(UINT_PTR id) const { return id == m_timerId; }
  // At the end of a run, once every row is listed: no listing waits.
  void Stop(HWND page);

 private:
  UINT m_message;
  UINT_PTR m_timerId;
  ULONGLONG m_paceMs;
  ULONGLONG m_lastMs = 0;   // when the last listing began
  bool m_caughtUp = false;  // the last listing left no row waiting
  bool m_timerSet = false;
};

}  // namespace tw
