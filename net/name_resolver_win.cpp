#include "net/name_resolver_win.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "net/socket_win.h"

namespace vantoip {
namespace {

// Enough for a list with a few names among its addresses; a slow name server
// holds up one thread, not the others.
constexpr int kMaxThreads = 4;

}  // namespace

struct NameResolver::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::pair<std::size_t, std::string>> pending;
  std::vector<Answer> answers;
  int threads = 0;
  int idle = 0;
  bool closed = false;

  static void Work(std::shared_ptr<Shared> shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
      ++shared->idle;
      shared->wake.wait(lock, [&] { return shared->closed || !shared->pending.empty(); });
      --shared->idle;
      if (shared->closed) return;
      auto [id, host] = std::move(shared->pending.front());
      shared->pending.pop_front();
      lock.unlock();
      const std::optional<in_addr> address = LookupIPv4(host);
      lock.lock();
      shared->answers.emplace_back(id, address);
    }
  }
};

NameResolver::NameResolver() : shared_(std::make_shared<Shared>()) {}

NameResolver::~NameResolver() {
  std::lock_guard lock(shared_->mutex);
  shared_->closed = true;
  shared_->wake.notify_all();
}

void NameResolver::Resolve(std::size_t id, std::string host) {
  std::lock_guard lock(shared_->mutex);
  shared_->pending.emplace_back(id, std::move(host));
  if (shared_->idle == 0 && shared_->threads < kMaxThreads) {
    ++shared_->threads;
    std::thread(&Shared::Work, shared_).detach();
  }
  shared_->wake.notify_one();
}

std::vector<NameResolver::Answer> NameResolver::Take() {
  std::lock_guard lock(shared_->mutex);
  return std::exchange(shared_->answers, {});
}

}  // namespace vantoip
