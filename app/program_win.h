// The program's run: preparation, the main window, the message loop, the end.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/checks/list_checks.h"
#include "app/list/proxy_list.h"
#include "app/machine_services_win.h"
#include "app/main_window.h"
#include "app/modal_window_win.h"
#include "app/promotion/promotion.h"
#include "app/settings/program_settings.h"
#include "app/settings/settings_window.h"
#include "app/shell_opener_win.h"
#include "app/switch/engine_relay_win.h"
#include "app/switch/proxy_guard.h"
#include "app/switch/proxy_switch.h"
#include "app/tray_menu.h"
#include "net/socket_check_runner_win.h"

namespace vantoip {

class Window;

// Everything the main window works with, for the whole run.
struct Program : MachineServices {
  static const char* Environment(const char* name) { return std::getenv(name); }
  std::vector<std::string> faultyKeys;  // settings.ini's keys whose values were not good
  std::atomic<bool> faultsTold{false};
  // settings.ini's, the environment's variables winning over it.
  ProgramSettings chosen = WithEnvironment(ReadProgramSettings(settings, &faultyKeys), &Environment);
  SharedState state;
  MainWindow mainWindow;
  ProxySwitch proxySwitch{mainWindow, services};
  ProxyListReader listReader;
  SocketCheckRunner checkRunner;  // the chosen check pages, the chosen number at once
  SocketCheckRunner guardRunner;  // the guard's: the proxy on, then its candidates
  ProxyGuard guard;               // every chosen number of seconds
  ListChecks checks;
  // Its failovers are told on the window's thread, as the guard's are.
  EngineRelay relay{[this](const Upstream& current) { RelaySwitched(current); }};
  WindowsShellOpener shellOpener;
  Promotion promotion{shellOpener, LoadModalOver};
  TrayMenu trayMenu{mainWindow, proxySwitch, checks};
  SettingsWindow settingsWindow;
  int instanceKey = -1;  // SingleInstance's: a later start of this data folder sends it

  // The list is read from `listSources` (normally ProxySources, read anew
  // every run); a source not in within `sourceTimeout` of a run's start has failed.
  explicit Program(ProxySourceProvider listSources, std::chrono::milliseconds sourceTimeout = std::chrono::seconds(30));
  // Every handler of the main window.
  std::vector<EventBinding> MainWindowEvents();
  // Names the faulty keys, once: after the first list's title, where it stays until the next.
  void TellFaultySettings(WindowControls& window);
  // `chosen` takes effect: in the runners, the guard, the switch and the relay.
  void ApplyChosen();
  // The guard watches the proxy that went on; it may change it when `ours`.
  void Watch(const std::string& target, bool ours);
  // The relay's current upstream failed three times in a row; `current` took over.
  void RelaySwitched(const Upstream& current);
  // Once a second while the relay is the machine's proxy: its traffic in the notification icon's tip.
  void ShowRelayTraffic();
  RelayEngine::Traffic lastTraffic;
};

// Run-time preparation on the main thread: OLE, the program folder as the
// current directory, the native command table, the window framework.
void PrepareRun();

// Loads the main window as the start window; null when it cannot be created.
std::shared_ptr<Window> OpenMainWindow(Program& program);

}  // namespace vantoip
