// The relay in this process carrying the host's curl (a real client, started
// through Wine) through loopback upstreams of every protocol, and passing
// over the dead ones within one time-out.
#include "relay/relay_engine_win.h"

#include <winsock2.h>
#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/socket_win.h"
#include "tests/support/child_process_win.h"
#include "tests/support/fake_proxies_win.h"

namespace vantoip {
namespace {

using test::FakeProxyKind;
using Clock = std::chrono::steady_clock;

constexpr char kCheckUrl[] = "http://check.test/ncsi.txt";
constexpr char kCheckText[] = "Vantoip check page";

struct RelayTest : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(relay.Start()); }
  Upstream Of(FakeProxyKind kind) {
    const CheckJob job = fakes.Job(kind);
    return {job.host, job.port, job.protocol, job.user, job.password};
  }
  std::string Address() { return "127.0.0.1:" + std::to_string(relay.Port()); }
  Socket Client() {
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(relay.Port()));
    if (connect(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) s.Reset();
    return s;
  }
  // What curl printed, run on the host with `arguments`.
  std::string Curl(const std::string& arguments) {
    static int count = 0;
    const std::string output = "/tmp/vantoip-relay-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    std::string command = "/bin/sh -c \"/usr/bin/curl -s -m 15 " + arguments + " > " + output + "; touch " + output + ".done\"";
    PROCESS_INFORMATION process{};
    if (!test::StartProcess(command, process))
      return "(curl did not start)";
    test::StartedProcess{process};
    std::string windows = "Z:" + output;
    for (char& c : windows) c = c == '/' ? '\\' : c;
    for (int waited = 0; waited < 20000; waited += 20) {
      if (GetFileAttributesA((windows + ".done").c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::ifstream file(windows, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        file.close();
        DeleteFileA(windows.c_str());
        DeleteFileA((windows + ".done").c_str());
        return text.str();
      }
      Sleep(20);
    }
    return "(curl did not end)";
  }

  CheckPage page = test::LoopbackCheckPage(kCheckUrl, kCheckText);
  test::FakeProxies fakes{page};
  UpstreamPool pool;
  RelayEngine relay{pool};
};

TEST_F(RelayTest, CarriesHttpConnectAndSocksClientsThroughEveryKindOfUpstream) {
  const std::string https = std::string("-k -o /dev/null -w %{http_code} ") + test::TlsCheckServer::kUrl;
  for (FakeProxyKind kind : {FakeProxyKind::Working, FakeProxyKind::Socks5, FakeProxyKind::Socks5Login, FakeProxyKind::Socks4}) {
    SCOPED_TRACE(test::FakeProxyName(kind));
    pool.Set({Of(kind)});
    EXPECT_EQ(Curl("-x http://" + Address() + " " + kCheckUrl), kCheckText);  // forwarded
    EXPECT_EQ(Curl("-x http://" + Address() + " " + https), "204");          // CONNECT, then TLS
    EXPECT_EQ(Curl("--socks5-hostname " + Address() + " " + https), "204");   // SOCKS5 by name
    if (kind != FakeProxyKind::Working) {  // (the fake HTTP proxies tunnel to the HTTPS page only)
      EXPECT_EQ(Curl("--socks4a " + Address() + " " + kCheckUrl), kCheckText);
    }
  }
  EXPECT_EQ(relay.Counters().connections, 0);
  EXPECT_GT(relay.Counters().down, relay.Counters().up);
}

TEST_F(RelayTest, DeadUpstreamsArePassedOverWithinOneTimeOutThenTheClientHears502) {
  pool.Set({Of(FakeProxyKind::Hanging), Of(FakeProxyKind::Refusing), Of(FakeProxyKind::Working)});
  auto start = Clock::now();
  EXPECT_EQ(Curl("-x http://" + Address() + " " + kCheckUrl), kCheckText);
  const double first = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GE(first, RelayEngine::kUpstreamMilliseconds / 1000.0);  // the hanging one's time-out, the refusal at once
  EXPECT_LT(first, RelayEngine::kUpstreamMilliseconds / 1000.0 + 1.5);
  start = Clock::now();
  EXPECT_EQ(Curl("-x http://" + Address() + " " + kCheckUrl), kCheckText);  // the dead ones passed over
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.5);

  pool.Set({Of(FakeProxyKind::Refusing)});
  EXPECT_EQ(Curl("-o /dev/null -w %{http_code} -x http://" + Address() + " " + kCheckUrl), "502");
  EXPECT_EQ(Curl("-o /dev/null -w %{http_code} -x http://" + Address() + " http://x/ -H 'Host: x' --request-target /"), "400");
}

// Wine keeps a host descriptor per socket, in this process and in its server:
// they raise their open-file limits to the hard one, which must allow some 8,200.
TEST_F(RelayTest, TheConnectionPastTheLimitHears503AndTheOthersKeepWorking) {
  pool.Set({Of(FakeProxyKind::Working)});
  std::vector<Socket> clients;
  for (int i = 0; i < RelayEngine::kMaxClients; ++i) {
    clients.push_back(Client());
    ASSERT_TRUE(clients.back()) << "connection " << i << " was not made";
  }
  for (int waited = 0; relay.Counters().connections < RelayEngine::kMaxClients && waited < 20000; waited += 20) Sleep(20);
  ASSERT_EQ(relay.Counters().connections, RelayEngine::kMaxClients);
  const auto answer = [](const Socket& s) {
    std::string text;
    char buffer[4096];
    for (int n; (n = recv(s.Get(), buffer, sizeof buffer, 0)) > 0;) text.append(buffer, n);
    return text;
  };
  const Socket over = Client();
  EXPECT_EQ(answer(over).rfind("HTTP/1.1 503 ", 0), 0u);
  const std::string get = std::string("GET ") + kCheckUrl + " HTTP/1.1\r\nHost: check.test\r\n\r\n";
  for (int i : {0, 1365, 2730, RelayEngine::kMaxClients - 1}) {
    SCOPED_TRACE(i);
    ASSERT_EQ(send(clients[i].Get(), get.data(), static_cast<int>(get.size()), 0), static_cast<int>(get.size()));
    EXPECT_NE(answer(clients[i]).find(kCheckText), std::string::npos);
  }
}

}  // namespace
}  // namespace vantoip
