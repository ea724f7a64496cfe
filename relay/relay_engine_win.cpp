#include "relay/relay_loop_win.h"

namespace vantoip {

using namespace relay_loop;

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
