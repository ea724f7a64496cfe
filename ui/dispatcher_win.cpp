#include "ui/dispatcher_win.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "ui/messages_win.h"

namespace vantoip {
namespace {

constexpr wchar_t kClassName[] = L"VantoipDispatch";
constexpr UINT_PTR kResumeTimer = 1;
// Queued work runs in slices of this length, so that input and painting get
// their turn while a worker streams thousands of writes.
constexpr auto kSlice = std::chrono::milliseconds(8);

struct WorkQueue {
  std::mutex mutex;
  std::condition_variable space;
  std::deque<std::function<void()>> work;
  bool open = false;      // between Start and Stop
  bool wakeOwed = false;  // a drain message or timer is on its way, or a drain runs
};

// Never destroyed: workers may still post while the process ends.
WorkQueue& Queue() {
  static WorkQueue* queue = new WorkQueue;
  return *queue;
}

std::atomic<HWND> g_window{nullptr};
std::atomic<DWORD> g_uiThread{0};

// Runs queued work in order until the queue is empty, or until the slice is
// used up when `sliced`: then the rest follows after waiting input and
// painting (a timer message comes after both), or at once when none waits.
// The work is taken out of the queue in batches: a lock shared with busy
// posters is costly to take thousands of times.
void Drain(HWND window, bool sliced) {
  WorkQueue& q = Queue();
  const auto end = std::chrono::steady_clock::now() + kSlice;
  std::deque<std::function<void()>> batch;
  for (;;) {
    {
      std::lock_guard lock(q.mutex);
      if (q.work.empty()) {
        q.wakeOwed = false;
        return;
      }
      batch.swap(q.work);
    }
    q.space.notify_all();
    for (unsigned n = 1; !batch.empty(); ++n) {
      std::function<void()> next = std::move(batch.front());
      batch.pop_front();
      next();
      if (sliced && n % 8 == 0 && std::chrono::steady_clock::now() >= end) break;
    }
    if (!batch.empty()) break;
  }
  {
    // What the slice left goes back before anything posted meanwhile.
    std::lock_guard lock(q.mutex);
    while (!q.work.empty()) {
      batch.push_back(std::move(q.work.front()));
      q.work.pop_front();
    }
    batch.swap(q.work);
  }
  if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0) SetTimer(window, kResumeTimer, USER_TIMER_MINIMUM, nullptr);
  else PostMessageW(window, kDrainPostedWork, 0, 0);
}

LRESULT CALLBACK DispatchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kDrainPostedWork:
      Drain(hwnd, true);
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, kResumeTimer);
      Drain(hwnd, true);
      return 0;
    case kRunWorkNow:
      Drain(hwnd, false);  // the caller's earlier posts come first
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 1;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

bool UiDispatcher::Start() {
  g_uiThread = GetCurrentThreadId();
  if (!g_window.load()) {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &DispatchProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = kClassName;
      return RegisterClassW(&wc);
    }();
    if (!atom) return false;
    HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    g_window = window;
  }
  std::lock_guard lock(Queue().mutex);
  Queue().open = true;
  return true;
}

void UiDispatcher::Stop() {
  WorkQueue& q = Queue();
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(q.mutex);
    q.open = false;
    q.wakeOwed = false;
    dropped.swap(q.work);
  }
  q.space.notify_all();  // waiting posters give up
  if (HWND window = g_window.exchange(nullptr)) DestroyWindow(window);
}

bool UiDispatcher::Idle() {
  std::lock_guard lock(Queue().mutex);
  return Queue().work.empty();
}

bool UiDispatcher::OnUiThread() { return GetCurrentThreadId() == g_uiThread.load(); }

bool UiDispatcher::Post(std::function<void()> work) {
  if (OnUiThread()) {
    work();
    return true;
  }
  WorkQueue& q = Queue();
  std::unique_lock lock(q.mutex);
  q.space.wait(lock, [&] { return !q.open || q.work.size() < kQueueCapacity; });
  if (!q.open) return false;
  q.work.push_back(std::move(work));
  if (q.wakeOwed) return true;
  q.wakeOwed = PostMessageW(g_window.load(), kDrainPostedWork, 0, 0) != FALSE;
  return true;
}

bool UiDispatcher::Run(const std::function<void()>& work) {
  if (OnUiThread()) {
    work();
    return true;
  }
  HWND window = g_window.load();
  // A destroyed window makes SendMessage fail at once instead of waiting.
  return window && SendMessageW(window, kRunWorkNow, 0, reinterpret_cast<LPARAM>(&work)) == 1;
}

}  // namespace vantoip
