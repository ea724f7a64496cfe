// What a client of the local relay asks for, read from its first bytes and
// told apart by the first byte: an HTTP proxy request (absolute form, any
// method, or CONNECT), SOCKS5 (no authentication, CONNECT by name, IPv4 or
// IPv6) or SOCKS4/4a. Also the answers the relay gives its clients. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace vantoip {

enum class ClientProtocol { kHttp, kSocks4, kSocks5 };

// The ports the relay listens on, on 127.0.0.1: the first free one of them.
inline constexpr int kFirstRelayPort = 11080, kLastRelayPort = 11099;

// The longest request head or handshake the relay reads.
inline constexpr std::size_t kMaxClientHeadBytes = 64 * 1024;

struct ClientRequest {
  ClientProtocol protocol = ClientProtocol::kHttp;
  bool tunnel = false;  // CONNECT or SOCKS: bytes go both ways once it is open
  std::string host;     // a name, or an IPv4 or IPv6 address (no brackets)
  int port = 0;
  // A request to forward: its head as the client sent it, the empty line included.
  std::string head;
  // No more of it is to come than what came with the head: no body, or all
  // of it read already (a request the relay may send again elsewhere).
  bool whole = true;
};

class ClientRequestReader {
 public:
  enum class State { Reading, Ready, Failed };
  // Reading until the request is whole; then for good Ready (Request() and
  // Rest() hold it) or Failed (the head or handshake is malformed or too long).
  State Feed(std::string_view bytes);
  State Current() const { return state_; }
  // Bytes owed to the client now: SOCKS5's choice of method, and on failure
  // the refusal (HTTP 400, SOCKS5's error reply, SOCKS4's rejection).
  std::string TakeReply() { return std::exchange(reply_, {}); }
  const ClientRequest& Request() const { return request_; }
  // What came after the head or handshake: a body's first bytes, or the tunnel's.
  std::string_view Rest() const { return rest_; }

 private:
  void ReadHttp();
  void ReadSocks5();
  void ReadSocks4();
  void Ready(std::size_t used);
  void Fail(std::string reply);

  State state_ = State::Reading;
  std::string in_;
  bool started_ = false;  // the first byte has come: request_.protocol is known
  bool greeted_ = false;  // SOCKS5: the method is chosen, the request follows
  ClientRequest request_;
  std::string reply_, rest_;
};

// The answer once the client's upstream is open (or is not): for a tunnel HTTP
// "200 Connection established", SOCKS5 "succeeded", SOCKS4 "granted"; on
// failure 502, SOCKS5 "host unreachable", SOCKS4 "rejected". A forwarded
// request has no answer of the relay's when it opens.
std::string TunnelReply(ClientProtocol protocol, bool opened);
// An HTTP error answer of the relay's own (400, 502, 503), closing the connection.
std::string HttpErrorAnswer(int status);

}  // namespace vantoip
