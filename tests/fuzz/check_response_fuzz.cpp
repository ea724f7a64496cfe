// The classifiers of a proxy's answers: the answer fed whole and fed in
// pieces must be judged alike, at the same byte; no more than 64 KiB is looked
// at; a pass needs an HTTP status line; and the CONNECT answer's verdict
// agrees with the GET classifier's view of the same status line. The SOCKS
// handshakes judge the same bytes alike whole and in pieces, and a tunnel's
// first bytes are the end of the answer. A judge's answer, kept whole, gives
// the same body in pieces, and its echo (the expected body as the token) a
// level without a crash, naming an address.
// Input: 1 option byte (piece size), then the expected body, 0, the answer.
#include <algorithm>
#include <string>

#include "net/check_protocol.h"
#include "net/judge_echo.h"
#include "net/socks_handshake.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const fuzz::Options options(data, size, 1);
  const auto fields = fuzz::Fields(data, size, 2);
  const std::string& expected = fields[0];
  const std::string& answer = fields[1];

  ResponseClassifier whole(expected), pieces(expected);
  const CheckOutcome early = whole.Feed(answer);
  const std::size_t piece = 1 + options.Byte(0) % 17;
  for (std::size_t at = 0; at < answer.size(); at += piece)
    pieces.Feed(std::string_view(answer).substr(at, piece));
  FUZZ_CHECK(pieces.Outcome() == early);
  FUZZ_CHECK(pieces.BytesSeen() == whole.BytesSeen());
  FUZZ_CHECK(whole.BytesSeen() <= std::min(answer.size(), kMaxAnswerBytes));
  FUZZ_CHECK(early != CheckOutcome::Checking || whole.BytesSeen() == answer.size());

  const CheckOutcome closed = whole.Close();
  FUZZ_CHECK(closed == CheckOutcome::Passed || closed == CheckOutcome::WrongContent ||
             closed == CheckOutcome::InvalidResponse || closed == CheckOutcome::Refused);
  FUZZ_CHECK(early == CheckOutcome::Checking || closed == early);
  FUZZ_CHECK((closed == CheckOutcome::Refused) == answer.empty());
  const bool http = answer.compare(0, 5, "HTTP/") == 0;
  if (closed == CheckOutcome::Passed) FUZZ_CHECK(http);
  if (!http && !std::string("HTTP/").starts_with(answer)) FUZZ_CHECK(closed == CheckOutcome::InvalidResponse);

  ResponseClassifier kept = ResponseClassifier::Keeping(), keptPieces = ResponseClassifier::Keeping();
  kept.Feed(answer);
  for (std::size_t at = 0; at < answer.size(); at += piece) keptPieces.Feed(std::string_view(answer).substr(at, piece));
  FUZZ_CHECK(kept.Close() == keptPieces.Close() && kept.Body() == keptPieces.Body());
  FUZZ_CHECK(kept.Body().size() <= kMaxEchoBytes);
  if (const std::optional<JudgeEcho> echo = ReadJudgeEcho(kept.Body(), expected)) {
    FUZZ_CHECK(!expected.empty() && !echo->clientAddress.empty());
    JudgeLevel(*echo, std::nullopt);
    JudgeLevel(*echo, echo->clientAddress);
  }

  ConnectClassifier tunnel;
  const CheckOutcome connect = tunnel.Feed(answer);
  // Any 2xx opens the tunnel (RFC 9110), and only after a whole status line.
  if (connect == CheckOutcome::Passed)
    FUZZ_CHECK(http && answer.size() > 12 && answer[9] == '2' && answer[5] >= '0' && answer[5] <= '9' &&
               answer[6] == '.' && answer[8] == ' ');
  // A status line the GET classifier finds invalid is invalid for the CONNECT too.
  if (early == CheckOutcome::InvalidResponse) FUZZ_CHECK(connect == CheckOutcome::InvalidResponse);

  for (const ProxyProtocol protocol : {ProxyProtocol::kSocks4, ProxyProtocol::kSocks5}) {
    const bool socks4 = protocol == ProxyProtocol::kSocks4;
    const SocksTarget target{"check.example", socks4 ? std::optional<std::uint32_t>(1) : std::nullopt, 80};
    SocksHandshake once(protocol, target, expected, expected), split(protocol, target, expected, expected);
    const CheckOutcome socks = once.Feed(answer);
    for (std::size_t at = 0; at < answer.size() && split.Outcome() == CheckOutcome::Checking; at += piece)
      split.Feed(std::string_view(answer).substr(at, piece));
    FUZZ_CHECK(split.Outcome() == socks);
    FUZZ_CHECK(socks != CheckOutcome::Passed || answer.ends_with(once.Tunnel()));
    // SOCKS4's 8 bytes; SOCKS5's 05 00, then a reply with a bound name of none.
    FUZZ_CHECK(socks != CheckOutcome::Passed || answer.size() >= (socks4 ? 8u : 9u));
    if (answer.size() >= 2 && static_cast<unsigned char>(answer[0]) > 5)
      FUZZ_CHECK(socks == CheckOutcome::InvalidResponse);
  }
  return 0;
}
