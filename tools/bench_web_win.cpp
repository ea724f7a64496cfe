// Times 1 MiB and 16 MiB bodies from a loopback server, fetched through
// VisitWebPage and through a plain socket read. Fails when the 16 MiB fetch
// takes more than 20 times the 1 MiB one (the body must grow in linear time).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/loopback_http_server_win.h"
#include "tools/bench_report.h"
#include "web/wininet_layer_win.h"

namespace {

using vantoip::test::LoopbackHttpServer;
using vantoip::test::ReceivedRequest;
using vantoip::test::Response;

constexpr int kRuns = 5;
constexpr double kMiB = 1024.0 * 1024.0;

// The body of /<n> is n MiB; the responses are built once.
std::vector<std::string> BuildResponses(int maxMiB) {
  std::vector<std::string> responses(maxMiB + 1);
  for (int n : {1, 16}) {
    std::string body(static_cast<std::size_t>(n) << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 31 + i / 4093);
    responses[n] = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\n\r\n" + body;
  }
  return responses;
}

// Reads the whole response over a plain socket; returns the body size.
std::size_t SocketFetch(std::uint16_t port, const std::string& path) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  std::string data;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::vector<char> buffer(64 * 1024);
    for (int n; (n = recv(s, buffer.data(), static_cast<int>(buffer.size()), 0)) > 0;) data.append(buffer.data(), n);
  }
  closesocket(s);
  const std::size_t headEnd = data.find("\r\n\r\n");
  return headEnd == std::string::npos ? 0 : data.size() - headEnd - 4;
}

// Seconds one fetch takes; a wrong body size counts as a failure.
double Seconds(const std::function<std::size_t()>& fetch, std::size_t expected, bool& ok) {
  const auto start = std::chrono::steady_clock::now();
  const std::size_t size = fetch();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (size != expected) {
    std::printf("wrong body size %u, expected %u\n", static_cast<unsigned>(size), static_cast<unsigned>(expected));
    ok = false;
  }
  return seconds;
}

}  // namespace

int main() {
  const std::vector<std::string> responses = BuildResponses(16);
  LoopbackHttpServer server([&](const ReceivedRequest& request) -> Response {
    const int n = request.RequestLine().rfind("GET /16 ", 0) == 0 ? 16 : 1;
    return {{responses[n]}};
  });
  const auto visit = [&](int n) { return vantoip::VisitWebPage(server.Url("/" + std::to_string(n))).size(); };
  const auto read = [&](int n) { return SocketFetch(server.Port(), "/" + std::to_string(n)); };

  // Best of several interleaved runs, so that other load on the machine
  // weighs on both sizes alike; the first fetch loads WinINet untimed.
  bool ok = visit(1) == (1u << 20);
  double visitBest[17], readBest[17];
  std::fill(std::begin(visitBest), std::end(visitBest), 1e9);
  std::fill(std::begin(readBest), std::end(readBest), 1e9);
  for (int run = 0; run < kRuns; ++run) {
    for (int n : {1, 16}) {
      const std::size_t expected = static_cast<std::size_t>(n) << 20;
      visitBest[n] = std::min(visitBest[n], Seconds([&] { return visit(n); }, expected, ok));
      readBest[n] = std::min(readBest[n], Seconds([&] { return read(n); }, expected, ok));
    }
  }

  for (int n : {1, 16}) {
    const double visitRate = n * kMiB / visitBest[n] / 1e6, readRate = n * kMiB / readBest[n] / 1e6;
    const std::string size = std::to_string(n) + " MiB";
    Report(("web fetch through VisitWebPage, " + size).c_str(), visitRate, "MB/s");
    Report(("web fetch through a plain socket read, " + size).c_str(), readRate, "MB/s");
    Report(("web fetch, VisitWebPage / socket read rate, " + size).c_str(), visitRate / readRate, "x");
  }
  const double growth = visitBest[16] / visitBest[1];
  Report("web fetch, VisitWebPage time 16 MiB / 1 MiB", growth, "x", "<= 20");
  return ok && growth <= 20 ? 0 : 1;
}
