// Checks many proxies at once through themselves: each gets the check page's
// GET and, when that passed, a CONNECT on a second connection. Non-blocking
// sockets, driven by one worker thread per run; host names are looked up off it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/proxy_check.h"

namespace vantoip {

struct CheckJob {
  std::string host;
  int port = 0;
};

class ProxyChecker {
 public:
  struct Events {
    std::function<void(std::size_t job)> started;                      // the check of a job begins
    std::function<void(std::size_t job, CheckResult result)> finished;  // its result
    std::function<void()> done;                                        // every job finished
  };

  explicit ProxyChecker(CheckPage page, int maxInFlight = 256);
  ~ProxyChecker();  // stops the run, as Stop does
  ProxyChecker(const ProxyChecker&) = delete;
  ProxyChecker& operator=(const ProxyChecker&) = delete;

  // Checks every job (a run still going is stopped first); returns at once.
  // Events come on the run's worker thread.
  void Start(std::vector<CheckJob> jobs, Events events);
  // Stops all checks at once and returns without waiting; a few events may
  // still arrive (the caller tells runs apart); the worker closes the sockets
  // within about 50 ms. A stopped run reports no `done`.
  void Stop();

 private:
  struct Run;
  CheckPage page_;
  int maxInFlight_;
  std::shared_ptr<Run> run_;
};

}  // namespace vantoip
