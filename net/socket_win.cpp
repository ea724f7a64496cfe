#include "net/socket_win.h"

namespace vantoip {

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

Socket StartConnect(const sockaddr_in& address) {
  Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  u_long nonBlocking = 1;
  if (!s || ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) return {};
  if (connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK)
    return {};
  return s;
}

}  // namespace vantoip
