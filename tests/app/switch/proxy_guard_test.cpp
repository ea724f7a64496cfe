// The guard against a runner driven by the test: when it checks, what two
// failures in a row lead to, and that the user's actions end what is in
// flight.
#include "app/switch/proxy_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scripted_runner.h"

namespace vantoip {
namespace {

using O = CheckOutcome;

struct ProxyGuardTest : ::testing::Test {
  test::ScriptedRunner runner;
  std::vector<CheckJob> candidates;
  std::vector<std::string> switches, told, alerts;
  int restores = 0;
  SwitchResult switchResult{SwitchOutcome::kOn};
  bool held = false;
  ProxyGuard guard{runner, [](std::function<void()> work) { work(); },
                   {.candidates = [this] { return candidates; },
                    .switchTo =
                        [this](const CheckJob& job) {
                          switches.push_back(job.host + ":" + std::to_string(job.port));
                          return switchResult;
                        },
                    .restore =
                        [this] {
                          ++restores;
                          return true;
                        },
                    .tell = [this](const std::string& text) { told.push_back(text); },
                    .alert = [this](const std::string& text) { alerts.push_back(text); },
                    .held = [this] { return held; }},
                   5};

  // Five seconds pass; true when a check of the watched proxy started.
  bool Wait5s() {
    const int before = runner.starts;
    for (int i = 0; i < 5; ++i) guard.Tick();
    return runner.starts > before;
  }
  void Answer(std::size_t job, O outcome, int ms = 10) { runner.events.finished(job, {outcome, ms}); }
  void FailTwice() {
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(Wait5s());
      Answer(0, O::TimedOut);
    }
  }
};

TEST_F(ProxyGuardTest, TwoFailuresInARowSwitchToTheBestCandidateThatPasses) {
  for (int i = 1; i <= 7; ++i) candidates.push_back({"10.0.0." + std::to_string(i), 80});
  const CheckJob on{"10.0.0.1", 80};  // the best of the last check, and on
  EXPECT_FALSE(Wait5s());             // nothing watched yet
  guard.Watch(on, true, true);
  guard.Tick();
  EXPECT_EQ(runner.starts, 0);  // not before its seconds
  ASSERT_TRUE(Wait5s());
  EXPECT_EQ(runner.jobs[0].host, "10.0.0.1");
  Answer(0, O::Passed);
  ASSERT_TRUE(Wait5s());
  Answer(0, O::HttpsFailed);  // it proved HTTPS before: HTTP alone is a failure now
  ASSERT_TRUE(Wait5s());
  Answer(0, O::Passed);  // the count starts again
  ASSERT_TRUE(Wait5s());
  Answer(0, O::TimedOut);
  ASSERT_TRUE(Wait5s());
  Answer(0, O::Refused);
  // Five candidates at once, the proxy that failed not among them.
  ASSERT_EQ(runner.jobs.size(), ProxyGuard::kMaxCandidates);
  EXPECT_EQ(runner.jobs[0].host, "10.0.0.2");
  EXPECT_EQ(runner.jobs[4].host, "10.0.0.6");
  EXPECT_TRUE(guard.FailingOver());
  EXPECT_FALSE(Wait5s());  // no guard check meanwhile
  // Ranked by these answers, not the old order; it proved HTTPS, so must the next.
  Answer(0, O::HttpsFailed, 5);
  Answer(1, O::CertificateError, 5);
  Answer(2, O::PassedHttpOnly, 5);
  Answer(3, O::Passed, 300);
  EXPECT_TRUE(switches.empty());  // one is still out
  Answer(4, O::Passed, 100);
  EXPECT_EQ(switches, (std::vector<std::string>{"10.0.0.6:80"}));
  EXPECT_EQ(told.back(), "代理失效，已切换到 10.0.0.6:80");
  EXPECT_EQ(alerts, told);  // a failover is also a balloon
  const auto events = runner.events;
  events.finished(0, {O::Passed, 5});  // late: changes nothing
  EXPECT_EQ(switches.size(), 1u);
  // The new proxy is watched, HTTPS still required of it.
  ASSERT_TRUE(Wait5s());
  EXPECT_EQ(runner.jobs[0].host, "10.0.0.6");
  Answer(0, O::HttpsFailed);
  ASSERT_TRUE(Wait5s());
  Answer(0, O::HttpsFailed);
  EXPECT_TRUE(guard.FailingOver());
  EXPECT_EQ(restores, 0);

  // A proxy that had to pass HTTP only: HTTPS失败 is enough, a full pass
  // first; the slow ones still out are not waited for long.
  guard.Watch(on, false, true);
  FailTwice();
  Answer(0, O::HttpsFailed, 5);
  Answer(1, O::Passed, 900);
  for (int i = 1; i < ProxyGuard::kRankingSeconds; ++i) guard.Tick();
  EXPECT_EQ(switches.size(), 1u);
  guard.Tick();
  EXPECT_EQ(switches.back(), TargetText(runner.jobs[1]));
}

TEST_F(ProxyGuardTest, WhenNoCandidatePassesTheUsersSettingsComeBack) {
  candidates = {{"10.0.0.1", 80}, {"10.0.0.2", 80}};
  guard.Watch({"10.0.0.1", 80}, false, true);
  // A hanging proxy: no verdict by the next check's time is a failure.
  ASSERT_TRUE(Wait5s());
  ASSERT_TRUE(Wait5s());
  EXPECT_FALSE(guard.FailingOver());
  ASSERT_TRUE(Wait5s());
  ASSERT_TRUE(guard.FailingOver());
  ASSERT_EQ(runner.jobs.size(), 1u);
  Answer(0, O::Refused);
  EXPECT_EQ(restores, 1);
  EXPECT_EQ(told.back(), "代理失效，已恢复原设置");
  EXPECT_FALSE(guard.Watching());
  EXPECT_FALSE(Wait5s());

  // No candidates at all: at once.
  candidates.clear();
  guard.Watch({"10.0.0.1", 80}, false, true);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(Wait5s());
    Answer(0, O::Refused);
  }
  EXPECT_EQ(restores, 2);
  EXPECT_TRUE(switches.empty());
}

// A proxy from before the program started, or with failover turned off, is
// watched for the title only; the user's actions end a failover in flight.
TEST_F(ProxyGuardTest, ItNeverChangesWhatIsNotItsToChangeAndGivesWayToTheUser) {
  candidates = {{"10.0.0.2", 80}};
  guard.Watch({"10.0.0.1", 80}, false, false);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(Wait5s());
    Answer(0, O::TimedOut);
  }
  EXPECT_EQ(told, (std::vector<std::string>{"代理失效"}));
  EXPECT_TRUE(alerts.empty());  // the title only
  guard.Watch({"10.0.0.1", 80}, false, true);
  guard.SetFailover(false);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(Wait5s());
    Answer(0, O::TimedOut);
  }
  EXPECT_EQ(told.size(), 2u);
  EXPECT_TRUE(switches.empty());
  EXPECT_EQ(restores, 0);

  guard.SetFailover(true);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(Wait5s());
    Answer(0, O::TimedOut);
  }
  ASSERT_TRUE(guard.FailingOver());
  const auto events = runner.events;
  const int stops = runner.stops;
  guard.Interrupt();  // a refresh, say
  EXPECT_EQ(runner.stops, stops + 1);
  events.finished(0, {O::Passed, 5});
  EXPECT_TRUE(switches.empty());
  EXPECT_TRUE(guard.Watching());
  // Unticking failover ends one in flight too.
  FailTwice();
  ASSERT_TRUE(guard.FailingOver());
  guard.SetFailover(false);
  EXPECT_FALSE(guard.FailingOver());
  runner.events.finished(0, {O::Passed, 5});
  EXPECT_TRUE(switches.empty());
  guard.SetFailover(true);

  // The proxy disabled by its status label: nothing is checked, nothing turned on.
  held = true;
  EXPECT_FALSE(Wait5s());
  EXPECT_FALSE(Wait5s());
  held = false;
  EXPECT_TRUE(Wait5s());

  // A switch that changed nothing (the snapshot could not be read): the
  // failed proxy is still on and still watched.
  switchResult = {SwitchOutcome::kUnchanged, 0, kSnapshotUnreadable};
  Answer(0, O::TimedOut);
  ASSERT_TRUE(Wait5s());
  Answer(0, O::TimedOut);
  Answer(0, O::Passed);
  EXPECT_EQ(told.back(), "代理失效，无法读取原设置，未切换");
  EXPECT_TRUE(guard.Watching());
  ASSERT_TRUE(Wait5s());
  EXPECT_EQ(runner.jobs[0].host, "10.0.0.1");

  // A new interval from 设置 counts afresh: the next check is that long after it.
  Answer(0, O::Passed);
  for (int i = 0; i < 3; ++i) guard.Tick();
  guard.SetSeconds(60);
  const int starts = runner.starts;
  for (int i = 0; i < 59; ++i) guard.Tick();
  EXPECT_EQ(runner.starts, starts);
  guard.Tick();
  EXPECT_EQ(runner.starts, starts + 1);
  guard.SetSeconds(5);

  guard.Forget();  // 断开
  EXPECT_FALSE(Wait5s());

  // Never shorter than a check can take: a slow working proxy is not a dead one.
  EXPECT_EQ(kCheckWorstCaseSeconds, 40);  // the judge's 10 s included
  EXPECT_EQ(kMinGuardSeconds, kCheckWorstCaseSeconds);
}

}  // namespace
}  // namespace vantoip
