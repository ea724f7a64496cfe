// The one routine that changes the machine's proxy: the current user's WinINet
// values, then WinINet is told to reload them.
#pragma once

#include <optional>
#include <string>

#include "app/services.h"

namespace vantoip {

inline constexpr char kProxyServerWritePath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\proxyserver";
inline constexpr char kProxyEnableWritePath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\proxyenable";
constexpr int kInternetOptionSettingsChanged = 39;
constexpr int kInternetOptionRefresh = 37;

// Writes ProxyServer (the text unchanged) and ProxyEnable (1 when the trimmed
// text is not empty), then sends options 39 and 37; the result is that of 37.
// Registry write results are not examined and nothing is rolled back.
bool ApplyMachineProxy(UserRegistry& registry, InternetOptions& internet,
                       const std::optional<std::string>& proxy = std::nullopt);

// Its two halves: the two values, and options 39 then 37 (the result of 37).
void WriteMachineProxyValues(UserRegistry& registry, const std::string& proxy);
bool NotifyWinInet(InternetOptions& internet);

}  // namespace vantoip
