// Checking the list from its context menu and keys against a runner driven
// by the test: results in the list, progress titles, stopping, the filter,
// sorting and switching to the fastest proxy.
#include "app/checks/list_checks.h"

#include <gtest/gtest.h>

#include "app/checks/proxy_order.h"
#include "app/main_window_controls.h"
#include "app/main_window_layout.h"
#include "app/tray_menu.h"
#include "tests/support/memory_controls.h"
#include "tests/support/memory_relay.h"
#include "tests/support/scripted_runner.h"

namespace vantoip {
namespace {

using test::ScriptedRunner;

struct ListChecksTest : ::testing::Test, test::MemoryServices {
  std::shared_ptr<test::MemoryControls> controls = std::make_shared<test::MemoryControls>(MainWindowLayout());
  SharedState state;
  MainWindow main{services, state, {.readProxyList = [](const std::shared_ptr<WindowControls>&) {}}};
  ProxySwitch proxySwitch{main, services};
  ScriptedRunner runner;
  test::MemoryRelay relay;
  int sourceEdits = 0;
  std::string sourcesFailure;  // what opening the sources file answers
  ListChecks checks{main, proxySwitch, runner,
                     {.editSources =
                          [this] {
                            ++sourceEdits;
                            return sourcesFailure;
                          },
                      .localTime = [] { return std::string("2026-12-08 17:30:05"); },
                      .clock = &clock,
                      .locate = [](const std::string& address) {
                        return address == "203.0.113.9" ? std::string("日本") : std::string();
                      }}};

  void SetUp() override {
    proxySwitch.UseRelay(&relay, {});
    main.OnCreated(controls);
    threads.RunAll();
    controls->rows = {{"1", "192.0.2.1", "80"}, {"2", "192.0.2.2", "8080"}, {"3", "proxy.example", "3128"}};
  }
  std::string ResultCell(int row) { return controls->GetCellText(main_window::kProxyList, row, kResultColumn); }
  void Finish(std::size_t job, CheckOutcome outcome, int ms = 0) {
    runner.events.finished(job, {outcome, ms, runner.jobs.at(job).protocol});
  }
};

TEST_F(ListChecksTest, CheckingAllShowsEachResultAndTheProgressThenTheEnd) {
  checks.CheckAll();
  ASSERT_EQ(runner.jobs.size(), 3u);
  EXPECT_EQ(runner.jobs[1].host, "192.0.2.2");
  EXPECT_EQ(runner.jobs[1].port, 8080);
  EXPECT_EQ(controls->titles.back(), "正在检测 0/3，可用 0");
  runner.events.started(0);
  EXPECT_EQ(ResultCell(0), "检测中…");
  EXPECT_EQ(ResultCell(1), "");  // not started yet
  Finish(0, CheckOutcome::PassedHttpOnly, 123);
  Finish(1, CheckOutcome::TimedOut);
  EXPECT_EQ(ResultCell(0), "123 ms 仅HTTP");
  EXPECT_EQ(ResultCell(1), "超时");
  // The measured time and the local time of the check, in sight in 速度 and 检查时间.
  EXPECT_EQ(controls->GetCellText(main_window::kProxyList, 0, kSpeedColumn), "123 ms");
  EXPECT_EQ(controls->GetCellText(main_window::kProxyList, 0, kCheckTimeColumn), "2026-12-08 17:30:05");
  EXPECT_EQ(controls->GetCellText(main_window::kProxyList, 1, kSpeedColumn), "");  // nothing measured
  EXPECT_EQ(controls->GetCellText(main_window::kProxyList, 1, kCheckTimeColumn), "2026-12-08 17:30:05");
  runner.events.progress();
  EXPECT_EQ(controls->titles.back(), "正在检测 2/3，可用 1");
  EXPECT_EQ(controls->progress, std::make_pair(2, 3));
  Finish(2, CheckOutcome::Passed, 40);
  runner.events.done();
  EXPECT_EQ(controls->titles.back(), "检测完毕：可用 2/3");
  EXPECT_EQ(controls->progress, std::make_pair(0, 0));
  EXPECT_FALSE(checks.Checking());

  // Nearly every check finding no route: the network itself is down, and the title says so.
  checks.CheckAll();
  for (std::size_t job = 0; job < 3; ++job) Finish(job, CheckOutcome::Unreachable);
  runner.events.progress();
  EXPECT_EQ(controls->titles.back(), "网络不可用");
  runner.events.done();
  EXPECT_EQ(controls->titles.back(), "网络不可用");
}

// The judge's findings: 匿名度 for every check with a time, 出口地址 where the
// proxy goes out elsewhere, and then 位置 where the user appears, unless the
// row page gave its own; the title says when the user's own address was not had.
TEST_F(ListChecksTest, AnonymityExitAddressAndLocationComeFromTheJudge) {
  controls->rows[1].resize(kOwnLocationColumn + 1);
  controls->rows[1][kLocationColumn] = "美国";
  controls->rows[1][kOwnLocationColumn] = "1";
  checks.CheckAll();
  const auto finish = [&](std::size_t job, Anonymity level, std::string exit) {
    CheckResult result{CheckOutcome::Passed, 50, ProxyProtocol::kHttp, level, std::move(exit)};
    runner.events.finished(job, result);
  };
  const auto cell = [&](int row, int column) { return controls->GetCellText(main_window::kProxyList, row, column); };
  finish(0, Anonymity::kTransparent, "192.0.2.1");
  finish(1, Anonymity::kElite, "203.0.113.9");
  finish(2, Anonymity::kUnknown, "203.0.113.9");
  EXPECT_EQ(cell(0, kAnonymityColumn), "透明");
  EXPECT_EQ(cell(0, kExitAddressColumn), "");  // the listed host itself
  EXPECT_EQ(cell(1, kAnonymityColumn), "高匿");
  EXPECT_EQ(cell(1, kExitAddressColumn), "203.0.113.9");
  EXPECT_EQ(cell(1, kLocationColumn), "美国");  // the row page's own
  EXPECT_EQ(cell(2, kAnonymityColumn), "?");
  EXPECT_EQ(cell(2, kLocationColumn), "日本");  // where the user appears
  runner.events.ownAddress(false);
  runner.events.done();
  EXPECT_EQ(controls->titles.back(), "检测完毕：可用 3/3（未能取得本机地址）");
  // Only those that hide the user; a failed check takes the judge's cells with it.
  checks.ToggleOnlyAnonymous();
  ASSERT_TRUE(controls->filter);
  EXPECT_EQ(std::vector<bool>({controls->filter(0), controls->filter(1), controls->filter(2)}),
            (std::vector<bool>{false, true, false}));
  controls->selectedRow = 0;
  checks.CheckSelected();
  runner.events.finished(0, {CheckOutcome::TimedOut});
  EXPECT_EQ(cell(0, kAnonymityColumn), "");
}

// The selected row joins a run going on, which then counts it; a row in the
// run already is not checked twice.
TEST_F(ListChecksTest, CheckingTheSelectedRowDuringARunJoinsIt) {
  controls->selectedRow = 0;
  checks.CheckSelected();
  runner.events.started(0);
  controls->selectedRow = 2;
  checks.CheckSelected();
  checks.CheckSelected();
  EXPECT_EQ(runner.starts, 1);
  EXPECT_EQ(runner.stops, 0);
  ASSERT_EQ(runner.jobs.size(), 2u);
  EXPECT_EQ(runner.jobs[1].host, "proxy.example");
  EXPECT_EQ(controls->titles.back(), "正在检测 0/2，可用 0");
  EXPECT_EQ(ResultCell(0), "检测中…");
  Finish(0, CheckOutcome::Passed, 5);
  Finish(1, CheckOutcome::Refused);
  EXPECT_EQ(ResultCell(2), "拒绝");
  runner.events.done();
  EXPECT_EQ(controls->titles.back(), "检测完毕：可用 1/2");

  // The run has ended (the runner takes nothing more): a new one starts.
  runner.going = false;
  controls->selectedRow = 1;
  checks.CheckSelected();
  EXPECT_EQ(runner.starts, 2);
  EXPECT_EQ(runner.jobs.size(), 1u);
}

TEST_F(ListChecksTest, StoppingEndsTheRunAndLateEventsOfItChangeNothing) {
  checks.CheckAll();
  auto events = runner.events;
  events.started(0);
  events.started(1);
  Finish(1, CheckOutcome::Refused);
  checks.StopChecks();
  EXPECT_EQ(runner.stops, 1);
  EXPECT_EQ(ResultCell(0), "");  // no longer being checked
  EXPECT_EQ(ResultCell(1), "拒绝");
  EXPECT_EQ(controls->titles.back(), "检测已停止：可用 0/3");
  events.finished(0, {CheckOutcome::Passed, 5});
  events.done();
  EXPECT_EQ(ResultCell(0), "");
  EXPECT_EQ(controls->titles.back(), "检测已停止：可用 0/3");

  // A new list run stops a run too, and forgets every result.
  checks.CheckAll();
  runner.events.finished(2, {CheckOutcome::Passed, 9});
  checks.OnListRunStarting();
  EXPECT_EQ(runner.stops, 2);
  EXPECT_TRUE(checks.Results().empty());
}

// The notification icon: its menu (断开 offered only while on, the choices
// checked as they stand) and a click that hides and shows the window.
TEST_F(ListChecksTest, TheNotificationIconsMenuAndClick) {
  TrayMenu tray{main, proxySwitch, checks};
  checks.CheckAll();
  Finish(0, CheckOutcome::Passed, 30);
  Finish(1, CheckOutcome::Passed, 20);
  Finish(2, CheckOutcome::Refused);
  runner.events.done();
  controls->menuChoice = kTrayConnectFastest;
  tray.OnMenu();
  EXPECT_FALSE(controls->menus.back().at(1).enabled);  // 断开, while off
  EXPECT_TRUE(proxySwitch.IsOn());
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "192.0.2.2:8080");
  controls->menuChoice = kTrayDisconnect;
  tray.OnMenu();
  EXPECT_TRUE(controls->menus.back().at(1).enabled);
  EXPECT_FALSE(proxySwitch.IsOn());
  controls->menuChoice = kTrayRelay;
  tray.OnMenu();
  EXPECT_TRUE(proxySwitch.RelayMode());
  controls->menuChoice = 0;
  tray.OnMenu();
  EXPECT_TRUE(controls->menus.back().at(4).checked);
  tray.OnClick();
  EXPECT_FALSE(controls->Visible(kThisWindow));
  tray.OnClick();
  EXPECT_TRUE(controls->Visible(kThisWindow));
  controls->menuChoice = kTrayExit;
  tray.OnMenu();
  EXPECT_TRUE(controls->closed);
}

// Results taken elsewhere: the working proxies, full passes first, each kind
// fastest first; Ctrl+C the selected row.
TEST_F(ListChecksTest, WorkingProxiesAndTheSelectedRowGoToTheClipboard) {
  controls->menuChoice = kCopyWorkingCommand;
  checks.OnListMenu();
  EXPECT_EQ(controls->titles.back(), "没有可用代理");
  controls->rows.push_back({"4", "192.0.2.4", "81"});
  checks.CheckAll();
  Finish(0, CheckOutcome::PassedHttpOnly, 20);
  Finish(1, CheckOutcome::Passed, 90);
  Finish(2, CheckOutcome::Refused);
  Finish(3, CheckOutcome::Passed, 40);
  checks.OnListMenu();
  const std::string lines = "192.0.2.4:81\r\n192.0.2.2:8080\r\n192.0.2.1:80\r\n";
  EXPECT_EQ(controls->clipboard, lines);
  // The same lines to a file; its dialog may be cancelled or the file refused.
  controls->menuChoice = kExportWorkingCommand;
  checks.OnListMenu();
  EXPECT_EQ(controls->saved.second, lines);
  EXPECT_EQ(controls->titles.back(), "已导出 3 个可用代理");
  controls->saveAnswer = "拒绝访问。";
  checks.OnListMenu();
  EXPECT_EQ(controls->titles.back(), "导出失败：拒绝访问。");
  const std::size_t titles = controls->titles.size();
  controls->saveAnswer = std::nullopt;
  checks.OnListMenu();
  EXPECT_EQ(controls->titles.size(), titles);
  controls->selectedRow = 2;
  for (EventBinding& e : checks.Events()) {
    EventArgs ctrlC;
    ctrlC.key = 'C';
    ctrlC.keys = 1;
    if (e.kind == EventKind::Key) e.handler(ctrlC);
  }
  EXPECT_EQ(controls->clipboard, "proxy.example:3128\r\n");
}

TEST_F(ListChecksTest, TheFastestPassedProxyIsPickedAndSwitchedOnElseTheTitleSaysNone) {
  checks.CheckAll();
  Finish(0, CheckOutcome::PassedHttpOnly, 20);
  Finish(1, CheckOutcome::Passed, 90);  // HTTPS preferred over a faster HTTP-only one
  Finish(2, CheckOutcome::WrongContent);
  runner.events.done();
  checks.ConnectFastest();
  EXPECT_EQ(controls->selectedRow, 1);
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "192.0.2.2:8080");
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "192.0.2.2:8080");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
  EXPECT_EQ(threads.Pending(), 1);  // the pick's delay test

  checks.CheckAll();
  for (std::size_t job = 0; job < 3; ++job) Finish(job, CheckOutcome::Refused);
  runner.events.done();
  checks.ConnectFastest();
  EXPECT_EQ(controls->titles.back(), "没有可用代理");
}

// SOCKS rows are checked in their protocol, and an HTTP row whose protocol
// its list only assumed may turn out SOCKS5. Windows speaks SOCKS4 alone: that
// one switches on as "socks=host:port"; SOCKS5, or a proxy with credentials,
// through the local relay. The copied lines name the SOCKS scheme.
TEST_F(ListChecksTest, SocksRowsAreCheckedInTheirProtocolAndSocks5GoesThroughTheRelay) {
  using P = ProxyProtocol;
  controls->rows = {{"1", "192.0.2.1", "1080", "", "", "", "", "SOCKS5", "", "", "1"},
                    {"2", "192.0.2.2", "80", "", "", "", "", "HTTP"},
                    {"3", "192.0.2.3", "1081", "", "", "", "", "SOCKS4", "", "", "1", "u:p%40ss"}};
  checks.CheckAll();
  ASSERT_EQ(runner.jobs.size(), 3u);
  EXPECT_EQ(runner.jobs[0].protocol, P::kSocks5);
  EXPECT_FALSE(runner.jobs[0].protocolAssumed);
  EXPECT_TRUE(runner.jobs[1].protocolAssumed);
  EXPECT_EQ(runner.jobs[2].protocol, P::kSocks4);
  EXPECT_EQ(runner.jobs[2].user + " " + runner.jobs[2].password, "u p@ss");
  runner.events.finished(0, {CheckOutcome::Passed, 10, P::kSocks5});
  runner.events.finished(1, {CheckOutcome::Passed, 20, P::kSocks5});  // it answered in SOCKS5
  runner.events.finished(2, {CheckOutcome::Passed, 30, P::kSocks4});
  runner.events.done();
  EXPECT_EQ(controls->GetCellText(main_window::kProxyList, 1, kProtocolColumn), "SOCKS5");
  checks.CopyWorking();
  EXPECT_EQ(controls->clipboard, "socks5://192.0.2.1:1080\r\nsocks5://192.0.2.2:80\r\nsocks4://192.0.2.3:1081\r\n");
  // Another list names row 2's proxy as SOCKS5: found so, the later row merges into the earlier.
  controls->rows.push_back({"4", "192.0.2.2", "80", "", "", "", "", "HTTP"});
  controls->rows.push_back({"5", "192.0.2.2", "80", "", "", "", "", "SOCKS5", "", "", "1"});
  controls->selectedRow = 3;
  checks.CheckSelected();
  runner.events.finished(0, {CheckOutcome::Passed, 25, P::kSocks5});
  runner.events.done();
  ASSERT_TRUE(controls->filter);
  EXPECT_FALSE(controls->filter(3));
  EXPECT_TRUE(controls->filter(1) && controls->filter(4));
  checks.CopyWorking();
  EXPECT_EQ(controls->clipboard, "socks5://192.0.2.1:1080\r\nsocks5://192.0.2.2:80\r\nsocks4://192.0.2.3:1081\r\n");

  // SOCKS5 goes through the local relay, Ctrl+F's pick like any other; the machine's proxy is the relay.
  checks.ConnectFastest();
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "127.0.0.1:11080");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "192.0.2.1:1080");
  EXPECT_EQ(controls->titles.back(), "代理连接成功（经本地中转）");
  ASSERT_TRUE(relay.carrying);
  EXPECT_EQ(relay.upstreams.at(0).protocol, P::kSocks5);
  proxySwitch.ToggleProxy();  // 断开: the relay goes with the settings
  EXPECT_FALSE(relay.carrying);
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "");
  // A proxy with credentials too; without them SOCKS4 is Windows' own.
  controls->selectedRow = 2;
  main.OnRowPick();
  proxySwitch.ToggleProxy();
  EXPECT_EQ(relay.upstreams.at(0).user, "u");
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "127.0.0.1:11080");
  proxySwitch.ToggleProxy();
  controls->rows[2][kCredentialsColumn] = "";
  main.OnRowPick();
  proxySwitch.ToggleProxy();
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "socks=192.0.2.3:1081");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "socks=192.0.2.3:1081");
  EXPECT_FALSE(relay.carrying);
  EXPECT_EQ(JobOfTarget("socks=192.0.2.3:1081").protocol, P::kSocks4);
  EXPECT_EQ(SplitTarget("socks=192.0.2.3:1081").host, "192.0.2.3");
  proxySwitch.ToggleProxy();  // 断开
  // A relay that cannot listen: nothing changes.
  relay.port = 0;
  controls->selectedRow = 0;
  main.OnRowPick();
  registry.writes.clear();
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->titles.back(), "本地中转无法启动");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "连接");
  EXPECT_TRUE(registry.writes.empty());
  checks.CheckAll();
  EXPECT_EQ(runner.jobs.size(), 4u);  // not the merged row
}

// One key from start: with no check yet Ctrl+F starts one and waits for a
// full pass, taking the first once 3 s have gone by; a run that ends without
// one gives the best there is.
TEST_F(ListChecksTest, CtrlFBeforeAnyCheckStartsOneAndConnectsTheFirstFullPassAfterThreeSeconds) {
  checks.ConnectFastest();
  ASSERT_EQ(runner.starts, 1);
  Finish(0, CheckOutcome::PassedHttpOnly, 20);
  runner.events.progress();
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "连接");
  clock.now += ListChecks::kConnectWaitMilliseconds;
  runner.events.progress();
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "连接");  // still no full pass
  Finish(2, CheckOutcome::Passed, 300);
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "proxy.example:3128");
  EXPECT_TRUE(checks.Checking());  // the run goes on

  checks.ConnectFastest();  // during a run with a full pass: at once
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "proxy.example:3128");
  controls->SetCaption(main_window::kConnectButton, "连接");
  checks.OnListRunStarting();
  controls->rows = {{"1", "192.0.2.1", "80"}};
  checks.ConnectFastest();
  Finish(0, CheckOutcome::PassedHttpOnly, 20);
  runner.events.done();
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "192.0.2.1:80");
}


// Ctrl+F while a proxy of the user's own is on: straight over to the fastest,
// the user's settings kept first, so that 断开 gives them back.
TEST_F(ListChecksTest, CtrlFOverTheUsersOwnProxyKeepsItForDisconnect) {
  const ConnectionSettings theirs{"", proxy_flag::kDirect | proxy_flag::kProxy, "corp:3128"};
  connections.byName = {{"", theirs}};
  registry.Store(kProxyServerPath, std::string("corp:3128"), test::MemoryRegistry::kText);
  registry.Store(kProxyEnablePath, std::int32_t{1}, test::MemoryRegistry::kNumber);
  main.OnCreated(controls);
  threads.RunAll();
  ASSERT_EQ(controls->Caption(main_window::kConnectButton), "断开");
  checks.CheckAll();
  Finish(0, CheckOutcome::Refused);
  Finish(1, CheckOutcome::Passed, 90);
  Finish(2, CheckOutcome::Refused);
  runner.events.done();
  checks.ConnectFastest();
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "192.0.2.2:8080");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "192.0.2.2:8080");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "corp:3128");
  EXPECT_EQ(registry.ReadNumber(kProxyEnablePath), 1);
  EXPECT_EQ(connections.byName[""], theirs);
}

// A Ctrl+F still waiting for its first full pass ends with the user's own 连接
// or 断开 (or the status label): it turns nothing on afterwards.
TEST_F(ListChecksTest, TheUsersOwnSwitchEndsAWaitingCtrlF) {
  for (const char* control : {main_window::kConnectButton, main_window::kStatusLabel}) {
    SCOPED_TRACE(control);
    checks.OnListRunStarting();
    checks.ConnectFastest();
    for (EventBinding& e : checks.Events())
      if (e.control == control) e.handler({});
    Finish(1, CheckOutcome::Passed, 90);
    runner.events.done();
    EXPECT_EQ(controls->Caption(main_window::kConnectButton), "连接");
    EXPECT_EQ(registry.ReadText(kProxyServerPath), "");
  }
}

TEST_F(ListChecksTest, TheMenuOffersItsItemsInOrderAndRunsTheChosenOne) {
  controls->menuChoice = kEditSourcesCommand;
  checks.OnListMenu();
  EXPECT_EQ(sourceEdits, 1);
  ASSERT_EQ(controls->menus.size(), 1u);
  EXPECT_TRUE(controls->titles.empty());
  sourcesFailure = "无法打开代理来源文件（找不到应用程序）";
  checks.OnListMenu();
  EXPECT_EQ(controls->titles.back(), sourcesFailure);
  controls->menus.erase(controls->menus.begin() + 1);
  std::vector<std::string> texts;
  for (const MenuItem& item : controls->menus[0]) texts.push_back(item.command ? item.text : "-");
  EXPECT_EQ(texts, (std::vector<std::string>{"编辑代理来源(&E)…", "-", "检测全部代理(&T)", "检测选中代理(&S)", "停止检测(&P)",
                                             "-", "只显示可用代理(&A)", "只显示匿名代理(&N)", "连接最快的可用代理(&F)", "复制可用代理(&C)",
                                             "导出可用代理(&X)…", "-", "自动切换失效代理(&G)", "本地中转(&R)",
                                             "轮换模式(&L)", "-", "设置(&O)…"}));
  EXPECT_FALSE(controls->menus[0][3].enabled);  // nothing selected
  EXPECT_FALSE(controls->menus[0][4].enabled);  // nothing to stop

  controls->selectedRow = 2;
  controls->menuChoice = kCheckSelectedCommand;
  checks.OnListMenu();
  ASSERT_EQ(runner.jobs.size(), 1u);
  EXPECT_EQ(runner.jobs[0].host, "proxy.example");
  EXPECT_TRUE(controls->menus[1][3].enabled);

  controls->menuChoice = kOnlyWorkingCommand;
  checks.OnListMenu();
  Finish(0, CheckOutcome::Passed, 7);
  ASSERT_TRUE(controls->filter);
  EXPECT_FALSE(controls->filter(0));
  EXPECT_TRUE(controls->filter(2));
  checks.OnListMenu();
  EXPECT_TRUE(controls->menus[3][6].checked);  // shown checked before this second toggle
  EXPECT_FALSE(controls->filter);
}

TEST_F(ListChecksTest, HeaderClicksSortByTheColumnAndAgainReversed) {
  controls->rows = {{"1", "10.0.0.9", "80"}, {"2", "10.0.0.10", "8080"}, {"3", "a.example", "3128"}};
  checks.SortBy(1);
  EXPECT_EQ(controls->order, (std::vector<int>{0, 1, 2}));  // 10.0.0.9 before 10.0.0.10: by value, names last
  EXPECT_EQ(controls->sortedBy, std::make_pair(1, true));
  checks.SortBy(1);
  EXPECT_EQ(controls->order, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(controls->sortedBy, std::make_pair(1, false));

  checks.CheckAll();
  Finish(0, CheckOutcome::Refused);
  Finish(1, CheckOutcome::Passed, 300);
  Finish(2, CheckOutcome::PassedHttpOnly, 100);
  checks.SortBy(kResultColumn);
  EXPECT_EQ(controls->order, (std::vector<int>{1, 2, 0}));  // full passes before HTTP-only ones
  // Results landing in the sorted column move their rows at the next progress.
  checks.CheckAll();
  Finish(0, CheckOutcome::PassedHttpOnly, 50);
  Finish(1, CheckOutcome::Passed, 300);
  Finish(2, CheckOutcome::Refused);
  runner.events.progress();
  EXPECT_EQ(controls->order, (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(controls->sortedBy, std::make_pair(kResultColumn, true));
  checks.SortBy(0);  // 序号 brings back the list's own order
  EXPECT_EQ(controls->order, (std::vector<int>{0, 1, 2}));
}

TEST_F(ListChecksTest, KeysF5CtrlTAndCtrlFDoWhatTheirItemsDo) {
  std::vector<EventBinding> events = checks.Events();
  auto press = [&](int key, int keys) {
    EventArgs args;
    args.key = key;
    args.keys = keys;
    for (EventBinding& e : events)
      if (e.kind == EventKind::Key) e.handler(args);
  };
  press('T', 1);
  EXPECT_EQ(runner.starts, 1);
  press('T', 0);  // without Ctrl: nothing
  EXPECT_EQ(runner.starts, 1);
  press('F', 1);  // during a run without a full pass: it waits for one
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "连接");
  runner.events.done();
  EXPECT_EQ(controls->titles.back(), "没有可用代理");
  const int pending = threads.Pending();
  press(0x74, 0);  // F5
  EXPECT_EQ(threads.Pending(), pending + 1);  // a list run
}

using O = CheckOutcome;

TEST(ProxyOrder, ColumnsSortByTheirKindOfValue) {
  const auto sorted = [](int column, std::vector<std::string> texts) {
    std::stable_sort(texts.begin(), texts.end(),
                     [&](const std::string& a, const std::string& b) { return CompareColumn(column, a, b) < 0; });
    return texts;
  };
  using Texts = std::vector<std::string>;
  EXPECT_EQ(sorted(kNumberColumn, {"10", "9", "", "100", "x", "2"}), (Texts{"2", "9", "10", "100", "", "x"}));
  EXPECT_EQ(sorted(kPortColumn, {"8080", "80", "3128", "-1", "443"}), (Texts{"80", "443", "3128", "8080", "-1"}));
  EXPECT_EQ(sorted(kSpeedColumn, {"80%", "9%", "100%", "12.5%", "快"}), (Texts{"9%", "12.5%", "80%", "100%", "快"}));
  // Measured times of our own checks first, by time.
  EXPECT_EQ(sorted(kSpeedColumn, {"80%", "1200 ms", "9%", "95 ms"}), (Texts{"95 ms", "1200 ms", "9%", "80%"}));
  EXPECT_EQ(sorted(kAddressColumn, {"proxy.b", "10.0.0.2", "Proxy.a", "9.255.255.255", "1.2.3.256", "10.0.0.10"}),
            (Texts{"9.255.255.255", "10.0.0.2", "10.0.0.10", "1.2.3.256", "Proxy.a", "proxy.b"}));
  EXPECT_EQ(sorted(kLocationColumn, {"美国", "US", "中国", "Germany"}), (Texts{"Germany", "US", "美国", "中国"}));
  EXPECT_EQ(sorted(kCheckTimeColumn, {"2024-05-01 10:00", "2024-04-30 23:59", "1分钟前"}),
            (Texts{"1分钟前", "2024-04-30 23:59", "2024-05-01 10:00"}));
  EXPECT_EQ(sorted(kAnonymityColumn, {"?", "透明", "", "高匿", "匿名"}), (Texts{"高匿", "匿名", "透明", "?", ""}));
}

TEST(ProxyOrder, ResultsSortAndTheFastestPassedIsPicked) {
  std::vector<CheckResult> results = {{O::NotChecked, 0},     {O::InvalidResponse, 0}, {O::PassedHttpOnly, 40},
                                      {O::Checking, 0},       {O::Refused, 0},         {O::Passed, 90},
                                      {O::TimedOut, 0},       {O::Passed, 40},         {O::WrongContent, 0},
                                      {O::CertificateError, 5}, {O::HttpsFailed, 30},  {O::Unresolved, 0},
                                      {O::Unreachable, 0}};
  EXPECT_EQ(FastestPassed(results), 7u);
  results[7] = {O::Passed, 95};
  EXPECT_EQ(FastestPassed(results), 5u);  // HTTPS at 90 ms before HTTP only at 40 ms
  EXPECT_EQ(PassesInOrder(results), (std::vector<std::size_t>{5, 7, 2, 10}));  // never the intercepted one
  std::stable_sort(results.begin(), results.end(),
                   [](const CheckResult& a, const CheckResult& b) { return CompareResults(a, b) < 0; });
  std::vector<std::string> order;
  for (const CheckResult& r : results) order.push_back(CheckResultText(r));
  EXPECT_EQ(order, (std::vector<std::string>{"90 ms", "95 ms", "40 ms 仅HTTP", "30 ms HTTPS失败", "5 ms 证书错误",
                                             "超时", "拒绝", "无法解析", "网络不可达", "内容错误", "无效响应",
                                             "检测中…", ""}));

  // Those that hide the user first, then those of an unknown level, then the
  // 透明 ones; each group in the order above.
  const auto level = [](O outcome, int ms, Anonymity anonymity) { return CheckResult{outcome, ms, {}, anonymity}; };
  EXPECT_EQ(PassesInOrder(std::vector<CheckResult>{level(O::Passed, 10, Anonymity::kTransparent),
                                                   level(O::Passed, 50, Anonymity::kUnknown),
                                                   level(O::PassedHttpOnly, 20, Anonymity::kElite),
                                                   level(O::Passed, 300, Anonymity::kAnonymous)}),
            (std::vector<std::size_t>{3, 2, 1, 0}));

  const std::vector<CheckResult> failed = {{O::TimedOut, 0}, {O::NotChecked, 0}, {O::CertificateError, 3}};
  EXPECT_EQ(FastestPassed(failed), std::nullopt);
  EXPECT_EQ(FastestPassed({}), std::nullopt);
}

}  // namespace
}  // namespace vantoip
