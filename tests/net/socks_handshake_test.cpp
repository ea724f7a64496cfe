// The SOCKS handshakes byte for byte: the requests sent, every reply code,
// replies cut short or out of place, answers that are not SOCKS at all, and
// the tunnel's first bytes that come with the reply.
#include "net/socks_handshake.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace vantoip {
namespace {

using O = CheckOutcome;
using namespace std::string_literals;

const SocksTarget kByName{"www.msftconnecttest.com", std::nullopt, 80};
const SocksTarget kByAddress{"www.msftconnecttest.com", 0x0D6B0410, 80};  // 13.107.4.16

// A SOCKS5 greeting answered, a CONNECT sent: the handshake that is left.
SocksHandshake Socks5AtConnect() {
  SocksHandshake h(ProxyProtocol::kSocks5, kByName);
  h.TakeOutput();
  EXPECT_EQ(h.Feed("\x05\x00"s), O::Checking);
  h.TakeOutput();
  return h;
}

TEST(SocksHandshake, Socks5AsksByNameAndOpensOnSuccessWithAnyBoundAddress) {
  SocksHandshake h(ProxyProtocol::kSocks5, kByName);
  EXPECT_EQ(h.TakeOutput(), "\x05\x01\x00"s);  // no authentication, the only method offered
  EXPECT_EQ(h.Feed("\x05"s), O::Checking);
  EXPECT_EQ(h.TakeOutput(), "");
  EXPECT_EQ(h.Feed("\x00"s), O::Checking);
  EXPECT_EQ(h.TakeOutput(), "\x05\x01\x00\x03\x17www.msftconnecttest.com\x00\x50"s);
  // The bound address as IPv4, a name or IPv6; the bytes after it are the tunnel's.
  for (const std::string& bound : {"\x01\x7F\x00\x00\x01\x1F\x90"s, "\x03\x04host\x00\x50"s,
                                   "\x04"s + std::string(16, '\x01') + "\x01\xBB"s}) {
    SocksHandshake open = Socks5AtConnect();
    const std::string reply = "\x05\x00\x00"s + bound;
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) ASSERT_EQ(open.Feed(reply.substr(i, 1)), O::Checking) << i;
    EXPECT_EQ(open.Feed(reply.substr(reply.size() - 1) + "HTTP/1.1 200"), O::Passed);
    EXPECT_EQ(open.Tunnel(), "HTTP/1.1 200");
  }
}

TEST(SocksHandshake, Socks5LogsInWithCredentialsAndTellsARefusedLoginFromOtherFailures) {
  SocksHandshake h(ProxyProtocol::kSocks5, kByName, "user", "p@ss");
  EXPECT_EQ(h.TakeOutput(), "\x05\x02\x00\x02"s);
  EXPECT_EQ(h.Feed("\x05\x02"s), O::Checking);
  EXPECT_EQ(h.TakeOutput(), "\x01\x04user\x04p@ss"s);
  EXPECT_EQ(h.Feed("\x01\x00"s), O::Checking);
  EXPECT_EQ(h.TakeOutput().substr(0, 4), "\x05\x01\x00\x03"s);

  SocksHandshake refused(ProxyProtocol::kSocks5, kByName, "user", "wrong");
  refused.Feed("\x05\x02"s);
  EXPECT_EQ(refused.Feed("\x01\x01"s), O::AuthenticationRequired);
  EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks5, kByName).Feed("\x05\xFF"s), O::AuthenticationRequired);
  // User and password asked for when none were offered: not this protocol.
  EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks5, kByName).Feed("\x05\x02"s), O::InvalidResponse);
}

TEST(SocksHandshake, Socks5ReplyCodesAndAnswersThatAreNotSocks) {
  const std::vector<std::tuple<std::string, O>> replies = {
      {"\x05\x01\x00\x01"s, O::InvalidResponse},  // general failure
      {"\x05\x02\x00\x01"s, O::Refused},          // not allowed
      {"\x05\x03\x00\x01"s, O::Unreachable},      // network unreachable
      {"\x05\x04\x00\x01"s, O::Unreachable},      // host unreachable
      {"\x05\x05\x00\x01"s, O::Refused},          // connection refused
      {"\x05\x06\x00\x01"s, O::InvalidResponse},  // TTL expired
      {"\x05\x07\x00\x01"s, O::InvalidResponse},
      {"\x05\x08\x00\x01"s, O::InvalidResponse},
      {"\x05\x09\x00\x01"s, O::InvalidResponse},
      {"\x05\x00\x00\x02"s, O::InvalidResponse},  // an address type that does not exist
      {"\x04\x00\x00\x01"s, O::InvalidResponse},  // another version
      {"HTTP/1.1 400 Bad Request\r\n"s, O::InvalidResponse},
  };
  for (const auto& [reply, outcome] : replies) {
    SocksHandshake h = Socks5AtConnect();
    EXPECT_EQ(h.Feed(reply), outcome) << testing::PrintToString(reply);
  }
  EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks5, kByName).Feed("HTTP/1.0 200 OK\r\n"), O::InvalidResponse);
  // Closed: before a byte refused, a reply cut short not SOCKS.
  EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks5, kByName).Close(), O::Refused);
  SocksHandshake cut = Socks5AtConnect();
  cut.Feed("\x05\x00\x00\x01\x7F"s);
  EXPECT_EQ(cut.Close(), O::InvalidResponse);
  SocksHandshake greeted(ProxyProtocol::kSocks5, kByName);
  greeted.Feed("\x05"s);
  EXPECT_EQ(greeted.Close(), O::InvalidResponse);
}

TEST(SocksHandshake, Socks4ByAddressOr4aByNameAndItsReplies) {
  EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks4, kByAddress).TakeOutput(), "\x04\x01\x00\x50\x0D\x6B\x04\x10\x00"s);
  EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks4, kByName, "id").TakeOutput(),
            "\x04\x01\x00\x50\x00\x00\x00\x01id\x00www.msftconnecttest.com\x00"s);
  const std::vector<std::tuple<std::string, O>> replies = {
      {"\x00\x5B"s, O::Refused}, {"\x00\x5C"s, O::Refused}, {"\x00\x5D"s, O::Refused},
      {"\x00\x5E"s, O::InvalidResponse}, {"\x05\x00"s, O::InvalidResponse},  // a SOCKS5 answer
      {"HTTP/1.1 200 OK"s, O::InvalidResponse},
  };
  for (const auto& [reply, outcome] : replies)
    EXPECT_EQ(SocksHandshake(ProxyProtocol::kSocks4, kByAddress).Feed(reply), outcome) << testing::PrintToString(reply);
  for (const char version : {'\x00', '\x04'}) {  // some servers answer with version 4
    SocksHandshake h(ProxyProtocol::kSocks4, kByAddress);
    EXPECT_EQ(h.Feed(std::string{version} + "\x5A\x00\x50\x0D\x6B\x04"s), O::Checking);
    EXPECT_EQ(h.Feed("\x10" "GET"s), O::Passed);
    EXPECT_EQ(h.Tunnel(), "GET");
  }
  SocksHandshake cut(ProxyProtocol::kSocks4, kByAddress);
  cut.Feed("\x00\x5A\x00"s);
  EXPECT_EQ(cut.Close(), O::InvalidResponse);
}

}  // namespace
}  // namespace vantoip
