#include "app/main_window.h"
#include "app/main_window_controls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "app/main_window_layout.h"
#include "tests/support/memory_controls.h"

namespace vantoip {
namespace {

struct MainWindowTest : ::testing::Test, test::MemoryServices {
  test::MemoryControls* controls = nullptr;
  std::shared_ptr<WindowControls> window;
  SharedState state;
  int skinCalls = 0, listRuns = 0;
  MainWindow main{services, state, {[this] { ++skinCalls; }, [this](const std::shared_ptr<WindowControls>&) { ++listRuns; }}};

  void SetUp() override {
    auto memory = std::make_shared<test::MemoryControls>(MainWindowLayout());
    controls = memory.get();
    window = memory;
  }
  void StartWith(std::optional<std::int32_t> enable, std::optional<std::string> server) {
    if (enable) registry.Store(kProxyEnablePath, *enable, test::MemoryRegistry::kNumber);
    if (server) registry.Store(kProxyServerPath, *server, test::MemoryRegistry::kText);
    main.OnCreated(window);
  }
  bool IsOn() {
    return controls->Caption(main_window::kConnectButton) == "断开" && controls->Interval(main_window::kConnectedTimer) == 1000 &&
           controls->Disabled(main_window::kProxyList);
  }
  bool IsOff() {
    return controls->Caption(main_window::kConnectButton) == "连接" && controls->Interval(main_window::kConnectedTimer) == 0 &&
           !controls->Disabled(main_window::kProxyList);
  }
};

TEST_F(MainWindowTest, StartsOnWhenTheRegistrySaysSo) {
  StartWith(1, "1.2.3.4:8080");
  EXPECT_EQ(skinCalls, 1);
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "启用");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "1.2.3.4:8080");
  EXPECT_EQ(state.Target().host, "1.2.3.4");
  EXPECT_EQ(state.Target().port, "8080");
  EXPECT_TRUE(IsOn());
  ASSERT_EQ(threads.Pending(), 2);  // the list run and one delay test
  threads.RunAll();
  EXPECT_EQ(listRuns, 1);
  ASSERT_EQ(controls->connects.size(), 1u);
  EXPECT_EQ(controls->connects[0], std::make_pair(std::string("1.2.3.4"), 8080));
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:00");
}

TEST_F(MainWindowTest, EnabledWithoutServerShowsOnButStaysOff) {
  StartWith(1, "");
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "启用");
  EXPECT_TRUE(IsOff());
  EXPECT_EQ(threads.Pending(), 1);  // only the list run
}

TEST_F(MainWindowTest, EnableOtherThanOneIsOff) {
  StartWith(2, "1.2.3.4:8080");
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "禁用");
  EXPECT_TRUE(IsOff());
}

TEST_F(MainWindowTest, MissingValuesStartOff) {
  StartWith(std::nullopt, std::nullopt);
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "禁用");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "");
  EXPECT_TRUE(IsOff());
}

TEST_F(MainWindowTest, ServerWithoutPortGivesAnEmptyPortAndConnectsToPortOne) {
  for (const char* server : {"proxyhost", "proxyhost:"}) {
    SetUp();
    registry.values.clear();
    state.SetTarget("old", "1");
    StartWith(1, server);
    EXPECT_TRUE(IsOn()) << server;
    EXPECT_EQ(state.Target().host, "proxyhost");
    EXPECT_EQ(state.Target().port, "");
    controls->connects.clear();
    threads.RunAll();
    ASSERT_EQ(controls->connects.size(), 1u);
    EXPECT_EQ(controls->connects[0].second, 0);  // the TCP client takes 0 as port 1
  }
}

TEST_F(MainWindowTest, RowPickSetsTheTargetAndMeasuresIt) {
  StartWith(0, "");
  threads.RunAll();
  controls->rows = {{"1", "5.6.7.8", "3128", "x", "80%", "t"}};
  controls->selectedRow = 0;
  clock.step = 47;
  main.OnRowPick();
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "5.6.7.8:3128");
  threads.RunAll();
  EXPECT_EQ(controls->connects.back(), std::make_pair(std::string("5.6.7.8"), 3128));
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "47");

  controls->selectedRow = -1;  // a click on empty space
  main.OnRowPick();
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), ":");
  threads.RunAll();
  EXPECT_EQ(controls->connects.back(), std::make_pair(std::string(""), 0));
  EXPECT_TRUE(IsOff());  // a pick never switches
}

TEST_F(MainWindowTest, ADelayTestOvertakenByANewerPickLeavesTheLabelToIt) {
  StartWith(0, "");
  threads.RunAll();
  controls->rows = {{"1", "192.0.2.1", "80"}, {"2", "192.0.2.2", "81"}};
  controls->selectedRow = 0;
  clock.step = 3;
  main.OnRowPick();
  // While the first connect hangs, the user picks the second row, whose test ends first.
  controls->connectResult = [&](const std::string& host, int) {
    if (host == "192.0.2.1") {
      clock.now += 5000;
      controls->selectedRow = 1;
      main.OnRowPick();
      threads.RunAll();
      EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "3");
    }
    return true;
  };
  threads.RunAll();
  EXPECT_EQ(controls->connects.size(), 2u);
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "192.0.2.2:81");
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "3");  // not the first row's five seconds
}

TEST_F(MainWindowTest, ADelayQueuedForTheWindowWhenANewerPickComesIsDropped) {
  StartWith(0, "");
  threads.RunAll();
  test::UiThread ui;
  ui.Serve(*controls);
  controls->rows = {{"1", "192.0.2.1", "80"}, {"2", "192.0.2.2", "81"}};
  std::promise<void> windowFree;
  ui.Post([free = windowFree.get_future().share()] { free.wait(); });  // the window's thread is busy
  controls->selectedRow = 0;
  clock.step = 3;
  main.OnRowPick();
  threads.RunAll();  // the first test has measured; its write waits for the window's thread
  controls->selectedRow = 1;
  main.OnRowPick();  // and the user picks again before it runs
  windowFree.set_value();
  ui.Drain();
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "");
  threads.RunAll();
  ui.Drain();
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "3");
}

TEST_F(MainWindowTest, DelayIsWholeNonNegativeMilliseconds) {
  StartWith(0, "");
  state.SetTarget("h", "12.9");
  clock.step = 0;
  main.DelayTest();
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "0");
  EXPECT_EQ(controls->connects.back().second, 12);
  clock.step = 123456;
  main.DelayTest();
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "123456");
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel).find('.'), std::string::npos);
}

TEST_F(MainWindowTest, StatusToggleFlipsOnlyTheLabelAndTheEnableValue) {
  StartWith(1, "1.2.3.4:8080");
  main.OnStatusToggle();
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "禁用");
  EXPECT_EQ(registry.ReadNumber(kProxyEnablePath), 0);
  EXPECT_TRUE(IsOn());  // the switch state is untouched
  main.OnStatusToggle();
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "启用");
  EXPECT_EQ(registry.ReadNumber(kProxyEnablePath), 1);
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "1.2.3.4:8080");

  controls->SetCaption(main_window::kStatusLabel, "其他");  // anything but 启用 counts as off
  main.OnStatusToggle();
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "启用");
  EXPECT_EQ(registry.ReadNumber(kProxyEnablePath), 1);
}

TEST_F(MainWindowTest, RefreshStartsAListRunEachTime) {
  StartWith(0, "");
  main.OnRefresh();
  main.OnRefresh();
  threads.RunAll();
  EXPECT_EQ(listRuns, 3);
}

class SteppingClock : public MonotonicClock {
 public:
  std::uint64_t Milliseconds() override { return now_ += 3; }

 private:
  std::atomic<std::uint64_t> now_{0};
};

TEST(MainWindowThreads, DelayTestsRacingRowPicksEachConnectToOnePickedPair) {
  test::MemoryRegistry registry;
  test::RealThreads threads;
  SteppingClock clock;
  test::RecordingInternetOptions internet;
  test::MemoryConnectionOptions connections;
  test::MemoryDataFile snapshot, settings;
  Services services{registry, threads, clock, internet, connections, snapshot, settings};
  SharedState state;
  MainWindow main{services, state, {}};
  auto controls = std::make_shared<test::MemoryControls>(MainWindowLayout());
  constexpr int kRows = 40, kPicks = 300;
  for (int i = 0; i < kRows; ++i)
    controls->rows.push_back({std::to_string(i), "10.0.0." + std::to_string(i), std::to_string(1000 + i)});
  main.OnCreated(controls);

  // The window's thread keeps picking rows while the delay tests of earlier
  // picks read the target and write the delay label.
  for (int pick = 0; pick < kPicks; ++pick) {
    controls->selectedRow = pick * 7 % kRows;
    main.OnRowPick();
  }
  threads.JoinAll();

  ASSERT_EQ(controls->connects.size(), static_cast<std::size_t>(kPicks));
  for (const auto& [host, port] : controls->connects)
    EXPECT_EQ(host, "10.0.0." + std::to_string(port - 1000)) << "host and port of different picks";
  const std::string delay = controls->Caption(main_window::kDelayLabel);
  EXPECT_FALSE(delay.empty());
  EXPECT_EQ(delay.find_first_not_of("0123456789"), std::string::npos);
}

TEST(SplitTarget, HostAndPort) {
  EXPECT_EQ(SplitTarget("a:1").host, "a");
  EXPECT_EQ(SplitTarget("a:1").port, "1");
  EXPECT_EQ(SplitTarget(":").host, "");
  EXPECT_EQ(SplitTarget(":").port, "");
  EXPECT_EQ(SplitTarget("a:1:2").port, "1");
  EXPECT_EQ(SplitTarget(":80").host, "");
  EXPECT_EQ(SplitTarget(":80").port, "80");
}

}  // namespace
}  // namespace vantoip
