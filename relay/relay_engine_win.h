// The local relay's engine: a listener on 127.0.0.1 (the first free port of
// 11080-11099) and every client connection carried through an upstream of the
// pool, on one thread of overlapped Winsock I/O over a completion port. A
// client's upstream that does not connect or open within 3 s is replaced by
// the next, up to three, before the client hears a word; then the client
// hears 502 (or its SOCKS refusal). Bounded per connection: two chunks per
// direction (4 KiB, growing to 256 KiB while a transfer fills them), read
// from only as fast as the other side takes it; a FIN is passed on as a
// shutdown, the connection ends when both sides are done.
// Time limits per phase: the client's head 30 s, each upstream 3 s, idle 5 min.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "relay/client_request.h"
#include "relay/upstream_pool.h"

namespace vantoip {

class RelayEngine {
 public:
  static constexpr int kFirstPort = kFirstRelayPort, kLastPort = kLastRelayPort;
  static constexpr int kMaxClients = 4096;
  static constexpr int kHeadMilliseconds = 30000;
  static constexpr int kUpstreamMilliseconds = 3000;
  static constexpr int kIdleMilliseconds = 5 * 60 * 1000;

  struct Traffic {
    int connections = 0;             // client connections open now
    std::uint64_t down = 0, up = 0;  // bytes to the clients, and from them, so far
  };

  // `switched`: three failures in a row made another upstream current (on the relay's thread).
  explicit RelayEngine(UpstreamPool& pool, std::function<void(const Upstream& current)> switched = {});
  ~RelayEngine();  // stops
  RelayEngine(const RelayEngine&) = delete;
  RelayEngine& operator=(const RelayEngine&) = delete;

  // Listens on the first free port from `firstPort` to `lastPort`; false when
  // none is free or the thread cannot be made.
  bool Start(int firstPort = kFirstPort, int lastPort = kLastPort);
  int Port() const { return port_; }
  // Every connection closed and the thread gone when it returns.
  void Stop();
  Traffic Counters() const;

 private:
  struct Loop;
  UpstreamPool& pool_;
  std::function<void(const Upstream&)> switched_;
  int port_ = 0;
  std::unique_ptr<Loop> loop_;
  std::thread thread_;
};

}  // namespace vantoip
