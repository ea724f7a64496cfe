// A certificate whose chain ends at a root Windows has not fetched yet (it
// fetches roots on demand) looks untrusted to a chain build that may not go
// to the network, as a check's may not: its thread never waits on a
// download. So the fetch is made once a run for each such issuer, on a thread
// of its own; every check that meets the same issuer waits for that one fetch
// (within its own time limit) and then judges the chain again.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vantoip {

class RootFetches {
 public:
  // Beyond this many issuers a chain is judged as it stands: no certificate
  // a proxy makes up can start threads without end.
  static constexpr std::size_t kMaxIssuers = 16;
  // Runs the work on a thread nobody waits for; false when none could be made.
  using ThreadStart = std::function<bool(std::function<void()>)>;

  explicit RootFetches(ThreadStart start) : start_(std::move(start)) {}

  // True while the fetch for `issuer` is under way; the first ask starts it
  // (`fetch` runs on the new thread), later asks share it.
  bool Fetching(const std::string& issuer, std::function<void()> fetch);

 private:
  ThreadStart start_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<std::atomic<bool>>> done_;  // by issuer
};

}  // namespace vantoip
