// The relay's watcher: the program's own .exe started a second time with an
// internal argument naming the main process (users start the program with
// none). It waits for the main process to end; if the relay is then still
// the machine's proxy (a crash, a kill, a logoff), it gives the user's own
// settings back as 断开 does, and ends. It takes no window.
#pragma once

#include <windows.h>

#include "runtime/handle_win.h"

namespace vantoip {

inline constexpr wchar_t kWatchRelayArgument[] = L"--watch-relay";

// Starts the watcher of this process; its process handle, or none when it did not start.
KernelHandle StartRelayWatcher();
// The watcher's run, for the process named by the argument after kWatchRelayArgument.
int WatchRelay(DWORD mainProcess);

}  // namespace vantoip
