#include "tests/support/loopback_http_server_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace vantoip::test {
namespace {

// Winsock stays started for the life of the process.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// A socket listening on a free loopback port.
SOCKET ListenOnLoopback(std::uint16_t& port) {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = Loopback(0);
  int size = sizeof(address);
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(s, SOMAXCONN) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    throw std::runtime_error("cannot listen on loopback");
  port = ntohs(address.sin_port);
  return s;
}

bool SendAll(SOCKET s, const std::string& bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 20));
    const int n = send(s, bytes.data() + sent, chunk, 0);
    if (n <= 0) return false;
    sent += n;
  }
  return true;
}

std::size_t ContentLength(const std::string& head) {
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::size_t at = lower.find("\r\ncontent-length:");
  return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

// Reads the head and the Content-Length body; false when the peer went first.
bool ReadRequest(SOCKET s, ReceivedRequest& request) {
  std::string data;
  char buffer[4096];
  std::size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    const int n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    data.append(buffer, n);
  }
  request.head = data.substr(0, headEnd + 4);
  const std::size_t length = ContentLength(request.head);
  while (data.size() < headEnd + 4 + length) {
    const int n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    data.append(buffer, n);
  }
  request.body = data.substr(headEnd + 4, length);
  return true;
}

}  // namespace

Response SimpleResponse(const std::string& status, const std::string& headerLines, const std::string& body) {
  return {{status + "\r\n" + headerLines + "Connection: close\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body}};
}

LoopbackHttpServer::LoopbackHttpServer(Responder responder) : responder_(std::move(responder)) {
  listener_ = ListenOnLoopback(port_);
  thread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stopping_ = true;
  thread_.join();
  for (std::thread& connection : connections_) connection.join();
  closesocket(listener_);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> LoopbackHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::AcceptLoop() {
  while (!stopping_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, 50 * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
    const SOCKET connection = accept(listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) continue;
    // Each connection is served on its own thread, as many clients may wait at once.
    connections_.emplace_back([this, connection] { Serve(connection); });
  }
}

void LoopbackHttpServer::Serve(SOCKET connection) {
  // A client that never sends a request, or stops reading (a program ended
  // mid-download), does not hold the server up for long.
  const DWORD timeout = 10000;
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  ReceivedRequest request;
  if (ReadRequest(connection, request)) {
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    for (const ResponsePiece& piece : responder_(request)) {
      if (piece.pauseMilliseconds > 0) Sleep(piece.pauseMilliseconds);
      if (!SendAll(connection, piece.bytes)) break;
    }
  }
  shutdown(connection, SD_SEND);
  closesocket(connection);
}

}  // namespace vantoip::test
