// Checks many proxies at once through themselves: each gets the check page's
// GET and, when that passed, a CONNECT on a second connection with TLS and the
// HTTPS page through it, then the judge. Each run first fetches the user's own
// address from the judge directly (a prompt runner, the guard's, keeps the one
// it found for its later runs). Non-blocking sockets, driven by one worker
// thread per run; host names are looked up off it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/check_protocol.h"
#include "net/name_resolver_win.h"
#include "net/socket_win.h"

namespace vantoip {

class KeptAddress;

class SocketCheckRunner final : public ProxyCheckRunner {
 public:
  // `queue`: kPrompt for a runner of a few urgent checks, whose lookups
  // must not wait behind a large list check's (and whose runs keep the user's own address).
  explicit SocketCheckRunner(CheckPage page, int maxInFlight = kDefaultChecksInFlight, LookupFunction lookup = LookupIPv4,
                             LookupQueue queue = LookupQueue::kBulk);
  ~SocketCheckRunner() override;  // stops the run, as Stop does
  SocketCheckRunner(const SocketCheckRunner&) = delete;
  SocketCheckRunner& operator=(const SocketCheckRunner&) = delete;

  // Events come on the run's worker thread; its sockets close within about
  // 50 ms of a Stop. When no thread can be made, every job finishes unchecked
  // (on the caller's thread), then the run is done.
  void Start(std::vector<CheckJob> jobs, Events events) override;
  bool Add(std::vector<CheckJob> jobs) override;
  void Stop() override;
  // From the next run on.
  void SetPage(CheckPage page) { page_ = std::move(page); }
  void SetMaxInFlight(int maxInFlight) { maxInFlight_ = maxInFlight; }

 private:
  struct Run;
  CheckPage page_;
  int maxInFlight_;
  LookupFunction lookup_;
  LookupQueue queue_;
  std::shared_ptr<KeptAddress> keptAddress_;
  std::shared_ptr<Run> run_;
};

}  // namespace vantoip
