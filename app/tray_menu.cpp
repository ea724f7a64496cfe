#include "app/tray_menu.h"

namespace vantoip {

std::vector<EventBinding> TrayMenu::Events() {
  return {
      {kThisWindow, EventKind::TrayClick, [this](const EventArgs&) { OnClick(); }},
      {kThisWindow, EventKind::TrayMenu, [this](const EventArgs& e) { OnMenu(e); }},
  };
}

void TrayMenu::OnClick() {
  WindowControls& w = main_.Controls();
  w.SetVisible(kThisWindow, !w.Visible(kThisWindow));
}

void TrayMenu::OnMenu(const EventArgs& e) {
  WindowControls& w = main_.Controls();
  const bool on = switch_.IsOn();
  const std::vector<MenuItem> items = {
      {kTrayConnectFastest, "连接最快的可用代理(&F)"},
      {kTrayDisconnect, "断开(&D)", false, on},
      {},
      {kTrayFailover, "自动切换失效代理(&G)", checks_.Failover()},
      {kTrayRelay, "本地中转(&R)", switch_.RelayMode()},
      {},
      {kTraySettings, "设置(&O)…"},
      {kTrayShowWindow, "显示主窗口(&S)"},
      {kTrayExit, "退出(&X)"},
  };
  switch (w.ShowMenu(items)) {
    case kTrayConnectFastest: checks_.ConnectFastest(); break;
    case kTrayDisconnect:
      checks_.CancelConnect();  // as 断开 itself does
      if (switch_.IsOn()) switch_.ToggleProxy();
      break;
    case kTrayFailover: checks_.ToggleFailover(); break;
    case kTrayRelay: checks_.ToggleRelay(); break;
    case kTraySettings: checks_.OpenSettings(e); break;
    case kTrayShowWindow: w.SetVisible(kThisWindow, true); break;
    case kTrayExit: w.Close(); break;
  }
}

}  // namespace vantoip
