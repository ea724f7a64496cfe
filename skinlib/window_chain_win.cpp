#include "skinlib/window_chain_win.h"

#include <unordered_map>

namespace vantoip::skin {
namespace {

// Used on the thread that owns the skinned windows only.
std::unordered_map<HWND, WNDPROC>& Next() {
  static std::unordered_map<HWND, WNDPROC> next;
  return next;
}

}  // namespace

void Chain(HWND window, WNDPROC proc) {
  if (Next().count(window)) return;
  const auto before = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
  if (before) Next()[window] = before;
}

LRESULT CallNext(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto it = Next().find(window);
  return it == Next().end() ? DefWindowProcW(window, message, wParam, lParam)
                            : CallWindowProcW(it->second, window, message, wParam, lParam);
}

void Unchain(HWND window, WNDPROC proc) {
  const auto it = Next().find(window);
  if (it == Next().end() || GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(proc)) return;
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second));
  Next().erase(it);
}

void ForgetChain(HWND window) { Next().erase(window); }

}  // namespace vantoip::skin
