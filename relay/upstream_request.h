// The relay's side toward its upstream proxy: which proxy, and the first bytes
// a client connection sends it (a SOCKS upstream opens its tunnel with
// net/socks_handshake first). Portable.
#pragma once

#include <string>

#include "net/check_protocol.h"
#include "relay/client_request.h"

namespace vantoip {

// A working proxy the relay carries its clients through.
struct Upstream {
  std::string host;
  int port = 0;
  ProxyProtocol protocol = ProxyProtocol::kHttp;
  std::string user, password;  // its credentials, when its row has them
};

// The proxy a checked row names, as an upstream.
Upstream UpstreamOf(const CheckJob& job);
// Windows cannot use it as its own proxy setting: SOCKS5, or any proxy with
// credentials; the relay carries it.
bool NeedsRelay(const Upstream& upstream);

// A forwarded request's head as it goes on: in proxy form to an HTTP upstream
// (with its Proxy-Authorization), in origin form through a SOCKS tunnel; the
// client's hop-by-hop headers (Connection, Proxy-Connection, Keep-Alive,
// Proxy-Authorization) dropped and "Connection: close" put in, so that a
// client connection carries one request, whatever host the next would name.
std::string ForwardedHead(const ClientRequest& request, const Upstream& upstream);
// The CONNECT that opens a client's tunnel through an HTTP upstream.
std::string UpstreamConnect(const ClientRequest& request, const Upstream& upstream);

}  // namespace vantoip
