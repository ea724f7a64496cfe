// Checks 3,000 loopback proxies through the runner alone (no window): 10%
// work (HTTPS proven through their tunnels), 40% refuse, 50% hang after
// accepting; then the same with a third of them SOCKS4 and SOCKS5. Each that
// works is judged too (the loopback judge's step). Each has an address of its own
// (127.0.x.y; the fake proxies listen on every address, which Linux's loopback
// under Wine answers for the whole 127/8). Fails when all are not checked
// within 1.15 x the ideal time for 512 in flight, when a proxy is
// classified wrongly (or one that works is not judged 高匿), or when memory grows by more than 40 MiB.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_check_runner_win.h"
#include "tests/support/fake_proxies_win.h"
#include "tools/bench_process_win.h"
#include "tools/bench_report.h"
#include "tools/check_mix.h"

namespace {

using vantoip::test::FakeProxyKind;

using vantoip::bench::kCheckedProxies;
using vantoip::bench::MixedKind;

// A third of the proxies SOCKS when `socks`: their working ones SOCKS5 and SOCKS4 servers.
bool RunMix(const vantoip::CheckPage& page, vantoip::test::FakeProxies& fakes, bool socks) {
  std::vector<vantoip::CheckJob> jobs;
  std::vector<FakeProxyKind> kinds;
  for (int i = 0; i < kCheckedProxies; ++i) {
    FakeProxyKind kind = MixedKind(i);
    vantoip::ProxyProtocol protocol = vantoip::ProxyProtocol::kHttp;
    if (socks && i % 3 == 0) {
      protocol = i % 2 ? vantoip::ProxyProtocol::kSocks4 : vantoip::ProxyProtocol::kSocks5;
      if (kind == FakeProxyKind::Working)
        kind = protocol == vantoip::ProxyProtocol::kSocks4 ? FakeProxyKind::Socks4 : FakeProxyKind::Socks5;
    }
    kinds.push_back(kind);
    jobs.push_back({vantoip::bench::MixedAddress(i), fakes.Port(kind), protocol});
  }

  std::mutex mutex;
  std::vector<vantoip::CheckResult> results(kCheckedProxies);
  std::atomic<bool> done{false};
  vantoip::SocketCheckRunner runner(page, vantoip::bench::kChecksInFlight);
  const double memoryBefore = PrivateMegabytes();
  double memoryPeak = memoryBefore;
  const double cpuBefore = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  runner.Start(jobs, {.finished = [&](std::size_t job, vantoip::CheckResult result) {
                         std::lock_guard lock(mutex);
                         results[job] = result;
                       },
                       .done = [&] { done = true; }});
  const double limitSeconds = vantoip::bench::kCheckLimitSeconds;
  while (!done && std::chrono::steady_clock::now() - start < std::chrono::duration<double>(limitSeconds * 2)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    memoryPeak = std::max(memoryPeak, PrivateMegabytes());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  runner.Stop();

  int wrong = 0;
  {
    std::lock_guard lock(mutex);
    for (int i = 0; i < kCheckedProxies; ++i)
      wrong += results[i].outcome != vantoip::test::ExpectedOutcome(kinds[i]) ||
               (vantoip::HasTime(results[i]) && results[i].anonymity != vantoip::Anonymity::kElite);
  }
  char limit[32];
  std::snprintf(limit, sizeof limit, "<= %.1f", limitSeconds);
  const std::string mix = socks ? ", a third SOCKS" : "";
  Report(("proxy check, 3000 proxies (10% work/40% refuse/50% hang)" + mix).c_str(), seconds, "s", limit);
  Report(("proxy check, classified wrongly or not at all" + mix).c_str(), wrong, "", "0");
  Report(("proxy check, memory above before, peak (fakes included)" + mix).c_str(), memoryPeak - memoryBefore, "MiB",
         "<= 40");
  Report(("proxy check, process CPU time / wall time" + mix).c_str(), cpu / seconds * 100, "%");
  return done && seconds <= limitSeconds && wrong == 0 && memoryPeak - memoryBefore <= 40;
}

}  // namespace

int main() {
  const vantoip::CheckPage page = vantoip::test::LoopbackCheckPage(nullptr, nullptr);
  vantoip::test::FakeProxies fakes(page, true);
  const bool http = RunMix(page, fakes, false);
  const bool socks = RunMix(page, fakes, true);
  return http && socks ? 0 : 1;
}
