#include "ui/tcp_client_win.h"

#include <ws2tcpip.h>

namespace vantoip {
namespace {

// IPv4 address of a dotted address or a host name; false when there is none.
bool Resolve(const std::string& host, in_addr& address) {
  if (host.empty()) return false;
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

TcpClient::~TcpClient() { CloseCurrent(); }

void TcpClient::CloseCurrent() {
  std::lock_guard lock(mutex_);
  if (current_ != INVALID_SOCKET) closesocket(current_);
  current_ = INVALID_SOCKET;
}

bool TcpClient::Connect(const std::string& host, int port) {
  CloseCurrent();
  if (port > 65535) return false;  // no such port; it must not wrap to another one
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port <= 0 ? 1 : port));
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  if (!Resolve(host, target.sin_addr) ||
      connect(s, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    closesocket(s);
    return false;
  }
  std::lock_guard lock(mutex_);
  if (current_ != INVALID_SOCKET) closesocket(current_);  // a concurrent connect finished first
  current_ = s;
  WSAAsyncSelect(s, notifyWindow_, notifyMessage_, FD_READ | FD_CLOSE);
  return true;
}

void TcpClient::OnNotification(WPARAM socket, LPARAM event) {
  std::lock_guard lock(mutex_);
  if (static_cast<SOCKET>(socket) != current_) return;
  if (WSAGETSELECTEVENT(event) == FD_CLOSE) {  // the peer is gone: free the socket now
    closesocket(current_);
    current_ = INVALID_SOCKET;
    return;
  }
  char sink[1024];
  recv(current_, sink, sizeof sink, 0);  // nobody listens to the data; keep the queue empty
}

}  // namespace vantoip
