// The notification icon's menu and clicks: a left click shows or hides the
// main window, a right click offers what the list's menu and the main window
// do most, with the list menu's access keys where an item is the same.
#pragma once

#include <vector>

#include "app/checks/list_checks.h"
#include "app/main_window.h"
#include "app/switch/proxy_switch.h"

namespace vantoip {

enum TrayCommand {
  kTrayConnectFastest = 1,
  kTrayDisconnect,
  kTrayFailover,
  kTrayRelay,
  kTraySettings,
  kTrayShowWindow,
  kTrayExit,
};

class TrayMenu {
 public:
  TrayMenu(MainWindow& mainWindow, ProxySwitch& proxySwitch, ListChecks& checks)
      : main_(mainWindow), switch_(proxySwitch), checks_(checks) {}

  std::vector<EventBinding> Events();
  void OnClick();
  void OnMenu(const EventArgs& e = {});

 private:
  MainWindow& main_;
  ProxySwitch& switch_;
  ListChecks& checks_;
};

}  // namespace vantoip
