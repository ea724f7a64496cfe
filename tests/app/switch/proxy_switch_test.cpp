#include "app/main_window_controls.h"
#include "app/switch/proxy_switch.h"

#include <gtest/gtest.h>

#include "app/main_window_layout.h"
#include "app/switch/machine_proxy.h"
#include "app/switch/proxy_settings.h"
#include "tests/support/memory_controls.h"
#include "tests/support/memory_relay.h"

namespace vantoip {
namespace {

using Changes = std::vector<std::string>;

struct ProxySwitchTest : ::testing::Test, test::MemoryServices {
  std::shared_ptr<test::MemoryControls> controls = std::make_shared<test::MemoryControls>(MainWindowLayout());
  SharedState state;
  MainWindow main{services, state, {}};
  ProxySwitch proxySwitch{main, services};

  void Start(std::optional<std::int32_t> enable = std::nullopt, std::optional<std::string> server = std::nullopt) {
    if (enable) registry.Store(kProxyEnablePath, *enable, test::MemoryRegistry::kNumber);
    if (server) registry.Store(kProxyServerPath, *server, test::MemoryRegistry::kText);
    main.OnCreated(controls);
    threads.RunAll();
    controls->changes.clear();
    controls->connects.clear();
    registry.writes.clear();
  }
  void Pick(const std::string& host, const std::string& port) {
    controls->rows = {{"1", host, port, "", "", ""}};
    controls->selectedRow = 0;
    main.OnRowPick();
    threads.RunAll();
    controls->changes.clear();
    controls->connects.clear();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) proxySwitch.TickConnectedTime();
  }
  std::string Enable() { return ToText(registry.ReadNumber(kProxyEnablePath)); }
  std::string Server() { return registry.ReadText(kProxyServerPath); }
};

TEST_F(ProxySwitchTest, TurningOnWritesTheProxyAndChangesControlsInOrder) {
  Start();
  Pick("10.1.2.3", "8080");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(Server(), "10.1.2.3:8080");
  EXPECT_EQ(Enable(), "1");
  EXPECT_EQ(registry.writes, (Changes{kProxyServerWritePath, kProxyEnableWritePath}));
  EXPECT_EQ(registry.TypeOf(kProxyServerPath), test::MemoryRegistry::kText);      // REG_SZ
  EXPECT_EQ(registry.TypeOf(kProxyEnablePath), test::MemoryRegistry::kNumber);    // REG_DWORD
  EXPECT_EQ(internet.options, (std::vector<int>{39, 37}));
  EXPECT_EQ(controls->changes, (Changes{"title=代理连接成功", "超级列表框1 disabled", "标签_状态=启用", "按钮2=断开",
                                        "标签_计时=00:00", "时钟1 interval=1000"}));
  EXPECT_EQ(threads.Pending(), 0);  // turning on measures nothing; the pick did
  EXPECT_EQ(controls->trayTip, "Vantoip：已连接 10.1.2.3:8080");
}

// Option 37 only rereads this process's settings: a refusal (as Wine's) does
// not decide; the settings in place do.
TEST_F(ProxySwitchTest, ARefusedRefreshDoesNotDecideTheSettingsInPlaceDo) {
  Start();
  Pick("10.1.2.3", "8080");
  internet.refreshAccepted = false;
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->titles.back(), "代理连接成功");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
}

// The user's own settings: a script, detection, a proxy and a bypass list of
// theirs on the LAN, a VPN entry; all of it is given back by 断开.
TEST_F(ProxySwitchTest, TheUsersOwnSettingsAreKeptAndGivenBackWhole) {
  const ConnectionSettings lan{"", proxy_flag::kDirect | proxy_flag::kAutoProxyUrl | proxy_flag::kAutoDetect,
                               "corp:3128", "*.corp;10.0.0.0/8", "http://wpad/proxy.pac"};
  const ConnectionSettings vpn{"\xB0\xEC\xB9\xAB VPN", proxy_flag::kProxy, "vpn:8080", "<local>", ""};  // 办公 VPN
  connections.byName = {{"", lan}, {vpn.name, vpn}};
  connections.entries = {vpn.name, "Dial-up"};
  registry.Store("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride", std::string("*.corp"),
                 test::MemoryRegistry::kText);
  Start(0, "corp:3128");
  Pick("10.1.2.3", "8080");
  connections.refused = {"Dial-up"};
  // A proxy its check found 透明: the title says so first.
  proxySwitch.SetTransparentTest([](const std::string& target) { return target == "10.1.2.3:8080"; });
  proxySwitch.SetOwnBypass("*.mine.example;*.corp");  // 设置's entries, after the LAN's
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->titles.back(), "代理连接成功（透明代理）（1个连接未能设置）");
  const ConnectionSettings ours = connections.byName[""];
  EXPECT_EQ(ours.flags, proxy_flag::kDirect | proxy_flag::kProxy);  // no script, no detection
  EXPECT_EQ(ours.proxyServer, "10.1.2.3:8080");
  EXPECT_EQ(ours.bypass, BypassList("*.corp;10.0.0.0/8") + ";*.mine.example");
  EXPECT_EQ(connections.byName[vpn.name].proxyServer, "10.1.2.3:8080");
  ASSERT_TRUE(snapshot.file);

  // After a restart (a new switch over the same machine), 断开 gives it all back.
  ProxySwitch restarted{main, services};
  connections.entries = {vpn.name};  // the dial-up entry was removed meanwhile
  restarted.ToggleProxy();
  EXPECT_EQ(connections.byName[""], lan);
  EXPECT_EQ(connections.byName[vpn.name], vpn);
  EXPECT_EQ(Server(), "corp:3128");
  EXPECT_EQ(Enable(), "0");
  EXPECT_EQ(registry.ReadText("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride"), "*.corp");
  EXPECT_FALSE(snapshot.file);  // forgotten
}

TEST_F(ProxySwitchTest, SettingsThatCannotBePutInPlaceAreUndoneAtOnce) {
  Start(0, "mine:1");
  Pick("10.1.2.3", "8080");
  connections.refused = {""};  // the LAN options are refused
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->changes, (Changes{"title=代理连接失败", "按钮2=连接"}));
  EXPECT_EQ(Server(), "mine:1");  // the user's own values are back
  EXPECT_EQ(Enable(), "0");
  EXPECT_FALSE(snapshot.file);

  // Without a place to keep the user's settings nothing is changed at all.
  connections.refused.clear();
  snapshot.writable = false;
  registry.writes.clear();
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->titles.back(), "代理连接失败");
  EXPECT_TRUE(registry.writes.empty());
}

// A damaged snapshot is never trusted: it is set aside (beside an earlier
// one), and 断开 gives the off result, our proxy gone from every connection
// that shows it.
TEST_F(ProxySwitchTest, ADamagedSnapshotIsSetAsideAndTurningOffClearsTheProxyEverywhere) {
  snapshot.setAside = {"an earlier one"};
  snapshot.file = "vantoip proxy settings 2\nProxyServer=evil:1\n";  // cut before its end line
  const ConnectionSettings ours{"", proxy_flag::kDirect | proxy_flag::kProxy, "10.1.2.3:8080", "<local>"};
  connections.entries = {"VPN", "Other"};
  connections.byName = {{"", ours}, {"VPN", {"VPN", ours.flags, ours.proxyServer}}, {"Other", {"Other", 3, "theirs:1"}}};
  Start(1, "10.1.2.3:8080");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(Server(), "");
  EXPECT_EQ(Enable(), "0");
  EXPECT_EQ(snapshot.setAside, (Changes{"an earlier one", "vantoip proxy settings 2\nProxyServer=evil:1\n"}));
  EXPECT_FALSE(snapshot.file);
  EXPECT_EQ(connections.byName[""], (ConnectionSettings{"", proxy_flag::kDirect, "", "<local>"}));
  EXPECT_EQ(connections.byName["VPN"], (ConnectionSettings{"VPN", proxy_flag::kDirect}));
  EXPECT_EQ(connections.byName["Other"].proxyServer, "theirs:1");  // not ours: left alone
  EXPECT_EQ(controls->titles.back(), "取消代理");
}

// A switch from one of our proxies to the next when the snapshot is gone or
// damaged: the settings in place are ours, never taken for the user's; when
// it cannot be read or kept, nothing changes and the proxy stays as it was.
TEST_F(ProxySwitchTest, ASwitchWithoutAUsableSnapshotNeverKeepsOurProxyAsTheUsers) {
  const ConnectionSettings theirs{"", proxy_flag::kDirect | proxy_flag::kProxy, "corp:3128", "*.corp"};
  const ConnectionSettings off{"", proxy_flag::kDirect, "", BypassList("*.corp")};
  for (const char* lost : {"missing", "damaged"}) {
    SCOPED_TRACE(lost);
    connections.byName = {{"", theirs}};
    Start(0, "corp:3128");
    Pick("10.1.1.1", "8080");
    proxySwitch.ToggleProxy();
    ASSERT_EQ(controls->Caption(main_window::kConnectButton), "断开");
    if (std::string(lost) == "missing") snapshot.file.reset();
    else snapshot.file = "vantoip proxy settings 2\n";
    EXPECT_TRUE(proxySwitch.SwitchTo("10.2.2.2:80").On());
    proxySwitch.ToggleProxy();
    EXPECT_EQ(Server(), "");
    EXPECT_EQ(Enable(), "0");
    EXPECT_EQ(connections.byName[""], off);  // not 10.1.1.1:8080 with flags 3
  }

  connections.byName = {{"", theirs}};
  Start(0, "corp:3128");
  Pick("10.1.1.1", "8080");
  proxySwitch.ToggleProxy();
  snapshot.unreadable = true;  // shared or denied for a moment
  EXPECT_EQ(proxySwitch.SwitchTo("10.2.2.2:80").outcome, SwitchOutcome::kUnchanged);
  EXPECT_EQ(controls->titles.back(), "无法读取原设置，未切换");
  EXPECT_EQ(Server(), "10.1.1.1:8080");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
  proxySwitch.ToggleProxy();  // nor can 断开 give anything back yet
  EXPECT_EQ(controls->titles.back(), "恢复原设置失败，已保留");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
  snapshot.unreadable = false;

  const std::string kept = *snapshot.file;
  snapshot.file.reset();
  snapshot.writable = false;  // neither there nor to be written
  EXPECT_EQ(proxySwitch.SwitchTo("10.2.2.2:80").outcome, SwitchOutcome::kUnchanged);
  EXPECT_EQ(Server(), "10.1.1.1:8080");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
  snapshot.writable = true;
  snapshot.file = kept;
  proxySwitch.ToggleProxy();
  EXPECT_EQ(connections.byName[""], theirs);
  EXPECT_EQ(Server(), "corp:3128");
  EXPECT_EQ(controls->titles.back(), "取消代理");
}

// The snapshot goes only once the user's settings read back in place: a
// refused write keeps it, and the window On for the next 断开. A VPN entry the
// enumeration missed for a moment is given back all the same.
TEST_F(ProxySwitchTest, ARestoreThatFailedKeepsTheSnapshotForTheNextTry) {
  const ConnectionSettings lan{"", proxy_flag::kDirect | proxy_flag::kProxy, "corp:3128"};
  const ConnectionSettings vpn{"VPN", proxy_flag::kProxy, "vpn:8080"};
  connections.entries = {"VPN"};
  connections.byName = {{"", lan}, {"VPN", vpn}};
  Start(0, "corp:3128");
  Pick("10.1.1.1", "8080");
  proxySwitch.ToggleProxy();
  for (const char* refusal : {"LAN", "registry"}) {
    SCOPED_TRACE(refusal);
    connections.refused = {std::string(refusal) == "LAN" ? "" : "none"};
    registry.writeSucceeds = std::string(refusal) != "registry";
    proxySwitch.ToggleProxy();
    EXPECT_EQ(controls->titles.back(), "恢复原设置失败，已保留");
    EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
    EXPECT_TRUE(snapshot.file);
  }
  connections.refused.clear();
  registry.writeSucceeds = true;
  connections.entries.clear();  // RasEnumEntries found nothing this time
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->titles.back(), "取消代理");
  EXPECT_EQ(connections.byName[""], lan);
  EXPECT_EQ(connections.byName["VPN"], vpn);
  EXPECT_EQ(Server(), "corp:3128");
  EXPECT_FALSE(snapshot.file);
}

// Every connection written is in the snapshot first: one that cannot be read
// is left alone and counted; one made while connected is kept before a later
// switch writes it, and given back.
TEST_F(ProxySwitchTest, EveryConnectionWrittenIsInTheSnapshotFirst) {
  connections.entries = {"Locked"};
  connections.unreadable = {"Locked"};
  Start();
  Pick("10.1.1.1", "8080");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->titles.back(), "代理连接成功（1个连接未能设置）");
  EXPECT_FALSE(connections.byName.count("Locked"));
  const ConnectionSettings added{"New VPN", proxy_flag::kProxy, "newvpn:1"};
  connections.entries.push_back(added.name);
  connections.byName[added.name] = added;
  ASSERT_TRUE(proxySwitch.SwitchTo("10.2.2.2:80").On());
  EXPECT_EQ(connections.byName[added.name].proxyServer, "10.2.2.2:80");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(connections.byName[added.name], added);
  EXPECT_FALSE(connections.byName.count("Locked"));
}

// A snapshot left by a crash, after which the user set a proxy by hand: the
// server in place is not the one it records, so the newer settings are theirs.
TEST_F(ProxySwitchTest, ASnapshotIsStaleOnceTheServerInPlaceIsNotOurs) {
  UserProxySettings old;
  old.proxyServer = "corp:3128";
  old.proxyEnable = 1;
  old.connections = {{"", proxy_flag::kDirect | proxy_flag::kProxy, "corp:3128"}};
  snapshot.file = SnapshotText({old, "10.1.1.1:8080"});
  const ConnectionSettings newer{"", proxy_flag::kDirect | proxy_flag::kProxy, "newcorp:8080", "<local>"};
  connections.byName = {{"", newer}};
  Start(0, "newcorp:8080");
  Pick("10.2.2.2", "80");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(snapshot.setAside.size(), 1u);  // kept beside, not trusted
  proxySwitch.ToggleProxy();
  EXPECT_EQ(Server(), "newcorp:8080");
  EXPECT_EQ(connections.byName[""], newer);
}

// Values the user never had stay absent; their texts go back through the
// registry's own UTF-16, where GBK could not spell them.
TEST_F(ProxySwitchTest, RegistryValuesComeBackExactlyAbsentOnesAbsent) {
  const std::string pac = "http://wpad/\xC3\xA9t\xC3\xA9.pac";  // "été" in UTF-8
  const char kAutoConfig[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\AutoConfigURL";
  registry.Store(kAutoConfig, pac, test::MemoryRegistry::kText);
  Start();
  Pick("10.1.1.1", "8080");
  proxySwitch.ToggleProxy();
  proxySwitch.ToggleProxy();
  EXPECT_FALSE(registry.Exists(kProxyServerPath));
  EXPECT_FALSE(registry.Exists(kProxyEnablePath));
  EXPECT_EQ(registry.ReadUnicode(kAutoConfig), pac);
  EXPECT_EQ(registry.unicodeWrites, (Changes{kAutoConfig}));
}

TEST_F(ProxySwitchTest, TurningOffClearsTheProxyAndKeepsTheLabels) {
  Start(1, "10.1.2.3:8080");
  EXPECT_EQ(controls->trayTip, "Vantoip：已连接 10.1.2.3:8080");  // on from before the start
  Ticks(207);  // 03:27
  controls->SetCaption(main_window::kDelayLabel, "47");
  controls->changes.clear();
  internet.options.clear();
  internet.refreshAccepted = false;  // the result of turning off is not examined
  proxySwitch.ToggleProxy();
  EXPECT_EQ(controls->changes,
            (Changes{"按钮2=连接", "title=取消代理", "标签_状态=禁用", "超级列表框1 enabled", "时钟1 interval=0"}));
  EXPECT_EQ(Server(), "");
  EXPECT_EQ(Enable(), "0");
  EXPECT_EQ(internet.options, (std::vector<int>{39, 37}));
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "03:27");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "10.1.2.3:8080");
  EXPECT_EQ(controls->Caption(main_window::kDelayLabel), "47");
  EXPECT_EQ(controls->trayTip, "Vantoip：未连接");

  internet.refreshAccepted = true;
  proxySwitch.ToggleProxy();  // the next turn-on restarts the time
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:00");
  Ticks(1);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:01");
}

TEST_F(ProxySwitchTest, EmptyTargetDoesNothingInEitherState) {
  Start();
  proxySwitch.ToggleProxy();  // Off
  EXPECT_TRUE(controls->changes.empty());
  controls->SetCaption(main_window::kConnectButton, "断开");  // On
  controls->changes.clear();
  proxySwitch.ToggleProxy();
  EXPECT_TRUE(controls->changes.empty());
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_TRUE(internet.options.empty());
}

TEST_F(ProxySwitchTest, ConnectedTimeCountsAndMeasuresAtSecondFiftyNine) {
  Start();
  Pick("10.1.2.3", "8080");
  proxySwitch.ToggleProxy();
  Ticks(1);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:01");
  Ticks(57);
  EXPECT_EQ(threads.Pending(), 0);
  Ticks(1);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:59");
  EXPECT_EQ(threads.Pending(), 1);
  threads.RunAll();
  Ticks(1);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "01:00");
  Ticks(605 - 60);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "10:05");
  EXPECT_EQ(threads.Pending(), 9);  // at 01:59 ... 09:59
  threads.RunAll();
  EXPECT_EQ(controls->connects.size(), 10u);
  EXPECT_EQ(controls->connects.back(), std::make_pair(std::string("10.1.2.3"), 8080));
  EXPECT_EQ(proxySwitch.ConnectedMinutes(), 10);
  EXPECT_EQ(proxySwitch.ConnectedSeconds(), 5);
}

TEST_F(ProxySwitchTest, MinutesNeverFoldIntoHours) {
  Start(1, "h:1");
  Ticks(99 * 60 + 59);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "99:59");
  Ticks(1);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "100:00");
}

TEST_F(ProxySwitchTest, TickWhileOffCountsButMeasuresNothing) {
  Start();
  controls->SetCaption(main_window::kTargetLabel, "10.1.2.3:8080");
  Ticks(59);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:59");
  EXPECT_EQ(threads.Pending(), 0);
}

TEST_F(ProxySwitchTest, TargetWithoutAPortIsMeasuredOnPortOne) {
  for (const char* target : {"barehost", ":"}) {
    SCOPED_TRACE(target);
    controls = std::make_shared<test::MemoryControls>(MainWindowLayout());  // time back at 00:00
    Start(1, "x:1");
    controls->SetCaption(main_window::kTargetLabel, target);
    Ticks(59);
    ASSERT_EQ(threads.Pending(), 1);
    threads.RunAll();
    ASSERT_EQ(controls->connects.size(), 1u);
    EXPECT_EQ(controls->connects[0].first, std::string(target) == ":" ? "" : "barehost");
    EXPECT_EQ(controls->connects[0].second, 0);  // the TCP client takes 0 as port 1
  }
}

TEST_F(ProxySwitchTest, StatusToggleWhileOnChangesOnlyTheLabelAndTheFlag) {
  Start(1, "10.1.2.3:8080");
  Ticks(5);
  main.OnStatusToggle();
  EXPECT_EQ(controls->Caption(main_window::kStatusLabel), "禁用");
  EXPECT_EQ(Enable(), "0");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
  Ticks(1);
  EXPECT_EQ(controls->Caption(main_window::kTimeLabel), "00:06");
  proxySwitch.ToggleProxy();  // still turns the proxy off
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "连接");
  EXPECT_EQ(controls->titles.back(), "取消代理");
}

TEST_F(ProxySwitchTest, TargetColonIsSwitchedOnLikeAnyOther) {
  Start();
  Pick("", "");  // a click that selected no row leaves ":"
  proxySwitch.ToggleProxy();
  EXPECT_EQ(Server(), ":");
  EXPECT_EQ(Enable(), "1");
  EXPECT_EQ(controls->Caption(main_window::kConnectButton), "断开");
}

TEST(MachineProxy, EnableFollowsTheTrimmedTextAndOnlyTheRefreshDecides) {
  test::MemoryRegistry registry;
  test::RecordingInternetOptions internet;
  EXPECT_TRUE(ApplyMachineProxy(registry, internet, std::string("\xA1\xA1  ")));  // full-width and ASCII spaces
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "\xA1\xA1  ");
  EXPECT_EQ(registry.ReadNumber(kProxyEnablePath), 0);

  EXPECT_TRUE(ApplyMachineProxy(registry, internet));
  EXPECT_EQ(registry.ReadText(kProxyServerPath), "");
  EXPECT_EQ(registry.ReadNumber(kProxyEnablePath), 0);

  registry.writeSucceeds = false;  // failed writes are not noticed
  internet.refreshAccepted = false;
  EXPECT_FALSE(ApplyMachineProxy(registry, internet, std::string("a:1")));
  internet.refreshAccepted = true;
  EXPECT_TRUE(ApplyMachineProxy(registry, internet, std::string("a:1")));
  EXPECT_EQ(internet.options, (std::vector<int>{39, 37, 39, 37, 39, 37, 39, 37}));
  EXPECT_EQ(registry.writes.back(), kProxyEnableWritePath);
}

// The user's own settings, kept for 断开 across a crash or a reboot.
TEST(UserProxySettings, SnapshotReadsBackWholeAndIsNeverTrustedDamaged) {
  UserProxySettings settings;
  settings.proxyServer = "10.1.1.1:3128";
  settings.proxyEnable = 1;
  settings.proxyOverride = "<local>;*.corp=x%\n";
  settings.connections = {
      {"", proxy_flag::kDirect | proxy_flag::kAutoProxyUrl | proxy_flag::kAutoDetect, "", "", "http://wpad/proxy.pac"},
      {"\xE5\x8A\x9E\xE5\x85\xAC VPN", proxy_flag::kProxy, "10.2.2.2:8080", "*.lan;<local>", ""},  // "办公 VPN"
  };
  const ProxySnapshot snapshot{settings, "10.9.9.9:80"};
  const std::string text = SnapshotText(snapshot);
  EXPECT_EQ(ReadSnapshot(text), snapshot);
  EXPECT_EQ(ReadSnapshot(SnapshotText({})), ProxySnapshot{});  // a user without any proxy
  // A file of the first version: registry texts in GBK, no proxy of ours
  // recorded; carried over as such when written again.
  const std::optional<ProxySnapshot> first = ReadSnapshot(
      "vantoip proxy settings 1\nProxyServer=corp:3128\nProxyEnable=1\nend=480ca0b62e52e3f3\n");  // as the first version wrote it
  ASSERT_TRUE(first);
  EXPECT_EQ(first->user.proxyServer, "corp:3128");
  EXPECT_TRUE(first->user.gbkRegistryTexts);
  EXPECT_EQ(first->ours, "");
  UserProxySettings old;
  old.proxyServer = "corp:3128";
  old.gbkRegistryTexts = true;
  const std::optional<ProxySnapshot> again = ReadSnapshot(SnapshotText({old, "10.9.9.9:80"}));
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->user.gbkRegistryTexts);

  EXPECT_EQ(ReadSnapshot(""), std::nullopt);
  EXPECT_EQ(ReadSnapshot("garbage\n"), std::nullopt);
  for (std::size_t cut = 0; cut < text.size(); ++cut) ASSERT_EQ(ReadSnapshot(text.substr(0, cut)), std::nullopt) << cut;
  std::string changed = text;
  changed[changed.find("3128")] = '9';
  EXPECT_EQ(ReadSnapshot(changed), std::nullopt);
  std::string otherVersion = text;
  otherVersion.replace(otherVersion.find(" 2\n"), 3, " 3\n");
  EXPECT_EQ(ReadSnapshot(otherVersion), std::nullopt);
  EXPECT_EQ(ReadSnapshot(text + "ProxyServer=x\n"), std::nullopt);
}

TEST(UserProxySettings, BypassListKeepsLocalTrafficAndTheUsersEntriesOnce) {
  const std::string ours =
      "<local>;127.*;10.*;172.16.*;172.17.*;172.18.*;172.19.*;172.20.*;172.21.*;172.22.*;172.23.*;172.24.*;"
      "172.25.*;172.26.*;172.27.*;172.28.*;172.29.*;172.30.*;172.31.*;192.168.*;169.254.*;www.msftconnecttest.com";
  EXPECT_EQ(BypassList(""), ours);
  // Each once in any case; no CIDR (WinINet would refuse the whole list); blanks and empty entries dropped.
  EXPECT_EQ(BypassList("*.corp.example; <LOCAL>;;10.0.0.0/8 printer;*.CORP.example;192.168.*"),
            ours + ";*.corp.example;printer");
}

// 本地中转: the machine's proxy is the relay, carrying the target with the
// user's settings kept as ever. Should the program and its watcher both die,
// the next start finds the relay's address on and gives the settings back.
TEST_F(ProxySwitchTest, ThroughTheRelayTheSettingsAreKeptAndARelayLeftBehindIsGivenBack) {
  test::MemoryRelay relay;
  proxySwitch.UseRelay(&relay, {});
  proxySwitch.SetRelayMode(true);
  Start(0, "corp:3128");
  Pick("10.1.2.3", "8080");
  proxySwitch.ToggleProxy();
  EXPECT_EQ(Server(), "127.0.0.1:11080");
  EXPECT_EQ(controls->titles.back(), "代理连接成功（经本地中转）");
  EXPECT_EQ(controls->Caption(main_window::kTargetLabel), "10.1.2.3:8080");
  ASSERT_EQ(relay.upstreams.size(), 1u);
  EXPECT_EQ(relay.upstreams[0].host + ":" + std::to_string(relay.upstreams[0].port), "10.1.2.3:8080");
  proxySwitch.ToggleProxy();
  relay.port = 11081;  // another program holds the first port
  proxySwitch.ToggleProxy();
  EXPECT_EQ(Server(), "127.0.0.1:11081");
  EXPECT_EQ(controls->titles.back(), "代理连接成功（经本地中转 127.0.0.1:11081）");
  proxySwitch.SwitchTo("10.1.2.4:3128");  // the guard's pick: the relay moves, the settings stay
  EXPECT_EQ(relay.upstreams.at(0).host, "10.1.2.4");
  EXPECT_EQ(Server(), "127.0.0.1:11081");

  MainWindow next{services, state, {}};  // a later start, nothing carrying the relay
  ProxySwitch nextSwitch{next, services};
  auto nextControls = std::make_shared<test::MemoryControls>(MainWindowLayout());
  next.OnCreated(nextControls);
  EXPECT_FALSE(nextSwitch.GiveBackLeftRelay("10.1.2.4:3128"));  // not ours to give back
  EXPECT_TRUE(nextSwitch.GiveBackLeftRelay(nextControls->Caption(main_window::kTargetLabel)));
  EXPECT_EQ(Server(), "corp:3128");
  EXPECT_EQ(Enable(), "0");
  EXPECT_EQ(nextControls->titles.back(), "取消代理");
}

}  // namespace
}  // namespace vantoip
