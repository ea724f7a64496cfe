#include "app/switch/system_proxy.h"

#include <algorithm>

#include "app/main_window.h"
#include "app/switch/machine_proxy.h"

namespace vantoip {
namespace {

constexpr char kOverridePath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride";
constexpr char kAutoConfigPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\AutoConfigURL";

bool Listed(const std::vector<std::string>& names, const std::string& name) {
  return name.empty() || std::find(names.begin(), names.end(), name) != names.end();
}

ConnectionSettings* Find(std::vector<ConnectionSettings>& connections, const std::string& name) {
  const auto it = std::find_if(connections.begin(), connections.end(),
                               [&](const ConnectionSettings& c) { return c.name == name; });
  return it == connections.end() ? nullptr : &*it;
}

// The LAN first, then the dial-up and VPN entries.
std::vector<std::string> ConnectionNames(ConnectionOptions& connections) {
  std::vector<std::string> names = connections.EntryNames();
  names.insert(names.begin(), std::string());
  return names;
}

ConnectionSettings Direct(ConnectionSettings c) {
  c.flags = proxy_flag::kDirect;
  c.proxyServer.clear();
  return c;
}

// Settings in place that hold a proxy of ours are not the user's: what they
// had is gone, and the most 断开 can give is no proxy at all.
UserProxySettings WithoutProxy(UserProxySettings user) {
  for (ConnectionSettings& c : user.connections) c = Direct(std::move(c));
  user.proxyServer = std::string();
  user.proxyEnable = 0;
  return user;
}

}  // namespace

SystemProxy::InPlace SystemProxy::ReadInPlace() {
  InPlace now;
  if (s_.registry.Exists(kProxyServerPath)) now.server = s_.registry.ReadText(kProxyServerPath);
  now.lan = s_.connections.Read("");
  return now;
}

bool SystemProxy::Holds(const InPlace& now, const std::string& proxy) const {
  return now.server == proxy && (!now.lan || now.lan->proxyServer == proxy);
}

std::optional<UserProxySettings> SystemProxy::Usable(const DataFile::Contents& kept, const InPlace& now) {
  if (kept.state != DataFile::State::Read) return std::nullopt;
  std::optional<ProxySnapshot> snapshot = ReadSnapshot(kept.text);
  // Damaged, or the user has set other settings since our last switch: those are theirs now.
  if (!snapshot || (!snapshot->ours.empty() && !Holds(now, snapshot->ours))) {
    s_.snapshot.SetAside();
    return std::nullopt;
  }
  return std::move(snapshot->user);
}

UserProxySettings SystemProxy::Capture() {
  UserProxySettings user;
  for (const std::string& name : ConnectionNames(s_.connections))
    if (std::optional<ConnectionSettings> c = s_.connections.Read(name)) user.connections.push_back(std::move(*c));
  user.proxyServer = s_.registry.ReadUnicode(kProxyServerPath);
  if (s_.registry.Exists(kProxyEnablePath))
    user.proxyEnable = static_cast<std::uint32_t>(s_.registry.ReadNumber(kProxyEnablePath));
  user.proxyOverride = s_.registry.ReadUnicode(kOverridePath);
  user.autoConfigUrl = s_.registry.ReadUnicode(kAutoConfigPath);
  return user;
}

SwitchResult SystemProxy::TurnOn(const std::string& proxy) {
  const DataFile::Contents kept = s_.snapshot.Load();
  if (kept.state == DataFile::State::Unreadable) return {SwitchOutcome::kUnchanged, 0, kSnapshotUnreadable};
  const InPlace now = ReadInPlace();
  std::optional<UserProxySettings> user = Usable(kept, now);
  if (!user) {
    user = Capture();
    const bool oursInPlace =
        !switchedOn_.empty() && (now.server == switchedOn_ || (now.lan && now.lan->proxyServer == switchedOn_));
    if (oursInPlace) user = WithoutProxy(std::move(*user));
  }
  // Every connection to be written is in the snapshot first: one made since
  // is added as it is now; one that cannot be read is left alone.
  SwitchResult result;
  std::vector<std::string> toWrite;
  for (const std::string& name : ConnectionNames(s_.connections)) {
    if (!Find(user->connections, name)) {
      if (std::optional<ConnectionSettings> c = s_.connections.Read(name)) {
        user->connections.push_back(std::move(*c));
      } else {
        ++result.connectionsNotSet;
        continue;
      }
    }
    toWrite.push_back(name);
  }
  const ConnectionSettings* lan = Find(user->connections, "");
  // The LAN's options decide whether 连接 worked: unread, nothing is changed.
  if (!lan) return {};
  if (!s_.snapshot.Write(SnapshotText({*user, proxy}))) return {};  // nothing changed: nothing can be lost

  // No script and no detection while our proxy is on: they would be asked first.
  ConnectionSettings ours{"", proxy_flag::kDirect | proxy_flag::kProxy, proxy, BypassList(lan->bypass + ";" + ownBypass_)};
  bool lanSet = false;
  for (const std::string& name : toWrite) {
    ours.name = name;
    const bool set = s_.connections.Write(ours);
    if (name.empty()) lanSet = set;
    else if (!set) ++result.connectionsNotSet;
  }
  WriteMachineProxyValues(s_.registry, proxy);  // after the options, which may write them too
  NotifyWinInet(s_.internet);
  // Option 37 only rereads this process's settings: what decides is what is in place.
  const InPlace after = ReadInPlace();
  if (lanSet && after.lan && (after.lan->flags & proxy_flag::kProxy) && Holds(after, proxy) &&
      s_.registry.ReadNumber(kProxyEnablePath) == 1) {
    switchedOn_ = proxy;
    result.outcome = SwitchOutcome::kOn;
    return result;
  }
  return {Restore(*user) ? SwitchOutcome::kUserSettingsBack : SwitchOutcome::kRestoreFailed};
}

bool SystemProxy::TurnOff(const std::string& shown) {
  const DataFile::Contents kept = s_.snapshot.Load();
  if (kept.state == DataFile::State::Unreadable) return false;  // kept for the next try
  if (const std::optional<UserProxySettings> user = Usable(kept, ReadInPlace())) return Restore(*user);
  // Nothing of the user's is kept: no proxy, and none left in the options either.
  for (const std::string& name : ConnectionNames(s_.connections)) {
    const std::optional<ConnectionSettings> c = s_.connections.Read(name);
    if (name.empty() || (c && c->proxyServer == shown)) s_.connections.Write(Direct(c.value_or(ConnectionSettings{name})));
  }
  ApplyMachineProxy(s_.registry, s_.internet);
  switchedOn_.clear();
  return true;
}

void SystemProxy::WriteRegistryText(const char* path, const std::optional<std::string>& value, bool gbk, bool& ok) {
  if (!value) {
    if (s_.registry.Exists(path)) ok = s_.registry.Delete(path) && ok;
    return;
  }
  ok = (gbk ? s_.registry.Write(path, *value) : s_.registry.WriteUnicode(path, *value)) && ok;
  const bool same = gbk ? s_.registry.ReadText(path) == *value : s_.registry.ReadUnicode(path) == value;
  ok = same && ok;
}

bool SystemProxy::Restore(const UserProxySettings& user) {
  bool ok = true;
  const std::vector<std::string> names = s_.connections.EntryNames();
  for (const ConnectionSettings& c : user.connections) {
    const bool written = s_.connections.Write(c);
    const std::optional<ConnectionSettings> back = s_.connections.Read(c.name);
    const bool theirs = back && (back->flags & proxy_flag::kProxy) == (c.flags & proxy_flag::kProxy) &&
                        back->proxyServer == c.proxyServer;
    // What cannot be read back counts as written; an entry removed since has nothing to give back.
    if (!theirs && !(written && !back) && Listed(names, c.name)) ok = false;
  }
  // The registry last: on some systems the options write these values too.
  WriteRegistryText(kProxyServerWritePath, user.proxyServer, user.gbkRegistryTexts, ok);
  if (user.proxyEnable) {
    ok = s_.registry.Write(kProxyEnableWritePath, static_cast<std::int32_t>(*user.proxyEnable)) && ok;
    ok = s_.registry.ReadNumber(kProxyEnablePath) == static_cast<std::int32_t>(*user.proxyEnable) && ok;
  } else if (s_.registry.Exists(kProxyEnablePath)) {
    ok = s_.registry.Delete(kProxyEnablePath) && ok;
  }
  WriteRegistryText(kOverridePath, user.proxyOverride, user.gbkRegistryTexts, ok);
  WriteRegistryText(kAutoConfigPath, user.autoConfigUrl, user.gbkRegistryTexts, ok);
  NotifyWinInet(s_.internet);
  if (!ok) {
    // Kept for the next 断开, and trusted then although part of it is back
    // in place already: no proxy of ours is recorded to compare with.
    s_.snapshot.Write(SnapshotText({user, ""}));
    return false;
  }
  s_.snapshot.Forget();
  switchedOn_.clear();
  return true;
}

}  // namespace vantoip
