// One proxy under check, as a state machine over non-blocking sockets that the
// runner's loop drives: the host's lookup, the check page's GET, then for a
// right page the CONNECT to the HTTPS page's host, TLS through the tunnel and
// the HTTPS page, then for a page with a time the judge's GET on a third
// connection (its echo says whether the proxy hides its user; a judge that
// fails leaves the verdict as it was). A SOCKS proxy opens each tunnel by its
// own handshake first, and the GETs go through in origin form. Each step has
// its own time limit; a shown time is the GET's, from the start of its connect
// to the moment its answer was read ready.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/check_protocol.h"
#include "net/judge_echo.h"
#include "net/name_resolver_win.h"
#include "net/socket_win.h"
#include "net/socks_handshake.h"

namespace vantoip {

class TlsClient;

// A monotonic high-resolution clock in QueryPerformanceCounter ticks.
class Clock {
 public:
  Clock();
  std::int64_t Now() const;
  std::int64_t Ticks(int milliseconds) const { return milliseconds * perSecond_ / 1000; }
  int Milliseconds(std::int64_t ticks) const { return static_cast<int>(ticks * 1000 / perSecond_); }

 private:
  std::int64_t perSecond_ = 1;
};

// A host a SOCKS tunnel leads to, with its IPv4 address for SOCKS4: a SOCKS4
// client (WinINet's) looks the name up itself. Looked up once per run, when a
// SOCKS4 probe first asks; used on the run's worker thread only.
class TunnelHost {
 public:
  TunnelHost(std::string host, int port, LookupFunction lookup, LookupQueue queue);
  ~TunnelHost();
  TunnelHost(const TunnelHost&) = delete;
  TunnelHost& operator=(const TunnelHost&) = delete;
  // The target for `protocol`; none while the SOCKS4 lookup goes on. A name
  // without an address goes to SOCKS4 by name (4a).
  std::optional<SocksTarget> Target(ProxyProtocol protocol) const;

 private:
  SocksTarget named_;
  const LookupFunction lookup_;
  const LookupQueue queue_;
  mutable std::shared_ptr<NameLookup> lookupState_;
};

// What every probe of a run sends and expects.
struct ProbeRequests {
  ProbeRequests(const CheckPage& page, LookupFunction lookup, LookupQueue queue);
  const CheckPage page;
  const std::string get, connect, https, tunnelGet, expectedBody, httpsHost;
  const int httpsStatus;
  const LookupFunction lookup;
  const LookupQueue queue;
  const TunnelHost checkHost, httpsTarget, judgeHost;  // the judge's: of the first judge
};

class ProxyProbe {
 public:
  // Begins at once: a lookup for a host name, else the connect.
  ProxyProbe(CheckJob target, const ProbeRequests& requests, const Clock& clock);
  // The judge's GET alone, straight to `judge` (no proxy): the echo names the user's own address.
  ProxyProbe(const JudgePage& judge, const ProbeRequests& requests, const Clock& clock);
  ~ProxyProbe();
  ProxyProbe(const ProxyProbe&) = delete;
  ProxyProbe& operator=(const ProxyProbe&) = delete;

  // The socket to watch (INVALID_SOCKET while looking up) and for what.
  SOCKET Socket() const { return socket_.Get(); }
  bool WantsWrite() const { return !connected_ || sent_ < outgoing_.size(); }
  bool WantsRead() const { return connected_; }
  // The earliest time-out of the step going on; none while looking up.
  std::int64_t Deadline() const;
  bool Looking() const { return stage_ == Stage::Lookup && !result_; }

  // The socket's readiness as select found it at `now`.
  void OnReady(bool readable, bool writable, bool failed, std::int64_t now);
  // Answers of the lookup and time-outs up to `now`.
  void Poll(std::int64_t now);
  const std::optional<CheckResult>& Result() const { return result_; }
  // The judge's echo, once the result is in; none when the judge step failed or was not made.
  const std::optional<JudgeEcho>& Echo() const { return echo_; }
  // The socket of a finished probe, for the loop to close when it suits it.
  vantoip::Socket TakeSocket() { return std::move(socket_); }

 private:
  enum class Stage { Lookup, Get, Tunnel, Judge };
  // The host's address: at once for an address, else by a lookup.
  void Locate();
  // The host's address is known: the first step's connect.
  void Begin();
  void Connect();
  void ConnectFailed(int error);
  // Connected to a SOCKS proxy: the handshake to the step's host begins, unless its address is still being looked up.
  void StartSocks();
  void SocksBytes(std::string_view bytes, bool closed, std::int64_t now);
  // The tunnel is open: the GET, or TLS, goes through it.
  void SocksOpen(std::int64_t now);
  // The GET's verdict in a SOCKS handshake, or for a job whose protocol was assumed, the next protocol tried.
  void EndSocksGet(CheckOutcome outcome, bool silent);
  // Another connection for the same step (the next protocol tried).
  void Reconnect();
  // No SOCKS answer either: the proxy's verdict is its HTTP one.
  void KeepHttpVerdict();
  bool Socks() const { return job_.protocol != ProxyProtocol::kHttp; }
  void Send();
  void Receive(std::int64_t now);
  void EndGet(CheckOutcome outcome, std::int64_t now);
  // Bytes of the GET's or the judge's answer (none: the close).
  void AnswerBytes(std::string_view bytes, bool closed, std::int64_t now);
  // The judge's GET on a connection of its own, keeping `verdict` (none: the judge's own outcome counts).
  void StartJudge(std::optional<CheckOutcome> verdict);
  void EndJudge(CheckOutcome outcome);
  void TunnelBytes(std::string_view bytes);
  void TlsBytes(std::string_view bytes);
  void Finish(CheckOutcome outcome);

  CheckJob job_;
  const ProbeRequests& requests_;
  const Clock& clock_;
  const JudgePage* const judge_;  // none: no judge step
  const bool judgeOnly_ = false;  // straight to the judge, no proxy
  std::optional<CheckOutcome> verdict_;  // of the steps before the judge's
  std::string token_;                    // that the judge's echo must carry back
  std::optional<JudgeEcho> echo_;
  const std::string ownGet_, ownConnect_;  // with the job's credentials; empty: the run's requests
  std::optional<CheckOutcome> httpOutcome_;  // of an assumed HTTP job, while SOCKS5, then SOCKS4, are tried
  std::optional<SocksHandshake> socks_;
  Stage stage_ = Stage::Lookup;
  sockaddr_in address_{};
  std::shared_ptr<NameLookup> lookup_;
  vantoip::Socket socket_;
  bool connected_ = false;
  std::string outgoing_;
  std::size_t sent_ = 0;
  std::int64_t connectStart_ = 0, connectDeadline_ = 0, stepDeadline_ = 0;
  ResponseClassifier response_;
  ConnectClassifier connectAnswer_;
  bool tunnelAnswered_ = false;
  std::unique_ptr<TlsClient> tls_;
  bool httpsSent_ = false;
  HttpsAnswerClassifier httpsAnswer_;
  int milliseconds_ = 0;  // the GET's, once it passed
  std::optional<CheckResult> result_;
};

}  // namespace vantoip
