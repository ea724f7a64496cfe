// Work carried from worker threads to the UI thread: order, back-pressure and
// what happens once the UI thread has stopped taking work.
#include "ui/dispatcher_win.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "runtime/handle_win.h"
#include "tests/support/gui_win.h"

namespace vantoip {
namespace {

struct Dispatcher : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(UiDispatcher::Start()); }
  void TearDown() override { UiDispatcher::Stop(); }
};

TEST_F(Dispatcher, PostsRunInOrderAndAReadWaitsForTheCallersEarlierPosts) {
  std::vector<int> seen;  // touched on this (the UI) thread only
  std::atomic<std::size_t> sizeSeenByRead{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 20000; ++i) UiDispatcher::Post([&seen, i] { seen.push_back(i); });
    UiDispatcher::Run([&] { sizeSeenByRead = seen.size(); });
    done = true;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return done.load(); }, 30000));
  worker.join();
  EXPECT_EQ(sizeSeenByRead, 20000u);
  ASSERT_EQ(seen.size(), 20000u);
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(seen[i], i);
  // On the UI thread itself both run at once.
  bool ran = false;
  UiDispatcher::Post([&] { ran = true; });
  EXPECT_TRUE(ran);
}

// Work on the window's thread of 4 µs, the same as a list row's.
void Spin() {
  const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(4);
  while (std::chrono::steady_clock::now() < end) {
  }
}

TEST_F(Dispatcher, AWorkerFarAheadWaitsForTheQueueToEmpty) {
  std::atomic<std::size_t> posted{0};
  std::thread worker([&] {
    for (std::size_t i = 0; i < 3 * UiDispatcher::kQueueCapacity; ++i) {
      UiDispatcher::Post([] {});
      ++posted;
    }
  });
  Sleep(300);  // the UI thread takes nothing meanwhile
  EXPECT_LE(posted.load(), UiDispatcher::kQueueCapacity);
  ASSERT_TRUE(test::PumpUntil([&] { return posted == 3 * UiDispatcher::kQueueCapacity; }, 30000));
  worker.join();

  // While the window's thread works through what it took, the worker is held
  // back too: posted and not yet run never exceeds the capacity.
  std::atomic<std::size_t> ran{0};
  std::size_t most = 0;
  std::atomic<bool> done{false};
  std::thread fast([&] {
    for (std::size_t n = 1; n <= 100000; ++n) {
      UiDispatcher::Post([&] {
        Spin();
        ++ran;
      });
      most = std::max(most, n - ran.load());
    }
    done = true;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return done.load(); }, 60000));
  fast.join();
  EXPECT_LE(most, UiDispatcher::kQueueCapacity);
  std::printf("posted and not yet run, at most: %zu\n", most);
}

// A read waits for its own thread's posts only: one worker streaming rows
// holds back neither another worker's read nor the window.
TEST_F(Dispatcher, AReadWhileAnotherWorkerStreamsReturnsWithinASlice) {
  const WindowHandle window(CreateWindowW(L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(window);
  const HWND probe = window.Get();
  std::atomic<bool> stop{false}, streamed{false};
  std::thread streamer([&] {
    while (!stop) UiDispatcher::Post(Spin);
    streamed = true;
  });
  std::atomic<long long> readMs{-1}, slowestAnswerMs{0};
  std::thread reader([&] {
    Sleep(300);  // the queue is full by now
    UiDispatcher::Post([] {});  // its own post, which the read waits for
    const auto start = std::chrono::steady_clock::now();
    UiDispatcher::Run([] {});
    readMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  });
  std::thread prober([&] {
    while (readMs < 0 && !stop) {
      const auto start = std::chrono::steady_clock::now();
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(probe, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      slowestAnswerMs = std::max<long long>(slowestAnswerMs, ms);
      Sleep(10);
    }
  });
  const bool read = test::PumpUntil([&] { return readMs >= 0; }, 5000);
  stop = true;
  test::PumpUntil([&] { return readMs >= 0 && streamed; }, 30000);  // a full queue holds the streamer
  streamer.join();
  reader.join();
  prober.join();
  ASSERT_TRUE(read) << "the read waited for the other worker's stream to end";
  EXPECT_LT(readMs, 100);
  EXPECT_LT(slowestAnswerMs, 200);
  std::printf("read: %lld ms; the window's slowest answer meanwhile: %lld ms\n", readMs.load(), slowestAnswerMs.load());
}

TEST_F(Dispatcher, AfterStopPostsAndReadsFailAtOnceAndWaitingPostersGoOn) {
  std::atomic<bool> blockedPosterDone{false}, lastPostAccepted{true};
  std::thread filler([&] {
    for (std::size_t i = 0; i <= UiDispatcher::kQueueCapacity; ++i) lastPostAccepted = UiDispatcher::Post([] {});
    blockedPosterDone = true;
  });
  Sleep(200);
  EXPECT_FALSE(blockedPosterDone);  // waiting for room
  UiDispatcher::Stop();
  filler.join();
  EXPECT_FALSE(lastPostAccepted);

  bool ranLate = false;
  std::thread late([&] {
    EXPECT_FALSE(UiDispatcher::Post([&] { ranLate = true; }));
    EXPECT_FALSE(UiDispatcher::Run([&] { ranLate = true; }));
  });
  late.join();
  test::PumpFor(50);
  EXPECT_FALSE(ranLate);
}

}  // namespace
}  // namespace vantoip
