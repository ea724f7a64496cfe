#include "net/proxy_probe_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <random>

#include "net/tls_client_win.h"

namespace vantoip {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

// Why a connect failed, as a verdict: only a refusal is "拒绝".
CheckOutcome ConnectOutcome(int error) {
  switch (error) {
    case WSAECONNREFUSED: return CheckOutcome::Refused;
    case WSAETIMEDOUT: return CheckOutcome::TimedOut;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEADDRNOTAVAIL: return CheckOutcome::Unreachable;
    default: return CheckOutcome::Refused;
  }
}

// 16 hex digits no judge or cache could have seen before.
std::string NewToken() {
  thread_local std::mt19937_64 random([] {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return std::random_device{}() ^ static_cast<std::uint64_t>(now.QuadPart);
  }());
  char token[17];
  std::snprintf(token, sizeof token, "%016llx", static_cast<unsigned long long>(random()));
  return token;
}

}  // namespace

Clock::Clock() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  perSecond_ = frequency.QuadPart;
}

std::int64_t Clock::Now() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

TunnelHost::TunnelHost(std::string host, int port, LookupFunction lookup, LookupQueue queue)
    : named_{std::move(host), std::nullopt, port}, lookup_(lookup), queue_(queue) {
  in_addr literal{};
  if (inet_pton(AF_INET, named_.host.c_str(), &literal) == 1)
    named_.ipv4 = ntohl(literal.s_addr);
}

TunnelHost::~TunnelHost() {
  if (lookupState_) lookupState_->Drop();
}

std::optional<SocksTarget> TunnelHost::Target(ProxyProtocol protocol) const {
  if (protocol != ProxyProtocol::kSocks4 || named_.ipv4) return named_;
  if (!lookupState_) lookupState_ = NameResolver::Resolve(named_.host, lookup_, queue_);
  in_addr address{};
  switch (lookupState_->Poll(GetTickCount64(), kLookupMilliseconds, address)) {
    case NameLookup::State::Waiting: return std::nullopt;
    case NameLookup::State::Found: return SocksTarget{named_.host, ntohl(address.s_addr), named_.port};
    default: return named_;  // by name: SOCKS4a
  }
}

ProbeRequests::ProbeRequests(const CheckPage& page, LookupFunction lookup, LookupQueue queue)
    : page(page), get(ProxyGetRequest(page)), connect(ProxyConnectRequest(page)), https(HttpsGetRequest(page)),
      tunnelGet(TunnelGetRequest(page)), expectedBody(page.expectedBody), httpsHost(page.https.host),
      httpsStatus(page.https.status), lookup(lookup), queue(queue), checkHost(page.host, page.port, lookup, queue),
      httpsTarget(page.https.host, page.https.port, lookup, queue),
      judgeHost(page.judges.empty() ? std::string() : page.judges.front().host,
                page.judges.empty() ? 80 : page.judges.front().port, lookup, queue) {}

namespace {

// An HTTP proxy's requests with its credentials; empty when it has none (the run's serve).
std::string WithCredentials(const CheckJob& job, const CheckPage& page, bool connect) {
  if (job.protocol != ProxyProtocol::kHttp || job.user.empty()) return {};
  const std::string authorization = ProxyAuthorization(job.user, job.password);
  return connect ? ProxyConnectRequest(page, authorization) : ProxyGetRequest(page, authorization);
}

}  // namespace

ProxyProbe::ProxyProbe(CheckJob target, const ProbeRequests& requests, const Clock& clock)
    : job_(std::move(target)), requests_(requests), clock_(clock),
      judge_(requests.page.judges.empty() ? nullptr : &requests.page.judges.front()),
      ownGet_(WithCredentials(job_, requests.page, false)), ownConnect_(WithCredentials(job_, requests.page, true)),
      response_(requests.expectedBody), httpsAnswer_(requests.httpsStatus) {
  if (job_.port < 1 || job_.port > 65535 || job_.host.empty()) {
    Finish(CheckOutcome::Refused);
    return;
  }
  Locate();
}

ProxyProbe::ProxyProbe(const JudgePage& judge, const ProbeRequests& requests, const Clock& clock)
    : job_{judge.host, judge.port}, requests_(requests), clock_(clock), judge_(&judge), judgeOnly_(true),
      response_(requests.expectedBody), httpsAnswer_(requests.httpsStatus) {
  Locate();
}

void ProxyProbe::Locate() {
  address_.sin_family = AF_INET;
  address_.sin_port = htons(static_cast<u_short>(job_.port));
  if (inet_pton(AF_INET, job_.host.c_str(), &address_.sin_addr) == 1) Begin();
  else lookup_ = NameResolver::Resolve(job_.host, requests_.lookup, requests_.queue);
}

void ProxyProbe::Begin() {
  if (judgeOnly_) return StartJudge(std::nullopt);
  stage_ = Stage::Get;
  Connect();
}

ProxyProbe::~ProxyProbe() {
  if (lookup_) lookup_->Drop();
}

std::int64_t ProxyProbe::Deadline() const {
  if (result_ || stage_ == Stage::Lookup) return kNever;
  return connected_ ? stepDeadline_ : std::min(connectDeadline_, stepDeadline_);
}

void ProxyProbe::Poll(std::int64_t now) {
  if (result_) return;
  if (stage_ == Stage::Lookup) {
    switch (lookup_->Poll(GetTickCount64(), kLookupMilliseconds, address_.sin_addr)) {
      case NameLookup::State::Waiting: return;
      case NameLookup::State::Found:
        lookup_.reset();
        Begin();
        return;
      case NameLookup::State::NotFound:
      case NameLookup::State::TooLong: Finish(CheckOutcome::Unresolved); return;
    }
  }
  if (tls_ && tls_->Current() == TlsClient::State::Verifying && tls_->Poll() != TlsClient::State::Verifying)
    return TlsBytes({});  // the chain judged at last: on as if the bytes had just come
  if (connected_ && Socks() && !socks_) {
    StartSocks();  // the tunnel host's address may have come
    if (sent_ < outgoing_.size()) Send();
  }
  if (now < Deadline()) return;
  if (stage_ == Stage::Get && httpOutcome_) return KeepHttpVerdict();  // silent in SOCKS too
  Finish(stage_ == Stage::Get ? CheckOutcome::TimedOut : CheckOutcome::HttpsFailed);
}

void ProxyProbe::KeepHttpVerdict() {
  job_.protocol = ProxyProtocol::kHttp;
  Finish(*httpOutcome_);
}

void ProxyProbe::Connect() {
  int error = 0;
  connectStart_ = clock_.Now();
  socket_ = StartConnect(address_, error);
  connectDeadline_ = connectStart_ + clock_.Ticks(kConnectMilliseconds);
  if (stage_ == Stage::Get) stepDeadline_ = kNever;  // the answer's time starts once connected
  connected_ = false;
  socks_.reset();
  // A SOCKS proxy hears its handshake first, once connected.
  if (Socks()) outgoing_.clear();
  else if (stage_ == Stage::Get) outgoing_ = ownGet_.empty() ? requests_.get : ownGet_;
  else if (stage_ == Stage::Tunnel) outgoing_ = ownConnect_.empty() ? requests_.connect : ownConnect_;
  else outgoing_ = JudgeRequest(*judge_, token_, !judgeOnly_, ProxyAuthorization(job_.user, job_.password));
  sent_ = 0;
  if (!socket_) ConnectFailed(error);
}

void ProxyProbe::ConnectFailed(int error) {
  if (stage_ == Stage::Get && httpOutcome_) return KeepHttpVerdict();
  Finish(stage_ == Stage::Get ? ConnectOutcome(error) : CheckOutcome::HttpsFailed);
}

void ProxyProbe::OnReady(bool readable, bool writable, bool failed, std::int64_t now) {
  if (result_ || !socket_) return;
  if (!connected_) {
    if (failed) return ConnectFailed(ConnectError(socket_.Get()));
    if (!writable) return;
    connected_ = true;
    if (stage_ == Stage::Get) stepDeadline_ = now + clock_.Ticks(kAnswerMilliseconds);
    if (Socks()) StartSocks();
  }
  const SOCKET ready = socket_.Get();
  if (writable && sent_ < outgoing_.size()) Send();
  // A failed send may have moved on to the judge's connection, which has nothing to read yet.
  if (readable && !result_ && socket_.Get() == ready) Receive(now);
}

void ProxyProbe::Send() {
  const int n = send(socket_.Get(), outgoing_.data() + sent_, static_cast<int>(outgoing_.size() - sent_), 0);
  if (n == SOCKET_ERROR) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) Finish(stage_ == Stage::Get ? CheckOutcome::Refused : CheckOutcome::HttpsFailed);
    return;
  }
  sent_ += n;
  if (sent_ == outgoing_.size()) outgoing_.clear(), sent_ = 0;
}

void ProxyProbe::Receive(std::int64_t now) {
  thread_local std::array<char, 16 * 1024> buffer;
  // Never more of an answer than the classifier looks at: a huge answer stays in the network.
  const std::size_t room = stage_ != Stage::Tunnel ? kMaxAnswerBytes - response_.BytesSeen() : buffer.size();
  const int n = recv(socket_.Get(), buffer.data(), static_cast<int>(std::min(room, buffer.size())), 0);
  if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return;
  const std::string_view bytes(buffer.data(), n > 0 ? n : 0);
  if (socks_ && socks_->Outcome() == CheckOutcome::Checking) {
    SocksBytes(bytes, n <= 0, now);
  } else if (stage_ != Stage::Tunnel) {
    AnswerBytes(bytes, n <= 0, now);
  } else if (n <= 0) {
    // Closed without a word to the CONNECT: refused; after it, the tunnel broke.
    Finish(tunnelAnswered_ ? CheckOutcome::HttpsFailed : CheckOutcome::PassedHttpOnly);
  } else if (!tls_) {
    TunnelBytes(bytes);
  } else {
    TlsBytes(bytes);
  }
}

void ProxyProbe::AnswerBytes(std::string_view bytes, bool closed, std::int64_t now) {
  // A reset counts as the end of the answer: refused before any byte, judged after.
  const CheckOutcome outcome = closed ? response_.Close() : response_.Feed(bytes);
  if (outcome == CheckOutcome::Checking) return;
  if (stage_ == Stage::Get) EndGet(outcome, now);
  else EndJudge(outcome);
}

void ProxyProbe::StartSocks() {
  const TunnelHost& host = stage_ == Stage::Get      ? requests_.checkHost
                           : stage_ == Stage::Tunnel ? requests_.httpsTarget
                                                     : requests_.judgeHost;
  const std::optional<SocksTarget> target = host.Target(job_.protocol);
  if (!target) return;  // asked again at the next poll
  socks_.emplace(job_.protocol, *target, job_.user, job_.password);
  outgoing_ = socks_->TakeOutput();
  sent_ = 0;
}

void ProxyProbe::SocksBytes(std::string_view bytes, bool closed, std::int64_t now) {
  const CheckOutcome outcome = closed ? socks_->Close() : socks_->Feed(bytes);
  if (outcome == CheckOutcome::Checking) {
    outgoing_ += socks_->TakeOutput();
    if (sent_ < outgoing_.size()) Send();
    return;
  }
  if (outcome == CheckOutcome::Passed) return SocksOpen(now);
  if (stage_ == Stage::Get) return EndSocksGet(outcome, closed && !socks_->Answered());
  // The proxy would not open the tunnel to the HTTPS page: as an HTTP proxy refusing CONNECT.
  Finish(outcome == CheckOutcome::Refused ? CheckOutcome::PassedHttpOnly : CheckOutcome::HttpsFailed);
}

void ProxyProbe::SocksOpen(std::int64_t now) {
  if (stage_ != Stage::Tunnel) {
    outgoing_ += stage_ == Stage::Get ? requests_.tunnelGet : JudgeRequest(*judge_, token_, false);
    Send();
    if (const std::string_view early = socks_->Tunnel(); !early.empty() && !result_) AnswerBytes(early, false, now);
    return;
  }
  tunnelAnswered_ = true;
  tls_ = std::make_unique<TlsClient>(requests_.httpsHost);
  TlsBytes(socks_->Tunnel());
}

void ProxyProbe::EndSocksGet(CheckOutcome outcome, bool silent) {
  // Tried as SOCKS after HTTP got no HTTP answer: a proxy that speaks neither keeps HTTP's verdict.
  if (httpOutcome_ && (outcome == CheckOutcome::InvalidResponse || silent)) {
    if (job_.protocol == ProxyProtocol::kSocks5) {
      job_.protocol = ProxyProtocol::kSocks4;
      return Reconnect();
    }
    return KeepHttpVerdict();
  }
  Finish(outcome);
}

void ProxyProbe::Reconnect() {
  socket_.Reset();
  response_ = ResponseClassifier(requests_.expectedBody);
  Connect();
}

void ProxyProbe::EndGet(CheckOutcome outcome, std::int64_t now) {
  // An assumed HTTP proxy that answers nothing HTTP, or closes without a word, may speak SOCKS.
  const bool noHttpAnswer = outcome == CheckOutcome::InvalidResponse || outcome == CheckOutcome::Refused;
  if (job_.protocolAssumed && job_.protocol == ProxyProtocol::kHttp && noHttpAnswer && !httpOutcome_) {
    httpOutcome_ = outcome;
    job_.protocol = ProxyProtocol::kSocks5;
    return Reconnect();
  }
  socket_.Reset();
  if (outcome == CheckOutcome::WrongContent && response_.Status() == 407)
    return Finish(CheckOutcome::AuthenticationRequired);  // Proxy Authentication Required
  if (outcome != CheckOutcome::Passed) return Finish(outcome);
  milliseconds_ = clock_.Milliseconds(now - connectStart_);
  stage_ = Stage::Tunnel;
  stepDeadline_ = now + clock_.Ticks(kTunnelMilliseconds);
  Connect();
}

void ProxyProbe::TunnelBytes(std::string_view bytes) {
  tunnelAnswered_ = true;
  switch (connectAnswer_.Feed(bytes)) {
    case CheckOutcome::Checking: return;
    case CheckOutcome::Passed:
      tls_ = std::make_unique<TlsClient>(requests_.httpsHost);
      TlsBytes(connectAnswer_.Tunnel());
      return;
    case CheckOutcome::WrongContent: return Finish(CheckOutcome::PassedHttpOnly);  // a non-2xx answer
    default: return Finish(CheckOutcome::HttpsFailed);
  }
}

void ProxyProbe::TlsBytes(std::string_view bytes) {
  if (tls_->Feed(bytes) == TlsClient::State::Untrusted) return Finish(CheckOutcome::CertificateError);
  if (tls_->Current() == TlsClient::State::Open && !httpsSent_) httpsSent_ = tls_->Write(requests_.https);
  // The answer may come with the session's end in one read.
  if (const CheckOutcome outcome = httpsAnswer_.Feed(tls_->TakeReceived()); outcome != CheckOutcome::Checking)
    return Finish(outcome);
  const TlsClient::State state = tls_->Current();
  if (state == TlsClient::State::Closed || state == TlsClient::State::Failed) return Finish(CheckOutcome::HttpsFailed);
  outgoing_ += tls_->TakeOutput();
  if (sent_ < outgoing_.size()) Send();
}

void ProxyProbe::StartJudge(std::optional<CheckOutcome> verdict) {
  verdict_ = verdict;
  socket_.Reset();
  stage_ = Stage::Judge;
  token_ = NewToken();
  response_ = ResponseClassifier::Keeping();
  stepDeadline_ = clock_.Now() + clock_.Ticks(kJudgeMilliseconds);
  Connect();
}

void ProxyProbe::EndJudge(CheckOutcome outcome) {
  if (outcome == CheckOutcome::Passed) echo_ = ReadJudgeEcho(response_.Body(), token_);
  Finish(outcome);
}

void ProxyProbe::Finish(CheckOutcome outcome) {
  tls_.reset();
  if (stage_ == Stage::Tunnel && judge_ && HasTime({outcome})) return StartJudge(outcome);
  if (verdict_) outcome = *verdict_;  // the judge's own outcome decides nothing
  CheckResult result{outcome, 0, job_.protocol};
  if (HasTime(result)) result.milliseconds = milliseconds_;
  result_ = result;
}

}  // namespace vantoip
