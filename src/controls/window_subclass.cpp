#include <windows.h>
#include <commctrl.h>

#include "controls/window_subclass.h"

namespace tw {

namespace {

using SetFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
using RemoveFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
using DefFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

// The ordinals every comctl32 since 5.8 exports them by.
constexpr WORD kSetWindowSubclass = 410;
constexpr WORD kRemoveWindowSubclass = 412;
constexpr WORD kDefSubclassProc = 413;

FARPROC Comctl32(WORD ordinal) {
  // The program links comctl32 for its other controls, so it is loaded.
  static const HMODULE module = LoadLibraryA("comctl32.dll");
  return module ? GetProcAddress(module, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

template <class Fn>
Fn Find(WORD ordinal) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Comctl32(ordinal)));
}

}  // namespace

bool SubclassControl(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
  static const SetFn fn = Find<SetFn>(kSetWindowSubclass);
  return fn && fn(hwnd, proc, id, data);
}

bool RemoveControlSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
  static const RemoveFn fn = Find<RemoveFn>(kRemoveWindowSubclass);
  return fn && fn(hwnd, proc, id);
}

LRESULT CallNextSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  static const DefFn fn = Find<DefFn>(kDefSubclassProc);
  return fn ? fn(hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace tw
