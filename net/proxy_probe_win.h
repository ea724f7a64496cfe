// One proxy under check, as a state machine over non-blocking sockets that the
// runner's loop drives: the host's lookup, the check page's GET, then for a
// right page the CONNECT to the HTTPS page's host, TLS through the tunnel and
// the HTTPS page. Each step has its own time limit; a shown time is the GET's,
// from the start of its connect to the moment its answer was read ready.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "net/check_protocol.h"
#include "net/name_resolver_win.h"
#include "net/socket_win.h"

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

// What every probe of a run sends and expects.
struct ProbeRequests {
  ProbeRequests(const CheckPage& page, LookupFunction lookup, LookupQueue queue);
  const std::string get, connect, https, expectedBody, httpsHost;
  const int httpsStatus;
  const LookupFunction lookup;
  const LookupQueue queue;
};

class ProxyProbe {
 public:
  // Begins at once: a lookup for a host name, else the connect.
  ProxyProbe(const CheckJob& target, const ProbeRequests& requests, const Clock& clock);
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
  // The socket of a finished probe, for the loop to close when it suits it.
  vantoip::Socket TakeSocket() { return std::move(socket_); }

 private:
  enum class Stage { Lookup, Get, Tunnel };
  void Connect();
  void ConnectFailed(int error);
  void Send();
  void Receive(std::int64_t now);
  void EndGet(CheckOutcome outcome, std::int64_t now);
  void TunnelBytes(std::string_view bytes);
  void TlsBytes(std::string_view bytes);
  void Finish(CheckOutcome outcome);

  const ProbeRequests& requests_;
  const Clock& clock_;
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
