#include "ui/message_loop_win.h"

#include <commctrl.h>

#include "ui/window_win.h"

namespace vantoip {

void DispatchProgramMessage(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  std::shared_ptr<Window> window = root ? Window::FromHandle(root) : nullptr;
  // A key held down repeats its WM_KEYDOWN with the previous-state bit (30)
  // set: its command runs once, not thirty times a second.
  constexpr LPARAM kKeyWasDown = 1 << 30;
  if (window && msg.message == WM_KEYDOWN && !(msg.lParam & kKeyWasDown)) window->OnKeyDown(msg.wParam);
  // Tab and arrow keys move between the controls of a program window.
  if (window && window->Alive() && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void StartWindowFramework() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
}

bool LoadWindow(const WindowLayout& layout, std::vector<EventBinding> events, HWND owner, bool modal,
                std::shared_ptr<Window>* created) {
  HWND ownerRoot = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  auto window = Window::Create(layout, std::move(events), ownerRoot);
  if (created) *created = window;
  if (!window) return false;
  if (!modal) return true;
  if (ownerRoot) EnableWindow(ownerRoot, FALSE);
  MSG msg;
  while (window->Alive()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the outer loop
      break;
    }
    if (got > 0) DispatchProgramMessage(msg);
  }
  if (ownerRoot) {
    EnableWindow(ownerRoot, TRUE);
    SetActiveWindow(ownerRoot);
  }
  if (created) created->reset();
  return true;
}

int RunMessageLoop() {
  if (Window::LiveCount() == 0) return 0;
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got > 0) DispatchProgramMessage(msg);
  }
  return static_cast<int>(msg.wParam);
}

void ProcessPendingEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) return;
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    DispatchProgramMessage(msg);
  }
}

}  // namespace vantoip
