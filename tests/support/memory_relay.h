// A local relay for the switch's tests: it records what it is to carry.
#pragma once

#include <vector>

#include "app/switch/local_relay.h"

namespace vantoip::test {

struct MemoryRelay final : LocalRelay {
  int Carry(std::vector<Upstream> chosen) override {
    if (!port) return 0;
    upstreams = std::move(chosen);
    carrying = true;
    return port;
  }
  void SetRotation(bool on) override { rotation = on; }
  void Stop() override { carrying = false; }

  int port = 11080;  // 0: it cannot listen
  std::vector<Upstream> upstreams;
  bool carrying = false, rotation = false;
};

}  // namespace vantoip::test
