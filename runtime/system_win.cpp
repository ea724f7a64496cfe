#include "runtime/system_win.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <memory>

#include "runtime/encoding_win.h"

namespace vantoip {
namespace {

std::atomic<int> g_running{0};

DWORD WINAPI ThreadMain(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  body.reset();
  --g_running;
  return 0;
}

}  // namespace

void OpenWithShell(const std::string& target) {
  HWND owner = FindWindowW(nullptr, L"Microsoft Internet Explorer");
  ShellExecuteW(owner, L"open", GbkToWide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::uint32_t TickCount() { return GetTickCount(); }

bool StartThread(std::function<void()> body, void** handle) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  ++g_running;
  HANDLE thread = CreateThread(nullptr, 0, &ThreadMain, owned.get(), 0, nullptr);
  if (!thread) {
    --g_running;
    return false;
  }
  owned.release();  // the thread owns it now
  if (handle) *handle = thread;
  else CloseHandle(thread);
  return true;
}

int RunningThreadCount() { return g_running.load(); }

}  // namespace vantoip
