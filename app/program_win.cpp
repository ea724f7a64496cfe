#include "app/program_win.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <utility>

#include "app/list/country_table.h"
#include "app/list/proxy_list_win.h"
#include "app/list/proxy_sources_win.h"
#include "app/main_window_controls.h"
#include "app/main_window_layout.h"
#include "app/settings/program_settings.h"
#include "app/settings/window_memory.h"
#include "app/skin_win.h"
#include "runtime/convert.h"
#include "runtime/encoding_win.h"
#include "runtime/native_commands_win.h"
#include "runtime/system_win.h"
#include "runtime/text.h"
#include "ui/message_loop_win.h"
#include "ui/window_win.h"

namespace vantoip {

Program::Program(ProxySourceProvider listSources, std::chrono::milliseconds sourceTimeout)
    : mainWindow(services, state,
                 MainWindowParts{.applySkin = [] { ApplySkin(13); },
                                 .readProxyList = [this](const std::shared_ptr<WindowControls>& window) {
                                   listReader.ReadProxyList(window);
                                   TellFaultySettings(*window);
                                 },
                                 .listRunStarting =
                                     [this] {
                                       guard.Interrupt();
                                       checks.OnListRunStarting();
                                     },
                                 .proxyFoundOn =
                                     [this](const std::string& target) {
                                       if (!proxySwitch.GiveBackLeftRelay(target)) Watch(target, false);
                                     },
                                 .statusToggled = [this] { guard.Interrupt(); }}),
      listReader(std::move(listSources), &MakeWindowsPageReader, threads, sourceTimeout, &LocationOf),
      checkRunner(CheckPageOf(chosen), chosen.checksAtOnce),
      guardRunner(CheckPageOf(chosen), static_cast<int>(ProxyGuard::kMaxCandidates), LookupIPv4,
                  LookupQueue::kPrompt),
      guard(guardRunner, [this](std::function<void()> work) { mainWindow.Controls().Post(std::move(work)); },
            {.candidates = [this] { return checks.UsableInOrder(); },
             .switchTo = [this](const CheckJob& job) { return proxySwitch.SwitchTo(TargetText(job)); },
             .restore =
                 [this] {
                   if (proxySwitch.IsOn()) proxySwitch.ToggleProxy();  // 断开, never 连接
                   return !proxySwitch.IsOn();
                 },
             .tell = [this](const std::string& text) { mainWindow.Controls().SetCaption(kThisWindow, text); },
             .alert = [this](const std::string& text) { mainWindow.Controls().ShowTrayBalloon(text); },
             .held = [this] { return !chosen.guard || !mainWindow.StatusOn(); }},
            chosen.guardSeconds),
      checks(mainWindow, proxySwitch, checkRunner,
             {.editSources = &EditProxySources,
              .localTime = &LocalTimeText,
              .guard = &guard,
              .settings = &settings,
              .clock = &clock,
              .locate = [](const std::string& address) { return LocationOf(address); },
              .openSettings = [this](const EventArgs& e) { settingsWindow.Open(e); }}),
      settingsWindow({.file = &settings,
                      .environment = &Environment,
                      .apply =
                          [this](const ProgramSettings& saved) {
                            chosen = WithEnvironment(saved, &Environment);
                            ApplyChosen();
                          },
                      .editSources = &EditProxySources,
                      .loadModal = LoadModalOver,
                      .toWindow = [](const std::string& t) { return WideToGbk(Utf8ToWide(t)); },
                      .fromWindow = [](const std::string& t) { return WideToUtf8(GbkToWide(t)); }}) {
  proxySwitch.UseRelay(&relay, [this](const std::string& target) {
    // The target first, then the other working proxies to fail over to.
    const CheckJob& picked = mainWindow.Picked();
    std::vector<Upstream> upstreams{UpstreamOf(TargetText(picked) == target ? picked : checks.JobFor(target))};
    for (const CheckJob& job : checks.UsableInOrder()) {
      const Upstream u = UpstreamOf(job);
      if (u.host != upstreams[0].host || u.port != upstreams[0].port || u.protocol != upstreams[0].protocol)
        upstreams.push_back(u);
    }
    return upstreams;
  });
  ApplyChosen();  // after UseRelay: rotation reaches the relay's pool
  proxySwitch.SetTransparentTest(
      [this](const std::string& target) { return checks.ResultFor(target).anonymity == Anonymity::kTransparent; });
  proxySwitch.OnSwitched([this](const std::string& target) {
    if (target.empty()) guard.Forget();
    else Watch(target, true);
  });
}

void Program::ApplyChosen() {
  checkRunner.SetPage(CheckPageOf(chosen));
  checkRunner.SetMaxInFlight(chosen.checksAtOnce);
  guardRunner.SetPage(CheckPageOf(chosen));
  guard.SetSeconds(chosen.guardSeconds);
  guard.SetFailover(chosen.failover);
  proxySwitch.SetRelayMode(chosen.relay);
  proxySwitch.SetRotation(chosen.rotation);
  proxySwitch.SetOwnBypass(chosen.bypass);
  relay.SetFirstPort(chosen.relayPort);
}

void Program::TellFaultySettings(WindowControls& window) {
  if (faultyKeys.empty() || faultsTold.exchange(true)) return;
  const std::string text = "settings.ini 中这些设置的值不对，已用默认值：" + JoinText(faultyKeys, "、");
  window.SetCaption(kThisWindow, text);
  window.ShowTrayBalloon(text);
}

void Program::Watch(const std::string& target, bool ours) {
  guard.Watch(JobOfTarget(target), checks.ResultFor(target).outcome == CheckOutcome::Passed, ours);
}

void Program::RelaySwitched(const Upstream& current) {
  mainWindow.Controls().Post([this, current] {
    if (!proxySwitch.Relayed()) return;
    CheckJob job;
    job.host = current.host, job.port = current.port, job.protocol = current.protocol;
    const std::string target = TargetText(job);
    mainWindow.Controls().SetCaption(main_window::kTargetLabel, target);
    const std::string text = "代理失效，已切换到 " + target;
    mainWindow.Controls().SetCaption(kThisWindow, text);
    mainWindow.Controls().ShowTrayBalloon(text);
  });
}

void Program::ShowRelayTraffic() {
  const RelayEngine::Traffic now = relay.Counters();
  const RelayEngine::Traffic before = std::exchange(lastTraffic, now);
  if (!proxySwitch.Relayed()) {
    if (!mainWindow.Controls().Caption(main_window::kTrafficLabel).empty())
      mainWindow.Controls().SetCaption(main_window::kTrafficLabel, "");
    return;
  }
  // Bytes in the last second, as KB/s; the counters start again with each relay.
  const auto rate = [](std::uint64_t a, std::uint64_t b) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", (a >= b ? a - b : a) / 1024.0);
    return std::string(text);
  };
  const std::string traffic = "中转 " + ToText(now.connections) + "个连接 ↓" + rate(now.down, before.down) + " KB/s ↑" +
                              rate(now.up, before.up) + " KB/s";
  mainWindow.Controls().SetTrayTip(ConnectedTip(mainWindow.Controls().Caption(main_window::kTargetLabel)) + "（" +
                                   traffic + "）");
  mainWindow.Controls().SetCaption(main_window::kTrafficLabel, traffic);
}

std::vector<EventBinding> Program::MainWindowEvents() {
  std::vector<EventBinding> events = mainWindow.Events();
  for (EventBinding& e : proxySwitch.Events()) events.push_back(std::move(e));
  for (EventBinding& e : promotion.Events()) events.push_back(std::move(e));
  for (EventBinding& e : checks.Events()) events.push_back(std::move(e));
  for (EventBinding& e : trayMenu.Events()) events.push_back(std::move(e));
  // The relay cannot outlive the session, nor can its watcher: the user's settings come back first.
  events.push_back({kThisWindow, EventKind::SessionEnding, [this](const EventArgs& e) {
                      proxySwitch.EndRelay();
                      KeepWindowPlace(*e.window, main_window::kProxyList, settings);
                    }});
  events.push_back({kThisWindow, EventKind::Destroying, [this](const EventArgs& e) {
                      KeepWindowPlace(*e.window, main_window::kProxyList, settings);
                    }});
  events.push_back({kThisWindow, EventKind::Created, [this](const EventArgs& e) {
                      RestoreWindowPlace(*e.window, main_window::kProxyList, chosen);
                    }});
  events.push_back({kThisWindow, EventKind::Minimised, [this](const EventArgs& e) {
                      if (chosen.minimiseToTray) e.window->SetVisible(kThisWindow, false);
                    }});
  events.push_back({kThisWindow, EventKind::AnotherStart, [this](const EventArgs& e) {
                      if (e.key == instanceKey) e.window->SetVisible(kThisWindow, true);
                    }});
  events.push_back({main_window::kConnectedTimer, EventKind::Tick, [this](const EventArgs&) {
                      guard.Tick();
                      ShowRelayTraffic();
                    }});
  return events;
}

void PrepareRun() {
  OleInitialize(nullptr);
  SetCurrentDirectoryW(ProgramFolder().c_str());
  ProgramCommands();  // sized now, resolved entry by entry on first call
  StartWindowFramework();
}

std::shared_ptr<Window> OpenMainWindow(Program& program) {
  std::shared_ptr<Window> window;
  LoadWindow(MainWindowLayout(), program.MainWindowEvents(), nullptr, false, &window);
  return window;
}

}  // namespace vantoip
