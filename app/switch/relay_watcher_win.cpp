#include "app/switch/relay_watcher_win.h"

#include <string>

#include "app/machine_services_win.h"
#include "app/main_window.h"
#include "app/switch/system_proxy.h"
#include "app/switch/local_relay.h"

namespace vantoip {

KernelHandle StartRelayWatcher() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return {};
  std::wstring command = L"\"" + std::wstring(path) + L"\" " + kWatchRelayArgument + L" " +
                         std::to_wstring(GetCurrentProcessId());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(path, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return {};
  CloseHandle(process.hThread);
  return KernelHandle(process.hProcess);
}

int WatchRelay(DWORD mainProcess) {
  const KernelHandle main(OpenProcess(SYNCHRONIZE, FALSE, mainProcess));
  if (!main) return 1;
  WaitForSingleObject(main.Get(), INFINITE);
  MachineServices machine;
  // Only while the relay is still the machine's proxy: a user who changed it meanwhile keeps theirs.
  const std::string server = machine.registry.ReadText(kProxyServerPath);
  if (!IsRelayAddress(server)) return 0;
  return SystemProxy(machine.services).TurnOff(server) ? 0 : 1;
}

}  // namespace vantoip
