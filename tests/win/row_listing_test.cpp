// A worker's found rows on the interface thread: rows that trickle in are
// listed a few times a second, not once each, and none waits for the run's
// end; a flood is listed slice after slice, with no pause between slices.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "app/pending_rows.h"

namespace {

constexpr UINT kMsgRows = WM_APP + 1;
constexpr ULONGLONG kPaceMs = 200;

HWND g_list;
tw::CPendingRows<int> g_pending;
tw::CRowListing g_listing(kMsgRows, 7, kPaceMs);
std::vector<ULONGLONG> g_listedAt;  // per row
int g_listings;                     // listings that left no row waiting

bool Drain(std::size_t limit) {
  bool more = false;
  for (int row : g_pending.Take(limit, &more)) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = ListView_GetItemCount(g_list);
    item.lParam = row;
    ListView_InsertItem(g_list, &item);
    g_listedAt.push_back(GetTickCount64());
  }
  if (!more) ++g_listings;
  return more;
}

LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMsgRows || (msg == WM_TIMER && g_listing.IsTimer(wp))) {
    g_listing.OnPending(hwnd, g_list, Drain, msg == WM_TIMER);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void Pump(ULONGLONG ms) {
  for (const ULONGLONG until = GetTickCount64() + ms; GetTickCount64() < until;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

TEST(RowListing, TricklingRowsArePacedAndAFloodIsNot) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PageProc;
  wc.lpszClassName = "tw_row_listing_test";
  RegisterClassA(&wc);
  HWND page = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                            nullptr, nullptr, nullptr);
  g_list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 400, 300,
                         page, nullptr, nullptr, nullptr);
  ASSERT_TRUE(page && g_list);

  // 40 rows, one every 20 ms, from a worker thread.
  std::vector<ULONGLONG> addedAt(40);
  std::thread worker([&] {
    for (int i = 0; i < 40; ++i) {
      addedAt[i] = GetTickCount64();
      g_pending.Add(page, kMsgRows, i);
      Sleep(20);
    }
  });
  Pump(800 + 2 * kPaceMs);
  worker.join();
  ASSERT_EQ(ListView_GetItemCount(g_list), 40);
  EXPECT_LE(g_listings, 8);  // unpaced, each row had a listing of its own
  for (int i = 0; i < 40; ++i) EXPECT_LE(g_listedAt[i] - addedAt[i], kPaceMs + 100) << i;

  // A flood: slice after slice, no gap of a pace between two rows.
  for (int i = 0; i < 20000; ++i) g_pending.Add(page, kMsgRows, i);
  for (int waited = 0; ListView_GetItemCount(g_list) < 20040 && waited < 2000; ++waited) Pump(10);
  ASSERT_EQ(ListView_GetItemCount(g_list), 20040);
  ULONGLONG widest = 0;
  for (std::size_t i = 41; i < g_listedAt.size(); ++i) {
    widest = std::max(widest, g_listedAt[i] - g_listedAt[i - 1]);
  }
  EXPECT_LT(widest, kPaceMs / 2);
  DestroyWindow(page);
}

}  // namespace
