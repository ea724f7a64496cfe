#include "app/switch/proxy_switch.h"
#include "app/main_window_controls.h"

#include "runtime/convert.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

std::string TwoDigits(std::int32_t value) { return (value < 10 ? "0" : "") + ToText(value); }

}  // namespace

bool IsRelayAddress(const std::string& setting) {
  for (int port = kFirstRelayPort; port <= kLastRelayPort; ++port)
    if (setting == RelayAddress(port)) return true;
  return false;
}

ProxySwitch::ProxySwitch(MainWindow& mainWindow, Services& services) : main_(mainWindow), services_(services) {}

std::vector<EventBinding> ProxySwitch::Events() {
  return {
      {main_window::kConnectButton, EventKind::Click, [this](const EventArgs&) { ToggleProxy(); }},
      {main_window::kConnectedTimer, EventKind::Tick, [this](const EventArgs&) { TickConnectedTime(); }},
  };
}

bool ProxySwitch::IsOn() {
  return CompareText(main_.Controls().Caption(main_window::kConnectButton), main_window::kConnectCaption) != 0;
}

void ProxySwitch::ToggleProxy() {
  WindowControls& window = main_.Controls();
  const std::string target = window.Caption(main_window::kTargetLabel);
  if (target.empty()) return;
  if (!IsOn()) {
    const std::string setting = RelayFor(target);
    if (setting.empty()) return window.SetCaption(kThisWindow, kRelayFailed);
    const SwitchResult result = systemProxy_.TurnOn(setting);
    if (result.outcome != SwitchOutcome::kOn && result.outcome != SwitchOutcome::kRestoreFailed && Relayed()) {
      relay_->Stop();  // the user's own settings stand: nothing points at the relay
      relayAddress_.clear();
    }
    switch (result.outcome) {
      case SwitchOutcome::kOn:
        ShowOn(result, target);
        window.SetCaption(main_window::kTimeLabel, "00:00");
        window.SetInterval(main_window::kConnectedTimer, 1000);
        return Tell(target);
      case SwitchOutcome::kRestoreFailed: return ShowRestoreFailed();
      default:  // nothing changed, or the user's own settings are back
        window.SetCaption(kThisWindow, result.why.empty() ? "代理连接失败" : result.why);
        window.SetCaption(main_window::kConnectButton, main_window::kConnectCaption);
        return;
    }
  }
  window.SetCaption(main_window::kConnectButton, main_window::kConnectCaption);
  const bool off = systemProxy_.TurnOff(Relayed() ? relayAddress_ : target);
  Tell("");  // the automation stops either way: the user wants the proxy off
  if (!off) return ShowRestoreFailed();  // the relay goes on: the settings still point at it
  if (Relayed()) relay_->Stop();
  relayAddress_.clear();
  window.SetCaption(kThisWindow, "取消代理");
  ShowOff();
}

bool ProxySwitch::GiveBackLeftRelay(const std::string& target) {
  if (Relayed() || !IsRelayAddress(target) || !IsOn()) return false;
  ToggleProxy();
  return true;
}

void ProxySwitch::EndRelay() {
  if (!Relayed()) return;
  systemProxy_.TurnOff(relayAddress_);
  relay_->Stop();
  relayAddress_.clear();
}

std::vector<Upstream> ProxySwitch::UpstreamsFor(const std::string& target) const {
  if (upstreams_) return upstreams_(target);
  const CheckJob& picked = main_.Picked();
  return {UpstreamOf(TargetText(picked) == target ? picked : JobOfTarget(target))};
}

std::string ProxySwitch::RelayFor(const std::string& target) {
  const std::vector<Upstream> upstreams = UpstreamsFor(target);
  const bool needed = Relayed() || relayMode_ || (!upstreams.empty() && NeedsRelay(upstreams.front()));
  if (!needed) return target;
  const int port = relay_ ? relay_->Carry(upstreams) : 0;
  relayAddress_ = port ? RelayAddress(port) : "";
  return relayAddress_;
}

SwitchResult ProxySwitch::SwitchTo(const std::string& target) {
  WindowControls& window = main_.Controls();
  const bool wasRelayed = Relayed();
  const std::string setting = RelayFor(target);
  // Through the relay already: it carries the new target from now on, the machine's settings stay.
  const SwitchResult result = setting.empty()          ? SwitchResult{SwitchOutcome::kUnchanged, 0, kRelayFailed}
                              : wasRelayed && Relayed() ? SwitchResult{SwitchOutcome::kOn}
                                                        : systemProxy_.TurnOn(setting);
  const bool givenUp = result.outcome == SwitchOutcome::kUnchanged || result.outcome == SwitchOutcome::kUserSettingsBack;
  if (!wasRelayed && Relayed() && givenUp) {
    relay_->Stop();
    relayAddress_.clear();
  }
  switch (result.outcome) {
    case SwitchOutcome::kOn: {
      ShowOn(result, target);
      window.SetCaption(main_window::kTargetLabel, target);
      const ProxyTarget split = SplitTarget(target);
      main_.State().SetTarget(split.host, split.port);
      main_.StartDelayTest();
      Tell(target);
      break;
    }
    case SwitchOutcome::kUnchanged:
      window.SetCaption(kThisWindow, result.why.empty() ? "代理连接失败" : result.why);
      break;
    case SwitchOutcome::kUserSettingsBack:
      window.SetCaption(main_window::kConnectButton, main_window::kConnectCaption);
      ShowOff();
      Tell("");
      break;
    case SwitchOutcome::kRestoreFailed: ShowRestoreFailed(); break;
  }
  return result;
}

void ProxySwitch::Tell(const std::string& target) {
  if (onSwitched_) onSwitched_(target);
}

void ProxySwitch::ShowRestoreFailed() {
  WindowControls& window = main_.Controls();
  window.SetCaption(kThisWindow, kRestoreFailed);
  window.SetCaption(main_window::kConnectButton, main_window::kDisconnectCaption);
  window.SetDisabled(main_window::kProxyList, true);
}

void ProxySwitch::ShowOn(const SwitchResult& result, const std::string& target) {
  WindowControls& window = main_.Controls();
  window.SetTrayTip(ConnectedTip(target));
  std::string title = "代理连接成功";
  if (transparent_ && transparent_(target)) title += "（透明代理）";
  // The relay's port is named when another program holds the first one.
  if (Relayed()) title += relayAddress_ == RelayAddress(kFirstRelayPort) ? "（经本地中转）" : "（经本地中转 " + relayAddress_ + "）";
  if (result.connectionsNotSet > 0) title += "（" + ToText(result.connectionsNotSet) + "个连接未能设置）";
  window.SetCaption(kThisWindow, title);
  window.SetDisabled(main_window::kProxyList, true);
  window.SetCaption(main_window::kStatusLabel, main_window::kStatusOn);
  window.SetCaption(main_window::kConnectButton, main_window::kDisconnectCaption);
}

void ProxySwitch::ShowOff() {
  WindowControls& window = main_.Controls();
  window.SetTrayTip(kDisconnectedTip);
  window.SetCaption(main_window::kStatusLabel, main_window::kStatusOff);
  window.SetDisabled(main_window::kProxyList, false);
  window.SetInterval(main_window::kConnectedTimer, 0);
}

void ProxySwitch::TickConnectedTime() {
  WindowControls& window = main_.Controls();
  if (CompareText(window.Caption(main_window::kTimeLabel), "00:00") == 0) {
    connectedMinutes_ = 0;
    connectedSeconds_ = 0;
  }
  if (++connectedSeconds_ == 60) {
    connectedSeconds_ = 0;
    ++connectedMinutes_;
  }
  window.SetCaption(main_window::kTimeLabel, TwoDigits(connectedMinutes_) + ":" + TwoDigits(connectedSeconds_));
  if (connectedSeconds_ == 59 && IsOn()) {
    // A target without a port part measures port 1, as at start-up.
    const ProxyTarget split = SplitTarget(window.Caption(main_window::kTargetLabel));
    main_.State().SetTarget(split.host, split.port);
    main_.StartDelayTest();
  }
}

}  // namespace vantoip
