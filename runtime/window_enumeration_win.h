// The system's window enumerations with a lambda in place of a callback and
// its LPARAM. `visit(HWND)` returns nothing (go on) or a bool (false: stop).
#pragma once

#include <windows.h>

#include <type_traits>

namespace vantoip {
namespace window_enumeration_detail {

template <class Visit>
BOOL CALLBACK Call(HWND window, LPARAM visit) {
  auto& f = *reinterpret_cast<Visit*>(visit);
  if constexpr (std::is_void_v<decltype(f(window))>) {
    f(window);
    return TRUE;
  } else {
    return f(window) ? TRUE : FALSE;
  }
}

}  // namespace window_enumeration_detail

// Every descendant of `parent`, parents before their children.
template <class Visit>
void ForEachChildWindow(HWND parent, Visit visit) {
  EnumChildWindows(parent, &window_enumeration_detail::Call<Visit>, reinterpret_cast<LPARAM>(&visit));
}

// The top-level windows of one thread.
template <class Visit>
void ForEachThreadWindow(DWORD thread, Visit visit) {
  EnumThreadWindows(thread, &window_enumeration_detail::Call<Visit>, reinterpret_cast<LPARAM>(&visit));
}

// Every top-level window on the desktop.
template <class Visit>
void ForEachTopLevelWindow(Visit visit) {
  EnumWindows(&window_enumeration_detail::Call<Visit>, reinterpret_cast<LPARAM>(&visit));
}

}  // namespace vantoip
