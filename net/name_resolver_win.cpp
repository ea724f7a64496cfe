#include "net/name_resolver_win.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace vantoip {
namespace {

struct Pending {
  std::shared_ptr<NameLookup> lookup;
  std::string host;
  LookupFunction function;
};

// Lives as long as the process: its threads wait on it to the end.
struct Pool {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Pending> queue;
  int threads = 0;
  int idle = 0;
};

Pool& ThePool(LookupQueue queue) {
  static Pool* bulk = new Pool;
  static Pool* prompt = new Pool;
  return queue == LookupQueue::kPrompt ? *prompt : *bulk;
}

}  // namespace

NameLookup::State NameLookup::Poll(std::uint64_t nowMs, int limitMs, in_addr& address) const {
  switch (step_.load()) {
    case kFound: address = address_; return State::Found;
    case kNotFound: return State::NotFound;
    case kRunning: return nowMs - startedMs_.load() >= static_cast<std::uint64_t>(limitMs) ? State::TooLong : State::Waiting;
    default: return State::Waiting;
  }
}

void NameLookup::Drop() {
  int queued = kQueued;
  step_.compare_exchange_strong(queued, kDropped);
}

std::shared_ptr<NameLookup> NameResolver::Resolve(std::string host, LookupFunction lookup, LookupQueue queue) {
  auto ticket = std::make_shared<NameLookup>();
  Pool& pool = ThePool(queue);
  std::lock_guard lock(pool.mutex);
  if (pool.idle == 0 && pool.threads < kMaxThreads) {
    try {
      std::thread([&pool] {
        std::unique_lock lock(pool.mutex);
        for (;;) {
          ++pool.idle;
          pool.wake.wait(lock, [&] { return !pool.queue.empty(); });
          --pool.idle;
          Pending next = std::move(pool.queue.front());
          pool.queue.pop_front();
          int queued = NameLookup::kQueued;
          NameLookup& ticket = *next.lookup;
          ticket.startedMs_ = GetTickCount64();
          if (!ticket.step_.compare_exchange_strong(queued, NameLookup::kRunning)) continue;  // dropped
          lock.unlock();
          const std::optional<in_addr> address = next.function(next.host);
          if (address) ticket.address_ = *address;
          ticket.step_ = address ? NameLookup::kFound : NameLookup::kNotFound;
          next = {};
          lock.lock();
        }
      }).detach();
      ++pool.threads;
    } catch (const std::system_error&) {
      // No thread to be had: with none at all, nobody would ever answer.
      if (pool.threads == 0) {
        ticket->step_ = NameLookup::kNotFound;
        return ticket;
      }
    }
  }
  pool.queue.push_back({ticket, std::move(host), lookup});
  pool.wake.notify_one();
  return ticket;
}

int NameResolver::Threads(LookupQueue queue) {
  Pool& pool = ThePool(queue);
  std::lock_guard lock(pool.mutex);
  return pool.threads;
}

}  // namespace vantoip
