// Work carried from worker threads to the UI thread: order, back-pressure and
// what happens once the UI thread has stopped taking work.
#include "ui/dispatcher_win.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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
