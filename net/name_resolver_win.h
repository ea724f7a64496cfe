// Host names looked up on threads of their own, shared by every run of the
// process and bounded in number, so that the thread that asks never blocks on
// the name service and slow names cannot pile threads up. Two queues, each
// with threads of its own: a few urgent lookups (the guard's) never wait
// behind the many of a list check.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vantoip {

using LookupFunction = std::optional<in_addr> (*)(const std::string& host);

enum class LookupQueue { kBulk, kPrompt };

// One name's lookup, shared by the asker and the lookup threads.
class NameLookup {
 public:
  // NotFound also when no thread could be made to look it up.
  enum class State { Waiting, Found, NotFound, TooLong };
  // What came of it by `nowMs` (GetTickCount64): TooLong once it has run
  // `limitMs` without an answer. The time waiting for a thread does not count.
  State Poll(std::uint64_t nowMs, int limitMs, in_addr& address) const;
  // The asker has no more use for it: a lookup not yet begun never begins.
  void Drop();

 private:
  friend class NameResolver;
  enum Step { kQueued, kRunning, kFound, kNotFound, kDropped };
  std::atomic<int> step_{kQueued};
  std::atomic<std::uint64_t> startedMs_{0};
  in_addr address_{};  // written before step_ says kFound
};

class NameResolver {
 public:
  // The threads of the whole process for each queue, never more.
  static constexpr int kMaxThreads = 32;

  // Queues `host` for `lookup` on the process's lookup threads of `queue`.
  static std::shared_ptr<NameLookup> Resolve(std::string host, LookupFunction lookup,
                                             LookupQueue queue = LookupQueue::kBulk);
  // Lookup threads of `queue` made so far.
  static int Threads(LookupQueue queue = LookupQueue::kBulk);
};

}  // namespace vantoip
