// One thread selects over hundreds of connections: the set must hold more than
// the default 64 sockets, and its size is fixed before winsock2.h is first read.
#define FD_SETSIZE 1024

#include "tests/support/fake_proxies_win.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "net/socket_win.h"
#include "tests/support/loopback_judge_win.h"

namespace vantoip::test {
namespace {

constexpr std::uint64_t kHugeBytes = 100ull << 20;
constexpr std::size_t kMaxRequestHead = 8192;

int Index(FakeProxyKind kind) { return static_cast<int>(kind); }
bool IsSocks(FakeProxyKind kind) { return FakeProxyProtocol(kind) != ProxyProtocol::kHttp; }

// The request line, an http URL's default port left out (WinINet names it).
std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find("\r\n"));
  const std::size_t host = line.find("http://"), path = line.find('/', host + 7);
  if (host != std::string::npos && path != std::string::npos && line.compare(path - 3, 3, ":80") == 0) line.erase(path - 3, 3);
  return line;
}

// Header lines of 64 bytes, 64 KiB at a time.
const std::string& Filler() {
  static const std::string block = [] {
    std::string lines;
    while (lines.size() < 64 * 1024) lines += "X-Filler: " + std::string(52, 'x') + "\r\n";
    return lines;
  }();
  return block;
}

std::string Garbage() {
  std::string bytes;
  std::uint32_t state = 12345;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  bytes[0] = '\x16';  // never an "H"
  return bytes;
}

struct Answer {
  std::string bytes;
  bool close = true;   // after the last byte; else kept until the client goes
  DWORD delay = 0;     // milliseconds before the first byte
  bool trickle = false;  // one byte a second
  bool huge = false;     // followed by 100 MB of header lines
  int tunnelPort = 0;    // after the bytes, a tunnel to this loopback port
};

// The SOCKS kinds answer the page after 1.0, 1.3 and 1.6 s: they rank between
// the slow kind and the slow tunnel, in an order of their own.
DWORD SocksDelay(FakeProxyKind kind) {
  switch (kind) {
    case FakeProxyKind::Socks5: return 1000;
    case FakeProxyKind::Socks5Login: return 1300;
    case FakeProxyKind::Socks4: return 1600;
    default: return 0;
  }
}

std::string Dotted(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
         std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}

Answer AnswerFor(FakeProxyKind kind, const std::string& head, const CheckPage& page, const FakeExit& exit) {
  const std::string& body = page.expectedBody;
  const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::string close = "Connection: close\r\n";
  // Through a SOCKS tunnel the GET comes in origin form.
  const bool get = FirstLine(head) == FirstLine(IsSocks(kind) ? TunnelGetRequest(page) : ProxyGetRequest(page));
  const bool connect = FirstLine(head) == FirstLine(ProxyConnectRequest(page));
  switch (kind) {
    case FakeProxyKind::Socks5:
    case FakeProxyKind::Socks5Login:
    case FakeProxyKind::Socks4:
    case FakeProxyKind::Working:
    case FakeProxyKind::Slow:
    case FakeProxyKind::HttpOnly:
    case FakeProxyKind::OneBytePerSecond:
    case FakeProxyKind::EmptyTunnel:
    case FakeProxyKind::Intercepting:
    case FakeProxyKind::SlowTunnel: {
      Answer answer;
      answer.delay = kind == FakeProxyKind::Slow         ? kSlowProxyMilliseconds
                     : kind == FakeProxyKind::SlowTunnel ? kSlowTunnelMilliseconds
                                                         : SocksDelay(kind);
      answer.trickle = kind == FakeProxyKind::OneBytePerSecond;
      if (IsJudgeRequest(head)) {  // at once: the judge's step is not what the kinds' delays are about
        answer.bytes = JudgeAnswer(head, exit.address, exit.addedLines);
        answer.delay = 0;
      } else if (get) {
        answer.bytes = ok + "Content-Type: text/plain\r\n" + length + close + "\r\n" + body;
      } else if (connect && kind != FakeProxyKind::HttpOnly) {
        answer.bytes = "HTTP/1.1 200 Connection established\r\n\r\n";
        const TlsCheckServer& tls = SharedTlsCheckServer();
        answer.close = kind == FakeProxyKind::EmptyTunnel;
        if (!answer.close) answer.tunnelPort = kind == FakeProxyKind::Intercepting ? tls.InterceptingPort() : tls.TrustedPort();
      } else {
        answer.bytes = connect ? "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n" + close + "\r\n"
                               : "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n" + close + "\r\n";
      }
      return answer;
    }
    case FakeProxyKind::WrongPage:
      return {ok + "Content-Type: text/html\r\n" + close + "\r\n" + body + "<script src=\"http://ads.example/a.js\"></script>"};
    case FakeProxyKind::LoginPage: {
      const std::string form = "<html><body><form action=\"/login\">User <input name=u> Password <input name=p "
                               "type=password></form></body></html>";
      char size[16];
      std::snprintf(size, sizeof size, "%zx\r\n", form.size());
      return {ok + "Content-Type: text/html\r\nTransfer-Encoding: chunked\r\n" + close + "\r\n" + size + form +
              "\r\n0\r\n\r\n"};
    }
    case FakeProxyKind::Hanging:
      return {"", false};
    case FakeProxyKind::Huge: {
      Answer answer{ok};
      answer.huge = true;
      return answer;
    }
    case FakeProxyKind::NoLineEnd:
      return {"HTTP/1.1 200 OK"};
    case FakeProxyKind::Redirect:
      return {"HTTP/1.1 302 Found\r\nLocation: http://login.example/portal\r\nContent-Length: 0\r\n" + close + "\r\n"};
    case FakeProxyKind::AuthRequired:
      return {"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"proxy\"\r\n"
              "Content-Length: 0\r\n" + close + "\r\n"};
    case FakeProxyKind::Garbage:
      return {Garbage()};
    case FakeProxyKind::CloseHalfway:
      return {ok + length + close + "\r\n" + body.substr(0, body.size() / 2)};
    case FakeProxyKind::Refusing:
      break;
  }
  return {};
}

struct Connection {
  FakeProxyKind kind;
  std::string socks;       // the SOCKS handshake's bytes so far
  int socksStep = 0;       // SOCKS5: 0 greeting, 1 login, 2 request; done once answered
  Socket socket;
  std::uint32_t address = 0;        // the local address it reached (host order)
  Socket peer;                      // the tunnel's far end, once it is open
  std::string toPeer, toClient;     // tunnel bytes not yet sent on
  std::string head;  // the request, up to its empty line
  bool answered = false;
  Answer answer;
  std::size_t sent = 0;
  std::uint64_t hugeLeft = 0;
  DWORD sendAt = 0;  // tick count from which the next bytes may go
};

}  // namespace

const char* FakeProxyName(FakeProxyKind kind) {
  static const char* const names[] = {"working",  "slow",        "HTTP only",  "wrong page", "hanging",
                                      "refusing", "100 MB",      "no line end", "one byte a second",
                                      "redirect", "login page",  "407",        "garbage",    "close halfway",
                                      "empty tunnel", "intercepting", "slow tunnel", "SOCKS5", "SOCKS5 login",
                                      "SOCKS4"};
  return names[Index(kind)];
}

ProxyProtocol FakeProxyProtocol(FakeProxyKind kind) {
  switch (kind) {
    case FakeProxyKind::Socks5:
    case FakeProxyKind::Socks5Login: return ProxyProtocol::kSocks5;
    case FakeProxyKind::Socks4: return ProxyProtocol::kSocks4;
    default: return ProxyProtocol::kHttp;
  }
}

CheckOutcome ExpectedOutcome(FakeProxyKind kind) {
  switch (kind) {
    case FakeProxyKind::Socks5:
    case FakeProxyKind::Socks5Login:
    case FakeProxyKind::Socks4:
    case FakeProxyKind::Working:
    case FakeProxyKind::Slow:
    case FakeProxyKind::SlowTunnel: return CheckOutcome::Passed;
    case FakeProxyKind::HttpOnly: return CheckOutcome::PassedHttpOnly;
    case FakeProxyKind::EmptyTunnel: return CheckOutcome::HttpsFailed;
    case FakeProxyKind::Intercepting: return CheckOutcome::CertificateError;
    case FakeProxyKind::Hanging:
    case FakeProxyKind::OneBytePerSecond: return CheckOutcome::TimedOut;
    case FakeProxyKind::Refusing: return CheckOutcome::Refused;
    case FakeProxyKind::Garbage: return CheckOutcome::InvalidResponse;
    case FakeProxyKind::AuthRequired: return CheckOutcome::AuthenticationRequired;
    default: return CheckOutcome::WrongContent;
  }
}

struct FakeProxies::Server {
  CheckPage page;
  std::array<Socket, kFakeProxyKindCount> listeners;
  std::array<int, kFakeProxyKindCount> ports{};
  std::array<std::atomic<int>, kFakeProxyKindCount> open{};
  std::array<std::atomic<int>, kFakeProxyKindCount> most{};
  std::array<std::atomic<long long>, kFakeProxyKindCount> sent{};
  std::array<std::atomic<bool>, kFakeProxyKindCount> dead{};
  std::function<unsigned(std::uint32_t)> workingDelay;
  std::function<FakeExit(std::uint32_t)> workingExit;
  std::vector<std::unique_ptr<Connection>> connections;

  void Serve(const std::atomic<bool>& stopping);
  void Accept(FakeProxyKind kind);
  void Read(Connection& c);
  // The SOCKS handshake's bytes as they come: each answered, and the request
  // routed (port 443 to the TLS server, else the page read as an HTTP head).
  void Socks(Connection& c);
  void Write(Connection& c);
  void OpenTunnel(Connection& c);
  void Relay(Connection& c, bool clientReadable, bool peerReadable);
  void Close(Connection& c) {
    if (!c.socket) return;
    c.socket.Reset();
    c.peer.Reset();
    --open[Index(c.kind)];
  }
};

FakeProxies::FakeProxies(const CheckPage& page, bool anyAddress) : server_(std::make_unique<Server>()) {
  if (!StartWinsock()) throw std::runtime_error("no Winsock");
  SharedTlsCheckServer();  // up, and its authority trusted, before any check
  server_->page = page;
  for (FakeProxyKind kind : kFakeProxyKinds) {
    Socket& s = server_->listeners[Index(kind)];
    s.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    int size = sizeof address;
    u_long nonBlocking = 1;
    // The refusing kind binds its port without listening: nobody else takes it, and connects are refused.
    if (bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        (kind != FakeProxyKind::Refusing &&
         (listen(s.Get(), SOMAXCONN) != 0 || ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0)))
      throw std::runtime_error("cannot open a fake proxy");
    server_->ports[Index(kind)] = ntohs(address.sin_port);
  }
  thread_ = std::thread([this] { server_->Serve(stopping_); });
}

FakeProxies::~FakeProxies() {
  stopping_ = true;
  thread_.join();
}

int FakeProxies::Port(FakeProxyKind kind) const { return server_->ports[Index(kind)]; }
CheckJob FakeProxies::Job(FakeProxyKind kind) const {
  CheckJob job{"127.0.0.1", Port(kind), FakeProxyProtocol(kind)};
  if (kind == FakeProxyKind::Socks5Login) job.user = kSocksUser, job.password = kSocksPassword;
  return job;
}
int FakeProxies::OpenConnections(FakeProxyKind kind) const { return server_->open[Index(kind)]; }
int FakeProxies::MostConnections(FakeProxyKind kind) const { return server_->most[Index(kind)]; }
long long FakeProxies::BytesSent(FakeProxyKind kind) const { return server_->sent[Index(kind)]; }
void FakeProxies::StopAnswering(FakeProxyKind kind) { server_->dead[Index(kind)] = true; }
void FakeProxies::SetWorkingDelays(std::function<unsigned(std::uint32_t)> delay) {
  server_->workingDelay = std::move(delay);
}
void FakeProxies::SetWorkingExits(std::function<FakeExit(std::uint32_t address)> exit) {
  server_->workingExit = std::move(exit);
}

void FakeProxies::Server::Serve(const std::atomic<bool>& stopping) {
  while (!stopping) {
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    for (FakeProxyKind kind : kFakeProxyKinds)
      if (kind != FakeProxyKind::Refusing) FD_SET(listeners[Index(kind)].Get(), &readable);
    const DWORD now = GetTickCount();
    // Each select weighs on every socket under Wine: no more often than needed.
    int waitMs = 50;
    for (const auto& c : connections) {
      FD_SET(c->socket.Get(), &readable);  // the request, then the client's close
      if (c->peer) {
        FD_SET(c->peer.Get(), &readable);
        if (!c->toClient.empty()) FD_SET(c->socket.Get(), &writable);
        if (!c->toPeer.empty()) FD_SET(c->peer.Get(), &writable);
        continue;
      }
      const bool pending = c->answered && (c->sent < c->answer.bytes.size() || c->hugeLeft || c->answer.close);
      const int dueIn = static_cast<int>(c->sendAt - now);
      if (pending && dueIn <= 0) FD_SET(c->socket.Get(), &writable);
      else if (pending) waitMs = std::min(waitMs, dueIn);
    }
    timeval timeout{0, waitMs * 1000};
    if (select(0, &readable, &writable, nullptr, &timeout) <= 0) continue;
    for (FakeProxyKind kind : kFakeProxyKinds)
      if (kind != FakeProxyKind::Refusing && FD_ISSET(listeners[Index(kind)].Get(), &readable)) Accept(kind);
    for (const auto& c : connections) {
      if (c->peer) {
        Relay(*c, FD_ISSET(c->socket.Get(), &readable), FD_ISSET(c->peer.Get(), &readable));
        continue;
      }
      if (c->socket && FD_ISSET(c->socket.Get(), &readable)) Read(*c);
      if (c->socket && FD_ISSET(c->socket.Get(), &writable)) Write(*c);
    }
    std::erase_if(connections, [](const auto& c) { return !c->socket; });
  }
  for (const auto& c : connections) Close(*c);
}

void FakeProxies::Server::Accept(FakeProxyKind kind) {
  for (;;) {
    Socket s(accept(listeners[Index(kind)].Get(), nullptr, nullptr));
    if (!s) return;
    u_long nonBlocking = 1;
    ioctlsocket(s.Get(), FIONBIO, &nonBlocking);
    auto& c = *connections.emplace_back(std::make_unique<Connection>());
    c.kind = kind;
    sockaddr_in local{};
    int size = sizeof local;
    if (getsockname(s.Get(), reinterpret_cast<sockaddr*>(&local), &size) == 0) c.address = ntohl(local.sin_addr.s_addr);
    c.socket = std::move(s);
    const int count = ++open[Index(kind)];
    if (count > most[Index(kind)]) most[Index(kind)] = count;
  }
}

void FakeProxies::Server::Read(Connection& c) {
  char buffer[4096];
  const int n = recv(c.socket.Get(), buffer, sizeof buffer, 0);
  if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return;
  if (n <= 0) return Close(c);
  if (c.answered) return;  // a tunnel's bytes, or more than was asked: dropped
  if (IsSocks(c.kind) && c.socksStep >= 0) {
    c.socks.append(buffer, n);
    return Socks(c);
  }
  c.head.append(buffer, n);
  if (c.head.find("\r\n\r\n") == std::string::npos) {
    if (c.head.size() > kMaxRequestHead) Close(c);
    return;
  }
  c.answered = true;
  const FakeExit exit = c.kind == FakeProxyKind::Working && workingExit ? workingExit(c.address) : FakeExit{Dotted(c.address)};
  c.answer = AnswerFor(dead[Index(c.kind)] ? FakeProxyKind::Hanging : c.kind, c.head, page, exit);
  if (c.kind == FakeProxyKind::Working && workingDelay && !dead[Index(c.kind)]) c.answer.delay = workingDelay(c.address);
  c.hugeLeft = c.answer.huge ? kHugeBytes : 0;
  c.sendAt = GetTickCount() + c.answer.delay;
}

void FakeProxies::Server::Socks(Connection& c) {
  const std::string& in = c.socks;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
  // A few bytes on loopback: sent at once.
  const auto reply = [&](const std::string& bytes) {
    send(c.socket.Get(), bytes.data(), static_cast<int>(bytes.size()), 0);
  };
  std::size_t used = 0, port = 0;
  // Another protocol's first byte (an HTTP request, another SOCKS version): closed without a word.
  if (c.socksStep == 0 && !in.empty() && byte(0) != (c.kind == FakeProxyKind::Socks4 ? 0x04 : 0x05)) return Close(c);
  if (c.kind == FakeProxyKind::Socks4) {
    // VN CD DSTPORT DSTIP USERID NUL [name NUL, for 0.0.0.x]
    const std::size_t idEnd = in.size() > 8 ? in.find('\0', 8) : std::string::npos;
    if (idEnd == std::string::npos) return;
    used = idEnd + 1;
    if (byte(4) == 0 && byte(5) == 0 && byte(6) == 0 && byte(7) != 0) {
      const std::size_t nameEnd = in.find('\0', used);
      if (nameEnd == std::string::npos) return;
      used = nameEnd + 1;
    }
    port = byte(2) << 8 | byte(3);
    reply(std::string{0x00, 0x5A, 0, 0, 0, 0, 0, 0});
  } else if (c.socksStep == 0) {
    if (in.size() < 2 || in.size() < 2u + byte(1)) return;
    const std::string methods = in.substr(2, byte(1));
    const char wanted = c.kind == FakeProxyKind::Socks5Login ? 0x02 : 0x00;
    const bool offered = methods.find(wanted) != std::string::npos;
    reply(std::string{0x05, offered ? wanted : static_cast<char>(0xFF)});
    if (!offered) return Close(c);
    c.socks.erase(0, 2 + byte(1));
    c.socksStep = wanted == 0x02 ? 1 : 2;
    return Socks(c);
  } else if (c.socksStep == 1) {
    if (in.size() < 2 || in.size() < 3u + byte(1) || in.size() < 3u + byte(1) + byte(2 + byte(1))) return;
    const std::string user = in.substr(2, byte(1)), password = in.substr(3 + byte(1), byte(2 + byte(1)));
    const bool good = user == kSocksUser && password == kSocksPassword;
    reply(std::string{0x01, static_cast<char>(good ? 0x00 : 0x01)});
    if (!good) return Close(c);
    c.socks.erase(0, 3 + byte(1) + byte(2 + byte(1)));
    c.socksStep = 2;
    return Socks(c);
  } else {
    // VER CMD RSV ATYP=3 length name DSTPORT: the checker asks by name
    if (in.size() < 5 || in.size() < 7u + byte(4)) return;
    used = 7 + byte(4);
    port = byte(5 + byte(4)) << 8 | byte(6 + byte(4));
    reply(std::string{0x05, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0});
  }
  c.socksStep = -1;  // open: what follows is the tunnel's
  c.head = c.socks.substr(used);
  if (static_cast<int>(port) == page.https.port) {
    c.answered = true;
    c.answer = Answer{"", false};
    c.answer.tunnelPort = SharedTlsCheckServer().TrustedPort();
    c.toPeer = std::move(c.head);
    OpenTunnel(c);
  }
}

void FakeProxies::Server::Write(Connection& c) {
  if (c.sent == c.answer.bytes.size() && c.hugeLeft) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(c.hugeLeft, Filler().size()));
    c.answer.bytes.assign(Filler(), 0, n);
    c.sent = 0;
    c.hugeLeft -= n;
  }
  const std::size_t left = c.answer.bytes.size() - c.sent;
  if (left == 0) {
    if (c.answer.close) Close(c);
    return;
  }
  const int n = send(c.socket.Get(), c.answer.bytes.data() + c.sent, static_cast<int>(c.answer.trickle ? 1 : left), 0);
  if (n == SOCKET_ERROR) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) Close(c);
    return;
  }
  c.sent += n;
  sent[Index(c.kind)] += n;
  if (c.answer.trickle) c.sendAt = GetTickCount() + 1000;
  // The tunnel's far end at once: the client's first bytes follow the 200 and must reach it.
  if (c.sent == c.answer.bytes.size() && c.answer.tunnelPort) OpenTunnel(c);
}

void FakeProxies::Server::OpenTunnel(Connection& c) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(c.answer.tunnelPort));
  c.answer.tunnelPort = 0;
  // A loopback connect is done at once: blocking, then non-blocking like the rest.
  c.peer.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  u_long nonBlocking = 1;
  if (!c.peer || connect(c.peer.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ioctlsocket(c.peer.Get(), FIONBIO, &nonBlocking) != 0)
    Close(c);
}

// Moves what either end sent to the other; the end of either ends both.
void FakeProxies::Server::Relay(Connection& c, bool clientReadable, bool peerReadable) {
  const auto pass = [&](SOCKET from, std::string& pending, bool readable) {
    char buffer[16384];
    if (!readable) return true;
    const int n = recv(from, buffer, sizeof buffer, 0);
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return true;
    if (n <= 0) return false;
    pending.append(buffer, n);
    return true;
  };
  const auto flush = [](SOCKET to, std::string& pending) {
    if (pending.empty()) return true;
    const int n = send(to, pending.data(), static_cast<int>(pending.size()), 0);
    if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK;
    pending.erase(0, n);
    return true;
  };
  if (!pass(c.socket.Get(), c.toPeer, clientReadable) || !pass(c.peer.Get(), c.toClient, peerReadable) ||
      !flush(c.peer.Get(), c.toPeer) || !flush(c.socket.Get(), c.toClient))
    Close(c);
}

}  // namespace vantoip::test
