// Entry point of Vantoip.exe.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "app/data_folder_win.h"
#include "app/list/proxy_sources_win.h"
#include "app/program_win.h"
#include "app/single_instance_win.h"
#include "app/switch/relay_watcher_win.h"
#include "runtime/fatal.h"
#include "runtime/fatal_win.h"
#include "ui/message_loop_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace vantoip;
  // The relay's watcher, started by the program itself: no window, no other work.
  int count = 0;
  if (LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
    if (count == 3 && std::wcscmp(arguments[1], kWatchRelayArgument) == 0)
      return WatchRelay(static_cast<DWORD>(std::wcstoul(arguments[2], nullptr, 10)));
    LocalFree(arguments);
  }
  static const SingleInstance instance(DataFolder());
  if (!instance.First()) {
    instance.ShowFirst();
    return 0;
  }
  InstallFatalErrorBox();
  PrepareRun();
  static Program program(&ProxySources);  // lives until the process ends; workers may still use it
  program.instanceKey = instance.Key();
  AtEndOfRun([] {
    program.proxySwitch.EndRelay();
    program.state.Clear();
  });
  if (!OpenMainWindow(program)) RaiseFatalError("载入启动窗口失败");
  RunMessageLoop();
  RunEndOfRun();
  EndProcess(0);  // nothing waits for worker threads
}
