#include "relay/relay_loop_win.h"

namespace vantoip {

using namespace relay_loop;

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

}  // namespace vantoip
