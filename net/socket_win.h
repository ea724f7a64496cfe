// Sockets for the network code: Winsock started once, an owning socket handle,
// a host's address and a non-blocking connect.
#pragma once

#include <winsock2.h>

#include <optional>
#include <string>

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

// The IPv4 address of a dotted address or a host name, looked up on the
// calling thread; none for an empty host or a name without one.
std::optional<in_addr> LookupIPv4(const std::string& host);

// A non-blocking TCP socket whose connect to `address` has begun (or already
// finished); an empty socket when it failed at once, with the Winsock error.
Socket StartConnect(const sockaddr_in& address, int& error);

// Why a non-blocking connect failed (its SO_ERROR).
int ConnectError(SOCKET s);

}  // namespace vantoip
