#include "runtime/system_win.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>

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

// Threads whose body has returned wait here a while for the next one: list
// runs and delay tests come and go all the time, and under Wine every thread
// that is made and ends leaves a little of the heap scattered behind.
struct IdleThreads {
  std::mutex mutex;
  std::condition_variable bodyWaiting;
  std::deque<std::function<void()>> bodies;
  std::size_t idle = 0;
};

IdleThreads& Idle() {
  static IdleThreads* idle = new IdleThreads;  // never destroyed: threads may still wait at the end
  return *idle;
}

DWORD WINAPI PooledThreadMain(void*) {
  IdleThreads& pool = Idle();
  std::unique_lock lock(pool.mutex);
  for (;;) {
    ++pool.idle;
    const bool got = pool.bodyWaiting.wait_for(lock, std::chrono::minutes(1), [&] { return !pool.bodies.empty(); });
    --pool.idle;
    if (!got) return 0;
    std::function<void()> body = std::move(pool.bodies.front());
    pool.bodies.pop_front();
    lock.unlock();
    body();
    body = nullptr;
    --g_running;
    lock.lock();
  }
}

}  // namespace

void OpenWithShell(const std::string& target) {
  HWND owner = FindWindowW(nullptr, L"Microsoft Internet Explorer");
  ShellExecuteW(owner, L"open", GbkToWide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::uint32_t TickCount() { return GetTickCount(); }

std::string SystemErrorText(unsigned long code) {
  LocalMemory text;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(text.Receive()), 0, nullptr);
  std::wstring message(text ? static_cast<const wchar_t*>(text.Get()) : L"", n);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? "错误 " + std::to_string(code) : WideToGbk(message);
}

namespace {
std::atomic<FailureSink> g_failureSink{nullptr};
}  // namespace

void NoteFailure(std::string_view what, unsigned long code) {
  const std::string note = "Vantoip: " + std::string(what) + ": " + SystemErrorText(code) + " (" + std::to_string(code) + ")";
  if (const FailureSink sink = g_failureSink.load()) sink(note);
  else OutputDebugStringW((GbkToWide(note) + L"\n").c_str());
}

FailureSink SetFailureSink(FailureSink sink) { return g_failureSink.exchange(sink); }

std::string LocalTimeText() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

bool StartThread(std::function<void()> body, KernelHandle* handle) {
  if (!handle) {  // nobody holds on to the thread: an idle one may take the body
    IdleThreads& pool = Idle();
    std::lock_guard lock(pool.mutex);
    ++g_running;
    pool.bodies.push_back(std::move(body));
    if (pool.idle >= pool.bodies.size()) {
      pool.bodyWaiting.notify_one();
      return true;
    }
    if (KernelHandle(CreateThread(nullptr, 0, &PooledThreadMain, nullptr, 0, nullptr))) return true;
    NoteFailure("CreateThread", GetLastError());
    pool.bodies.pop_back();
    --g_running;
    return false;
  }
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  ++g_running;
  KernelHandle thread(CreateThread(nullptr, 0, &ThreadMain, owned.get(), 0, nullptr));
  if (!thread) {
    NoteFailure("CreateThread", GetLastError());
    --g_running;
    return false;
  }
  owned.release();  // the thread owns it now
  if (handle) *handle = std::move(thread);
  return true;
}

int RunningThreadCount() { return g_running.load(); }

}  // namespace vantoip
