// The per-connection proxy options through WinINet (InternetQueryOptionW and
// InternetSetOptionW, option 75) and the dial-up/VPN entries through RAS, both
// libraries loaded from the system folder.
#pragma once

#include "app/switch/proxy_settings.h"

namespace vantoip {

class WinInetConnectionOptions final : public ConnectionOptions {
 public:
  std::vector<std::string> EntryNames() override;
  std::optional<ConnectionSettings> Read(const std::string& name) override;
  bool Write(const ConnectionSettings& settings) override;
};

}  // namespace vantoip
