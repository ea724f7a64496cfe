// Checks 3,000 loopback proxies through the checker alone (no window): 10%
// work, 40% refuse, 50% hang after accepting. Each has an address of its own
// (127.0.x.y; the fake proxies listen on every address, which Linux's loopback
// under Wine answers for the whole 127/8). Fails when all are not checked
// within 1.2 x the ideal time for 256 in flight plus 2 s, when a proxy is
// classified wrongly, or when memory grows by more than 30 MiB.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/proxy_checker_win.h"
#include "tests/support/fake_proxies_win.h"
#include "tools/bench_report.h"

namespace {

using vantoip::CheckOutcome;
using vantoip::test::FakeProxyKind;

constexpr int kProxies = 3000;
constexpr int kInFlight = 256;
constexpr double kCheckSeconds = 10;

// Committed private memory: Wine reports it as the page-file usage (its PrivateUsage is 0).
double PrivateMegabytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return std::max(counters.PagefileUsage, counters.PrivateUsage) / 1048576.0;
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Every tenth works, four in ten refuse, the rest hang; mixed through the list.
FakeProxyKind KindOf(int i) {
  const int slot = i % 10;
  return slot == 0 ? FakeProxyKind::Working : slot <= 4 ? FakeProxyKind::Refusing : FakeProxyKind::Hanging;
}

}  // namespace

int main() {
  const vantoip::CheckPage page = vantoip::CheckPageFrom(nullptr, nullptr);
  vantoip::test::FakeProxies fakes(page, true);
  std::vector<vantoip::CheckJob> jobs;
  for (int i = 0; i < kProxies; ++i)
    jobs.push_back({"127.0." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250), fakes.Port(KindOf(i))});

  std::mutex mutex;
  std::vector<CheckOutcome> outcomes(kProxies, CheckOutcome::NotChecked);
  std::atomic<bool> done{false};
  vantoip::ProxyChecker checker(page, kInFlight);
  const double memoryBefore = PrivateMegabytes();
  double memoryPeak = memoryBefore;
  const double cpuBefore = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  checker.Start(jobs, {.finished = [&](std::size_t job, vantoip::CheckResult result) {
                         std::lock_guard lock(mutex);
                         outcomes[job] = result.outcome;
                       },
                       .done = [&] { done = true; }});
  const double limitSeconds = 1.2 * std::ceil((kProxies / 2.0) / kInFlight) * kCheckSeconds + 2;
  while (!done && std::chrono::steady_clock::now() - start < std::chrono::duration<double>(limitSeconds * 2)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    memoryPeak = std::max(memoryPeak, PrivateMegabytes());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuBefore;
  checker.Stop();

  int wrong = 0;
  {
    std::lock_guard lock(mutex);
    for (int i = 0; i < kProxies; ++i) wrong += outcomes[i] != vantoip::test::ExpectedOutcome(KindOf(i));
  }
  char limit[32];
  std::snprintf(limit, sizeof limit, "<= %.1f", limitSeconds);
  Report("proxy check, 3000 proxies (10% work/40% refuse/50% hang)", seconds, "s", limit);
  Report("proxy check, proxies classified wrongly or not at all", wrong, "", "0");
  Report("proxy check, memory above before, peak (fakes included)", memoryPeak - memoryBefore, "MiB", "<= 30");
  Report("proxy check, process CPU time / wall time", cpu / seconds * 100, "%");
  return done && seconds <= limitSeconds && wrong == 0 && memoryPeak - memoryBefore <= 30 ? 0 : 1;
}
