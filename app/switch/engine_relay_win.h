// The program's local relay: the completion-port engine over a pool of
// upstreams, as the switch uses it, and while it listens the watcher that
// gives the user's settings back should the program die.
#pragma once

#include <functional>
#include <vector>

#include "app/switch/local_relay.h"
#include "app/switch/relay_watcher_win.h"
#include "relay/relay_engine_win.h"
#include "relay/upstream_pool.h"

namespace vantoip {

class EngineRelay final : public LocalRelay {
 public:
  // `switched`: three failures in a row made another upstream current (on the relay's thread).
  explicit EngineRelay(std::function<void(const Upstream&)> switched) : engine_(pool_, std::move(switched)) {}
  int Carry(std::vector<Upstream> upstreams) override {
    pool_.Set(std::move(upstreams));
    if (engine_.Port()) return engine_.Port();
    if (!engine_.Start(firstPort_)) return 0;
    watcher_ = StartRelayWatcher();
    return engine_.Port();
  }
  void SetRotation(bool on) override { pool_.SetRotation(on); }
  // The first port tried from the next start; the later ones of the relay's range follow.
  void SetFirstPort(int port) { firstPort_ = port; }
  void Stop() override {
    engine_.Stop();
    if (watcher_) TerminateProcess(watcher_.Get(), 0);  // nothing left for it to watch over
    watcher_.Reset();
  }
  RelayEngine::Traffic Counters() const { return engine_.Counters(); }

 private:
  UpstreamPool pool_;
  RelayEngine engine_;
  KernelHandle watcher_;
  int firstPort_ = RelayEngine::kFirstPort;
};

}  // namespace vantoip
