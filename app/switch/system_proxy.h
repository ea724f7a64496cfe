// The machine's proxy as Windows and browsers see it: the two registry values
// of the Parts, WinINet's per-connection options of the LAN and of every
// dial-up or VPN entry, then options 39 and 37. The user's own settings are
// kept in a snapshot before the first change and given back by TurnOff.
#pragma once

#include <string>

#include "app/services.h"
#include "app/switch/proxy_settings.h"

namespace vantoip {

struct SwitchResult {
  bool on = false;            // the settings are in place and read back as written
  int connectionsNotSet = 0;  // dial-up or VPN entries that refused the options
};

class SystemProxy {
 public:
  explicit SystemProxy(Services& services) : s_(services) {}

  // Turns `proxy` on everywhere. When the settings cannot be put in place
  // (nor the snapshot kept), the user's settings are back at once and `on` is false.
  SwitchResult TurnOn(const std::string& proxy);
  // Gives back the kept settings (every connection as it was, the registry
  // values too) and forgets them; with none kept (or a damaged file, set
  // aside) the proxy is simply turned off: an empty server, enable 0.
  void TurnOff();

 private:
  UserProxySettings Capture();
  void Restore(const UserProxySettings& user);
  Services& s_;
};

}  // namespace vantoip
