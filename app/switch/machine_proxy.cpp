#include "app/switch/machine_proxy.h"

#include "runtime/text.h"

namespace vantoip {

bool ApplyMachineProxy(UserRegistry& registry, InternetOptions& internet, const std::optional<std::string>& proxy) {
  WriteMachineProxyValues(registry, proxy.value_or(std::string()));
  return NotifyWinInet(internet);
}

void WriteMachineProxyValues(UserRegistry& registry, const std::string& proxy) {
  registry.Write(kProxyServerWritePath, proxy);
  const bool enabled = !TrimText(proxy).empty();
  registry.Write(kProxyEnableWritePath, std::int32_t{enabled ? 1 : 0});
}

bool NotifyWinInet(InternetOptions& internet) {
  internet.Set(kInternetOptionSettingsChanged);
  return internet.Set(kInternetOptionRefresh);
}

}  // namespace vantoip
