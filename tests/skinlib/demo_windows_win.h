// Two windows built like the program's, from the control kinds it uses, to
// see and test the skin on: a main window (list view with header, labels, a
// transparent label, push buttons, group boxes) and a details window (tab
// control, group boxes, picture box, transparent labels, push button).
#pragma once

#include <windows.h>

namespace vantoip::test {

enum DemoControl : int {
  kDemoList = 100,
  kDemoRefresh,       // push buttons
  kDemoConnect,
  kDemoDetails,
  kDemoProject1,
  kDemoProject2,
  kDemoProject3,
  kDemoProject4,
  kDemoStateCaption,  // labels
  kDemoState,
  kDemoTargetCaption,
  kDemoTarget,
  kDemoDelayCaption,
  kDemoDelay,
  kDemoTimer,
  kDemoAdvert,        // transparent label
  kDemoFunctions,     // group boxes
  kDemoAdverts,
  kDemoTabs,          // details window
  kDemoStatement,
  kDemoDescription,
  kDemoRegister,
  kDemoRegisterGroup,
  kDemoPictureGroup,
  kDemoPicture,
};

// Created hidden, at (left, top); show with ShowWindow.
HWND CreateDemoMainWindow(int left, int top);
HWND CreateDemoDetailsWindow(HWND owner, int left, int top);

HWND DemoItem(HWND window, DemoControl id);

// Dispatches the thread's pending messages, for at least `ms` milliseconds.
void PumpMessages(DWORD ms);

}  // namespace vantoip::test
