#include "relay/upstream_pool.h"

#include <algorithm>

namespace vantoip {

void UpstreamPool::Set(std::vector<Upstream> ranked) {
  std::lock_guard lock(mutex_);
  entries_.clear();
  for (Upstream& u : ranked) entries_.push_back({std::move(u)});
  current_ = 0;
  currentFailures_ = 0;
  nextRotation_ = 0;
}

void UpstreamPool::SetRotation(bool on) {
  std::lock_guard lock(mutex_);
  rotation_ = on;
}

std::vector<Upstream> UpstreamPool::Choose(std::int64_t now) {
  std::lock_guard lock(mutex_);
  std::vector<Upstream> chosen;
  if (entries_.empty()) return chosen;
  std::size_t start = current_;
  if (rotation_) start = nextRotation_++ % std::min(entries_.size(), kRotationSize);
  for (std::size_t k = 0; k < entries_.size() && chosen.size() < kTriesPerConnection; ++k) {
    const Entry& e = entries_[(start + k) % entries_.size()];
    if (e.passedOverUntil <= now) chosen.push_back(e.upstream);
  }
  // Every one failed lately: the first is tried again rather than none.
  if (chosen.empty()) chosen.push_back(entries_[start].upstream);
  return chosen;
}

bool UpstreamPool::Failed(const Upstream& upstream, std::int64_t now) {
  std::lock_guard lock(mutex_);
  const std::optional<std::size_t> index = IndexOf(upstream);
  if (!index) return false;
  entries_[*index].passedOverUntil = now + kPassOverMilliseconds;
  if (*index != current_ || ++currentFailures_ < kFailuresBeforeSwitch || entries_.size() < 2) return false;
  current_ = (current_ + 1) % entries_.size();
  currentFailures_ = 0;
  return true;
}

void UpstreamPool::Succeeded(const Upstream& upstream) {
  std::lock_guard lock(mutex_);
  if (IndexOf(upstream) == current_) currentFailures_ = 0;
}

std::optional<Upstream> UpstreamPool::Current() const {
  std::lock_guard lock(mutex_);
  if (entries_.empty()) return std::nullopt;
  return entries_[current_].upstream;
}

std::optional<std::size_t> UpstreamPool::IndexOf(const Upstream& upstream) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Upstream& u = entries_[i].upstream;
    if (u.host == upstream.host && u.port == upstream.port && u.protocol == upstream.protocol) return i;
  }
  return std::nullopt;
}

}  // namespace vantoip
