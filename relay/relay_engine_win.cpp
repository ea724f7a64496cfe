#include "relay/relay_engine_win.h"

#include <winsock2.h>
#include <mswsock.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <list>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "net/socket_win.h"
#include "net/socks_handshake.h"
#include "relay/client_request.h"

namespace vantoip {
namespace {

// A chunk starts small (an idle tunnel holds little) and doubles while reads
// fill it, up to the largest, so a bulk transfer needs few operations.
constexpr DWORD kFirstChunkBytes = 4 * 1024, kLargestChunkBytes = 256 * 1024;
constexpr int kAcceptsPosted = 16;
constexpr ULONG kCompletionsAtOnce = 64;
// Upstream sockets made (and bound, and on the port) while the relay waits,
// each a few round trips to Wine's server less on a new connection's way.
constexpr std::size_t kSpareSockets = 8;
constexpr DWORD kTickMilliseconds = 250;  // how often the time limits are looked at
constexpr ULONG_PTR kAcceptKey = 1, kStopKey = 2;

std::int64_t NowMs() { return static_cast<std::int64_t>(GetTickCount64()); }

template <class F>
F Extension(SOCKET s, GUID id) {
  F function = nullptr;
  DWORD bytes = 0;
  WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function, sizeof function, &bytes, nullptr, nullptr);
  return function;
}

// Without Nagle's delay: the relay passes each write on as it comes, and a
// small one held back would wait for the far side's acknowledgement.
Socket OverlappedSocket() {
  Socket s(WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED));
  BOOL noDelay = TRUE;
  if (s) setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  return s;
}

struct Connection;
struct Endpoint;

enum class OpKind { Read, Write, Connect };

struct Op {
  OVERLAPPED overlapped{};
  Connection* connection = nullptr;
  Endpoint* endpoint = nullptr;
  OpKind kind = OpKind::Read;
  bool pending = false;
  bool fromOut = false;  // a write of the relay's own bytes, not the other side's
};

struct Chunk {
  std::vector<char> bytes;
  DWORD filled = 0, taken = 0;
};

// One socket of a connection with its two operations: what it read (for the
// other side to take) and the relay's own bytes to send it. What it read
// waits in two chunks, so the next read is under way while the last is written.
struct Endpoint {
  Socket socket;
  Op read, write;
  Chunk chunks[2];
  int oldest = 0, full = 0;  // `full` chunks from chunks[oldest] wait to be taken
  DWORD nextChunkBytes = kFirstChunkBytes;
  Chunk& Oldest() { return chunks[oldest]; }
  Chunk& Reading() { return chunks[(oldest + full) % 2]; }
  std::string out;
  std::size_t outSent = 0;
  bool ended = false;     // its peer sent a FIN
  bool shutDown = false;  // we sent it a FIN
  bool Busy() const { return read.pending || write.pending; }
};

// Answering: the relay's last words (a refusal) on their way, then the close.
enum class Phase { Request, Connecting, Handshake, Open, Answering, Closing };

struct Connection {
  Endpoint client;
  std::unique_ptr<Endpoint> upstream;
  std::vector<std::unique_ptr<Endpoint>> abandoned;  // closed, an operation still to come back
  Phase phase = Phase::Request;
  ClientRequestReader reader;
  std::vector<Upstream> tries;
  std::size_t attempt = 0;
  std::optional<SocksHandshake> socks;
  ConnectClassifier connectAnswer;
  // A whole request sent on to an HTTP upstream: its first answer byte opens the connection.
  bool awaitingAnswer = false;
  std::int64_t deadline = 0;
};

}  // namespace

struct RelayEngine::Loop {
  Loop(UpstreamPool& pool, std::function<void(const Upstream&)> switched) : pool(pool), switched(std::move(switched)) {}

  bool Open(int firstPort, int lastPort, int& port);
  void Run();

  bool Attach(const Socket& s);
  Socket ReadyUpstreamSocket();
  void PostAccept(int slot);
  void Accepted(int slot);
  void Completed(Op& op, DWORD bytes, bool ok);
  void ClientBytes(Connection& c, DWORD bytes);
  void UpstreamBytes(Connection& c, DWORD bytes);
  void NextUpstream(Connection& c);
  void UpstreamFailed(Connection& c);
  std::string FirstWords(Connection& c);
  void Connected(Connection& c, DWORD sent);
  // The upstream is open: `early` (its first bytes) and what follows go to the client.
  void Open(Connection& c, std::string_view early);
  void Refuse(Connection& c, std::string answer);
  void Read(Connection& c, Endpoint& e);
  void Flush(Connection& c, Endpoint& to, Endpoint& from);
  void Pump(Connection& c);
  void Close(Connection& c);
  void Abandon(Connection& c);
  void Reap(Connection& c);
  void Tick();

  UpstreamPool& pool;
  std::function<void(const Upstream&)> switched;
  HANDLE port = nullptr;
  int listenPort = 0;
  Socket listener;
  LPFN_ACCEPTEX acceptEx = nullptr;
  LPFN_CONNECTEX connectEx = nullptr;
  LPFN_GETACCEPTEXSOCKADDRS acceptedAddresses = nullptr;
  std::vector<Socket> spares;
  struct AcceptSlot {
    OVERLAPPED overlapped{};
    Socket socket;
    char addresses[2 * (sizeof(sockaddr_in) + 16)];
  };
  AcceptSlot accepts[kAcceptsPosted];
  std::list<std::unique_ptr<Connection>> connections;
  // Operations that completed as they were made: no packet comes for them.
  std::vector<std::pair<Op*, DWORD>> finished;
  int acceptsPending = 0;
  std::atomic<bool> stopping{false};
  std::atomic<int> clients{0};
  std::atomic<std::uint64_t> down{0}, up{0};
};

bool RelayEngine::Loop::Open(int firstPort, int lastPort, int& boundPort) {
  if (!StartWinsock()) return false;
  port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  if (!port) return false;
  for (int candidate = firstPort; candidate <= lastPort && !listener; ++candidate) {
    Socket s = OverlappedSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(candidate));
    // Exclusive: no other program's socket may take our clients.
    BOOL exclusive = TRUE;
    setsockopt(s.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    if (s && bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(s.Get(), SOMAXCONN) == 0) {
      listener = std::move(s);
      listenPort = boundPort = candidate;
    }
  }
  if (!listener || !CreateIoCompletionPort(reinterpret_cast<HANDLE>(listener.Get()), port, kAcceptKey, 0)) return false;
  acceptEx = Extension<LPFN_ACCEPTEX>(listener.Get(), WSAID_ACCEPTEX);
  connectEx = Extension<LPFN_CONNECTEX>(listener.Get(), WSAID_CONNECTEX);
  acceptedAddresses = Extension<LPFN_GETACCEPTEXSOCKADDRS>(listener.Get(), WSAID_GETACCEPTEXSOCKADDRS);
  if (!acceptEx || !connectEx || !acceptedAddresses) return false;
  for (int slot = 0; slot < kAcceptsPosted; ++slot) PostAccept(slot);
  return true;
}

bool RelayEngine::Loop::Attach(const Socket& s) {
  const HANDLE handle = reinterpret_cast<HANDLE>(s.Get());
  return CreateIoCompletionPort(handle, port, 0, 0) &&
         SetFileCompletionNotificationModes(handle, FILE_SKIP_COMPLETION_PORT_ON_SUCCESS | FILE_SKIP_SET_EVENT_ON_HANDLE);
}

// Bound, as ConnectEx needs, and on the port.
Socket RelayEngine::Loop::ReadyUpstreamSocket() {
  Socket s = OverlappedSocket();
  sockaddr_in any{};
  any.sin_family = AF_INET;
  if (!s || bind(s.Get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 || !Attach(s)) s.Reset();
  return s;
}

void RelayEngine::Loop::PostAccept(int slot) {
  AcceptSlot& a = accepts[slot];
  a.overlapped = {};
  a.socket = OverlappedSocket();
  // On the port before it is accepted into: the connection's way is shorter by that.
  if (!Attach(a.socket)) return a.socket.Reset();
  DWORD bytes = 0;
  if (!acceptEx(listener.Get(), a.socket.Get(), a.addresses, 0, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16,
                &bytes, &a.overlapped) &&
      WSAGetLastError() != ERROR_IO_PENDING) {
    a.socket.Reset();
    return;
  }
  ++acceptsPending;
}

void RelayEngine::Loop::Run() {
  std::int64_t nextTick = NowMs() + kTickMilliseconds;
  while (true) {
    // Many completions per call: each call is a round trip of its own under Wine.
    OVERLAPPED_ENTRY entries[kCompletionsAtOnce];
    ULONG count = 0;
    const DWORD wait = finished.empty() ? kTickMilliseconds : 0;
    if (!GetQueuedCompletionStatusEx(port, entries, kCompletionsAtOnce, &count, wait, FALSE)) count = 0;
    for (ULONG i = 0; i < count; ++i) {
      OVERLAPPED* overlapped = entries[i].lpOverlapped;
      const ULONG_PTR key = entries[i].lpCompletionKey;
      const bool ok = overlapped && static_cast<LONG>(overlapped->Internal) >= 0;  // its NTSTATUS
      if (key == kStopKey && !stopping) {
        stopping = true;
        listener.Reset();
        for (AcceptSlot& a : accepts) a.socket.Reset();
        spares.clear();
        for (auto& c : connections) Close(*c);
      } else if (overlapped && key == kAcceptKey) {
        const int slot = static_cast<int>(reinterpret_cast<AcceptSlot*>(overlapped) - accepts);
        --acceptsPending;
        if (ok && !stopping) Accepted(slot);
        if (!stopping) PostAccept(slot);
      } else if (overlapped) {
        Completed(*reinterpret_cast<Op*>(overlapped), entries[i].dwNumberOfBytesTransferred, ok);
      }
    }
    // Those finished so far only: what they start waits its turn behind the port's.
    for (const auto& [op, bytes] : std::exchange(finished, {})) Completed(*op, bytes, true);
    // Every operation back before the memory they write to goes.
    if (stopping && connections.empty() && acceptsPending == 0) break;
    while (finished.empty() && !stopping && spares.size() < kSpareSockets) {
      Socket s = ReadyUpstreamSocket();
      if (!s) break;
      spares.push_back(std::move(s));
    }
    if (NowMs() >= nextTick) {
      Tick();
      nextTick = NowMs() + kTickMilliseconds;
    }
  }
  CloseHandle(port);
}

void RelayEngine::Loop::Accepted(int slot) {
  AcceptSlot& a = accepts[slot];
  Socket s = std::move(a.socket);
  SOCKET listening = listener.Get();
  setsockopt(s.Get(), SOL_SOCKET, SO_UPDATE_ACCEPT_CONTEXT, reinterpret_cast<const char*>(&listening), sizeof listening);
  sockaddr *local = nullptr, *remote = nullptr;
  int localSize = 0, remoteSize = 0;
  acceptedAddresses(a.addresses, 0, sizeof(sockaddr_in) + 16, sizeof(sockaddr_in) + 16, &local, &localSize, &remote,
                    &remoteSize);
  // Loopback only: a client from anywhere else is closed at once.
  if (!remote || remoteSize < static_cast<int>(sizeof(sockaddr_in)) || remote->sa_family != AF_INET ||
      (ntohl(reinterpret_cast<sockaddr_in*>(remote)->sin_addr.s_addr) >> 24) != 127)
    return;
  if (clients >= kMaxClients) {
    const std::string busy = HttpErrorAnswer(503);
    send(s.Get(), busy.data(), static_cast<int>(busy.size()), 0);
    return;
  }
  auto connection = std::make_unique<Connection>();
  Connection& c = *connection;
  c.client.socket = std::move(s);
  connections.push_back(std::move(connection));
  ++clients;
  c.deadline = NowMs() + kHeadMilliseconds;
  Read(c, c.client);
}

void RelayEngine::Loop::Read(Connection& c, Endpoint& e) {
  if (e.read.pending || e.ended || !e.socket || e.full == 2) return;
  Chunk& chunk = e.Reading();
  if (chunk.bytes.size() != e.nextChunkBytes) chunk.bytes = std::vector<char>(e.nextChunkBytes);
  e.read = {};
  e.read.connection = &c;
  e.read.endpoint = &e;
  e.read.kind = OpKind::Read;
  WSABUF buffer{e.nextChunkBytes, chunk.bytes.data()};
  DWORD flags = 0, bytes = 0;
  e.read.pending = true;
  if (WSARecv(e.socket.Get(), &buffer, 1, &bytes, &flags, &e.read.overlapped, nullptr) == 0) {
    finished.emplace_back(&e.read, bytes);
  } else if (WSAGetLastError() != WSA_IO_PENDING) {
    e.read.pending = false;
    Close(c);
  }
}

void RelayEngine::Loop::Flush(Connection& c, Endpoint& to, Endpoint& from) {
  if (to.write.pending || !to.socket) return;
  const bool own = !to.out.empty();
  const bool passing = !own && c.phase == Phase::Open && from.full > 0;
  if (!own && !passing) {
    // Everything of a side that ended has gone on: the FIN follows it.
    if (from.ended && c.phase == Phase::Open && !to.shutDown) {
      shutdown(to.socket.Get(), SD_SEND);
      to.shutDown = true;
    }
    if (c.phase == Phase::Answering ||
        (c.client.ended && c.upstream && c.upstream->ended && c.client.shutDown && c.upstream->shutDown))
      Close(c);
    return;
  }
  Chunk& chunk = from.Oldest();
  WSABUF buffer = own ? WSABUF{static_cast<ULONG>(to.out.size() - to.outSent), to.out.data() + to.outSent}
                      : WSABUF{chunk.filled - chunk.taken, chunk.bytes.data() + chunk.taken};
  to.write = {};
  to.write.connection = &c;
  to.write.endpoint = &to;
  to.write.kind = OpKind::Write;
  to.write.fromOut = own;
  to.write.pending = true;
  DWORD bytes = 0;
  if (WSASend(to.socket.Get(), &buffer, 1, &bytes, 0, &to.write.overlapped, nullptr) == 0) {
    finished.emplace_back(&to.write, bytes);
  } else if (WSAGetLastError() != WSA_IO_PENDING) {
    to.write.pending = false;
    Close(c);
  }
}

void RelayEngine::Loop::Pump(Connection& c) {
  if (c.phase == Phase::Closing || !c.upstream) return;
  Flush(c, *c.upstream, c.client);
  if (c.phase == Phase::Closing) return;
  Flush(c, c.client, *c.upstream);
  if (c.phase != Phase::Open) return;
  Read(c, c.client);
  Read(c, *c.upstream);
}

void RelayEngine::Loop::Completed(Op& op, DWORD bytes, bool ok) {
  op.pending = false;
  Connection& c = *op.connection;
  Endpoint& e = *op.endpoint;
  const bool current = &e == &c.client || (c.upstream && &e == c.upstream.get());
  if (!current || c.phase == Phase::Closing) return Reap(c);
  const bool client = &e == &c.client;
  if (op.kind == OpKind::Connect) {
    if (!ok) return UpstreamFailed(c);
    setsockopt(e.socket.Get(), SOL_SOCKET, SO_UPDATE_CONNECT_CONTEXT, nullptr, 0);
    return Connected(c, bytes);
  }
  if (op.kind == OpKind::Write) {
    if (!ok) return Close(c);
    if (op.fromOut) {
      e.outSent += bytes;
      if (e.outSent == e.out.size()) e.out.clear(), e.outSent = 0;
    } else {
      Endpoint& from = client ? *c.upstream : c.client;
      Chunk& chunk = from.Oldest();
      chunk.taken += bytes;
      (client ? down : up) += bytes;
      if (chunk.taken == chunk.filled) {
        chunk.filled = chunk.taken = 0;
        from.oldest = (from.oldest + 1) % 2;
        --from.full;
      }
    }
    if (c.phase == Phase::Open) return Pump(c);
    return Flush(c, e, c.client);  // the rest of the relay's own bytes, or the close after its last answer
  }
  // A read: none at all is the peer's FIN.
  if (c.phase == Phase::Answering) return;
  if (!ok) return client || c.phase == Phase::Open ? Close(c) : UpstreamFailed(c);
  if (bytes == 0) {
    e.ended = true;
    if (c.phase == Phase::Open) return Pump(c);
    return client ? Close(c) : UpstreamFailed(c);
  }
  const DWORD size = static_cast<DWORD>(e.Reading().bytes.size());
  e.nextChunkBytes = bytes == size ? std::min(2 * size, kLargestChunkBytes)
                     : bytes < size / 4 ? kFirstChunkBytes
                                        : size;
  if (c.phase == Phase::Open) {
    e.Reading().filled = bytes;
    ++e.full;
    c.deadline = NowMs() + kIdleMilliseconds;
    return Pump(c);
  }
  client ? ClientBytes(c, bytes) : UpstreamBytes(c, bytes);
}

void RelayEngine::Loop::ClientBytes(Connection& c, DWORD bytes) {
  const ClientRequestReader::State state = c.reader.Feed(std::string_view(c.client.Reading().bytes.data(), bytes));
  c.client.out += c.reader.TakeReply();
  if (state == ClientRequestReader::State::Failed) return Refuse(c, {});
  if (state == ClientRequestReader::State::Reading) {
    Flush(c, c.client, c.client);
    return Read(c, c.client);
  }
  // Our own address as an upstream would carry the client back to us, without end.
  c.tries.clear();
  for (Upstream& u : pool.Choose(NowMs()))
    if (!(u.port == listenPort && (u.host == "127.0.0.1" || u.host == "localhost"))) c.tries.push_back(std::move(u));
  c.attempt = static_cast<std::size_t>(-1);  // the first try is 0
  NextUpstream(c);
}

void RelayEngine::Loop::NextUpstream(Connection& c) {
  Abandon(c);
  if (++c.attempt >= c.tries.size()) {
    const ClientRequest& request = c.reader.Request();
    return Refuse(c, request.tunnel ? TunnelReply(request.protocol, false) : HttpErrorAnswer(502));
  }
  const Upstream& u = c.tries[c.attempt];
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(u.port));
  c.upstream = std::make_unique<Endpoint>();
  Endpoint& e = *c.upstream;
  if (!spares.empty()) {
    e.socket = std::move(spares.back());
    spares.pop_back();
  } else {
    e.socket = ReadyUpstreamSocket();
  }
  c.phase = Phase::Connecting;
  c.deadline = NowMs() + kUpstreamMilliseconds;
  c.connectAnswer = ConnectClassifier();
  e.out = FirstWords(c);
  // An upstream is named by its address; a name cannot be looked up on this thread.
  if (inet_pton(AF_INET, u.host.c_str(), &address.sin_addr) != 1 || !e.socket) return UpstreamFailed(c);
  e.write = {};
  e.write.connection = &c;
  e.write.endpoint = &e;
  e.write.kind = OpKind::Connect;
  e.write.pending = true;
  // The first words go with the connect: one operation less before the answer.
  DWORD sent = 0;
  if (connectEx(e.socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address, e.out.data(),
                static_cast<DWORD>(e.out.size()), &sent, &e.write.overlapped)) {
    finished.emplace_back(&e.write, sent);
  } else if (WSAGetLastError() != ERROR_IO_PENDING) {
    e.write.pending = false;
    UpstreamFailed(c);
  }
}

void RelayEngine::Loop::UpstreamFailed(Connection& c) {
  if (c.attempt < c.tries.size() && pool.Failed(c.tries[c.attempt], NowMs()) && switched)
    if (const std::optional<Upstream> now = pool.Current()) switched(*now);
  NextUpstream(c);
}

std::string RelayEngine::Loop::FirstWords(Connection& c) {
  const Upstream& u = c.tries[c.attempt];
  const ClientRequest& request = c.reader.Request();
  c.socks.reset();
  // A whole request may go to the next upstream when this one stays silent;
  // one whose body is still to come is carried on once connected.
  c.awaitingAnswer = u.protocol == ProxyProtocol::kHttp && !request.tunnel && request.whole;
  if (u.protocol == ProxyProtocol::kHttp && !request.tunnel) return ForwardedHead(request, u) + std::string(c.reader.Rest());
  if (u.protocol == ProxyProtocol::kHttp) return UpstreamConnect(request, u);
  SocksTarget target{request.host, std::nullopt, request.port};
  in_addr literal{};
  if (inet_pton(AF_INET, request.host.c_str(), &literal) == 1) target.ipv4 = ntohl(literal.s_addr);
  c.socks.emplace(u.protocol, target, u.user, u.password);
  return c.socks->TakeOutput();
}

void RelayEngine::Loop::Connected(Connection& c, DWORD sent) {
  const ClientRequest& request = c.reader.Request();
  Endpoint& e = *c.upstream;
  e.outSent += sent;
  if (e.outSent == e.out.size()) e.out.clear(), e.outSent = 0;
  c.phase = Phase::Handshake;
  if (c.tries[c.attempt].protocol == ProxyProtocol::kHttp && !request.tunnel && !request.whole) return Open(c, {});
  Flush(c, e, c.client);
  Read(c, e);
}

void RelayEngine::Loop::UpstreamBytes(Connection& c, DWORD bytes) {
  const std::string_view answer(c.upstream->Reading().bytes.data(), bytes);
  if (c.awaitingAnswer) return Open(c, answer);
  CheckOutcome outcome;
  std::string_view early;
  if (c.socks) {
    outcome = c.socks->Feed(answer);
    c.upstream->out += c.socks->TakeOutput();
    early = c.socks->Tunnel();
  } else {
    outcome = c.connectAnswer.Feed(answer);
    early = c.connectAnswer.Tunnel();
  }
  if (outcome == CheckOutcome::Checking) {
    Flush(c, *c.upstream, c.client);
    return Read(c, *c.upstream);
  }
  if (outcome != CheckOutcome::Passed) return UpstreamFailed(c);
  const ClientRequest& request = c.reader.Request();
  if (request.tunnel) c.client.out += TunnelReply(request.protocol, true);
  else c.upstream->out += ForwardedHead(request, c.tries[c.attempt]);
  c.upstream->out += std::string(c.reader.Rest());
  Open(c, early);
}

void RelayEngine::Loop::Open(Connection& c, std::string_view early) {
  pool.Succeeded(c.tries[c.attempt]);
  c.client.out += std::string(early);
  c.awaitingAnswer = false;
  c.phase = Phase::Open;
  c.deadline = NowMs() + kIdleMilliseconds;
  Pump(c);
}

void RelayEngine::Loop::Refuse(Connection& c, std::string answer) {
  c.client.out += answer;
  c.phase = Phase::Answering;
  c.deadline = NowMs() + kUpstreamMilliseconds;  // the answer's own time
  Flush(c, c.client, c.client);
}

void RelayEngine::Loop::Abandon(Connection& c) {
  if (!c.upstream) return;
  c.upstream->socket.Reset();  // its operations come back failed
  if (c.upstream->Busy()) c.abandoned.push_back(std::move(c.upstream));
  c.upstream.reset();
}

void RelayEngine::Loop::Close(Connection& c) {
  if (c.phase == Phase::Closing) return;
  c.phase = Phase::Closing;
  c.client.socket.Reset();
  Abandon(c);
  --clients;
  Reap(c);
}

void RelayEngine::Loop::Reap(Connection& c) {
  std::erase_if(c.abandoned, [](const std::unique_ptr<Endpoint>& e) { return !e->Busy(); });
  if (c.phase != Phase::Closing || c.client.Busy() || !c.abandoned.empty()) return;
  connections.remove_if([&](const std::unique_ptr<Connection>& p) { return p.get() == &c; });
}

void RelayEngine::Loop::Tick() {
  const std::int64_t now = NowMs();
  std::vector<Connection*> due;
  for (auto& c : connections)
    if (c->phase != Phase::Closing && now >= c->deadline) due.push_back(c.get());
  for (Connection* c : due) {
    switch (c->phase) {
      case Phase::Request:
        // A head not complete in time: HTTP hears 400, a handshake is closed.
        if (c->reader.Request().protocol == ClientProtocol::kHttp) Refuse(*c, HttpErrorAnswer(400));
        else Close(*c);
        break;
      case Phase::Connecting:
      case Phase::Handshake: UpstreamFailed(*c); break;
      default: Close(*c); break;
    }
  }
}

RelayEngine::RelayEngine(UpstreamPool& pool, std::function<void(const Upstream&)> switched)
    : pool_(pool), switched_(std::move(switched)) {}

RelayEngine::~RelayEngine() { Stop(); }

bool RelayEngine::Start(int firstPort, int lastPort) {
  Stop();
  loop_ = std::make_unique<Loop>(pool_, switched_);
  if (!loop_->Open(firstPort, lastPort, port_)) {
    loop_.reset();
    port_ = 0;
    return false;
  }
  try {
    thread_ = std::thread([loop = loop_.get()] { loop->Run(); });
  } catch (const std::system_error&) {
    loop_.reset();
    port_ = 0;
    return false;
  }
  return true;
}

void RelayEngine::Stop() {
  if (!loop_) return;
  PostQueuedCompletionStatus(loop_->port, 0, kStopKey, nullptr);
  if (thread_.joinable()) thread_.join();
  loop_.reset();
  port_ = 0;
}

RelayEngine::Traffic RelayEngine::Counters() const {
  if (!loop_) return {};
  return {loop_->clients.load(), loop_->down.load(), loop_->up.load()};
}

}  // namespace vantoip
