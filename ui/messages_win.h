// The program's private window messages, in one place so that none collide.
#pragma once

#include <windows.h>

namespace vantoip {

constexpr UINT kDrainPostedWork = WM_APP + 1;     // dispatch window: run queued work
constexpr UINT kRunWorkNow = WM_APP + 2;          // dispatch window: run one waiting caller's work
constexpr UINT kSocketNotification = WM_APP + 3;  // program window: an event of a TCP client's socket
constexpr UINT kSyncListViews = WM_APP + 4;       // program window: list views learn their new row counts
constexpr UINT kTrayIconMouse = WM_APP + 5;       // program window: a mouse message on its notification icon

// Sent to every top-level window by a start of the program that finds one
// already running; the same number in every process.
inline UINT AnotherStartMessage() {
  static const UINT message = RegisterWindowMessageW(L"Vantoip.AnotherStart");
  return message;
}

}  // namespace vantoip
