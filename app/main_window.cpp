#include "app/main_window.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <tuple>

#include "app/list/proxy_address.h"
#include "app/main_window_controls.h"
#include "runtime/convert.h"
#include "runtime/text.h"
#include "runtime/text_array.h"

namespace vantoip {

ProxyTarget SplitTarget(const std::string& target) {
  const bool socks = target.rfind(kSocksTargetPrefix, 0) == 0;
  const TextArray parts = SplitText(socks ? target.substr(std::strlen(kSocksTargetPrefix)) : target, ":");
  ProxyTarget split;
  if (parts.Count() >= 1) split.host = parts[1];
  if (parts.Count() >= 2) split.port = parts[2];
  return split;
}

CheckJob JobOf(const ProxyTarget& target) {
  const std::int64_t port = TruncateToInteger(ToNumber(target.port));
  return {target.host, static_cast<int>(std::clamp<std::int64_t>(port, 0, 65536))};
}

CheckJob JobOfTarget(const std::string& target) {
  CheckJob job = JobOf(SplitTarget(target));
  if (target.rfind(kSocksTargetPrefix, 0) == 0) job.protocol = ProxyProtocol::kSocks4;
  return job;
}

MainWindow::MainWindow(Services& services, SharedState& state, MainWindowParts parts)
    : services_(services), state_(state), parts_(std::move(parts)) {}

std::vector<EventBinding> MainWindow::Events() {
  return {
      {kThisWindow, EventKind::Created, [this](const EventArgs& e) { OnCreated(e.window); }},
      {main_window::kProxyList, EventKind::ListClick, [this](const EventArgs&) { OnRowPick(); }},
      {main_window::kStatusLabel, EventKind::MouseDown, [this](const EventArgs&) { OnStatusToggle(); }},
      {main_window::kRefreshButton, EventKind::Click, [this](const EventArgs&) { OnRefresh(); }},
      // Destroying: nothing to do; the run ends when the last window is gone
      // and the proxy settings stay as they are.
  };
}

void MainWindow::OnCreated(const std::shared_ptr<WindowControls>& window) {
  window_ = window;
  if (parts_.applySkin) parts_.applySkin();
  OnRefresh();
  window_->SetCaption(main_window::kTargetLabel, services_.registry.ReadText(kProxyServerPath));
  const std::int32_t enable = services_.registry.ReadNumber(kProxyEnablePath);
  window_->SetCaption(main_window::kStatusLabel, enable == 1 ? main_window::kStatusOn : main_window::kStatusOff);
  const std::string target = window_->Caption(main_window::kTargetLabel);
  const bool proxyOn = StatusOn() && !target.empty();
  if (proxyOn) {
    const ProxyTarget split = SplitTarget(target);
    state_.SetTarget(split.host, split.port);
    StartDelayTest();
    window_->SetCaption(main_window::kConnectButton, main_window::kDisconnectCaption);
    window_->SetInterval(main_window::kConnectedTimer, 1000);
    window_->SetDisabled(main_window::kProxyList, true);
    if (parts_.proxyFoundOn) parts_.proxyFoundOn(target);
  }
  window_->SetTrayTip(proxyOn ? ConnectedTip(target) : kDisconnectedTip);
}

std::string ConnectedTip(const std::string& target) { return "Vantoip：已连接 " + target; }

void MainWindow::OnRowPick() {
  const int row = window_->CurrentRow(main_window::kProxyList);
  const std::string host = window_->GetCellText(main_window::kProxyList, row, kAddressColumn);
  const std::string port = window_->GetCellText(main_window::kProxyList, row, kPortColumn);
  state_.SetTarget(host, port);
  const ProxyProtocol protocol = ProtocolOfCell(window_->GetCellText(main_window::kProxyList, row, kProtocolColumn));
  picked_ = JobOf({host, port});
  picked_.protocol = protocol;
  std::tie(picked_.user, picked_.password) =
      CredentialsOfCell(window_->GetCellText(main_window::kProxyList, row, kCredentialsColumn));
  // A SOCKS4 proxy as Windows and browsers read it from the proxy server setting.
  const std::string prefix = protocol == ProxyProtocol::kSocks4 ? kSocksTargetPrefix : "";
  window_->SetCaption(main_window::kTargetLabel, prefix + host + ":" + port);
  StartDelayTest();
}

ProxyProtocol ProtocolOfCell(std::string_view text) { return ProtocolNamed(text).value_or(ProxyProtocol::kHttp); }

bool MainWindow::StatusOn() {
  return CompareText(window_->Caption(main_window::kStatusLabel), main_window::kStatusOn) == 0;
}

void MainWindow::OnStatusToggle() {
  const bool wasOn = StatusOn();
  window_->SetCaption(main_window::kStatusLabel, wasOn ? main_window::kStatusOff : main_window::kStatusOn);
  services_.registry.Write(kProxyEnablePath, std::int32_t{wasOn ? 0 : 1});
  if (parts_.statusToggled) parts_.statusToggled();
}

void MainWindow::OnRefresh() {
  if (parts_.listRunStarting) parts_.listRunStarting();
  if (parts_.readProxyList) services_.threads.Start([this, window = window_] { parts_.readProxyList(window); });
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
  window->ConnectClient(main_window::kDelayClient, target.host, static_cast<int>(std::clamp<std::int64_t>(port, INT32_MIN, INT32_MAX)));
  const std::uint64_t t1 = services_.clock.Milliseconds();
  // A test overtaken by a newer pick would show its time beside the other
  // target. Picks happen on the window's thread: decide there, with the write.
  window->Post([this, window = window.get(), version, delay = ToText(static_cast<double>(t1 - t0))] {
    if (state_.IsTargetVersion(version)) window->SetCaption(main_window::kDelayLabel, delay);
  });
}

}  // namespace vantoip
