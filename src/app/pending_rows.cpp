#include <windows.h>

#include "app/pending_rows.h"

#include "controls/check_list.h"

namespace tw {

namespace {
// Long enough to list a few batches, well short of the 100 ms after which
// a window feels stuck.
constexpr ULONGLONG kSliceMs = 15;
}  // namespace

bool ListPendingSlice(HWND list, const std::function<bool(std::size_t)>& drain) {
  const ULONGLONG start = GetTickCount64();
  bool more = true;
  SetListRedraw(list, false);
  while (more && GetTickCount64() - start < kSliceMs) more = drain(kPendingRowBatch);
  SetListRedraw(list, true);
  return more;
}

void ListAllPending(HWND list, const std::function<bool(std::size_t)>& drain,
                    const std::function<void()>& between) {
  SetListRedraw(list, false);
  while (drain(kPendingRowBatch)) {
    if (between) between();
  }
  SetListRedraw(list, true);
}

}  // namespace tw
