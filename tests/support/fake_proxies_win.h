// Loopback proxies of every kind a proxy check meets, each kind on a port of
// its own, all served by one thread of non-blocking sockets (so that hundreds
// of connections may hang at once). The working kinds answer only the check
// page's GET and CONNECT exactly as the runner sends them, and the judge's GET
// (loopback_judge_win.h) with its echo, and a 400 to anything else; their
// tunnels reach the test's HTTPS page (the page given must name it: LoopbackCheckPage).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "net/check_protocol.h"
#include "tests/support/tls_check_server_win.h"

namespace vantoip::test {

enum class FakeProxyKind {
  Working,           // answers the page at once, and CONNECT with 200
  Slow,              // the same after kSlowProxyMilliseconds
  HttpOnly,          // the page, but CONNECT is refused with 405
  WrongPage,         // 200 with the page followed by an advert
  Hanging,           // accepts, reads and never answers
  Refusing,          // a closed port
  Huge,              // 200 and then 100 MB of header lines
  NoLineEnd,         // "HTTP/1.1 200 OK" without its line end, then the close
  OneBytePerSecond,  // the right answer, one byte a second
  Redirect,          // 302 to a login portal
  LoginPage,         // 200 with a login form (chunked)
  AuthRequired,      // 407
  Garbage,           // bytes that are not HTTP
  CloseHalfway,      // 200 with its length, the close after half the body
  EmptyTunnel,       // the page, and 200 to CONNECT, then the close: a tunnel that carries nothing
  Intercepting,      // the page, and a tunnel to a TLS server with a certificate of its own
  SlowTunnel,        // the page and a working tunnel, each answer after kSlowTunnelMilliseconds
  Socks5,            // SOCKS5 without authentication: the page in origin form (after 1 s), and a tunnel to port 443
  Socks5Login,       // the same after the login kSocksUser, kSocksPassword (RFC 1929), the page after 1.3 s
  Socks4,            // SOCKS4 and 4a, the same, the page after 1.6 s
};
inline constexpr FakeProxyKind kFakeProxyKinds[] = {
    FakeProxyKind::Working,   FakeProxyKind::Slow,      FakeProxyKind::HttpOnly,         FakeProxyKind::WrongPage,
    FakeProxyKind::Hanging,   FakeProxyKind::Refusing,  FakeProxyKind::Huge,             FakeProxyKind::NoLineEnd,
    FakeProxyKind::OneBytePerSecond, FakeProxyKind::Redirect, FakeProxyKind::LoginPage, FakeProxyKind::AuthRequired,
    FakeProxyKind::Garbage,   FakeProxyKind::CloseHalfway, FakeProxyKind::EmptyTunnel,     FakeProxyKind::Intercepting,
    FakeProxyKind::SlowTunnel, FakeProxyKind::Socks5, FakeProxyKind::Socks5Login, FakeProxyKind::Socks4,
};
inline constexpr int kFakeProxyKindCount = sizeof kFakeProxyKinds / sizeof kFakeProxyKinds[0];
inline constexpr int kSlowProxyMilliseconds = 500;
inline constexpr int kSlowTunnelMilliseconds = 6000;
inline constexpr char kSocksUser[] = "tester", kSocksPassword[] = "p@ss:word";

// What the judge hears through a working proxy: the client address it sees,
// and the echo's lines of the headers the proxy adds ("HTTP_VIA = 1.1 x\n").
struct FakeExit {
  std::string address;
  std::string addedLines;
};

const char* FakeProxyName(FakeProxyKind kind);
// What a correct check makes of the kind, checked in its own protocol (with
// the login for Socks5Login).
CheckOutcome ExpectedOutcome(FakeProxyKind kind);
// The protocol the kind speaks.
ProxyProtocol FakeProxyProtocol(FakeProxyKind kind);

class FakeProxies {
 public:
  // On 127.0.0.1; with `anyAddress` on every address, so that each 127.x.y.z
  // reaches the same proxy (Linux's loopback, under Wine).
  explicit FakeProxies(const CheckPage& page, bool anyAddress = false);
  ~FakeProxies();  // closes every connection; waits for its thread
  FakeProxies(const FakeProxies&) = delete;
  FakeProxies& operator=(const FakeProxies&) = delete;

  int Port(FakeProxyKind kind) const;
  // A check of the kind on 127.0.0.1 in its protocol, with the login it asks for.
  CheckJob Job(FakeProxyKind kind) const;
  // Connections accepted and not yet closed, now and at most at once.
  int OpenConnections(FakeProxyKind kind) const;
  int MostConnections(FakeProxyKind kind) const;
  // Bytes the kind's connections have handed to the network so far.
  long long BytesSent(FakeProxyKind kind) const;
  // From now on the kind answers nothing, as a proxy that died.
  void StopAnswering(FakeProxyKind kind);
  // The working kind answers each of its addresses (with `anyAddress`, every
  // 127.x.y.z is one) after its own delay: `delay` of the address in host
  // order, in milliseconds. Set before the first connection.
  void SetWorkingDelays(std::function<unsigned(std::uint32_t address)> delay);
  // The working kind's exit for each of its addresses; by default the address
  // it was reached on, adding nothing (高匿). Set before the first connection.
  void SetWorkingExits(std::function<FakeExit(std::uint32_t address)> exit);

 private:
  struct Server;
  std::unique_ptr<Server> server_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vantoip::test
