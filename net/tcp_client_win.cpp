#include "net/tcp_client_win.h"

#include <mutex>
#include <optional>
#include <utility>

#include "net/socket_win.h"

namespace vantoip {

struct TcpClient::Kept {
  std::mutex mutex;
  Socket socket;
};

TcpClient::TcpClient(HWND notifyWindow, UINT notifyMessage)
    : notifyWindow_(notifyWindow), notifyMessage_(notifyMessage), kept_(std::make_unique<Kept>()) {}

TcpClient::~TcpClient() = default;

bool TcpClient::Connect(const std::string& host, int port) {
  {
    std::lock_guard lock(kept_->mutex);
    kept_->socket.Reset();
  }
  if (port > 65535 || !StartWinsock()) return false;  // no such port; it must not wrap to another one
  const std::optional<in_addr> address = LookupIPv4(host);
  if (!address) return false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<u_short>(port <= 0 ? 1 : port));
  target.sin_addr = *address;
  Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!s || connect(s.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) return false;
  std::lock_guard lock(kept_->mutex);
  kept_->socket = std::move(s);  // closes the socket of a concurrent connect that finished first
  WSAAsyncSelect(kept_->socket.Get(), notifyWindow_, notifyMessage_, FD_READ | FD_CLOSE);
  return true;
}

void TcpClient::OnNotification(WPARAM socket, LPARAM event) {
  std::lock_guard lock(kept_->mutex);
  if (!kept_->socket || static_cast<SOCKET>(socket) != kept_->socket.Get()) return;
  if (WSAGETSELECTEVENT(event) == FD_CLOSE) {  // the peer is gone: free the socket now
    kept_->socket.Reset();
    return;
  }
  char sink[1024];
  recv(kept_->socket.Get(), sink, sizeof sink, 0);  // nobody listens to the data; keep the queue empty
}

}  // namespace vantoip
