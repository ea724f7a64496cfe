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

class ProxySwitch {
 public:
  ProxySwitch(MainWindow& mainWindow, Services& services);

  std::vector<EventBinding> Events();  // 按钮2 click, 时钟1 tick

  void ToggleProxy();
  void TickConnectedTime();
  // True while a proxy is on (按钮2 says "断开").
  bool IsOn();
  // While on: the system proxy moves over to `target` as 连接 puts one on, and
  // the window shows it; false when it could not (the user's own settings are
  // back then, and the window is Off).
  bool SwitchTo(const std::string& target);
  // Told after 按钮2 turned a proxy on (its target) or off (an empty text).
  void OnSwitched(std::function<void(const std::string& target)> listener) { onSwitched_ = std::move(listener); }

  std::int32_t ConnectedMinutes() const { return connectedMinutes_; }
  std::int32_t ConnectedSeconds() const { return connectedSeconds_; }

 private:
  void ShowOn(const SwitchResult& result, const std::string& target);
  void ShowOff();

  MainWindow& main_;
  Services& services_;
  SystemProxy systemProxy_{services_};
  std::int32_t connectedMinutes_ = 0;
  std::int32_t connectedSeconds_ = 0;
  std::function<void(const std::string&)> onSwitched_;
};

}  // namespace vantoip
