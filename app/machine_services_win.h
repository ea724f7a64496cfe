// The machine as the program's code reaches it: the Windows side of every
// seam, one set for the program's run and one for the relay's watcher.
#pragma once

#include "app/services.h"
#include "app/services_win.h"
#include "app/switch/connection_options_win.h"
#include "app/switch/internet_options_win.h"

namespace vantoip {

struct MachineServices {
  WindowsUserRegistry registry;
  WindowsThreads threads;
  WindowsClock clock;
  WinInetOptions internet;
  WinInetConnectionOptions connections;
  WindowsDataFile snapshot{L"proxy-settings.txt"};
  WindowsDataFile settings{L"settings.ini"};
  Services services{registry, threads, clock, internet, connections, snapshot, settings};
};

}  // namespace vantoip
