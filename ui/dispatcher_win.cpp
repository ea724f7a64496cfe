#include "ui/dispatcher_win.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <iterator>
#include <mutex>

#include "runtime/handle_win.h"
#include "ui/messages_win.h"

namespace vantoip {
namespace {

constexpr wchar_t kClassName[] = L"VantoipDispatch";
constexpr UINT_PTR kResumeTimer = 1;
// Queued work runs in slices of this length, so that input and painting get
// their turn while a worker streams thousands of writes.
constexpr auto kSlice = std::chrono::milliseconds(8);

// Taken out of the queue in batches of at most this many: a lock shared with
// busy posters is costly to take thousands of times.
constexpr std::size_t kBatch = 256;

struct Work {
  std::uint64_t number;  // in posting order
  std::function<void()> run;
};

struct WorkQueue {
  std::mutex mutex;
  std::condition_variable space;
  std::deque<Work> work;
  std::size_t taken = 0;   // taken out by a drain and not yet run: counts against the capacity
  std::uint64_t posted = 0;  // number of the last work posted
  std::uint64_t done = 0;    // every work numbered up to this has run
  bool open = false;      // between Start and Stop
  bool wakeOwed = false;  // a drain message or timer is on its way, or a drain runs
};

// Never destroyed: workers may still post while the process ends.
WorkQueue& Queue() {
  static WorkQueue* queue = new WorkQueue;
  return *queue;
}

// The number of the last work each thread posted, so that its reads wait for
// its own posts only.
thread_local std::uint64_t t_lastPosted = 0;

// The window the UI thread drains work on, kept to the end like the queue;
// g_window is the same, for posting threads.
WindowHandle& DispatchWindow() {
  static WindowHandle* window = new WindowHandle;
  return *window;
}
std::atomic<HWND> g_window{nullptr};
std::atomic<DWORD> g_uiThread{0};

// Runs queued work in order: all of it; or, for a read, until the work
// numbered `until` has run; or, when `sliced`, until the slice is used up.
// True when work is left.
bool RunQueued(bool sliced, std::uint64_t until) {
  WorkQueue& q = Queue();
  const auto end = std::chrono::steady_clock::now() + kSlice;
  std::deque<Work> batch;
  std::uint64_t lastRun = 0;
  for (unsigned count = 1;;) {
    bool over = false;
    std::size_t ran = 0;
    while (!batch.empty() && !over) {
      Work next = std::move(batch.front());
      batch.pop_front();
      next.run();
      lastRun = next.number;
      ++ran;
      over = lastRun >= until || (sliced && count++ % 8 == 0 && std::chrono::steady_clock::now() >= end);
    }
    std::unique_lock lock(q.mutex);
    q.taken -= ran + batch.size();
    if (lastRun) q.done = lastRun;
    // What the slice left goes back before anything posted meanwhile.
    for (; !batch.empty(); batch.pop_back()) q.work.push_front(std::move(batch.back()));
    if (over || q.work.empty() || q.done >= until) {
      const bool left = !q.work.empty();
      if (!left && sliced) q.wakeOwed = false;
      lock.unlock();
      q.space.notify_all();
      return left;
    }
    const std::size_t n = std::min(q.work.size(), kBatch);
    std::move(q.work.begin(), q.work.begin() + static_cast<std::ptrdiff_t>(n), std::back_inserter(batch));
    q.work.erase(q.work.begin(), q.work.begin() + static_cast<std::ptrdiff_t>(n));
    q.taken += n;
    lock.unlock();
    q.space.notify_all();
  }
}

// A slice's worth of queued work; the rest follows after waiting input and
// painting (a timer message comes after both), or at once when none waits.
void DrainSlice(HWND window) {
  if (!RunQueued(true, UINT64_MAX)) return;
  if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0) SetTimer(window, kResumeTimer, USER_TIMER_MINIMUM, nullptr);
  else PostMessageW(window, kDrainPostedWork, 0, 0);
}

// A read from a worker: its work runs after that worker's own earlier posts,
// not after everything other workers keep posting.
struct ReadRequest {
  const std::function<void()>* work;
  std::uint64_t after;
};

LRESULT CALLBACK DispatchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kDrainPostedWork:
      DrainSlice(hwnd);
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, kResumeTimer);
      DrainSlice(hwnd);
      return 0;
    case kRunWorkNow: {
      const auto& read = *reinterpret_cast<const ReadRequest*>(lParam);
      RunQueued(false, read.after);
      (*read.work)();
      return 1;
    }
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
    DispatchWindow().Reset(CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr));
    if (!DispatchWindow()) return false;
    g_window = DispatchWindow().Get();
  }
  std::lock_guard lock(Queue().mutex);
  Queue().open = true;
  return true;
}

void UiDispatcher::Stop() {
  WorkQueue& q = Queue();
  std::deque<Work> dropped;
  {
    std::lock_guard lock(q.mutex);
    q.open = false;
    q.wakeOwed = false;
    dropped.swap(q.work);
  }
  q.space.notify_all();  // waiting posters give up
  g_window = nullptr;
  DispatchWindow().Reset();
}

bool UiDispatcher::Idle() {
  std::lock_guard lock(Queue().mutex);
  return Queue().work.empty() && Queue().taken == 0;
}

bool UiDispatcher::OnUiThread() { return GetCurrentThreadId() == g_uiThread.load(); }

bool UiDispatcher::Post(std::function<void()> work) {
  if (OnUiThread()) {
    work();
    return true;
  }
  WorkQueue& q = Queue();
  std::unique_lock lock(q.mutex);
  q.space.wait(lock, [&] { return !q.open || q.work.size() + q.taken < kQueueCapacity; });
  if (!q.open) return false;
  q.work.push_back({++q.posted, std::move(work)});
  t_lastPosted = q.posted;
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
  const ReadRequest read{&work, t_lastPosted};
  // A destroyed window makes SendMessage fail at once instead of waiting.
  return window && SendMessageW(window, kRunWorkNow, 0, reinterpret_cast<LPARAM>(&read)) == 1;
}

}  // namespace vantoip
