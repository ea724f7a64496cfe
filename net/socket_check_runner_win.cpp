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

#include "net/proxy_probe_win.h"
#include "net/socket_win.h"

namespace vantoip {
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
           std::vector<CheckJob> jobs, SocketCheckRunner::Events events)
      : requests(page, lookup, queue), maxInFlight(static_cast<std::size_t>(std::clamp(maxInFlight, 1, FD_SETSIZE))),
        jobs(std::move(jobs)), events(std::move(events)) {}

  // Moves the jobs added since into `jobs`; when there are none and
  // `finishIfNone`, the run takes no more. True when jobs were added.
  bool TakeAdded(bool finishIfNone) {
    if (!hasAdded && !finishIfNone) return false;
    std::lock_guard lock(AddMutex());
    for (CheckJob& job : added) jobs.push_back(std::move(job));
    const bool any = !added.empty();
    added.clear();
    hasAdded = false;
    finished = !any && finishIfNone;
    return any;
  }
  bool Add(std::vector<CheckJob> more) {
    std::lock_guard lock(AddMutex());
    if (finished || stopped) return false;
    for (CheckJob& job : more) added.push_back(std::move(job));
    hasAdded = true;
    return true;
  }
  // One lock for all runs: MinGW's threads never destroy a std::mutex's system object.
  static std::mutex& AddMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
  }

  const ProbeRequests requests;
  const std::size_t maxInFlight;
  std::vector<CheckJob> jobs;  // the worker's, once it runs
  const SocketCheckRunner::Events events;
  std::atomic<bool> stopped{false};
  std::atomic<bool> hasAdded{false};
  std::vector<CheckJob> added;  // under AddMutex()
  bool finished = false;        // under AddMutex()
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

  RunState& run_;
  Clock clock_;
  std::vector<Running> running_;
  std::deque<Socket> closing_;  // of finished checks, closed a few at a time
  bool idle_ = false;           // the last select found no socket ready
};

void CheckLoop::Work() {
  StartWinsock();
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
    const std::int64_t pollsEnd = clock_.Now() + clock_.Ticks(kWorkBetweenReadsMilliseconds);
    timeOutsLeft = false;
    for (Running& check : running_) {
      if (!check.probe->Result()) {
        if (clock_.Now() < pollsEnd) check.probe->Poll(now);
        else timeOutsLeft = timeOutsLeft || check.probe->Deadline() <= now;
      }
      if (check.probe->Result() && run_.events.finished && Reporting())
        run_.events.finished(check.job, *check.probe->Result());
    }
    std::erase_if(running_, [this](Running& check) {
      if (!check.probe->Result()) return false;
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
  for (const Running& check : running_) {
    const ProxyProbe& probe = *check.probe;
    due = std::min(due, probe.Deadline());
    if (probe.Result()) {  // to be reported now
      due = 0;
      continue;
    }
    const SOCKET s = probe.Socket();
    if (s == INVALID_SOCKET) continue;
    if (probe.WantsRead()) FD_SET(s, &readable);
    if (probe.WantsWrite()) FD_SET(s, &writable);
    if (!probe.WantsRead()) FD_SET(s, &failed);  // a connect under way
  }
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
  if (ready > 0)
    for (Running& check : running_) {
      const SOCKET s = check.probe->Socket();
      if (s != INVALID_SOCKET)
        check.probe->OnReady(FD_ISSET(s, &readable), FD_ISSET(s, &writable), FD_ISSET(s, &failed), now);
    }
  return now;
}

}  // namespace

struct SocketCheckRunner::Run : RunState {
  using RunState::RunState;
};

SocketCheckRunner::SocketCheckRunner(CheckPage page, int maxInFlight, LookupFunction lookup, LookupQueue queue)
    : page_(std::move(page)), maxInFlight_(maxInFlight), lookup_(lookup), queue_(queue) {}

SocketCheckRunner::~SocketCheckRunner() { Stop(); }

void SocketCheckRunner::Start(std::vector<CheckJob> jobs, Events events) {
  Stop();
  run_ = std::make_shared<Run>(page_, maxInFlight_, lookup_, queue_, std::move(jobs), std::move(events));
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
