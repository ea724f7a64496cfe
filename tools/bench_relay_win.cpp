// The local relay against a loopback CONNECT proxy of this benchmark's own:
// the median connect-to-first-byte of 200 requests through the relay and
// straight through that proxy (the relay adding at most 1 ms); the failover
// (a hanging upstream before the working one costs the first request one
// upstream time-out, 3 s, at most 3.5 s, the next none); and last five
// 200 MB downloads either way (the relay's throughput at least 0.9 x).
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_win.h"
#include "relay/relay_engine_win.h"
#include "tools/bench_report.h"
#include "tools/bench_sockets_win.h"

namespace {

using vantoip::Socket;
using bench::Connect;
using bench::Listener;
using bench::ReadHead;
using bench::SendAll;
using Clock = std::chrono::steady_clock;

constexpr long long kDownloadBytes = 200ll << 20;

// Serves one connection after another on a thread of its own: the fetches
// come one at a time, and a thread made per connection would cost Wine more
// than the relay does and blur what is measured.
template <class Serve>
void Serving(Socket listener, Serve serve) {
  std::thread([listener = std::move(listener), serve]() mutable {
    for (Socket s; (s = Socket(accept(listener.Get(), nullptr, nullptr)));) serve(s.Get());
  }).detach();
}

// A CONNECT proxy for downloads: after the head, the far side's bytes to the client.
void Proxy(SOCKET client) {
  const std::string head = ReadHead(client);
  const std::size_t colon = head.find(':'), space = head.find(' ', colon);
  if (head.rfind("CONNECT ", 0) != 0 || colon == std::string::npos) return;
  Socket onward = Connect(std::stoi(head.substr(colon + 1, space - colon - 1)));
  if (!onward || !SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n")) return;
  std::vector<char> buffer(64 * 1024);
  for (int n; (n = recv(onward.Get(), buffer.data(), static_cast<int>(buffer.size()), 0)) > 0;)
    if (send(client, buffer.data(), n, 0) != n) break;
  shutdown(client, SD_SEND);
}

// The data: `bytes` bytes to each connection, then the close.
void Data(SOCKET s, long long bytes) {
  std::vector<char> block(64 * 1024, 'x');
  for (long long left = bytes; left > 0;) {
    const int n = send(s, block.data(), static_cast<int>(std::min<long long>(left, block.size())), 0);
    if (n <= 0) return;
    left -= n;
  }
  shutdown(s, SD_SEND);
  char c;
  recv(s, &c, 1, 0);
}

// Through the proxy at `port` to the data server: the seconds to the first
// byte and to the last, and the bytes that came.
struct Fetch {
  double firstByte = -1, whole = -1;
  long long bytes = 0;
};
Fetch FetchThrough(int port, int dataPort) {
  Fetch fetch;
  const auto start = Clock::now();
  const Socket s = bench::Tunnel(port, dataPort);
  if (!s) return fetch;
  std::vector<char> buffer(64 * 1024);
  for (int n; (n = recv(s.Get(), buffer.data(), static_cast<int>(buffer.size()), 0)) > 0;) {
    if (fetch.bytes == 0) fetch.firstByte = std::chrono::duration<double>(Clock::now() - start).count();
    fetch.bytes += n;
  }
  fetch.whole = std::chrono::duration<double>(Clock::now() - start).count();
  return fetch;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// `runs` fetches straight and as many through the relay, taken in turns so
// that neither way meets a busier machine than the other: the medians of
// `measure` over each.
template <class Measure>
std::pair<double, double> InTurns(int runs, int straightPort, int relayPort, int dataPort, Measure measure) {
  std::vector<double> straight, relayed;
  for (int i = 0; i < runs; ++i) {
    straight.push_back(measure(FetchThrough(straightPort, dataPort)));
    relayed.push_back(measure(FetchThrough(relayPort, dataPort)));
  }
  return {Median(straight), Median(relayed)};
}

}  // namespace

int main() {
  vantoip::StartWinsock();
  int proxyPort = 0, bigPort = 0, smallPort = 0, hangingPort = 0;
  Serving(Listener(proxyPort), Proxy);
  Serving(Listener(bigPort), [](SOCKET s) { Data(s, kDownloadBytes); });
  Serving(Listener(smallPort), [](SOCKET s) { Data(s, 1); });
  const Socket hanging = Listener(hangingPort);  // connects complete in its backlog; nobody answers

  vantoip::UpstreamPool pool;
  vantoip::RelayEngine relay(pool);
  if (!relay.Start()) return 1;
  pool.Set({{"127.0.0.1", proxyPort}});

  const auto [directFirst, relayedFirst] =
      InTurns(200, proxyPort, relay.Port(), smallPort, [](const Fetch& f) { return f.firstByte * 1000; });
  Report("relay, median connect to first byte, straight", directFirst, "ms");
  Report("relay, median connect to first byte, through it (+)", relayedFirst - directFirst, "ms", "<= 1");

  pool.Set({{"127.0.0.1", hangingPort}, {"127.0.0.1", proxyPort}});
  const Fetch first = FetchThrough(relay.Port(), smallPort), next = FetchThrough(relay.Port(), smallPort);
  Report("relay, first request past a hanging upstream", first.whole, "s", "<= 3.5");
  Report("relay, the next request (the hanging one passed over)", next.whole * 1000, "ms");
  pool.Set({{"127.0.0.1", proxyPort}});
  // A download that came short counts as no throughput at all.
  const auto [direct, relayed] = InTurns(5, proxyPort, relay.Port(), bigPort, [](const Fetch& f) {
    return f.bytes == kDownloadBytes ? kDownloadBytes / f.whole / (1 << 20) : 0;
  });
  const double ratio = relayed / direct;
  Report("relay, 200 MB straight through its upstream (median of 5)", direct, "MiB/s");
  Report("relay, 200 MB through it (median of 5)", relayed, "MiB/s");
  Report("relay, through it / straight", ratio, "x", ">= 0.9");
  const bool ok = ratio >= 0.9 &&
                  relayedFirst - directFirst <= 1 && first.bytes == 1 && first.whole <= 3.5 && next.whole < 0.5;
  std::fflush(stdout);
  ExitProcess(ok ? 0 : 1);  // the serving threads block in accept: not waited for
}
