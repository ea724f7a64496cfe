// The machine's proxy as Windows and browsers see it: the two registry values
// of the Parts, WinINet's per-connection options of the LAN and of every
// dial-up or VPN entry, then options 39 and 37.
//
// The snapshot file is the user's settings, taken before our first change and
// dropped only once they are back in place. It also records the proxy we set
// last: when the server in place is another one, the user has changed the
// settings since (after a crash, say), and the snapshot is stale.
#pragma once

#include <optional>
#include <string>

#include "app/services.h"
#include "app/switch/proxy_settings.h"

namespace vantoip {

enum class SwitchOutcome {
  kOn,             // the settings are in place and read back as written
  kUnchanged,      // nothing was changed: the settings before stand (`why` says why)
  kUserSettingsBack,  // they could not be put in place; the user's settings are back
  kRestoreFailed,  // nor could the user's settings be put back: the snapshot is kept
};

struct SwitchResult {
  SwitchOutcome outcome = SwitchOutcome::kUnchanged;
  int connectionsNotSet = 0;  // dial-up or VPN entries that refused the options or could not be read
  std::string why;            // for kUnchanged: the title
  bool On() const { return outcome == SwitchOutcome::kOn; }
};

inline constexpr char kSnapshotUnreadable[] = "无法读取原设置，未切换";
inline constexpr char kRestoreFailed[] = "恢复原设置失败，已保留";

class SystemProxy {
 public:
  explicit SystemProxy(Services& services) : s_(services) {}

  // Turns `proxy` on everywhere, from the user's settings or from a proxy of
  // ours (the snapshot then stays the user's and records the new proxy).
  SwitchResult TurnOn(const std::string& proxy);
  // Gives back the kept settings and forgets them; false when they did not
  // read back as given (the snapshot is kept for the next try). With no
  // usable snapshot: the Parts' off values, and direct options for the LAN
  // and every entry whose server is `shown` (the proxy the window is on with).
  bool TurnOff(const std::string& shown);
  // The user's own bypass entries (';' between them), written after the LAN's from the next TurnOn.
  void SetOwnBypass(std::string entries) { ownBypass_ = std::move(entries); }

 private:
  struct InPlace {
    std::optional<std::string> server;  // ProxyServer
    std::optional<ConnectionSettings> lan;
  };
  InPlace ReadInPlace();
  bool Holds(const InPlace& now, const std::string& proxy) const;
  // The snapshot's settings when they can be trusted; a damaged or stale file is set aside.
  std::optional<UserProxySettings> Usable(const DataFile::Contents& kept, const InPlace& now);
  UserProxySettings Capture();
  bool Restore(const UserProxySettings& user);
  void WriteRegistryText(const char* path, const std::optional<std::string>& value, bool gbk, bool& ok);

  Services& s_;
  std::string ownBypass_;
  std::string switchedOn_;  // the proxy this run put in place last; empty once the user's settings are back
};

}  // namespace vantoip
