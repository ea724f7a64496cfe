// The local relay as the switch uses it: the program's is the completion-port
// engine of relay/; tests put one of their own in its place.
#pragma once

#include <string>
#include <vector>

#include "relay/upstream_request.h"

namespace vantoip {

class LocalRelay {
 public:
  virtual ~LocalRelay() = default;
  // Carries every new connection through `upstreams`, best first (listening
  // first when it is not yet); its port, or 0 when it cannot listen.
  virtual int Carry(std::vector<Upstream> upstreams) = 0;
  virtual void SetRotation(bool on) = 0;
  // No more connections; those open end.
  virtual void Stop() = 0;
};

// The system proxy setting that points at the relay.
inline std::string RelayAddress(int port) { return "127.0.0.1:" + std::to_string(port); }
// A proxy setting that can only be a relay of ours: 127.0.0.1 and one of its ports.
bool IsRelayAddress(const std::string& setting);

}  // namespace vantoip
