#include "tests/support/loopback_listener_win.h"

#include <ws2tcpip.h>

namespace vantoip::test {

LoopbackListener::LoopbackListener(int backlog) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(socket_, backlog);
  int length = sizeof address;
  getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() { closesocket(socket_); }

int ClosedLoopbackPort() {
  LoopbackListener probe;
  return probe.Port();  // closed again when the probe goes
}

}  // namespace vantoip::test
