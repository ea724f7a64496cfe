// A TCP listener on 127.0.0.1 with a port chosen by the system.
#pragma once

#include <winsock2.h>

namespace vantoip::test {

class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = SOMAXCONN);
  ~LoopbackListener();
  int Port() const { return port_; }
  SOCKET Socket() const { return socket_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};

// A loopback port with nothing listening on it.
int ClosedLoopbackPort();

}  // namespace vantoip::test
