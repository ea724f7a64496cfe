// What the relay reads from its clients: the bytes fed whole and in pieces
// give the same state, request and replies; a refusal always says something;
// a request read gives an upstream head of every kind without a crash, ending
// in one empty line. Input: 1 option byte (piece size), then the client's bytes.
#include <string>

#include "relay/client_request.h"
#include "relay/upstream_request.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const fuzz::Options options(data, size, 1);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t piece = 1 + options.Byte(0) % 23;

  ClientRequestReader whole, pieces;
  const ClientRequestReader::State state = whole.Feed(bytes);
  const std::string replies = whole.TakeReply();
  std::string pieceReplies;
  for (std::size_t at = 0; at < bytes.size() && pieces.Current() == ClientRequestReader::State::Reading; at += piece) {
    pieces.Feed(std::string_view(bytes).substr(at, piece));
    pieceReplies += pieces.TakeReply();
  }
  FUZZ_CHECK(pieces.Current() == state);
  FUZZ_CHECK(pieceReplies == replies);
  if (state == ClientRequestReader::State::Failed) FUZZ_CHECK(!replies.empty());
  if (state != ClientRequestReader::State::Ready) return 0;
  const ClientRequest& request = whole.Request();
  FUZZ_CHECK(request.host == pieces.Request().host && request.port == pieces.Request().port);
  FUZZ_CHECK(request.port >= 1 && request.port <= 65535 && !request.host.empty());
  FUZZ_CHECK(request.tunnel || request.protocol == ClientProtocol::kHttp);
  for (const ProxyProtocol protocol : {ProxyProtocol::kHttp, ProxyProtocol::kSocks4, ProxyProtocol::kSocks5}) {
    const Upstream upstream{"192.0.2.1", 3128, protocol, "user", "pass"};
    const std::string head = request.tunnel ? UpstreamConnect(request, upstream) : ForwardedHead(request, upstream);
    FUZZ_CHECK(head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0);
    FUZZ_CHECK(head.find("\r\n\r\n") == head.size() - 4);
  }
  return 0;
}
