#include "app/proxy_switch.h"

#include "app/machine_proxy.h"
#include "runtime/convert.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

std::string TwoDigits(std::int32_t value) { return (value < 10 ? "0" : "") + ToText(value); }

}  // namespace

ProxySwitch::ProxySwitch(MainWindow& mainWindow, Services& services) : main_(mainWindow), services_(services) {}

std::vector<EventBinding> ProxySwitch::Events() {
  return {
      {"按钮2", EventKind::Click, [this](const EventArgs&) { ToggleProxy(); }},
      {"时钟1", EventKind::Tick, [this](const EventArgs&) { TickConnectedTime(); }},
  };
}

void ProxySwitch::ToggleProxy() {
  WindowControls& window = main_.Controls();
  const std::string target = window.Caption("标签_目标");
  if (target.empty()) return;
  if (CompareText(window.Caption("按钮2"), "连接") == 0) {
    if (!ApplyMachineProxy(services_.registry, services_.internet, target)) {
      window.SetCaption(kThisWindow, "代理连接失败");
      window.SetCaption("按钮2", "连接");
      return;
    }
    window.SetCaption(kThisWindow, "代理连接成功");
    window.SetDisabled("超级列表框1", true);
    window.SetCaption("标签_状态", "启用");
    window.SetCaption("按钮2", "断开");
    window.SetCaption("标签_计时", "00:00");
    window.SetInterval("时钟1", 1000);
  } else {
    window.SetCaption("按钮2", "连接");
    ApplyMachineProxy(services_.registry, services_.internet);
    window.SetCaption(kThisWindow, "取消代理");
    window.SetCaption("标签_状态", "禁用");
    window.SetDisabled("超级列表框1", false);
    window.SetInterval("时钟1", 0);
  }
}

void ProxySwitch::TickConnectedTime() {
  WindowControls& window = main_.Controls();
  if (CompareText(window.Caption("标签_计时"), "00:00") == 0) {
    connectedMinutes_ = 0;
    connectedSeconds_ = 0;
  }
  if (++connectedSeconds_ == 60) {
    connectedSeconds_ = 0;
    ++connectedMinutes_;
  }
  window.SetCaption("标签_计时", TwoDigits(connectedMinutes_) + ":" + TwoDigits(connectedSeconds_));
  if (connectedSeconds_ == 59 && CompareText(window.Caption("按钮2"), "连接") != 0) {
    // A target without a port part measures port 1, as at start-up.
    const ProxyTarget split = SplitTarget(window.Caption("标签_目标"));
    main_.State().SetTarget(split.host, split.port);
    main_.StartDelayTest();
  }
}

}  // namespace vantoip
