// A check runner driven by the test: it keeps the jobs and events it was
// given, and the test calls the events as the checks would end.
#pragma once

#include <utility>
#include <vector>

#include "net/check_protocol.h"

namespace vantoip::test {

class ScriptedRunner : public ProxyCheckRunner {
 public:
  void Start(std::vector<CheckJob> started, Events given) override {
    jobs = std::move(started);
    events = std::move(given);
    ++starts;
  }
  bool Add(std::vector<CheckJob> more) override {
    if (!going) return false;
    for (CheckJob& job : more) jobs.push_back(std::move(job));
    return true;
  }
  void Stop() override { ++stops; }
  std::vector<CheckJob> jobs;
  Events events;
  int starts = 0, stops = 0;
  bool going = true;  // Add joins the run
};

}  // namespace vantoip::test
