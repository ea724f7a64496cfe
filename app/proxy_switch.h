// The proxy switch: 按钮2 turns the target on as the machine's proxy and off
// again; 时钟1 counts the connected time and re-measures the delay each minute.
#pragma once

#include <cstdint>
#include <vector>

#include "app/main_window.h"
#include "app/system_proxy.h"

namespace vantoip {

class ProxySwitch {
 public:
  ProxySwitch(MainWindow& mainWindow, Services& services);

  std::vector<EventBinding> Events();  // 按钮2 click, 时钟1 tick

  void ToggleProxy();
  void TickConnectedTime();

  std::int32_t ConnectedMinutes() const { return connectedMinutes_; }
  std::int32_t ConnectedSeconds() const { return connectedSeconds_; }

 private:
  MainWindow& main_;
  Services& services_;
  SystemProxy systemProxy_{services_};
  std::int32_t connectedMinutes_ = 0;
  std::int32_t connectedSeconds_ = 0;
};

}  // namespace vantoip
