// The program's local relay: the completion-port engine over a pool of
// upstreams, as the switch uses it.
#pragma once

#include <functional>
#include <vector>

#include "app/switch/local_relay.h"
#include "relay/relay_engine_win.h"
#include "relay/upstream_pool.h"

namespace vantoip {

class EngineRelay final : public LocalRelay {
 public:
  // `switched`: three failures in a row made another upstream current (on the relay's thread).
  explicit EngineRelay(std::function<void(const Upstream&)> switched) : engine_(pool_, std::move(switched)) {}
  int Carry(std::vector<Upstream> upstreams) override {
    pool_.Set(std::move(upstreams));
    if (!engine_.Port() && !engine_.Start()) return 0;
    return engine_.Port();
  }
  void SetRotation(bool on) override { pool_.SetRotation(on); }
  void Stop() override { engine_.Stop(); }
  RelayEngine::Traffic Counters() const { return engine_.Counters(); }

 private:
  UpstreamPool pool_;
  RelayEngine engine_;
};

}  // namespace vantoip
