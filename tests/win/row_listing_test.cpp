// The listing of a worker's found rows on the interface thread: rows that
// trickle in are listed a few times a second, not once each, yet none waits
// for the run's end; a flood is listed slice after slice without pausing.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "app/pending_rows.h"

namespace {

constexpr UINT kMsgRows = WM_APP + 1;
constexpr UINT_PTR kTimer = 7;
constexpr ULONGLONG kPaceMs = 200;

class RowListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &RowListingTest::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "tw_row_listing_test";
    RegisterClassA(&wc);
    page_ = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                          nullptr, wc.hInstance, nullptr);
    list_ = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 400, 300,
                          page_, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(page_ && list_);
    LVCOLUMNA col = {};
    col.mask = LVCF_WIDTH;
    col.cx = 100;
    ListView_InsertColumn(list_, 0, &col);
    s_test = this;
  }
  void TearDown() override {
    DestroyWindow(page_);
    s_test = nullptr;
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    RowListingTest* t = s_test;
    if (t && (msg == kMsgRows || (msg == WM_TIMER && t->listing_.IsTimer(wp)))) {
      t->listing_.OnPending(hwnd, t->list_, [t](std::size_t n) { return t->Drain(n); },
                            msg == WM_TIMER);
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
  }

  bool Drain(std::size_t limit) {
    bool more = false;
    for (int row : pending_.Take(limit, &more)) {
      LVITEMA item = {};
      item.mask = LVIF_PARAM;
      item.iItem = ListView_GetItemCount(list_);
      item.lParam = row;
      ListView_InsertItem(list_, &item);
      listedAt_.push_back(GetTickCount64());
    }
    if (!more) ++listings_;
    return more;
  }

  // Serves the window's messages for ms milliseconds.
  void Pump(ULONGLONG ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    while (GetTickCount64() < until) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  }

  static RowListingTest* s_test;
  HWND page_ = nullptr;
  HWND list_ = nullptr;
  tw::CPendingRows<int> pending_;
  tw::CRowListing listing_{kMsgRows, kTimer, kPaceMs};
  std::vector<ULONGLONG> listedAt_;
  int listings_ = 0;
};

RowListingTest* RowListingTest::s_test = nullptr;

TEST_F(RowListingTest, TricklingRowsAreListedAFewTimesASecondAndNoneWaitsForTheEnd) {
  // 40 rows, one every 20 ms, from a worker thread.
  std::vector<ULONGLONG> addedAt(40);
  std::thread worker([&] {
    for (int i = 0; i < 40; ++i) {
      addedAt[i] = GetTickCount64();
      pending_.Add(page_, kMsgRows, i);
      Sleep(20);
    }
  });
  Pump(800 + 2 * kPaceMs);
  worker.join();
  ASSERT_EQ(ListView_GetItemCount(list_), 40);
  // About 800 ms of rows at one listing per 200 ms, where unpaced each row
  // would have had a listing of its own.
  EXPECT_LE(listings_, 8);
  for (int i = 0; i < 40; ++i) {
    EXPECT_LE(listedAt_[i] - addedAt[i], kPaceMs + 100) << "row " << i;
  }
}

TEST_F(RowListingTest, AFloodIsListedWithoutWaitingForThePace) {
  // A first row makes the next listing wait for the pace...
  pending_.Add(page_, kMsgRows, -1);
  Pump(20);
  ASSERT_EQ(ListView_GetItemCount(list_), 1);
  // ...then many at once: each slice that leaves rows waiting is followed by
  // the next at once.
  for (int i = 0; i < 20000; ++i) pending_.Add(page_, kMsgRows, i);
  const ULONGLONG start = GetTickCount64();
  while (ListView_GetItemCount(list_) < 20001 && GetTickCount64() - start < 20000) Pump(10);
  ASSERT_EQ(ListView_GetItemCount(list_), 20001);
  // Slice after slice: no gap of a pace between two rows.
  ULONGLONG widest = 0;
  for (std::size_t i = 2; i < listedAt_.size(); ++i) {
    widest = std::max(widest, listedAt_[i] - listedAt_[i - 1]);
  }
  EXPECT_LT(widest, kPaceMs / 2);
}

}  // namespace
