#include "app/program_win.h"

#include <windows.h>
#include <ole2.h>

#include <cstdlib>

#include "app/main_window_layout.h"
#include "app/proxy_list_win.h"
#include "app/proxy_sources_win.h"
#include "app/skin_win.h"
#include "runtime/native_commands_win.h"
#include "runtime/system_win.h"
#include "ui/message_loop_win.h"
#include "ui/window_win.h"

namespace vantoip {
namespace {

CheckPage CheckPageFromEnvironment() {
  CheckPage page = CheckPageFrom(std::getenv("VANTOIP_CHECK_URL"), std::getenv("VANTOIP_CHECK_TEXT"));
  page.https = HttpsPageFrom(std::getenv("VANTOIP_CHECK_HTTPS_URL"), std::getenv("VANTOIP_CHECK_HTTPS_STATUS"));
  return page;
}

}  // namespace

Program::Program(ProxySourceProvider listSources)
    : mainWindow(services, state,
                 MainWindowParts{.applySkin = [] { ApplySkin(13); },
                                 .readProxyList = [this](const std::shared_ptr<WindowControls>& window) {
                                   listReader.ReadProxyList(window);
                                 },
                                 .listRunStarting = [this] { checks.OnListRunStarting(); }}),
      listReader(std::move(listSources), &MakeWindowsPageReader, threads),
      checker(CheckPageFromEnvironment(), ChecksInFlightFrom(std::getenv("VANTOIP_CHECK_PARALLEL"))),
      checks(mainWindow, proxySwitch, checker, &EditProxySources, &LocalTimeText) {}

std::vector<EventBinding> Program::MainWindowEvents() {
  std::vector<EventBinding> events = mainWindow.Events();
  for (EventBinding& e : proxySwitch.Events()) events.push_back(std::move(e));
  for (EventBinding& e : promotion.Events()) events.push_back(std::move(e));
  for (EventBinding& e : checks.Events()) events.push_back(std::move(e));
  return events;
}

void PrepareRun() {
  OleInitialize(nullptr);
  SetCurrentDirectoryW(ProgramFolder().c_str());
  ProgramCommands();  // sized now, resolved entry by entry on first call
  StartWindowFramework();
}

std::shared_ptr<Window> OpenMainWindow(Program& program) {
  std::shared_ptr<Window> window;
  LoadWindow(MainWindowLayout(), program.MainWindowEvents(), nullptr, false, &window);
  return window;
}

}  // namespace vantoip
