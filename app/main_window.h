// The main window's own handlers: start-up state from the registry, row pick,
// status toggle, refresh, and the delay test worker.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/services.h"
#include "app/shared_state.h"
#include "net/check_protocol.h"
#include "ui/window_controls.h"

namespace vantoip {

inline constexpr char kProxyServerPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyServer";
inline constexpr char kProxyEnablePath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyEnable";

// Host and port of a target text "host:port" (or "socks=host:port"); a text
// without a port part (no colon, or nothing after it) gives an empty port.
ProxyTarget SplitTarget(const std::string& target);
// The proxy to check that a host and a port text name: the port is the text's
// number, kept within 0..65536 (out of range: no connect succeeds).
CheckJob JobOf(const ProxyTarget& target);
// The proxy a target text names, SOCKS4 for "socks=host:port".
CheckJob JobOfTarget(const std::string& target);

// The notification area icon's tip: the state.
inline constexpr char kDisconnectedTip[] = "Vantoip：未连接";
std::string ConnectedTip(const std::string& target);

// Collaborators that other parts of the program supply.
struct MainWindowParts {
  std::function<void()> applySkin;      // first step of the created handler
  // Body of a list-reading worker thread, writing into the given window.
  std::function<void(const std::shared_ptr<WindowControls>&)> readProxyList;
  // Told on the window's thread before each list run starts.
  std::function<void()> listRunStarting;
  // A proxy was found on at start: one from before this run of the program.
  std::function<void(const std::string& target)> proxyFoundOn;
  // The user toggled the status label.
  std::function<void()> statusToggled;
};

class MainWindow {
 public:
  MainWindow(Services& services, SharedState& state, MainWindowParts parts);

  // Bindings of the window's own handlers (created, row pick, status toggle,
  // refresh); nothing is bound to destroying.
  std::vector<EventBinding> Events();

  void OnCreated(const std::shared_ptr<WindowControls>& window);
  void OnRowPick();
  void OnStatusToggle();
  void OnRefresh();
  // 标签_状态 says the machine's proxy is enabled.
  bool StatusOn();

  // The window's controls (set when it was created) and the shared values.
  WindowControls& Controls() { return *window_; }
  SharedState& State() { return state_; }

  // The proxy of the row picked last: its protocol and credentials too.
  const CheckJob& Picked() const { return picked_; }

  // Starts DelayTest on a thread of its own.
  void StartDelayTest();
  // Times a TCP connect to the current target into the delay label.
  void DelayTest();

 private:
  Services& services_;
  SharedState& state_;
  MainWindowParts parts_;
  std::shared_ptr<WindowControls> window_;
  CheckJob picked_;
};

// The protocol a 协议 cell names; HTTP for any other text.
ProxyProtocol ProtocolOfCell(std::string_view text);

}  // namespace vantoip
