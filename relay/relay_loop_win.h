// The relay engine's loop, shared by its two halves: relay_engine_win.cpp
// (the port, accepting, carrying bytes, closing) and relay_upstream_win.cpp
// (what a client asks, and the upstream that carries it).
#pragma once

#include "relay/relay_engine_win.h"

#include <winsock2.h>
#include <mswsock.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "net/socket_win.h"
#include "net/socks_handshake.h"
#include "relay/client_request.h"

namespace vantoip {
namespace relay_loop {

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

inline std::int64_t NowMs() { return static_cast<std::int64_t>(GetTickCount64()); }

template <class F>
inline F Extension(SOCKET s, GUID id) {
  F function = nullptr;
  DWORD bytes = 0;
  WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function, sizeof function, &bytes, nullptr, nullptr);
  return function;
}

// Without Nagle's delay: the relay passes each write on as it comes, and a
// small one held back would wait for the far side's acknowledgement.
inline Socket OverlappedSocket() {
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

}  // namespace relay_loop

struct RelayEngine::Loop {
  using Connection = relay_loop::Connection;
  using Endpoint = relay_loop::Endpoint;
  using Op = relay_loop::Op;
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
  AcceptSlot accepts[relay_loop::kAcceptsPosted];
  std::list<std::unique_ptr<Connection>> connections;
  // Operations that completed as they were made: no packet comes for them.
  std::vector<std::pair<Op*, DWORD>> finished;
  int acceptsPending = 0;
  std::atomic<bool> stopping{false};
  std::atomic<int> clients{0};
  std::atomic<std::uint64_t> down{0}, up{0};
};

}  // namespace vantoip
