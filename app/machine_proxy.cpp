#include "app/machine_proxy.h"

#include "runtime/text.h"

namespace vantoip {

bool ApplyMachineProxy(UserRegistry& registry, InternetOptions& internet, const std::optional<std::string>& proxy) {
  const std::string text = proxy.value_or(std::string());
  registry.Write(kProxyServerWritePath, text);
  const bool enabled = !TrimText(text).empty();
  registry.Write(kProxyEnableWritePath, std::int32_t{enabled ? 1 : 0});
  internet.Set(kInternetOptionSettingsChanged);
  return internet.Set(kInternetOptionRefresh);
}

}  // namespace vantoip
