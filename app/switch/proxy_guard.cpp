#include "app/switch/proxy_guard.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/convert.h"

namespace vantoip {
namespace {

constexpr int kMinGuardSeconds = 5;
constexpr int kMaxGuardSeconds = 3600;

}  // namespace

int GuardSecondsFrom(const char* value) {
  return BoundedNumberFrom(value, kDefaultGuardSeconds, kMinGuardSeconds, kMaxGuardSeconds);
}

ProxyGuard::ProxyGuard(ProxyCheckRunner& runner, std::function<void(std::function<void()>)> post, Actions actions,
                       int seconds)
    : runner_(runner), post_(std::move(post)), actions_(std::move(actions)), seconds_(seconds) {}

void ProxyGuard::Watch(const CheckJob& proxy, bool https, bool ours) {
  Interrupt();
  watching_ = true;
  proxy_ = proxy;
  https_ = https;
  ours_ = ours;
}

void ProxyGuard::Interrupt() {
  if (stage_ != Stage::Waiting) runner_.Stop();
  ++run_;  // late events of the run stopped count no more
  stage_ = Stage::Waiting;
  elapsed_ = failures_ = 0;
}

void ProxyGuard::Forget() {
  Interrupt();
  watching_ = false;
}

void ProxyGuard::Tick() {
  if (!watching_ || stage_ == Stage::FailingOver || ++elapsed_ < seconds_) return;
  // A check without a verdict by the next one's time has failed: a dead proxy
  // is known within two intervals, whatever the check's own limits.
  if (stage_ == Stage::Checking) OnChecked({CheckOutcome::TimedOut, 0});
  if (stage_ != Stage::Waiting || !watching_) return;
  stage_ = Stage::Checking;
  Start({proxy_});
}

void ProxyGuard::Start(std::vector<CheckJob> jobs) {
  elapsed_ = 0;
  const unsigned run = ++run_;
  ProxyCheckRunner::Events events;
  events.finished = [this, run](std::size_t job, CheckResult result) {
    post_([this, run, job, result] {
      if (run != run_) return;
      if (stage_ == Stage::Checking) OnChecked(result);
      else if (stage_ == Stage::FailingOver) OnCandidate(job, result);
    });
  };
  runner_.Start(std::move(jobs), std::move(events));
}

bool ProxyGuard::Healthy(const CheckResult& result) const {
  return https_ ? result.outcome == CheckOutcome::Passed : IsPass(result);
}

void ProxyGuard::OnChecked(const CheckResult& result) {
  stage_ = Stage::Waiting;
  failures_ = Healthy(result) ? 0 : failures_ + 1;
  if (failures_ < kFailuresBeforeFailover) return;
  failures_ = 0;
  if (!ours_ || !failover_) {
    // Not ours to change, or the user wants no changes: said, left alone.
    Say("代理失效", false);
    return;
  }
  candidates_.clear();
  if (actions_.candidates)
    for (const CheckJob& c : actions_.candidates())
      if (candidates_.size() < kMaxCandidates && !(c.host == proxy_.host && c.port == proxy_.port))
        candidates_.push_back(c);
  if (candidates_.empty()) return GiveBack();
  stage_ = Stage::FailingOver;
  answers_.assign(candidates_.size(), std::nullopt);
  Start(candidates_);
}

void ProxyGuard::OnCandidate(std::size_t job, const CheckResult& result) {
  if (job >= answers_.size()) return;
  answers_[job] = result;
  // The best that passed, once every better one has failed.
  for (std::size_t i = 0; i < answers_.size(); ++i) {
    if (!answers_[i]) return;
    if (!IsPass(*answers_[i])) continue;
    const CheckJob chosen = candidates_[i];
    const bool https = answers_[i]->outcome == CheckOutcome::Passed;
    Interrupt();
    if (!actions_.switchTo || !actions_.switchTo(chosen)) {  // the user's settings are back
      watching_ = false;
      return Say("代理失效，已恢复原设置", true);
    }
    Watch(chosen, https, true);
    return Say("代理失效，已切换到 " + TargetText(chosen), true);
  }
  GiveBack();
}

void ProxyGuard::GiveBack() {
  Forget();
  if (actions_.restore) actions_.restore();
  Say("代理失效，已恢复原设置", true);
}

void ProxyGuard::Say(const std::string& text, bool alert) {
  if (actions_.tell) actions_.tell(text);
  if (alert && actions_.alert) actions_.alert(text);
}

}  // namespace vantoip
