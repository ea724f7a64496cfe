// Entry point of Vantoip.exe.
#include <windows.h>

#include "app/list/proxy_sources_win.h"
#include "app/program_win.h"
#include "runtime/fatal.h"
#include "runtime/fatal_win.h"
#include "ui/message_loop_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace vantoip;
  InstallFatalErrorBox();
  PrepareRun();
  static Program program(&ProxySources);  // lives until the process ends; workers may still use it
  AtEndOfRun([] {
    program.proxySwitch.EndRelay();
    program.state.Clear();
  });
  if (!OpenMainWindow(program)) RaiseFatalError("载入启动窗口失败");
  RunMessageLoop();
  RunEndOfRun();
  EndProcess(0);  // nothing waits for worker threads
}
