// The user's own proxy settings as the switch finds them, kept in a snapshot
// file so that 断开 can give them back after a crash, a kill or a reboot; and
// the bypass list the switch writes beside its proxy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

// WinINet's per-connection flag bits (PROXY_TYPE_*).
namespace proxy_flag {
constexpr std::uint32_t kDirect = 1;
constexpr std::uint32_t kProxy = 2;
constexpr std::uint32_t kAutoProxyUrl = 4;
constexpr std::uint32_t kAutoDetect = 8;
}  // namespace proxy_flag

// One connection's per-connection options; texts in UTF-8.
struct ConnectionSettings {
  std::string name;  // empty: the LAN settings; else a dial-up or VPN entry
  std::uint32_t flags = proxy_flag::kDirect;
  std::string proxyServer;
  std::string bypass;
  std::string autoConfigUrl;
  bool operator==(const ConnectionSettings&) const = default;
};

// Everything the switch changes, as it was before its first change. Registry
// texts in UTF-8 (in GBK when read from a file of the first version); absent
// values as none.
struct UserProxySettings {
  std::vector<ConnectionSettings> connections;
  std::optional<std::string> proxyServer;
  std::optional<std::uint32_t> proxyEnable;
  std::optional<std::string> proxyOverride;
  std::optional<std::string> autoConfigUrl;
  bool gbkRegistryTexts = false;
  bool operator==(const UserProxySettings&) const = default;
};

// The snapshot file's contents: the user's settings and the proxy our last
// switch put in place, which tells a snapshot left by a crash from one whose
// settings the user has changed since by hand.
struct ProxySnapshot {
  UserProxySettings user;
  std::string ours;  // empty in a file of the first version: not known
  bool operator==(const ProxySnapshot&) const = default;
};

// WinINet's per-connection options of the current user: the LAN settings and
// every dial-up or VPN entry.
class ConnectionOptions {
 public:
  virtual ~ConnectionOptions() = default;
  // The dial-up and VPN entries' names (UTF-8); the LAN settings are not among them.
  virtual std::vector<std::string> EntryNames() = 0;
  // One connection's options; none when they cannot be read.
  virtual std::optional<ConnectionSettings> Read(const std::string& name) = 0;
  // Sets all four options of `settings.name` in one call; false when refused.
  virtual bool Write(const ConnectionSettings& settings) = 0;
};

// The file that keeps the snapshot of the user's settings.
// The snapshot file's text: a version line, one key=value line a setting (any
// byte outside printable ASCII, '%' and '=' escaped as %XX), and a last line
// with a hash of all before it, so that a cut or changed file is told apart.
std::string SnapshotText(const ProxySnapshot& snapshot);
// The contents of a snapshot file (of either version); none when it is of
// another version, truncated, changed or not a snapshot at all.
std::optional<ProxySnapshot> ReadSnapshot(std::string_view text);

// The bypass list written with our proxy: local names, the loopback,
// private and link-local ranges, the system's connectivity check host, then
// the user's own entries, each once (in any case), in WinINet's form: ';'
// between entries and no CIDR, which would make WinINet refuse the whole list.
std::string BypassList(std::string_view userBypass);

}  // namespace vantoip
