#include "ui/dispatcher_win.h"

#include <windows.h>

#include <atomic>

namespace vantoip {
namespace {

constexpr UINT kRunWork = WM_APP + 1;
constexpr wchar_t kClassName[] = L"VantoipDispatch";

std::atomic<HWND> g_window{nullptr};
std::atomic<DWORD> g_uiThread{0};
std::chrono::steady_clock::time_point g_lastWorkDone;  // UI thread only

LRESULT CALLBACK DispatchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunWork) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    g_lastWorkDone = std::chrono::steady_clock::now();
    return 1;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void UiDispatcher::Start() {
  g_uiThread = GetCurrentThreadId();
  if (g_window.load()) return;
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DispatchProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassW(&wc);
  }();
  (void)atom;
  g_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
}

void UiDispatcher::Stop() {
  if (HWND window = g_window.exchange(nullptr)) DestroyWindow(window);
}

bool UiDispatcher::Streaming(std::chrono::steady_clock::duration window) {
  return std::chrono::steady_clock::now() - g_lastWorkDone < window;
}

bool UiDispatcher::OnUiThread() { return GetCurrentThreadId() == g_uiThread.load(); }

bool UiDispatcher::Run(const std::function<void()>& work) {
  if (OnUiThread()) {
    work();
    return true;
  }
  HWND window = g_window.load();
  // A destroyed window makes SendMessage fail at once instead of waiting.
  return window && SendMessageW(window, kRunWork, 0, reinterpret_cast<LPARAM>(&work)) == 1;
}

}  // namespace vantoip
