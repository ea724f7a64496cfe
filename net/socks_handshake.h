// Opening a tunnel through a SOCKS proxy: SOCKS4 and 4a (a CONNECT to an IPv4
// address, or to a name the proxy looks up) and SOCKS5 (RFC 1928, CONNECT by
// name, with RFC 1929's user and password when there are credentials). The
// bytes to send and the proxy's answers only; the sockets are the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "net/check_protocol.h"

namespace vantoip {

// Where the tunnel leads.
struct SocksTarget {
  std::string host;                    // the name (SOCKS5, SOCKS4a)
  std::optional<std::uint32_t> ipv4;   // host order; SOCKS4 asks for it when known, 4a by name otherwise
  int port = 0;
};

class SocksHandshake {
 public:
  // `protocol`: kSocks4 (4a for a target without an address) or kSocks5.
  SocksHandshake(ProxyProtocol protocol, SocksTarget target, std::string user = {}, std::string password = {});

  // The bytes to send now: the greeting at first, then what each answer calls for.
  std::string TakeOutput() { return std::exchange(output_, {}); }
  // Reads the proxy's answer as it comes: Checking while the handshake goes
  // on, Passed once the tunnel is open (Tunnel() holds the bytes that came
  // after the reply), else for good the verdict: AuthenticationRequired (no
  // method acceptable, or the login refused), Refused, Unreachable, or
  // InvalidResponse (not SOCKS, a version or address type out of place).
  CheckOutcome Feed(std::string_view bytes);
  // The proxy ended the connection: Refused before any byte, a reply cut
  // short InvalidResponse.
  CheckOutcome Close();
  CheckOutcome Outcome() const { return outcome_; }
  bool Answered() const { return answered_; }  // a byte of the proxy's has come
  std::string_view Tunnel() const { return tunnel_; }

 private:
  enum class Stage { Socks4Reply, MethodReply, LoginReply, ConnectReply };
  void SendConnect();
  // The reply's fixed part has come; decides, or says how many more bytes close it.
  void Judge();

  const ProxyProtocol protocol_;
  const SocksTarget target_;
  const std::string user_, password_;
  Stage stage_;
  std::string output_;
  std::string reply_;     // of the current stage
  std::size_t needed_;    // bytes of the current reply
  bool answered_ = false;  // a byte has come
  CheckOutcome outcome_ = CheckOutcome::Checking;
  std::string tunnel_;
};

}  // namespace vantoip
