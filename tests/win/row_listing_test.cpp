// The result list on a real owner-data list view: a worker's found rows
// that trickle in are listed a few times a second, not once each, and none
// waits for the run's end; a flood is listed whole; ticks and selection go
// through the standard list-view messages, for one row and for all; rows
// whose files went leave at a pace too, and all at once at the end; a list
// whose count changed in steps looks as one given its rows at once.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/pending_rows.h"
#include "controls/pace_timer.h"
#include "controls/result_list.h"
#include "screen_capture.h"

namespace {

constexpr UINT kMsgRows = WM_APP + 1;
constexpr UINT kMsgGone = WM_APP + 2;
constexpr ULONGLONG kPaceMs = 200;
constexpr int kListHeight = 1000;

HWND g_list;
std::vector<std::string> g_rows;  // the page's vector: one text a row, both columns
tw::CPendingRows<std::string> g_pending;
tw::CResultList g_results(kMsgRows, 7, kPaceMs, 8, kPaceMs);
tw::CResultList g_twin(kMsgRows + 10, 9, kPaceMs);  // a second list of the same rows
std::vector<ULONGLONG> g_droppedAt;  // per pass that took out gone rows

void DropGone() { g_droppedAt.push_back(GetTickCount64()); }
std::vector<ULONGLONG> g_listedAt;  // per row
int g_listings;                     // listings that left no row waiting
DWORD g_drainCostMs;                // what each listing costs the interface thread
std::vector<std::vector<int>> g_drawn;  // the rows each WM_PAINT of the list asked texts for

bool Drain(std::size_t limit) {
  if (g_drainCostMs) Sleep(g_drainCostMs);
  bool more = false;
  std::vector<std::string> batch = g_pending.Take(limit, &more);
  for (std::string& row : batch) {
    g_rows.push_back(std::move(row));
    g_listedAt.push_back(GetTickCount64());
  }
  g_results.Append(batch.size());
  if (!more) ++g_listings;
  return more;
}

LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMsgRows || (msg == WM_TIMER && g_results.IsTimer(wp))) {
    g_results.OnPending(Drain, msg == WM_TIMER);
    return 0;
  }
  if (msg == kMsgGone || (msg == WM_TIMER && g_results.IsGoneTimer(wp))) {
    g_results.OnGone(DropGone, msg == WM_TIMER);
    return 0;
  }
  if (msg == WM_NOTIFY) {
    const auto* info = reinterpret_cast<const NMLVDISPINFOW*>(lp);
    if (!g_drawn.empty() && (info->hdr.code == LVN_GETDISPINFOW || info->hdr.code == LVN_GETDISPINFOA)) {
      g_drawn.back().push_back(info->item.iItem);
    }
    LRESULT result = 0;
    bool menu = false;
    if (g_results.OnNotify(reinterpret_cast<NMHDR*>(lp), &result, false, &menu) ||
        g_twin.OnNotify(reinterpret_cast<NMHDR*>(lp), &result, false, &menu)) {
      return result;
    }
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

// As a test driver or an accessibility tool asks: the wide messages.
bool SetState(int row, UINT state, UINT mask) {
  LVITEMW item = {};
  item.state = state;
  item.stateMask = mask;
  return SendMessageW(g_list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&item)) != 0;
}
bool SetTick(int row, bool on) {
  return SetState(row, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK);
}
bool Ticked(int row) {
  return (SendMessageW(g_list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) &
          LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}
bool Selected(int row) {
  return (SendMessageW(g_list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
std::wstring Text(int row, int column) {
  wchar_t buf[64] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = 64;
  SendMessageW(g_list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buf;
}
int Count() { return static_cast<int>(SendMessageW(g_list, LVM_GETITEMCOUNT, 0, 0)); }

// What the screen shows of a list, but for its header: Wine leaves the
// header's right end as it was drawn before the scroll bar came, whatever
// the count changes were.
std::vector<DWORD> Shot(HWND list) {
  RECT r, header;
  GetWindowRect(list, &r);
  GetWindowRect(ListView_GetHeader(list), &header);
  const int w = r.right - r.left;
  std::vector<DWORD> pixels = tw::test::CaptureScreen(r);
  for (int y = header.top - r.top; y < header.bottom - r.top; ++y) {
    for (int x = header.left - r.left; x < header.right - r.left; ++x) pixels[y * w + x] = 0;
  }
  return pixels;
}

// A page's list: two columns.
HWND MakeList(HWND page, int x, int width, int height) {
  HWND list = CreateWindowA(WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                            x, 0, width, height, page, nullptr, nullptr, nullptr);
  for (int c = 0; c < 2; ++c) {
    LVCOLUMNA col = {};
    col.mask = LVCF_WIDTH;
    col.cx = 150;
    SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
  }
  return list;
}

class ResultList : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PageProc;
    wc.lpszClassName = "tw_result_list_test";
    RegisterClassA(&wc);
    // Tall enough to show the 40 trickling rows: rows below a full view
    // have a pace of their own.
    m_page = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                           kListHeight + 100, nullptr, nullptr, nullptr, nullptr);
    g_list = MakeList(m_page, 0, 400, kListHeight);
    ASSERT_TRUE(m_page && g_list);
    g_rows.clear();
    g_listedAt.clear();
    g_listings = 0;
    g_drainCostMs = 0;
    g_droppedAt.clear();
    g_results.Attach(m_page, g_list, nullptr,
                     [](std::size_t row, int) -> const std::string& { return g_rows[row]; });
  }
  void TearDown() override { DestroyWindow(m_page); }
  HWND m_page = nullptr;
};

TEST_F(ResultList, TricklingRowsArePacedAndAFloodIsListedWhole) {
  // 40 rows, one every 20 ms, from a worker thread.
  std::vector<ULONGLONG> addedAt(40);
  std::thread worker([&] {
    for (int i = 0; i < 40; ++i) {
      addedAt[i] = GetTickCount64();
      g_pending.Add(m_page, kMsgRows, "row " + std::to_string(i));
      Sleep(20);
    }
  });
  Pump(800 + 2 * kPaceMs);
  worker.join();
  ASSERT_EQ(Count(), 40);
  EXPECT_LE(g_listings, 8);  // unpaced, each row had a listing of its own
  for (int i = 0; i < 40; ++i) EXPECT_LE(g_listedAt[i] - addedAt[i], kPaceMs + 100) << i;
  EXPECT_EQ(Text(39, 0), L"row 39");

  // A flood comes whole with the next listing, however long the list.
  const int before = g_listings;
  for (int i = 0; i < 20000; ++i) g_pending.Add(m_page, kMsgRows, "flood");
  for (int waited = 0; Count() < 20040 && waited < 100; ++waited) Pump(10);
  ASSERT_EQ(Count(), 20040);
  EXPECT_EQ(g_listings, before + 1);
}

// The wait between two listings of trickling rows: the pace while the rows
// land in view; the longer pace once the view is full; at least
// kCostShare times what the last listing cost.
TEST_F(ResultList, TheWaitBeforeAListingFollowsTheViewAndTheLastListingsCost) {
  constexpr ULONGLONG kBelow = tw::CResultList::kBelowViewPaceMs;
  constexpr DWORD kDearMs = 60;
  constexpr ULONGLONG kStretched = tw::CPaceTimer::kCostShare * kDearMs;
  const struct {
    const char* name;
    int listedBefore;  // rows on the list before the two trickling ones
    DWORD costMs;      // what each listing costs
    ULONGLONG minWait, maxWait;
  } cases[] = {
      {"rows in view", 0, 0, kPaceMs - 20, kPaceMs + 100},
      {"a full view", 200, 0, kBelow - 20, kBelow + 100},
      {"a dear listing", 0, kDearMs, kStretched - 20, kStretched + 150},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_results.Clear();
    g_rows.clear();
    for (int i = 0; i < c.listedBefore; ++i) g_pending.Add(m_page, kMsgRows, "before");
    g_results.ListAll(Drain);
    g_listedAt.clear();
    g_drainCostMs = c.costMs;
    // The first row may come at once or after a wait; the second follows
    // the first listing.
    g_pending.Add(m_page, kMsgRows, "first");
    for (int waited = 0; g_listedAt.empty() && waited < 300; ++waited) Pump(10);
    ASSERT_EQ(g_listedAt.size(), 1u);
    const ULONGLONG began = g_listedAt[0] - c.costMs;
    g_pending.Add(m_page, kMsgRows, "second");
    for (int waited = 0; g_listedAt.size() < 2 && waited < 300; ++waited) Pump(10);
    ASSERT_EQ(g_listedAt.size(), 2u);
    const ULONGLONG wait = g_listedAt[1] - c.costMs - began;
    EXPECT_GE(wait, c.minWait);
    EXPECT_LE(wait, c.maxWait);
    EXPECT_EQ(Count(), c.listedBefore + 2);
  }
}

TEST_F(ResultList, GoneRowsLeaveAtThePaceAndAllAtTheEnd) {
  // A deletion tells of a gone file every 10 ms for 600 ms.
  std::thread worker([&] {
    for (int i = 0; i < 60; ++i) {
      PostMessageA(m_page, kMsgGone, 0, 0);
      Sleep(10);
    }
  });
  Pump(600);
  worker.join();
  Pump(2 * kPaceMs);
  ASSERT_GE(g_droppedAt.size(), 2u);
  EXPECT_LE(g_droppedAt.size(), 5u);  // unpaced, one pass per file
  for (std::size_t i = 1; i < g_droppedAt.size(); ++i) {
    EXPECT_GE(g_droppedAt[i] - g_droppedAt[i - 1], kPaceMs - 20) << i;
  }
  // Its end takes out the last rows at once; a pass that was waiting for
  // the pace does not come after it.
  PostMessageA(m_page, kMsgGone, 0, 0);
  Pump(20);
  PostMessageA(m_page, kMsgGone, 0, 0);
  Pump(20);
  const std::size_t before = g_droppedAt.size();
  g_results.DropAllGone(DropGone);
  EXPECT_EQ(g_droppedAt.size(), before + 1);
  Pump(2 * kPaceMs);
  EXPECT_EQ(g_droppedAt.size(), before + 1);
}

TEST_F(ResultList, TicksOfAHundredThousandRowsThroughTheListMessages) {
  for (int i = 0; i < 100000; ++i) g_rows.push_back("row " + std::to_string(i));
  g_results.Append(g_rows.size());
  ASSERT_EQ(Count(), 100000);
  EXPECT_EQ(Text(99999, 1), L"row 99999");

  // Index -1: every row at once, ticked and unticked.
  ASSERT_TRUE(SetTick(-1, true));
  EXPECT_TRUE(Ticked(77777));
  EXPECT_TRUE(g_results.Checked(0) && g_results.Checked(99999));
  ASSERT_TRUE(SetTick(-1, false));
  EXPECT_FALSE(Ticked(77777));
  EXPECT_FALSE(g_results.AnyChecked());

  // One row at a time, and a selection that must follow the rows that stay.
  for (int row : {10, 500, 99999}) ASSERT_TRUE(SetTick(row, true));
  EXPECT_TRUE(Ticked(500));
  EXPECT_FALSE(Ticked(501));
  // A click on a row's box flips its tick and selects it.
  LVHITTESTINFO hit = {};
  for (hit.pt.y = 30; hit.pt.x < 40 && !(hit.flags & LVHT_ONITEMSTATEICON); ++hit.pt.x) {
    SendMessageW(g_list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  }
  ASSERT_TRUE(hit.flags & LVHT_ONITEMSTATEICON);
  const int clicked = hit.iItem;
  ASSERT_GE(clicked, 0);
  const LPARAM at = MAKELPARAM(hit.pt.x - 1, hit.pt.y);
  PostMessageW(g_list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(g_list, WM_LBUTTONUP, 0, at);
  Pump(100);
  EXPECT_TRUE(Ticked(clicked));
  EXPECT_TRUE(Selected(clicked));
  ASSERT_TRUE(SetTick(clicked, false));

  // A selection change is no tick; the space key flips the focused row's
  // (and, as in any list, selects that row alone).
  ASSERT_TRUE(SetState(99998, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED));
  EXPECT_FALSE(Ticked(99998));
  SendMessageW(g_list, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(Ticked(99998));
  SendMessageW(g_list, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_FALSE(Ticked(99998));
  ASSERT_TRUE(SetState(11, LVIS_SELECTED, LVIS_SELECTED));

  // The page deletes the ticked rows.
  std::vector<std::size_t> ticked;
  for (std::size_t i = 0; i < g_rows.size(); ++i) {
    if (g_results.Checked(i)) ticked.push_back(i);
  }
  ASSERT_EQ(ticked, (std::vector<std::size_t>{10, 500, 99999}));
  tw::EraseRows(&g_rows, ticked);
  g_results.Remove(ticked);
  ASSERT_EQ(Count(), 99997);
  EXPECT_EQ(Text(10, 0), L"row 11");
  EXPECT_EQ(Text(499, 0), L"row 501");
  EXPECT_EQ(Text(99996, 0), L"row 99998");
  EXPECT_FALSE(g_results.AnyChecked());
  EXPECT_TRUE(Selected(10));
  EXPECT_TRUE(Selected(99996));
  EXPECT_FALSE(Selected(11));
  EXPECT_EQ(SendMessageW(g_list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(g_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 99996);

  // A new scan empties the list: no selection or focus outlives its rows.
  g_rows.clear();
  g_results.Clear();
  g_rows = {"a", "b", "c"};
  g_results.Append(g_rows.size());
  EXPECT_EQ(SendMessageW(g_list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(g_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), -1);
}

// Rows listed in steps below a full view, and rows taken out, change the
// count without the list view drawing at once: the list must still look as
// a list given the same rows in one step, thumb and rows in view included.
TEST_F(ResultList, ACountChangedInStepsLooksAsOneChange) {
  // Both lists new and alike: the fixture's was laid out at another size.
  SetCursorPos(1000, 760);  // no row or arrow is hot
  SetWindowPos(m_page, nullptr, 0, 0, 700, 380, SWP_NOZORDER);
  DestroyWindow(g_list);
  g_list = MakeList(m_page, 0, 330, 300);
  HWND twin = MakeList(m_page, 340, 330, 300);
  ASSERT_TRUE(g_list && twin);
  const auto rowText = [](std::size_t row, int) -> const std::string& { return g_rows[row]; };
  g_results.Attach(m_page, g_list, nullptr, rowText);
  g_twin.Attach(m_page, twin, nullptr, rowText);
  const auto scrollTo = [](HWND list, int top) {
    const int by = top - ListView_GetTopIndex(list);
    RECT row;
    ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS);
    SendMessageA(list, LVM_SCROLL, 0, by * (row.bottom - row.top));
  };
  const struct {
    const char* name;
    int first;       // rows before the steps
    int top;         // the view's first row meanwhile
    int step, steps; // rows each step adds
    int removed;     // rows then taken out from row 5 on
    bool drawn;      // the steps drawn one by one
  } cases[] = {
      {"at the top, the thumb shrinking to its least size", 40, 0, 50, 60, 0, true},
      {"scrolled half way, the thumb moving", 400, 200, 7, 30, 0, true},
      {"the thumb moving, nothing drawn between steps", 400, 200, 1, 30, 0, false},
      {"at the end, rows landing in view", 30, 18, 3, 20, 0, true},
      {"rows taken out of a long list, scrolled", 3000, 100, 1, 0, 2500, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_rows.clear();
    g_results.Clear();
    g_twin.Clear();
    for (int i = 0; i < c.first; ++i) g_rows.push_back("row " + std::to_string(i));
    g_results.Append(g_rows.size());
    Pump(50);
    scrollTo(g_list, c.top);
    Pump(50);
    for (int s = 0; s < c.steps; ++s) {
      for (int i = 0; i < c.step; ++i) g_rows.push_back("row " + std::to_string(g_rows.size()));
      g_results.Append(c.step);
      if (c.drawn) Pump(10);
    }
    if (c.removed) {
      std::vector<std::size_t> gone;
      for (int i = 0; i < c.removed; ++i) gone.push_back(5 + i);
      tw::EraseRows(&g_rows, gone);
      g_results.Remove(gone);
    }
    g_twin.Append(g_rows.size());
    Pump(50);
    scrollTo(twin, ListView_GetTopIndex(g_list));
    Pump(200);
    ASSERT_EQ(Count(), static_cast<int>(g_rows.size()));
    EXPECT_TRUE(Shot(g_list) == Shot(twin));
  }
  g_twin.Clear();
  DestroyWindow(twin);
}

// A pass that takes rows out redraws the whole view a few rows at a time,
// one band for each WM_PAINT, until every row in view is drawn; the header
// is not drawn again.
TEST_F(ResultList, APassIsDrawnABandAtATime) {
  SetWindowPos(g_list, nullptr, 0, 0, 400, 600, SWP_NOZORDER);  // within the screen
  for (int i = 0; i < 1000; ++i) g_rows.push_back("row " + std::to_string(i));
  g_results.Append(g_rows.size());
  Pump(100);
  // Each WM_PAINT of a window opens a record of the rows it asks for.
  static int framePaints = 0;
  const auto countPaints = [](HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                              DWORD_PTR paints) {
    if (msg == WM_PAINT) reinterpret_cast<std::vector<std::vector<int>>*>(paints)->emplace_back();
    if (msg == WM_NCPAINT) ++framePaints;
    return DefSubclassProc(window, msg, wp, lp);
  };
  std::vector<std::vector<int>> headerPaints;
  HWND header = ListView_GetHeader(g_list);
  SetWindowSubclass(g_list, countPaints, 99, reinterpret_cast<DWORD_PTR>(&g_drawn));
  SetWindowSubclass(header, countPaints, 99, reinterpret_cast<DWORD_PTR>(&headerPaints));
  const std::vector<std::size_t> gone{0, 1, 2};
  tw::EraseRows(&g_rows, gone);
  g_results.Remove(gone);
  Pump(300);
  RemoveWindowSubclass(g_list, countPaints, 99);
  RemoveWindowSubclass(header, countPaints, 99);
  EXPECT_TRUE(headerPaints.empty());
  EXPECT_EQ(framePaints, 0);  // nor the frame with its scroll bar
  std::vector<bool> drawn(g_rows.size());
  for (const std::vector<int>& paint : g_drawn) {
    // The list view asks for row 0 on every paint; a row that a band's edge
    // cuts is drawn by both bands.
    const std::set<int> rows(paint.begin(), paint.end());
    EXPECT_LE(rows.size() - rows.count(0), tw::CResultList::kPaintBandRows + 1u);
    for (int row : paint) drawn[row] = true;
  }
  const int shown = ListView_GetCountPerPage(g_list);
  ASSERT_GT(shown, 3 * tw::CResultList::kPaintBandRows);
  for (int row = 0; row < shown; ++row) EXPECT_TRUE(drawn[row]) << row;
  g_drawn.clear();
}

}  // namespace
