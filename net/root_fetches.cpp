#include "net/root_fetches.h"

namespace vantoip {

bool RootFetches::Fetching(const std::string& issuer, std::function<void()> fetch) {
  std::shared_ptr<std::atomic<bool>> done;
  {
    std::lock_guard lock(mutex_);
    if (const auto it = done_.find(issuer); it != done_.end()) return !it->second->load();
    if (done_.size() >= kMaxIssuers) return false;
    done = std::make_shared<std::atomic<bool>>(false);
    done_.emplace(issuer, done);
  }
  const bool started = start_([done, fetch = std::move(fetch)] {
    fetch();
    *done = true;
  });
  if (!started) *done = true;  // nothing to wait for: judged as it stands
  return !done->load();
}

}  // namespace vantoip
