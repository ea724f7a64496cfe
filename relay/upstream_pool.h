// The working proxies the relay carries its clients through, best first, and
// the ones a new client connection tries in turn: from the current one on,
// passing over those that failed a connection in the last 30 s, at most three.
// Three failures of the current one in a row make the next one current. In
// rotation each new connection starts at the next of the ten best. Portable;
// used from the relay's thread and the window's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "relay/upstream_request.h"

namespace vantoip {

class UpstreamPool {
 public:
  static constexpr std::size_t kTriesPerConnection = 3;
  static constexpr std::int64_t kPassOverMilliseconds = 30000;
  static constexpr int kFailuresBeforeSwitch = 3;
  static constexpr std::size_t kRotationSize = 10;

  // A new ranking (the check's, the guard's); its first is current.
  void Set(std::vector<Upstream> ranked);
  void SetRotation(bool on);
  // The upstreams a new connection tries, in order; none when there are none.
  std::vector<Upstream> Choose(std::int64_t nowMilliseconds);
  // A connection through `upstream` did not open: it is passed over for a
  // while. True when that made another one current (Current() names it).
  bool Failed(const Upstream& upstream, std::int64_t nowMilliseconds);
  void Succeeded(const Upstream& upstream);
  std::optional<Upstream> Current() const;

 private:
  struct Entry {
    Upstream upstream;
    std::int64_t passedOverUntil = 0;
  };
  std::optional<std::size_t> IndexOf(const Upstream& upstream) const;

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::size_t current_ = 0;
  int currentFailures_ = 0;  // in a row
  bool rotation_ = false;
  std::size_t nextRotation_ = 0;
};

}  // namespace vantoip
