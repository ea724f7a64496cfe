#include "app/main_window.h"

#include <algorithm>

#include "runtime/convert.h"
#include "runtime/text.h"
#include "runtime/text_array.h"

namespace vantoip {

ProxyTarget SplitTarget(const std::string& target) {
  const TextArray parts = SplitText(target, ":");
  ProxyTarget split;
  if (parts.Count() >= 1) split.host = parts[1];
  if (parts.Count() >= 2) split.port = parts[2];
  return split;
}

MainWindow::MainWindow(Services& services, SharedState& state, MainWindowParts parts)
    : services_(services), state_(state), parts_(std::move(parts)) {}

std::vector<EventBinding> MainWindow::Events() {
  return {
      {kThisWindow, EventKind::Created, [this](const EventArgs& e) { OnCreated(e.window); }},
      {"超级列表框1", EventKind::ListClick, [this](const EventArgs&) { OnRowPick(); }},
      {"标签_状态", EventKind::MouseDown, [this](const EventArgs&) { OnStatusToggle(); }},
      {"按钮1", EventKind::Click, [this](const EventArgs&) { OnRefresh(); }},
      // Destroying: nothing to do; the run ends when the last window is gone
      // and the proxy settings stay as they are.
  };
}

void MainWindow::OnCreated(const std::shared_ptr<WindowControls>& window) {
  window_ = window;
  if (parts_.applySkin) parts_.applySkin();
  OnRefresh();
  window_->SetCaption("标签_目标", services_.registry.ReadText(kProxyServerPath));
  const std::int32_t enable = services_.registry.ReadNumber(kProxyEnablePath);
  window_->SetCaption("标签_状态", enable == 1 ? "启用" : "禁用");
  const std::string target = window_->Caption("标签_目标");
  if (CompareText(window_->Caption("标签_状态"), "启用") == 0 && !target.empty()) {
    const ProxyTarget split = SplitTarget(target);
    state_.SetTarget(split.host, split.port);
    StartDelayTest();
    window_->SetCaption("按钮2", "断开");
    window_->SetInterval("时钟1", 1000);
    window_->SetDisabled("超级列表框1", true);
  }
}

void MainWindow::OnRowPick() {
  const int row = window_->CurrentRow("超级列表框1");
  const std::string host = window_->GetCellText("超级列表框1", row, 1);
  const std::string port = window_->GetCellText("超级列表框1", row, 2);
  state_.SetTarget(host, port);
  window_->SetCaption("标签_目标", host + ":" + port);
  StartDelayTest();
}

void MainWindow::OnStatusToggle() {
  const bool wasOn = CompareText(window_->Caption("标签_状态"), "启用") == 0;
  window_->SetCaption("标签_状态", wasOn ? "禁用" : "启用");
  services_.registry.Write(kProxyEnablePath, std::int32_t{wasOn ? 0 : 1});
}

void MainWindow::OnRefresh() {
  if (parts_.readProxyList) services_.threads.Start(parts_.readProxyList);
}

void MainWindow::StartDelayTest() {
  services_.threads.Start([this] { DelayTest(); });
}

void MainWindow::DelayTest() {
  const std::shared_ptr<WindowControls> window = window_;
  const std::uint64_t t0 = services_.clock.Milliseconds();
  std::uint64_t version = 0;
  const ProxyTarget target = state_.Target(&version);  // one consistent copy
  const std::int64_t port = TruncateToInteger(ToNumber(target.port));
  window->ConnectClient("客户1", target.host, static_cast<int>(std::clamp<std::int64_t>(port, INT32_MIN, INT32_MAX)));
  const std::uint64_t t1 = services_.clock.Milliseconds();
  // A test overtaken by a newer pick would show its time beside the other target.
  if (state_.IsTargetVersion(version)) window->SetCaption("标签_延迟", ToText(static_cast<double>(t1 - t0)));
}

}  // namespace vantoip
