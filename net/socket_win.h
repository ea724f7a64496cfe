// Sockets for the network code: Winsock started once, an owning socket handle,
// and a non-blocking connect.
#pragma once

#include <winsock2.h>

#include "runtime/handle_win.h"

namespace vantoip {

struct SocketTraits {
  using Handle = SOCKET;
  static SOCKET Invalid() { return INVALID_SOCKET; }
  static void Close(SOCKET s) { closesocket(s); }
};
using Socket = UniqueHandle<SocketTraits>;

// Starts Winsock once for the process; false when it cannot start.
bool StartWinsock();

// A non-blocking TCP socket whose connect to `address` has begun (or already
// finished); an empty socket when it failed at once.
Socket StartConnect(const sockaddr_in& address);

}  // namespace vantoip
