// select() watches up to kMaxChecksInFlight checks at once: its set must hold
// more than the default 64 sockets, and the size is fixed before winsock2.h is
// first read.
#define FD_SETSIZE 2048

#include "net/proxy_checker_win.h"

static_assert(FD_SETSIZE >= vantoip::kMaxChecksInFlight);

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "net/name_resolver_win.h"
#include "net/socket_win.h"

namespace vantoip {
namespace {

constexpr int kConnectMilliseconds = 5000;
constexpr int kCheckMilliseconds = 10000;
constexpr int kPollMilliseconds = 50;  // how soon a stop closes the sockets
constexpr int kProgressMilliseconds = 250;  // the title and the taskbar: four times a second

// A monotonic high-resolution clock_ in QueryPerformanceCounter ticks.
class Clock {
 public:
  Clock() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    perSecond_ = frequency.QuadPart;
  }
  std::int64_t Now() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
  }
  std::int64_t Ticks(int milliseconds) const { return milliseconds * perSecond_ / 1000; }
  int Milliseconds(std::int64_t ticks) const { return static_cast<int>(ticks * 1000 / perSecond_); }

 private:
  std::int64_t perSecond_ = 1;
};

// One proxy under check: the GET, then for a pass the CONNECT (the tunnel).
struct Check {
  enum class Phase { Resolving, Connecting, Sending, Receiving };

  Check(std::size_t job, const std::string& expectedBody) : job(job), response(expectedBody) {}

  std::size_t job;
  Phase phase = Phase::Resolving;
  bool tunnel = false;
  sockaddr_in address{};
  Socket socket;
  std::size_t sent = 0;
  ResponseClassifier response;
  ConnectClassifier tunnelAnswer;
  std::int64_t checkDeadline = 0;
  std::int64_t phaseDeadline = 0;
  std::int64_t connectStart = 0;
  int milliseconds = 0;  // the GET's, once it passed
  std::optional<CheckResult> result;
};

// What a run is given and how it is told to stop; shared by the checker and the worker.
struct RunState {
  RunState(const CheckPage& page, int maxInFlight, std::vector<CheckJob> jobs, ProxyChecker::Events events)
      : getRequest(ProxyGetRequest(page)), connectRequest(ProxyConnectRequest(page)), expectedBody(page.expectedBody),
        maxInFlight(static_cast<std::size_t>(std::clamp(maxInFlight, 1, FD_SETSIZE))), jobs(std::move(jobs)),
        events(std::move(events)) {}

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

  const std::string getRequest, connectRequest, expectedBody;
  const std::size_t maxInFlight;
  std::vector<CheckJob> jobs;  // the worker's, once it runs
  const ProxyChecker::Events events;
  std::atomic<bool> stopped{false};
  std::atomic<bool> hasAdded{false};
  std::vector<CheckJob> added;  // under AddMutex()
  bool finished = false;        // under AddMutex()
};

// The worker's loop; its sockets and lookups end with it.
class CheckLoop {
 public:
  explicit CheckLoop(RunState& run) : run_(run) {}
  void Work();

 private:
  void StartCheck(std::size_t job);
  void Connect(Check& check);
  std::int64_t Wait();
  void Advance(Check& check, const fd_set& readable, const fd_set& writable, const fd_set& failed);
  void Send(Check& check);
  void Receive(Check& check);
  void EndGet(Check& check, CheckOutcome outcome);
  void EndTunnel(Check& check, bool https);

  RunState& run_;
  Clock clock_;
  std::vector<std::unique_ptr<Check>> checks_;
  NameResolver resolver_;
  std::vector<char> buffer_ = std::vector<char>(16 * 1024);
};

void CheckLoop::Work() {
  StartWinsock();
  std::size_t next = 0;
  std::int64_t nextProgress = clock_.Now() + clock_.Ticks(kProgressMilliseconds);
  while (!run_.stopped) {
    run_.TakeAdded(false);
    while (checks_.size() < run_.maxInFlight && next < run_.jobs.size()) StartCheck(next++);
    for (const auto& [job, address] : resolver_.Take()) {
      const auto found = std::find_if(checks_.begin(), checks_.end(), [&](const auto& c) { return c->job == job; });
      if (found == checks_.end()) continue;  // timed out meanwhile
      if (!address) {
        (*found)->result = CheckResult{CheckOutcome::Refused, 0};  // a name without an address reaches nothing
        continue;
      }
      (*found)->address.sin_addr = *address;
      Connect(**found);
    }
    if (checks_.empty() && next == run_.jobs.size() && !run_.TakeAdded(true)) {
      if (run_.events.done && !run_.stopped) run_.events.done();
      return;
    }
    const std::int64_t now = Wait();
    if (now >= nextProgress) {
      if (run_.events.progress && !run_.stopped) run_.events.progress();
      nextProgress = now + clock_.Ticks(kProgressMilliseconds);
    }
    for (auto& check : checks_) {
      if (!check->result && now >= std::min(check->phaseDeadline, check->checkDeadline)) {
        if (check->tunnel) EndTunnel(*check, false);
        else check->result = CheckResult{CheckOutcome::TimedOut, 0};
      }
      if (check->result && run_.events.finished && !run_.stopped) run_.events.finished(check->job, *check->result);
    }
    std::erase_if(checks_, [](const auto& c) { return c->result.has_value(); });
  }
}

void CheckLoop::StartCheck(std::size_t job) {
  if (run_.events.started) run_.events.started(job);
  auto& check = *checks_.emplace_back(std::make_unique<Check>(job, run_.expectedBody));
  const std::int64_t now = clock_.Now();
  check.checkDeadline = check.phaseDeadline = now + clock_.Ticks(kCheckMilliseconds);
  const CheckJob& target = run_.jobs[job];
  if (target.port < 1 || target.port > 65535 || target.host.empty()) {
    check.result = CheckResult{CheckOutcome::Refused, 0};
    return;
  }
  check.address.sin_family = AF_INET;
  check.address.sin_port = htons(static_cast<u_short>(target.port));
  if (inet_pton(AF_INET, target.host.c_str(), &check.address.sin_addr) == 1) Connect(check);
  else resolver_.Resolve(job, target.host);
}

void CheckLoop::Connect(Check& check) {
  check.socket = StartConnect(check.address);
  check.connectStart = clock_.Now();
  check.phaseDeadline = check.connectStart + clock_.Ticks(kConnectMilliseconds);
  check.phase = Check::Phase::Connecting;
  check.sent = 0;
  if (!check.socket) check.tunnel ? EndTunnel(check, false) : EndGet(check, CheckOutcome::Refused);
}

// Waits until a socket is ready, a deadline is due or the poll interval is over; returns the time.
std::int64_t CheckLoop::Wait() {
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  std::int64_t due = clock_.Now() + clock_.Ticks(kPollMilliseconds);
  for (const auto& check : checks_) {
    due = std::min({due, check->phaseDeadline, check->checkDeadline});
    if (check->result) due = 0;  // to be reported now
    if (!check->socket || check->result) continue;
    const SOCKET s = check->socket.Get();
    if (check->phase == Check::Phase::Receiving) {
      FD_SET(s, &readable);
    } else {
      FD_SET(s, &writable);
      if (check->phase == Check::Phase::Connecting) FD_SET(s, &failed);
    }
  }
  const int milliseconds = std::max(0, clock_.Milliseconds(due - clock_.Now()));
  if (readable.fd_count + writable.fd_count == 0) {
    Sleep(milliseconds);  // select refuses three empty sets
    return clock_.Now();
  }
  timeval timeout{0, milliseconds * 1000};
  if (select(0, &readable, &writable, &failed, &timeout) > 0)
    for (auto& check : checks_)
      if (check->socket && !check->result) Advance(*check, readable, writable, failed);
  return clock_.Now();
}

void CheckLoop::Advance(Check& check, const fd_set& readable, const fd_set& writable, const fd_set& failed) {
  const SOCKET s = check.socket.Get();
  switch (check.phase) {
    case Check::Phase::Resolving: return;
    case Check::Phase::Connecting:
      if (FD_ISSET(s, &failed)) {
        check.tunnel ? EndTunnel(check, false) : EndGet(check, CheckOutcome::Refused);
      } else if (FD_ISSET(s, &writable)) {
        check.phase = Check::Phase::Sending;
        Send(check);
      }
      return;
    case Check::Phase::Sending:
      if (FD_ISSET(s, &writable)) Send(check);
      return;
    case Check::Phase::Receiving:
      if (FD_ISSET(s, &readable)) Receive(check);
      return;
  }
}

void CheckLoop::Send(Check& check) {
  const std::string& request = check.tunnel ? run_.connectRequest : run_.getRequest;
  const int n = send(check.socket.Get(), request.data() + check.sent, static_cast<int>(request.size() - check.sent), 0);
  if (n == SOCKET_ERROR) {
    if (WSAGetLastError() == WSAEWOULDBLOCK) return;
    check.tunnel ? EndTunnel(check, false) : EndGet(check, CheckOutcome::Refused);
    return;
  }
  check.sent += n;
  if (check.sent < request.size()) return;
  check.phase = Check::Phase::Receiving;
  check.phaseDeadline = check.checkDeadline;
}

void CheckLoop::Receive(Check& check) {
  // Never more than the classifier looks at: a huge answer stays in the network.
  const std::size_t room = check.tunnel ? buffer_.size() : kMaxAnswerBytes - check.response.BytesSeen();
  const int n = recv(check.socket.Get(), buffer_.data(), static_cast<int>(std::min(room, buffer_.size())), 0);
  if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return;
  const std::string_view bytes(buffer_.data(), n > 0 ? n : 0);
  if (check.tunnel) {
    // An end of the connection before the status line is a refusal of the tunnel.
    const CheckOutcome outcome = n > 0 ? check.tunnelAnswer.Feed(bytes) : CheckOutcome::Refused;
    if (outcome != CheckOutcome::Checking) EndTunnel(check, outcome == CheckOutcome::Passed);
    return;
  }
  // A reset counts as the end of the answer: refused before any byte, judged after.
  const CheckOutcome outcome = n > 0 ? check.response.Feed(bytes) : check.response.Close();
  if (outcome != CheckOutcome::Checking) EndGet(check, outcome);
}

void CheckLoop::EndGet(Check& check, CheckOutcome outcome) {
  check.socket.Reset();
  if (outcome != CheckOutcome::Passed) {
    check.result = CheckResult{outcome, 0};
    return;
  }
  check.milliseconds = clock_.Milliseconds(clock_.Now() - check.connectStart);
  check.tunnel = true;
  Connect(check);
}

void CheckLoop::EndTunnel(Check& check, bool https) {
  check.socket.Reset();
  check.result = CheckResult{https ? CheckOutcome::Passed : CheckOutcome::PassedHttpOnly, check.milliseconds};
}

}  // namespace

struct ProxyChecker::Run : RunState {
  using RunState::RunState;
};

ProxyChecker::ProxyChecker(CheckPage page, int maxInFlight) : page_(std::move(page)), maxInFlight_(maxInFlight) {}

ProxyChecker::~ProxyChecker() { Stop(); }

void ProxyChecker::Start(std::vector<CheckJob> jobs, Events events) {
  Stop();
  run_ = std::make_shared<Run>(page_, maxInFlight_, std::move(jobs), std::move(events));
  std::thread([run = run_] { CheckLoop(*run).Work(); }).detach();
}

bool ProxyChecker::Add(std::vector<CheckJob> jobs) { return run_ && run_->Add(std::move(jobs)); }

void ProxyChecker::Stop() {
  if (run_) run_->stopped = true;
}

}  // namespace vantoip
