#include "app/switch/system_proxy.h"

#include <algorithm>

#include "app/main_window.h"
#include "app/switch/machine_proxy.h"

namespace vantoip {
namespace {

constexpr char kOverridePath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride";
constexpr char kAutoConfigPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\AutoConfigURL";

std::optional<std::string> Present(std::string text) {
  return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

void WriteOrDelete(UserRegistry& registry, const char* path, const std::optional<std::string>& value) {
  if (value) registry.Write(path, *value);
  else registry.Delete(path);
}

}  // namespace

UserProxySettings SystemProxy::Capture() {
  UserProxySettings user;
  std::vector<std::string> names = s_.connections.EntryNames();
  names.insert(names.begin(), std::string());  // the LAN settings first
  for (const std::string& name : names)
    if (std::optional<ConnectionSettings> c = s_.connections.Read(name)) user.connections.push_back(std::move(*c));
  user.proxyServer = s_.registry.ReadText(kProxyServerPath);
  user.proxyEnable = static_cast<std::uint32_t>(s_.registry.ReadNumber(kProxyEnablePath));
  user.proxyOverride = Present(s_.registry.ReadText(kOverridePath));
  user.autoConfigUrl = Present(s_.registry.ReadText(kAutoConfigPath));
  return user;
}

SwitchResult SystemProxy::TurnOn(const std::string& proxy) {
  // Kept once, before the first change: from one of our proxies to another
  // the user's own settings stay the ones kept.
  const std::optional<std::string> kept = s_.snapshot.Read();
  std::optional<UserProxySettings> user = kept ? ReadSnapshot(*kept) : std::nullopt;
  if (!user) {
    if (kept) s_.snapshot.SetAside();
    user = Capture();
    if (!s_.snapshot.Write(SnapshotText(*user))) return {};  // nothing changed: nothing can be lost
  }
  const auto lan = std::find_if(user->connections.begin(), user->connections.end(),
                                [](const ConnectionSettings& c) { return c.name.empty(); });
  // No script and no detection while our proxy is on: they would be asked first.
  ConnectionSettings ours{"", proxy_flag::kDirect | proxy_flag::kProxy, proxy,
                          BypassList(lan != user->connections.end() ? lan->bypass : "")};
  const bool lanSet = s_.connections.Write(ours);
  SwitchResult result;
  for (const std::string& name : s_.connections.EntryNames()) {
    ours.name = name;
    if (!s_.connections.Write(ours)) ++result.connectionsNotSet;
  }
  WriteMachineProxyValues(s_.registry, proxy);  // after the options, which may write them too
  NotifyWinInet(s_.internet);
  // Option 37 only rereads this process's settings: what decides is what is in place.
  const std::optional<ConnectionSettings> now = s_.connections.Read("");
  result.on = lanSet && now && (now->flags & proxy_flag::kProxy) && now->proxyServer == proxy &&
              s_.registry.ReadText(kProxyServerPath) == proxy && s_.registry.ReadNumber(kProxyEnablePath) == 1;
  if (!result.on) {
    Restore(*user);
    return {};
  }
  return result;
}

void SystemProxy::TurnOff() {
  const std::optional<std::string> kept = s_.snapshot.Read();
  const std::optional<UserProxySettings> user = kept ? ReadSnapshot(*kept) : std::nullopt;
  if (user) {
    Restore(*user);
    return;
  }
  if (kept) s_.snapshot.SetAside();
  ApplyMachineProxy(s_.registry, s_.internet);
}

void SystemProxy::Restore(const UserProxySettings& user) {
  const std::vector<std::string> names = s_.connections.EntryNames();
  for (const ConnectionSettings& c : user.connections)  // a connection removed since is skipped
    if (c.name.empty() || std::find(names.begin(), names.end(), c.name) != names.end()) s_.connections.Write(c);
  // The registry last: on some systems the options write these values too.
  s_.registry.Write(kProxyServerWritePath, user.proxyServer.value_or(std::string()));
  s_.registry.Write(kProxyEnableWritePath, static_cast<std::int32_t>(user.proxyEnable.value_or(0)));
  WriteOrDelete(s_.registry, kOverridePath, user.proxyOverride);
  WriteOrDelete(s_.registry, kAutoConfigPath, user.autoConfigUrl);
  NotifyWinInet(s_.internet);
  s_.snapshot.Forget();
}

}  // namespace vantoip
