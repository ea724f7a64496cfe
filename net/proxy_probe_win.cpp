#include "net/proxy_probe_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <limits>

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

ProbeRequests::ProbeRequests(const CheckPage& page, LookupFunction lookup, LookupQueue queue)
    : get(ProxyGetRequest(page)), connect(ProxyConnectRequest(page)), https(HttpsGetRequest(page)),
      expectedBody(page.expectedBody), httpsHost(page.https.host), httpsStatus(page.https.status), lookup(lookup),
      queue(queue) {}

ProxyProbe::ProxyProbe(const CheckJob& target, const ProbeRequests& requests, const Clock& clock)
    : requests_(requests), clock_(clock), response_(requests.expectedBody), httpsAnswer_(requests.httpsStatus) {
  if (target.port < 1 || target.port > 65535 || target.host.empty()) {
    Finish(CheckOutcome::Refused);
    return;
  }
  address_.sin_family = AF_INET;
  address_.sin_port = htons(static_cast<u_short>(target.port));
  if (inet_pton(AF_INET, target.host.c_str(), &address_.sin_addr) == 1) {
    stage_ = Stage::Get;
    Connect();
  } else {
    lookup_ = NameResolver::Resolve(target.host, requests.lookup, requests.queue);
  }
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
        stage_ = Stage::Get;
        Connect();
        return;
      case NameLookup::State::NotFound:
      case NameLookup::State::TooLong: Finish(CheckOutcome::Unresolved); return;
    }
  }
  if (tls_ && tls_->Current() == TlsClient::State::Verifying && tls_->Poll() != TlsClient::State::Verifying)
    return TlsBytes({});  // the chain judged at last: on as if the bytes had just come
  if (now >= Deadline()) Finish(stage_ == Stage::Get ? CheckOutcome::TimedOut : CheckOutcome::HttpsFailed);
}

void ProxyProbe::Connect() {
  int error = 0;
  connectStart_ = clock_.Now();
  socket_ = StartConnect(address_, error);
  connectDeadline_ = connectStart_ + clock_.Ticks(kConnectMilliseconds);
  if (stage_ == Stage::Get) stepDeadline_ = kNever;  // the answer's time starts once connected
  connected_ = false;
  outgoing_ = stage_ == Stage::Get ? requests_.get : requests_.connect;
  sent_ = 0;
  if (!socket_) ConnectFailed(error);
}

void ProxyProbe::ConnectFailed(int error) {
  Finish(stage_ == Stage::Get ? ConnectOutcome(error) : CheckOutcome::HttpsFailed);
}

void ProxyProbe::OnReady(bool readable, bool writable, bool failed, std::int64_t now) {
  if (result_ || !socket_) return;
  if (!connected_) {
    if (failed) return ConnectFailed(ConnectError(socket_.Get()));
    if (!writable) return;
    connected_ = true;
    if (stage_ == Stage::Get) stepDeadline_ = now + clock_.Ticks(kAnswerMilliseconds);
  }
  if (writable && sent_ < outgoing_.size()) Send();
  if (readable && !result_) Receive(now);
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
  // Never more of the GET's answer than the classifier looks at: a huge answer stays in the network.
  const std::size_t room = stage_ == Stage::Get ? kMaxAnswerBytes - response_.BytesSeen() : buffer.size();
  const int n = recv(socket_.Get(), buffer.data(), static_cast<int>(std::min(room, buffer.size())), 0);
  if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return;
  const std::string_view bytes(buffer.data(), n > 0 ? n : 0);
  if (stage_ == Stage::Get) {
    // A reset counts as the end of the answer: refused before any byte, judged after.
    const CheckOutcome outcome = n > 0 ? response_.Feed(bytes) : response_.Close();
    if (outcome != CheckOutcome::Checking) EndGet(outcome, now);
  } else if (n <= 0) {
    // Closed without a word to the CONNECT: refused; after it, the tunnel broke.
    Finish(tunnelAnswered_ ? CheckOutcome::HttpsFailed : CheckOutcome::PassedHttpOnly);
  } else if (!tls_) {
    TunnelBytes(bytes);
  } else {
    TlsBytes(bytes);
  }
}

void ProxyProbe::EndGet(CheckOutcome outcome, std::int64_t now) {
  socket_.Reset();
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

void ProxyProbe::Finish(CheckOutcome outcome) {
  tls_.reset();
  CheckResult result{outcome, 0};
  if (HasTime(result)) result.milliseconds = milliseconds_;
  result_ = result;
}

}  // namespace vantoip
