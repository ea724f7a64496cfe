// The proxy switch: 按钮2 turns the target on as the machine's proxy and off
// again; 时钟1 counts the connected time and re-measures the delay each minute.
// Through the local relay (本地中转, or a proxy Windows cannot use itself:
// SOCKS5, credentials) the machine's proxy is the relay, which carries its
// connections through the target, the other working proxies behind it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/switch/local_relay.h"
#include "app/switch/system_proxy.h"

namespace vantoip {

inline constexpr char kRelayFailed[] = "本地中转无法启动";

class ProxySwitch {
 public:
  ProxySwitch(MainWindow& mainWindow, Services& services);

  std::vector<EventBinding> Events();  // 按钮2 click, 时钟1 tick

  void ToggleProxy();
  void TickConnectedTime();
  // True while a proxy is on (按钮2 says "断开").
  bool IsOn();
  // While on: the system proxy moves over to `target` as 连接 puts one on, and
  // the window shows it. When it could not: unchanged, the window still on
  // the proxy before; or the user's own settings back and the window Off; or
  // those could not be given back either, and the window stays On for 断开.
  SwitchResult SwitchTo(const std::string& target);
  // Told after a proxy was turned on (its target) or off (an empty text).
  void OnSwitched(std::function<void(const std::string& target)> listener) { onSwitched_ = std::move(listener); }
  // The relay, and the upstreams a target stands for: itself first, then the
  // working proxies to fail over to.
  void UseRelay(LocalRelay* relay, std::function<std::vector<Upstream>(const std::string& target)> upstreams) {
    relay_ = relay;
    upstreams_ = std::move(upstreams);
  }
  // "本地中转": 连接 puts the relay in place for every proxy.
  void SetRelayMode(bool on) { relayMode_ = on; }
  bool RelayMode() const { return relayMode_; }
  // The user's own bypass entries, merged into the list written with a proxy from the next 连接.
  void SetOwnBypass(std::string entries) { systemProxy_.SetOwnBypass(std::move(entries)); }
  // "轮换模式": each relayed connection through the next of the best.
  void SetRotation(bool on) {
    rotation_ = on;
    if (relay_) relay_->SetRotation(on);
  }
  bool Rotation() const { return rotation_; }
  // The relay is the machine's proxy now.
  bool Relayed() const { return !relayAddress_.empty(); }
  // The program ends: the relay cannot outlive it, so with the relay in place
  // the user's own settings come back first (the window is gone: nothing shown).
  void EndRelay();
  // At start the machine's proxy is a relay of ours that nothing carries (the
  // program and its watcher died): 断开 gives the user's settings back. True
  // when `target`, the proxy found on, was one.
  bool GiveBackLeftRelay(const std::string& target);
  // Asked when a proxy comes on: true when its last check found it 透明 (the title says so).
  void SetTransparentTest(std::function<bool(const std::string& target)> test) { transparent_ = std::move(test); }

  std::int32_t ConnectedMinutes() const { return connectedMinutes_; }
  std::int32_t ConnectedSeconds() const { return connectedSeconds_; }

 private:
  void ShowOn(const SwitchResult& result, const std::string& target);
  std::vector<Upstream> UpstreamsFor(const std::string& target) const;
  // Puts the relay before `target` when it is to carry it; the setting to
  // write (the relay's address, or the target itself), or empty when the relay
  // cannot listen.
  std::string RelayFor(const std::string& target);
  void ShowOff();
  // The user's settings could not be given back: On, so that 断开 tries again.
  void ShowRestoreFailed();
  void Tell(const std::string& target);

  MainWindow& main_;
  Services& services_;
  SystemProxy systemProxy_{services_};
  std::int32_t connectedMinutes_ = 0;
  std::int32_t connectedSeconds_ = 0;
  std::function<void(const std::string&)> onSwitched_;
  std::function<bool(const std::string&)> transparent_;
  LocalRelay* relay_ = nullptr;
  std::function<std::vector<Upstream>(const std::string&)> upstreams_;
  bool relayMode_ = false, rotation_ = false;
  std::string relayAddress_;  // while the relay is the machine's proxy
};

}  // namespace vantoip
