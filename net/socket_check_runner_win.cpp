// select() watches up to kMaxChecksInFlight checks at once: its set must hold
// more than the default 64 sockets, and the size is fixed before winsock2.h is
// first read.
#define FD_SETSIZE 2048

#include "net/socket_check_runner_win.h"

static_assert(FD_SETSIZE >= vantoip::kMaxChecksInFlight);

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "net/judge_echo.h"
#include "net/proxy_probe_win.h"
#include "net/socket_win.h"

namespace vantoip {

// One lock for all runs and runners: MinGW's threads never destroy a std::mutex's system object.
static std::mutex& RunnerMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

// The user's own address as a run found it, for the runner's next runs.
class KeptAddress {
 public:
  void Keep(const std::string& address) {
    std::lock_guard lock(RunnerMutex());
    address_ = address;
  }
  std::optional<std::string> Get() const {
    std::lock_guard lock(RunnerMutex());
    return address_;
  }

 private:
  std::optional<std::string> address_;
};

namespace {

constexpr int kPollMilliseconds = 50;  // how soon a stop closes the sockets and lookups are seen
constexpr int kProgressMilliseconds = 250;  // the title and the taskbar: four times a second
// Between two reads of the sockets the loop does at most this much other work
// (starting checks, closing the sockets of those timed out), so that an answer
// is seen as it comes, not after a burst of starts or time-outs.
constexpr int kWorkBetweenReadsMilliseconds = 1;
// Sockets of finished checks closed between two reads: one, or a few when no
// socket was ready. Hundreds timing out together would otherwise be closed in
// one go, and under Wine every socket call of the checks in flight waits for
// those closes.
constexpr std::size_t kClosesBetweenBusyReads = 1;
constexpr std::size_t kClosesBetweenIdleReads = 8;

// What a run is given and how it is told to stop; shared by the runner and the worker.
struct RunState {
  RunState(const CheckPage& page, int maxInFlight, LookupFunction lookup, LookupQueue queue,
           std::shared_ptr<KeptAddress> keptAddress, std::vector<CheckJob> jobs, SocketCheckRunner::Events events)
      : requests(page, lookup, queue), maxInFlight(static_cast<std::size_t>(std::clamp(maxInFlight, 1, FD_SETSIZE))),
        keptAddress(std::move(keptAddress)), jobs(std::move(jobs)), events(std::move(events)) {}

  // Moves the jobs added since into `jobs`; when there are none and
  // `finishIfNone`, the run takes no more. True when jobs were added.
  bool TakeAdded(bool finishIfNone) {
    if (!hasAdded && !finishIfNone) return false;
    std::lock_guard lock(RunnerMutex());
    for (CheckJob& job : added) jobs.push_back(std::move(job));
    const bool any = !added.empty();
    added.clear();
    hasAdded = false;
    finished = !any && finishIfNone;
    return any;
  }
  bool Add(std::vector<CheckJob> more) {
    std::lock_guard lock(RunnerMutex());
    if (finished || stopped) return false;
    for (CheckJob& job : more) added.push_back(std::move(job));
    hasAdded = true;
    return true;
  }

  const ProbeRequests requests;
  const std::size_t maxInFlight;
  const std::shared_ptr<KeptAddress> keptAddress;  // none: the own address is fetched by every run
  std::vector<CheckJob> jobs;  // the worker's, once it runs
  const SocketCheckRunner::Events events;
  std::atomic<bool> stopped{false};
  std::atomic<bool> hasAdded{false};
  std::vector<CheckJob> added;  // under RunnerMutex()
  bool finished = false;        // under RunnerMutex()
};

// The worker's loop; its sockets end with it.
class CheckLoop {
 public:
  explicit CheckLoop(RunState& run) : run_(run) {}
  void Work();

 private:
  struct Running {
    std::size_t job;
    std::unique_ptr<ProxyProbe> probe;
  };
  // Waits until a socket is ready, a time-out is due or the poll interval is
  // over (not at all when `startsWaiting`); returns the time select returned.
  std::int64_t Wait(bool startsWaiting);
  bool Reporting() const { return !run_.stopped; }
  // The direct fetch of the user's own address: from the first judge, then the next.
  void StartOwnFetch();
  void PollOwnFetch(std::int64_t now);
  // A result with an echo waits for the user's own address to be settled.
  bool Held(const ProxyProbe& probe) const { return probe.Echo() && ownProbe_; }
  // The probe's result with the level its echo shows.
  CheckResult Judged(const ProxyProbe& probe) const;

  RunState& run_;
  Clock clock_;
  std::unique_ptr<ProxyProbe> ownProbe_;  // while the user's own address is fetched
  std::size_t ownJudge_ = 0;              // the judge it asks
  std::optional<std::string> ownAddress_;
  std::vector<Running> running_;
  std::deque<Socket> closing_;  // of finished checks, closed a few at a time
  bool idle_ = false;           // the last select found no socket ready
};

void CheckLoop::StartOwnFetch() {
  const std::vector<JudgePage>& judges = run_.requests.page.judges;
  if (ownJudge_ < judges.size()) ownProbe_ = std::make_unique<ProxyProbe>(judges[ownJudge_], run_.requests, clock_);
}

void CheckLoop::PollOwnFetch(std::int64_t now) {
  if (!ownProbe_) return;
  ownProbe_->Poll(now);
  if (!ownProbe_->Result()) return;
  if (const std::optional<JudgeEcho>& echo = ownProbe_->Echo()) ownAddress_ = echo->clientAddress;
  if (Socket s = ownProbe_->TakeSocket()) closing_.push_back(std::move(s));
  ownProbe_.reset();
  ++ownJudge_;
  if (!ownAddress_ && ownJudge_ < run_.requests.page.judges.size()) return StartOwnFetch();
  if (ownAddress_ && run_.keptAddress) run_.keptAddress->Keep(*ownAddress_);
  if (run_.events.ownAddress && Reporting()) run_.events.ownAddress(ownAddress_.has_value());
}

CheckResult CheckLoop::Judged(const ProxyProbe& probe) const {
  CheckResult result = *probe.Result();
  if (const std::optional<JudgeEcho>& echo = probe.Echo(); echo && HasTime(result)) {
    result.anonymity = JudgeLevel(*echo, ownAddress_);
    result.exitAddress = echo->clientAddress;
  }
  return result;
}

void CheckLoop::Work() {
  StartWinsock();
  if (!run_.requests.page.judges.empty()) {
    ownAddress_ = run_.keptAddress ? run_.keptAddress->Get() : std::nullopt;
    if (!ownAddress_) StartOwnFetch();
  }
  std::size_t next = 0;
  bool timeOutsLeft = false;
  std::int64_t nextProgress = clock_.Now() + clock_.Ticks(kProgressMilliseconds);
  while (!run_.stopped) {
    run_.TakeAdded(false);
    // Time-outs are settled before new checks start: a check's clock does not
    // run while the sockets of hundreds of others are being closed.
    const std::int64_t startsEnd = timeOutsLeft ? 0 : clock_.Now() + clock_.Ticks(kWorkBetweenReadsMilliseconds);
    for (; running_.size() < run_.maxInFlight && next < run_.jobs.size() && clock_.Now() < startsEnd; ++next) {
      if (run_.events.started) run_.events.started(next);
      running_.push_back({next, std::make_unique<ProxyProbe>(run_.jobs[next], run_.requests, clock_)});
    }
    if (running_.empty() && next == run_.jobs.size() && !run_.TakeAdded(true)) {
      if (run_.events.done && Reporting()) run_.events.done();
      return;
    }
    const std::int64_t now = Wait(running_.size() < run_.maxInFlight && next < run_.jobs.size());
    if (now >= nextProgress) {
      if (run_.events.progress && Reporting()) run_.events.progress();
      nextProgress = now + clock_.Ticks(kProgressMilliseconds);
    }
    // Time-outs left over wait for the next round: their deadline makes it come at once.
    PollOwnFetch(now);
    const std::int64_t pollsEnd = clock_.Now() + clock_.Ticks(kWorkBetweenReadsMilliseconds);
    timeOutsLeft = false;
    for (Running& check : running_) {
      if (!check.probe->Result()) {
        if (clock_.Now() < pollsEnd) check.probe->Poll(now);
        else timeOutsLeft = timeOutsLeft || check.probe->Deadline() <= now;
      }
      if (check.probe->Result() && !Held(*check.probe) && run_.events.finished && Reporting())
        run_.events.finished(check.job, Judged(*check.probe));
    }
    std::erase_if(running_, [this](Running& check) {
      if (!check.probe->Result() || Held(*check.probe)) return false;
      if (Socket s = check.probe->TakeSocket()) closing_.push_back(std::move(s));
      return true;
    });
    const std::size_t closes = idle_ ? kClosesBetweenIdleReads : kClosesBetweenBusyReads;
    for (std::size_t i = 0; i < closes && !closing_.empty(); ++i) closing_.pop_front();
  }
}

std::int64_t CheckLoop::Wait(bool startsWaiting) {
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  // While sockets wait to be closed, a round every millisecond closes more.
  std::int64_t due = clock_.Now() + clock_.Ticks(closing_.empty() ? kPollMilliseconds : 1);
  const auto watch = [&](const ProxyProbe& probe) {
    due = std::min(due, probe.Deadline());
    if (probe.Result()) {  // to be reported now, unless held
      if (!Held(probe)) due = 0;
      return;
    }
    const SOCKET s = probe.Socket();
    if (s == INVALID_SOCKET) return;
    if (probe.WantsRead()) FD_SET(s, &readable);
    if (probe.WantsWrite()) FD_SET(s, &writable);
    if (!probe.WantsRead()) FD_SET(s, &failed);  // a connect under way
  };
  for (const Running& check : running_) watch(*check.probe);
  if (ownProbe_) watch(*ownProbe_);
  // Rounded up: a time-out less than a millisecond away is waited for, not spun on.
  const int milliseconds = startsWaiting ? 0 : std::max(0, clock_.Milliseconds(due - clock_.Now() + clock_.Ticks(1) - 1));
  if (readable.fd_count + writable.fd_count == 0) {
    Sleep(milliseconds);  // select refuses three empty sets
    idle_ = true;
    return clock_.Now();
  }
  timeval timeout{0, milliseconds * 1000};
  const int ready = select(0, &readable, &writable, &failed, &timeout);
  const std::int64_t now = clock_.Now();
  idle_ = ready <= 0;
  const auto tell = [&](ProxyProbe& probe) {
    const SOCKET s = probe.Socket();
    if (s != INVALID_SOCKET) probe.OnReady(FD_ISSET(s, &readable), FD_ISSET(s, &writable), FD_ISSET(s, &failed), now);
  };
  if (ready > 0) {
    for (Running& check : running_) tell(*check.probe);
    if (ownProbe_) tell(*ownProbe_);
  }
  return now;
}

}  // namespace

struct SocketCheckRunner::Run : RunState {
  using RunState::RunState;
};

SocketCheckRunner::SocketCheckRunner(CheckPage page, int maxInFlight, LookupFunction lookup, LookupQueue queue)
    : page_(std::move(page)), maxInFlight_(maxInFlight), lookup_(lookup), queue_(queue) {
  // A few urgent checks again and again (the guard's): the address found first serves them all.
  if (queue == LookupQueue::kPrompt) keptAddress_ = std::make_shared<KeptAddress>();
}

SocketCheckRunner::~SocketCheckRunner() { Stop(); }

void SocketCheckRunner::Start(std::vector<CheckJob> jobs, Events events) {
  Stop();
  run_ = std::make_shared<Run>(page_, maxInFlight_, lookup_, queue_, keptAddress_, std::move(jobs), std::move(events));
  try {
    std::thread([run = run_] { CheckLoop(*run).Work(); }).detach();
  } catch (const std::system_error&) {
    const std::shared_ptr<Run> run = std::move(run_);  // takes no more jobs
    run->stopped = true;
    for (std::size_t job = 0; job < run->jobs.size(); ++job)
      if (run->events.finished) run->events.finished(job, {CheckOutcome::NotChecked, 0});
    if (run->events.done) run->events.done();
  }
}

bool SocketCheckRunner::Add(std::vector<CheckJob> jobs) { return run_ && run_->Add(std::move(jobs)); }

void SocketCheckRunner::Stop() {
  if (run_) run_->stopped = true;
}

}  // namespace vantoip
