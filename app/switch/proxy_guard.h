// The guard: while a proxy is on, it is checked again every few seconds on a
// runner of its own (a check still without a verdict when the next is due has
// failed). After two failed checks in a row, a proxy this program switched on
// is replaced by the best of up to five candidates of the last check, checked
// all at once and ranked by these fresh results (those that hide the user
// first, then full passes first, by time),
// that passes as much as the proxy it replaces had to (the ranking waits for
// every answer, or kRankingSeconds after the first good one); when none does, the
// user's own settings come back. A proxy that was on before the program
// started is only watched: the title says it failed, nothing is changed.
// Lives on the window's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/switch/system_proxy.h"
#include "net/check_protocol.h"

namespace vantoip {

// Seconds between two checks: never less than a check can take, so that a
// slow working proxy is not taken for a dead one.
inline constexpr int kMinGuardSeconds = kCheckWorstCaseSeconds;
inline constexpr int kDefaultGuardSeconds = kMinGuardSeconds;
inline constexpr int kMaxGuardSeconds = 3600;

class ProxyGuard {
 public:
  static constexpr int kFailuresBeforeFailover = 2;
  static constexpr std::size_t kMaxCandidates = 5;
  static constexpr int kRankingSeconds = 3;

  struct Actions {
    // The last check's usable proxies, best first (never a "证书错误" one).
    std::function<std::vector<CheckJob>()> candidates;
    // Switches the system proxy over to it, as 连接 does.
    std::function<SwitchResult(const CheckJob&)> switchTo;
    // Gives the user's own settings back, as 断开 does; false when they did not come back.
    std::function<bool()> restore;
    // Tells the user: the title; a failover or a restore also `alert`s (the
    // notification area's balloon).
    std::function<void(const std::string&)> tell;
    std::function<void(const std::string&)> alert;
    // True while the user has the proxy disabled (标签_状态 at 禁用): nothing is checked.
    std::function<bool()> held;
  };

  // `post` carries the runner's events to the window's thread.
  ProxyGuard(ProxyCheckRunner& runner, std::function<void(std::function<void()>)> post, Actions actions,
             int seconds = kDefaultGuardSeconds);

  // A proxy is on: `https` when its last check proved HTTPS (the guard asks
  // the same of it), `ours` when this program switched it on.
  void Watch(const CheckJob& proxy, bool https, bool ours);
  // The user acted (the status toggle, a list run, a refresh): checks and a
  // failover in flight end and count no more; the proxy is still watched.
  void Interrupt();
  // The proxy went off (断开): nothing is watched.
  void Forget();
  // The user's choice ("自动切换失效代理"); off: a proxy is watched for the
  // title only, and a failover in flight ends.
  void SetFailover(bool on);
  bool Failover() const { return failover_; }
  // Once a second while a proxy is on.
  void Tick();
  // Seconds between checks (unbounded: tests' dead proxies fail at once). A
  // new interval starts counting afresh: the next check comes that long after.
  void SetSeconds(int seconds) {
    if (seconds != seconds_) elapsed_ = 0;
    seconds_ = seconds;
  }

  bool Watching() const { return watching_; }
  bool FailingOver() const { return stage_ == Stage::FailingOver; }

 private:
  enum class Stage { Waiting, Checking, FailingOver };
  void CheckNow();
  void StartFailover();
  void OnChecked(const CheckResult& result);
  void OnCandidate(std::size_t job, const CheckResult& result);
  void SwitchToBest();
  void GiveBack();  // no candidate passed: the user's settings return
  void Say(const std::string& text, bool alert);
  bool Healthy(const CheckResult& result) const;
  // Starts a run whose events reach the window's thread tagged with its number.
  void Start(std::vector<CheckJob> jobs);

  ProxyCheckRunner& runner_;
  std::function<void(std::function<void()>)> post_;
  Actions actions_;
  int seconds_;
  bool failover_ = true;
  bool watching_ = false;
  CheckJob proxy_;
  bool https_ = false, ours_ = false;
  Stage stage_ = Stage::Waiting;
  int elapsed_ = 0;   // seconds since the last check
  int failures_ = 0;  // in a row
  unsigned run_ = 0;
  std::vector<CheckJob> candidates_;  // of the failover in flight, best first
  std::vector<std::optional<CheckResult>> answers_;  // theirs so far
  int rankingLeft_ = -1;  // seconds until the best answered is taken; -1: no good answer yet
};

}  // namespace vantoip
