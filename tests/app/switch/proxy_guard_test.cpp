// The guard against a runner driven by the test: when it checks, what two
// failures in a row lead to, and that the user's actions end what is in
// flight; the settings file that keeps the user's choice.
#include "app/settings/program_settings.h"
#include "app/settings/settings_window.h"
#include "app/settings/settings_window_layout.h"
#include "app/settings/window_memory.h"
#include "app/switch/proxy_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/memory_controls.h"
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

// settings.ini: the settings, other lines kept, damage means the default.
TEST(ProgramSettings, TheSettingsAreKeptBesideLinesOfOthers) {
  // Every setting's line, in order, as the defaults write it after `before`.
  const auto written = [](const std::string& before) {
    std::string text = before;
    for (const SettingField& field : SettingFields()) {
      const std::string line = std::string(field.key) + "=" + SettingText(ProgramSettings{}, field) + "\r\n";
      if (before.find(std::string(field.key) + "=") == std::string::npos) text += line;
    }
    return text;
  };
  test::MemoryDataFile file;
  EXPECT_TRUE(ReadProgramSettings(file).failover);  // no file
  file.file = "# mine\r\ntheme=dark\r\n failover = 0 \r\n";
  EXPECT_FALSE(ReadProgramSettings(file).failover);
  ASSERT_TRUE(WriteProgramSettings(file, {.failover = true}));
  EXPECT_EQ(file.file, written("# mine\r\ntheme=dark\r\nfailover=1\r\n"));
  file.file = "theme=dark\nrotation=1\nfailover=0\nfailover=0\nrelay=1\nguard_seconds=90";
  ProgramSettings read = ReadProgramSettings(file);
  EXPECT_TRUE(read.relay && read.rotation && !read.failover && read.guardSeconds == 90);
  read.rotation = false, read.failover = true;
  ASSERT_TRUE(WriteProgramSettings(file, read));
  EXPECT_EQ(file.file, written("theme=dark\r\nrotation=0\r\nfailover=1\r\nrelay=1\r\nguard_seconds=90\r\n"));
  file.file = "\xEF\xBB\xBF" "failover=0\r\n";  // a byte order mark, as Notepad saves
  EXPECT_FALSE(ReadProgramSettings(file).failover);
  ASSERT_TRUE(WriteProgramSettings(file, {.failover = true}));
  EXPECT_EQ(file.file, written("\xEF\xBB\xBF" "failover=1\r\n"));
  file.file = std::string("\xFF\xFE" "r\0e\0l\0a\0y\0=\0" "1\0\r\0\n\0", 18);  // Notepad's "Unicode"
  EXPECT_TRUE(ReadProgramSettings(file).relay);
  ASSERT_TRUE(WriteProgramSettings(file, {.relay = true}));
  EXPECT_EQ(file.file, written("\xEF\xBB\xBF" "relay=1\r\n"));
  // Bad values give the defaults and are named; the lines stay until the next write.
  file.file = "failover=maybe\r\nchecks_at_once=0\r\njudge_url=ftp://x/\r\nbroken line\r\n";
  std::vector<std::string> faulty;
  read = ReadProgramSettings(file, &faulty);
  EXPECT_TRUE(read.failover);
  EXPECT_EQ(read.checksAtOnce, kDefaultChecksInFlight);
  EXPECT_EQ(read.judgeUrl, "");
  EXPECT_EQ(faulty, (std::vector<std::string>{"failover", "checks_at_once", "judge_url"}));
  ASSERT_TRUE(WriteProgramSettings(file, read));
  EXPECT_EQ(file.file, written("failover=1\r\nchecks_at_once=512\r\njudge_url=\r\nbroken line\r\n"));
  for (const char* damaged : {"\xFF\xFE\x00" "f\x00" "a", "failover", ""}) {
    file.file = damaged;
    EXPECT_TRUE(ReadProgramSettings(file).failover) << damaged;
  }
  file.writable = false;
  EXPECT_FALSE(WriteProgramSettings(file, {.failover = false}));
}

// Each field refuses what it cannot be with its reason; the environment wins
// over the file, a number in it kept within its range, as tests and the demo use it.
TEST(ProgramSettings, EveryFieldsRangeAndTheEnvironmentWinning) {
  const auto field = [](std::string_view key) {
    return *std::find_if(SettingFields().begin(), SettingFields().end(), [&](const SettingField& f) { return f.key == key; });
  };
  ProgramSettings s;
  EXPECT_EQ(SetSetting(s, field("guard_seconds"), "10"), "须是 40 到 3600 之间的整数（一次检测最长要 40 秒，间隔不能更短）");
  EXPECT_EQ(SetSetting(s, field("guard_seconds"), " 60 "), "");
  EXPECT_EQ(s.guardSeconds, 60);
  for (const char* bad : {"0", "2049", "-1", "1e3", "", "12x"})
    EXPECT_EQ(SetSetting(s, field("checks_at_once"), bad), "须是 1 到 2048 之间的整数") << bad;
  EXPECT_EQ(SetSetting(s, field("check_url"), "https://a/"), "须是 http:// 开头的网址");
  EXPECT_EQ(SetSetting(s, field("https_url"), "http://a/"), "须是 https:// 开头的网址");
  EXPECT_EQ(SetSetting(s, field("https_status"), "99"), "须是 100 到 599 之间的状态码");
  EXPECT_EQ(SetSetting(s, field("relay"), "yes"), "须是 0 或 1");
  for (const char* key : {"check_url", "https_url", "https_status", "judge_url"}) EXPECT_EQ(SetSetting(s, field(key), ""), "");
  EXPECT_EQ(SetSetting(s, field("check_url"), "http://check.example:8080/x"), "");
  EXPECT_EQ(SetSetting(s, field("https_status"), "200"), "");
  const CheckPage page = CheckPageOf(s);
  EXPECT_EQ(page.host + ":" + std::to_string(page.port) + page.path, "check.example:8080/x");
  EXPECT_EQ(page.https.status, 200);

  const std::map<std::string, std::string> variables{{"VANTOIP_GUARD_SECONDS", "5"},
                                                     {"VANTOIP_CHECK_PARALLEL", "99999999999999999999"},
                                                     {"VANTOIP_CHECK_URL", "not an address"},
                                                     {"VANTOIP_CHECK_TEXT", "mine"}};
  std::vector<const SettingField*> overridden;
  const ProgramSettings effective = WithEnvironment(
      s, [&](const char* name) { return variables.count(name) ? variables.at(name).c_str() : nullptr; }, &overridden);
  EXPECT_EQ(effective.guardSeconds, kMinGuardSeconds);
  EXPECT_EQ(effective.checksAtOnce, kMaxChecksInFlight);
  EXPECT_EQ(effective.checkUrl, "http://check.example:8080/x");  // a bad one does not win
  EXPECT_EQ(effective.checkText, "mine");
  EXPECT_EQ(overridden.size(), 3u);
}

// The 设置 window: nothing saved until every field is good, each fault beside
// its field; what a variable decides shown read-only and kept in the file.
TEST(ProgramSettings, TheSettingsWindowSavesOnlyAGoodSetAndKeepsWhatTheEnvironmentDecides) {
  using namespace settings_window;
  test::MemoryDataFile file;
  file.file = "theme=dark\r\nguard_seconds=90\r\ncheck_url=http://file.example/\r\n";
  std::vector<ProgramSettings> applied;
  SettingsWindow settings({.file = &file,
                           .environment = [](const char* name) {
                             return std::string_view(name) == "VANTOIP_CHECK_URL" ? "http://env.example/" : nullptr;
                           },
                           .apply = [&](const ProgramSettings& saved) { applied.push_back(saved); }});
  const auto open = [&] {
    auto w = std::make_shared<test::MemoryControls>(SettingsWindowLayout());
    for (const EventBinding& e : settings.Events())
      if (e.kind == EventKind::Created) e.handler({w});
    return w;
  };
  const auto click = [&](const std::shared_ptr<test::MemoryControls>& w, const std::string& button) {
    for (const EventBinding& e : settings.Events())
      if (e.control == button && e.kind == EventKind::Click) e.handler({w});
  };
  auto w = open();
  EXPECT_EQ(w->Caption("guard_seconds"), "90");
  EXPECT_TRUE(w->Checked("guard"));
  EXPECT_EQ(w->Caption("check_url"), "http://env.example/");
  EXPECT_TRUE(w->Disabled("check_url"));
  EXPECT_NE(w->Caption(kOverriddenNote).find("VANTOIP_CHECK_URL"), std::string::npos);

  const std::string before = *file.file;
  w->SetCaption("guard_seconds", "10");
  w->SetCaption("bypass", "a.example\r\n10.0.0.0/8");
  click(w, kSaveButton);
  EXPECT_EQ(w->Caption(FaultOf("guard_seconds")), "须是 40 到 3600 之间的整数（一次检测最长要 40 秒，间隔不能更短）");
  EXPECT_EQ(w->Caption(FaultOf("bypass")), "网段不能用 / 写，请写成 10.* 这样");
  EXPECT_EQ(*file.file, before);
  EXPECT_TRUE(applied.empty());
  EXPECT_FALSE(w->closed);

  w->SetCaption("guard_seconds", "60");
  w->SetCaption("bypass", "a.example\r\n\r\n*.b.example ");
  w->SetChecked("relay", true);
  click(w, kSaveButton);
  EXPECT_TRUE(w->closed);
  EXPECT_EQ(w->Caption(FaultOf("guard_seconds")), "");
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0].guardSeconds, 60);
  EXPECT_TRUE(applied[0].relay);
  for (const char* line : {"theme=dark\r\n", "guard_seconds=60\r\n", "check_url=http://file.example/\r\n",
                           "bypass=a.example;*.b.example\r\n", "relay=1\r\n"})
    EXPECT_NE(file.file->find(line), std::string::npos) << line;

  w = open();
  EXPECT_EQ(w->Caption("bypass"), "a.example\r\n*.b.example");
  click(w, kDefaultsButton);
  EXPECT_EQ(w->Caption("guard_seconds"), std::to_string(kDefaultGuardSeconds));
  EXPECT_FALSE(w->Checked("relay"));
  EXPECT_EQ(w->Caption("check_url"), "http://env.example/");
  file.writable = false;
  click(w, kSaveButton);
  EXPECT_FALSE(w->closed);  // open, with the reason
  EXPECT_NE(w->Caption(kSaveFault).find("settings.ini"), std::string::npos);
  EXPECT_EQ(applied.size(), 1u);
}

// The main window's place and column widths from one run to the next; a
// file written only when they changed; damaged values leave the layout's.
TEST(ProgramSettings, TheWindowsPlaceAndColumnsComeBack) {
  test::MemoryDataFile file;
  file.file = "theme=dark\r\n";
  test::MemoryControls left{WindowLayout{}}, next{WindowLayout{}};
  left.place = {-1200, 40, 900, 700, true};  // on a monitor left of the main one
  left.columnWidths = {50, 180, 50};
  KeepWindowPlace(left, "list", file);
  EXPECT_NE(file.file->find("theme=dark\r\n"), std::string::npos);
  EXPECT_NE(file.file->find("window=-1200,40,900,700,1\r\n"), std::string::npos);
  const std::string spaced = "window = -1200,40,900,700,1\r\ncolumns = 50,180,50\r\n";
  file.file = spaced;
  KeepWindowPlace(left, "list", file);  // unchanged: not written again (a write would drop the spaces)
  EXPECT_EQ(*file.file, spaced);
  RestoreWindowPlace(next, "list", ReadProgramSettings(file));
  EXPECT_EQ(next.place.left, -1200);
  EXPECT_EQ(next.place.width, 900);
  EXPECT_TRUE(next.place.maximised);
  EXPECT_EQ(next.columnWidths, left.columnWidths);
  test::MemoryControls fresh{WindowLayout{}};
  for (const char* bad : {"window=1,2,3\r\ncolumns=a,b\r\n", "window=1,2,0,5,0\r\ncolumns=\r\n"}) {
    file.file = bad;
    RestoreWindowPlace(fresh, "list", ReadProgramSettings(file));
    EXPECT_EQ(fresh.place.width, 0) << bad;
    EXPECT_TRUE(fresh.columnWidths.empty()) << bad;
  }
}

}  // namespace
}  // namespace vantoip
