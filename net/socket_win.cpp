#include "net/socket_win.h"

#include <ws2tcpip.h>

namespace vantoip {
namespace {

void FreeAddresses(addrinfo* list) { freeaddrinfo(list); }
using AddressList = UniqueHandle<NullIsInvalid<addrinfo*, &FreeAddresses>>;

}  // namespace

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::optional<in_addr> LookupIPv4(const std::string& host) {
  if (host.empty()) return std::nullopt;  // an empty name would be this machine
  in_addr address{};
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  AddressList found;
  if (getaddrinfo(host.c_str(), nullptr, &hints, found.Receive()) != 0 || !found) return std::nullopt;
  return reinterpret_cast<const sockaddr_in*>(found.Get()->ai_addr)->sin_addr;
}

Socket StartConnect(const sockaddr_in& address, int& error) {
  Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  u_long nonBlocking = 1;
  if (!s || ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0 ||
      (connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
       WSAGetLastError() != WSAEWOULDBLOCK)) {
    error = WSAGetLastError();
    return {};
  }
  return s;
}

int ConnectError(SOCKET s) {
  int error = 0;
  int size = sizeof error;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) return WSAGetLastError();
  return error;
}

}  // namespace vantoip
