#include "app/switch/proxy_guard.h"

#include <algorithm>

#include "app/checks/proxy_order.h"

namespace vantoip {

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

void ProxyGuard::SetFailover(bool on) {
  failover_ = on;
  if (!on && stage_ == Stage::FailingOver) Interrupt();
}

void ProxyGuard::Tick() {
  if (watching_ && actions_.held && actions_.held()) {
    if (stage_ != Stage::Waiting) Interrupt();
    elapsed_ = 0;
    return;
  }
  if (watching_ && stage_ == Stage::FailingOver) {
    if (rankingLeft_ > 0 && --rankingLeft_ == 0) SwitchToBest();
    return;
  }
  if (!watching_ || ++elapsed_ < seconds_) return;
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
  rankingLeft_ = -1;
  Start(candidates_);
}

void ProxyGuard::OnCandidate(std::size_t job, const CheckResult& result) {
  if (job >= answers_.size()) return;
  answers_[job] = result;
  if (std::all_of(answers_.begin(), answers_.end(), [](const auto& a) { return a.has_value(); })) return SwitchToBest();
  // A slow candidate is not waited for long once a good one is in.
  if (rankingLeft_ < 0 && Healthy(result)) rankingLeft_ = kRankingSeconds;
}

void ProxyGuard::SwitchToBest() {
  // By the fresh results, not the old check's order (those that hide the user
  // first); a candidate must pass as much as the proxy it replaces had to.
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < answers_.size(); ++i)
    if (answers_[i] && Healthy(*answers_[i]) && (!best || ComparePasses(*answers_[i], *answers_[*best]) < 0)) best = i;
  if (!best) return GiveBack();
  const CheckJob chosen = candidates_[*best];
  const CheckJob replaced = proxy_;
  const bool https = https_;
  Interrupt();
  const SwitchResult result = actions_.switchTo ? actions_.switchTo(chosen) : SwitchResult{};
  switch (result.outcome) {
    case SwitchOutcome::kOn:
      Watch(chosen, https, true);
      return Say("代理失效，已切换到 " + TargetText(chosen), true);
    case SwitchOutcome::kUnchanged:  // the failed proxy is still on: watched as before
      Watch(replaced, https, true);
      return Say("代理失效，" + (result.why.empty() ? std::string("未能切换") : result.why), true);
    case SwitchOutcome::kUserSettingsBack:
      watching_ = false;
      return Say("代理失效，已恢复原设置", true);
    case SwitchOutcome::kRestoreFailed:
      watching_ = false;
      return Say(kRestoreFailed, true);
  }
}

void ProxyGuard::GiveBack() {
  Forget();
  const bool back = !actions_.restore || actions_.restore();
  Say(back ? "代理失效，已恢复原设置" : kRestoreFailed, true);
}

void ProxyGuard::Say(const std::string& text, bool alert) {
  if (actions_.tell) actions_.tell(text);
  if (alert && actions_.alert) actions_.alert(text);
}

}  // namespace vantoip
