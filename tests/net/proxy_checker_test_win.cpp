#include "net/proxy_checker_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "tests/support/fake_proxies_win.h"

namespace vantoip {
namespace {

using test::FakeProxyKind;
using Clock = std::chrono::steady_clock;

// Events as they come from the checker's worker.
struct Recorder {
  std::mutex mutex;
  std::map<std::size_t, CheckResult> results;
  std::atomic<int> started{0};
  std::atomic<bool> done{false};

  ProxyChecker::Events Events() {
    ProxyChecker::Events events;
    events.started = [this](std::size_t) { ++started; };
    events.finished = [this](std::size_t job, CheckResult result) {
      std::lock_guard lock(mutex);
      results[job] = result;
    };
    events.done = [this] { done = true; };
    return events;
  }
};

template <class Condition>
bool WaitFor(Condition condition, int milliseconds) {
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(ProxyChecker, EveryKindOfProxyIsClassified) {
  const CheckPage page = test::LoopbackCheckPage("http://check.test/ncsi.txt", "Vantoip check page");
  test::FakeProxies fakes(page);
  std::vector<CheckJob> jobs;
  for (FakeProxyKind kind : test::kFakeProxyKinds) jobs.push_back({"127.0.0.1", fakes.Port(kind)});
  jobs.push_back({"localhost", fakes.Port(FakeProxyKind::Working)});  // a name, looked up off the worker
  Recorder recorder;
  ProxyChecker checker(page);
  const auto start = Clock::now();
  checker.Start(jobs, recorder.Events());
  ASSERT_TRUE(WaitFor([&] { return recorder.done.load(); }, 20000));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // The hanging ones are given the whole 10 s for their answer; the slow tunnel
  // takes 6 s for the page and 6 s for the CONNECT, each within its own limit.
  EXPECT_GE(seconds, 2.0 * test::kSlowTunnelMilliseconds / 1000);
  EXPECT_LE(seconds, 2.0 * test::kSlowTunnelMilliseconds / 1000 + 1.5);

  std::lock_guard lock(recorder.mutex);
  ASSERT_EQ(recorder.results.size(), jobs.size());
  for (FakeProxyKind kind : test::kFakeProxyKinds) {
    const CheckResult result = recorder.results[static_cast<std::size_t>(kind)];
    EXPECT_EQ(result.outcome, test::ExpectedOutcome(kind)) << test::FakeProxyName(kind);
  }
  const CheckResult working = recorder.results[static_cast<std::size_t>(FakeProxyKind::Working)];
  const CheckResult slow = recorder.results[static_cast<std::size_t>(FakeProxyKind::Slow)];
  EXPECT_LT(working.milliseconds, 200);
  EXPECT_GE(slow.milliseconds, test::kSlowProxyMilliseconds);
  EXPECT_LT(slow.milliseconds, test::kSlowProxyMilliseconds + 500);
  const CheckResult slowTunnel = recorder.results[static_cast<std::size_t>(FakeProxyKind::SlowTunnel)];
  EXPECT_GE(slowTunnel.milliseconds, test::kSlowTunnelMilliseconds);
  EXPECT_LT(slowTunnel.milliseconds, test::kSlowTunnelMilliseconds + 500);
  EXPECT_EQ(recorder.results[jobs.size() - 1].outcome, CheckOutcome::Passed);
  // The 100 MB answer was dropped after its first 64 KiB: what the network buffers took, not more.
  EXPECT_EQ(fakes.OpenConnections(FakeProxyKind::Huge), 0);
  EXPECT_LT(fakes.BytesSent(FakeProxyKind::Huge), 16 << 20);
}

TEST(ProxyChecker, HoldsAtMost512AndAStopClosesThemAtOnce) {
  const CheckPage page = test::LoopbackCheckPage(nullptr, nullptr);
  test::FakeProxies fakes(page);
  const std::vector<CheckJob> jobs(600, {"127.0.0.1", fakes.Port(FakeProxyKind::Hanging)});
  Recorder recorder;
  ProxyChecker checker(page);
  checker.Start(jobs, recorder.Events());
  ASSERT_TRUE(WaitFor([&] { return fakes.OpenConnections(FakeProxyKind::Hanging) == kDefaultChecksInFlight; }, 5000))
      << fakes.OpenConnections(FakeProxyKind::Hanging);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(fakes.MostConnections(FakeProxyKind::Hanging), kDefaultChecksInFlight);
  EXPECT_EQ(recorder.started, kDefaultChecksInFlight);

  const auto stop = Clock::now();
  checker.Stop();
  const double stopMs = std::chrono::duration<double, std::milli>(Clock::now() - stop).count();
  EXPECT_LT(stopMs, 5.0);
  EXPECT_TRUE(WaitFor([&] { return fakes.OpenConnections(FakeProxyKind::Hanging) == 0; }, 500))
      << fakes.OpenConnections(FakeProxyKind::Hanging) << " still open";
  const double closedMs = std::chrono::duration<double, std::milli>(Clock::now() - stop).count();
  std::printf("Stop returned after %.2f ms; the 512 sockets were closed after %.0f ms\n", stopMs, closedMs);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(recorder.done);
  EXPECT_EQ(recorder.started, kDefaultChecksInFlight);  // none started after the stop
}

}  // namespace
}  // namespace vantoip
