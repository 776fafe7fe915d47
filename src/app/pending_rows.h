// Rows a page's worker has found and the interface thread has not listed
// yet. The worker only queues them and posts one message per batch, not one
// per row.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <deque>
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
    std::deque<Row> all;
    {
      CMutexLock lock(m_mutex);
      if (limit < m_rows.size()) return TakeSome(limit, more);
      // Everything: the queue changes hands under the lock and its rows
      // are moved out after, so the worker never waits on a long move.
      all.swap(m_rows);
      *more = false;
      m_bPosted = false;
    }
    return std::vector<Row>(std::make_move_iterator(all.begin()), std::make_move_iterator(all.end()));
  }

  // Before a new run, with no worker running.
  void Clear() {
    CMutexLock lock(m_mutex);
    m_rows.clear();
  }

 private:
  // With the lock held.
  std::vector<Row> TakeSome(std::size_t limit, bool* more) {
    const std::size_t n = std::min(limit, m_rows.size());
    const auto end = m_rows.begin() + static_cast<std::ptrdiff_t>(n);
    std::vector<Row> batch(std::make_move_iterator(m_rows.begin()), std::make_move_iterator(end));
    m_rows.erase(m_rows.begin(), end);
    *more = !m_rows.empty();
    if (!*more) m_bPosted = false;
    return batch;
  }

  CMutex m_mutex;
  std::deque<Row> m_rows;
  bool m_bPosted = false;
};

// Answers the window's callers during a long step of the interface thread,
// at most once per intervalMs since *lastServed: any peek first delivers
// what other threads and programs sent; of the queue only paint requests are
// taken (none when paint is false, for a step whose rows are not ready to be
// drawn), so no click or key starts anything before the step ends.
void ServeSentMessages(ULONGLONG* lastServed, ULONGLONG intervalMs = 25, bool paint = true);

}  // namespace tw
