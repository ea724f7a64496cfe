// A loopback HTTP server for tests and benchmarks. It listens on 127.0.0.1 (a
// free port), serves every connection on a thread of its own (the responder
// may thus be called from several threads at once), reads one request per
// connection, records it, sends the responder's answer piece by piece and closes.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantoip::test {

struct ReceivedRequest {
  std::string head;  // request line and header lines, up to the empty line
  std::string body;  // the Content-Length bytes that followed
  std::string RequestLine() const { return head.substr(0, head.find("\r\n")); }
};

// Bytes sent after a pause.
struct ResponsePiece {
  std::string bytes;
  int pauseMilliseconds = 0;
};
using Response = std::vector<ResponsePiece>;

// A complete answer in one piece: status line, header lines, "Connection:
// close" and the Content-Length of `body`, then the body.
Response SimpleResponse(const std::string& status, const std::string& headerLines, const std::string& body);

class LoopbackHttpServer {
 public:
  using Responder = std::function<Response(const ReceivedRequest&)>;

  explicit LoopbackHttpServer(Responder responder);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const;
  std::vector<ReceivedRequest> Requests() const;

 private:
  void AcceptLoop();
  void Serve(SOCKET connection);

  Responder responder_;
  SOCKET listener_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  std::thread thread_;
  std::vector<std::thread> connections_;  // touched by the accepting thread only
};

}  // namespace vantoip::test
