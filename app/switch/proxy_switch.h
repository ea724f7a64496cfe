// The proxy switch: 按钮2 turns the target on as the machine's proxy and off
// again; 时钟1 counts the connected time and re-measures the delay each minute.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/switch/system_proxy.h"

namespace vantoip {

inline constexpr char kSocks5NeedsRelay[] = "SOCKS5代理需开启本地中转";

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
  // Asked when a proxy comes on: true when its last check found it 透明 (the title says so).
  void SetTransparentTest(std::function<bool(const std::string& target)> test) { transparent_ = std::move(test); }

  std::int32_t ConnectedMinutes() const { return connectedMinutes_; }
  std::int32_t ConnectedSeconds() const { return connectedSeconds_; }

 private:
  void ShowOn(const SwitchResult& result, const std::string& target);
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
};

}  // namespace vantoip
