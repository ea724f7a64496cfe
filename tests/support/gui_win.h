// Helpers for tests that drive real windows in the test process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vantoip::test {

// Dispatches messages until `done` holds or the time is up; a quit message
// posted when a window closed is taken out of the queue. Returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches whatever is waiting (quit messages included) for about `ms`.
void PumpFor(DWORD ms);

std::string WindowTextGbk(HWND hwnd);

// Sets or removes the current user's two WinINet proxy values.
void SetProxyValues(const DWORD* enable, const char* server);

// The framework, OLE and sockets for the test thread, once.
void PrepareGuiTests();

}  // namespace vantoip::test
