// Blocking loopback sockets for the relay's benchmarks.
#pragma once

#include <winsock2.h>

#include <string>

#include "net/socket_win.h"

namespace bench {

// Listening on 127.0.0.1:`port`, or on a free port when it is 0 (then `port` names it).
inline vantoip::Socket Listener(int& port) {
  vantoip::Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  int size = sizeof address;
  if (bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s.Get(), SOMAXCONN) != 0)
    s.Reset();
  getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &size);
  port = ntohs(address.sin_port);
  return s;
}

inline vantoip::Socket Connect(int port) {
  vantoip::Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  if (connect(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) s.Reset();
  return s;
}

inline bool SendAll(SOCKET s, const std::string& bytes) {
  return send(s, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
}

// The head of an answer or request, up to its empty line: looked at before it
// is taken, so that what follows stays in the socket and no byte costs a call.
inline std::string ReadHead(SOCKET s) {
  std::string head;
  char buffer[4096];
  for (int n; head.find("\r\n\r\n") == std::string::npos && (n = recv(s, buffer, sizeof buffer, MSG_PEEK)) > 0;) {
    const std::size_t seen = head.size(), end = (head + std::string(buffer, n)).find("\r\n\r\n");
    const int take = end == std::string::npos ? n : static_cast<int>(end + 4 - seen);
    if (recv(s, buffer, take, 0) != take) break;
    head.append(buffer, take);
  }
  return head;
}

// A tunnel through the proxy at `proxyPort` to 127.0.0.1:`targetPort`: empty
// when the proxy did not answer 200.
inline vantoip::Socket Tunnel(int proxyPort, int targetPort) {
  vantoip::Socket s = Connect(proxyPort);
  if (!s || !SendAll(s.Get(), "CONNECT 127.0.0.1:" + std::to_string(targetPort) + " HTTP/1.1\r\n\r\n") ||
      ReadHead(s.Get()).find(" 200 ") == std::string::npos)
    s.Reset();
  return s;
}

}  // namespace bench
