// What the relay reads from its clients (every request form and handshake,
// whole and cut anywhere) and what it sends its upstreams.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/client_request.h"
#include "relay/upstream_pool.h"
#include "relay/upstream_request.h"

namespace vantoip {
namespace {

using State = ClientRequestReader::State;

struct Opening {
  const char* name;
  std::string bytes;
  State state;
  ClientProtocol protocol;
  std::string host;
  int port;
  std::string reply;  // what the client hears before its upstream opens (or the refusal)
};

std::vector<Opening> Openings() {
  const std::string get = "GET http://example.org:8080/a?b HTTP/1.1\r\nHost: example.org:8080\r\n\r\n";
  const std::string s5 = std::string("\x05\x02\x00\x02", 4);
  const std::string chose = std::string("\x05\x00", 2);
  return {
      {"GET absolute", get + "body", State::Ready, ClientProtocol::kHttp, "example.org", 8080, ""},
      {"POST, default port", "POST http://Example.org/ HTTP/1.0\n\n", State::Ready, ClientProtocol::kHttp,
       "Example.org", 80, ""},
      {"CONNECT", "CONNECT example.org:443 HTTP/1.1\r\nHost: example.org:443\r\n\r\n", State::Ready,
       ClientProtocol::kHttp, "example.org", 443, ""},
      {"CONNECT v6", "CONNECT [2001:db8::1]:443 HTTP/1.1\r\n\r\n", State::Ready, ClientProtocol::kHttp, "2001:db8::1",
       443, ""},
      {"CONNECT without port", "CONNECT example.org HTTP/1.1\r\n\r\n", State::Failed, ClientProtocol::kHttp, "", 0,
       HttpErrorAnswer(400)},
      {"origin form", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", State::Failed, ClientProtocol::kHttp, "", 0,
       HttpErrorAnswer(400)},
      {"https in the open", "GET https://x/ HTTP/1.1\r\n\r\n", State::Failed, ClientProtocol::kHttp, "", 0,
       HttpErrorAnswer(400)},
      {"credentials in the address", "GET http://u:p@x/ HTTP/1.1\r\n\r\n", State::Failed, ClientProtocol::kHttp, "", 0,
       HttpErrorAnswer(400)},
      {"port out of range", "GET http://x:65536/ HTTP/1.1\r\n\r\n", State::Failed, ClientProtocol::kHttp, "", 0,
       HttpErrorAnswer(400)},
      {"not HTTP/1", "GET http://x/ HTTP/2.0\r\n\r\n", State::Failed, ClientProtocol::kHttp, "", 0, HttpErrorAnswer(400)},
      {"head cut", "GET http://x/ HTTP/1.1\r\nHost: x\r\n", State::Reading, ClientProtocol::kHttp, "", 0, ""},
      {"head too long", "GET http://x/ HTTP/1.1\r\nX: " + std::string(kMaxClientHeadBytes, 'y'), State::Failed,
       ClientProtocol::kHttp, "", 0, HttpErrorAnswer(400)},
      {"SOCKS5 by name", s5 + std::string("\x05\x01\x00\x03\x0b" "example.org" "\x01\xbb", 18) + "tls", State::Ready,
       ClientProtocol::kSocks5, "example.org", 443, chose},
      {"SOCKS5 IPv4", s5 + std::string("\x05\x01\x00\x01\xc0\x00\x02\x01\x00\x50", 10), State::Ready,
       ClientProtocol::kSocks5, "192.0.2.1", 80, chose},
      {"SOCKS5 IPv6", s5 + std::string("\x05\x01\x00\x04\x20\x01\x0d\xb8", 8) + std::string(11, '\0') +
                          std::string("\x01\x01\xbb", 3),
       State::Ready, ClientProtocol::kSocks5, "2001:db8:0:0:0:0:0:1", 443, chose},
      {"SOCKS5 login only", std::string("\x05\x01\x02", 3), State::Failed, ClientProtocol::kSocks5, "", 0,
       std::string("\x05\xff", 2)},
      {"SOCKS5 BIND", s5 + std::string("\x05\x02\x00\x01\xc0\x00\x02\x01\x00\x50", 10), State::Failed,
       ClientProtocol::kSocks5, "", 0, chose + std::string("\x05\x07\x00\x01\0\0\0\0\0\0", 10)},
      {"SOCKS5 request of another version", s5 + std::string("\x04\x01\x00\x01\xc0\x00\x02\x01\x00\x50", 10),
       State::Failed, ClientProtocol::kSocks5, "", 0, chose + std::string("\x05\x01\x00\x01\0\0\0\0\0\0", 10)},
      {"SOCKS5 address type", s5 + std::string("\x05\x01\x00\x09\x00", 5), State::Failed, ClientProtocol::kSocks5, "",
       0, chose + std::string("\x05\x08\x00\x01\0\0\0\0\0\0", 10)},
      {"SOCKS5 port 0", s5 + std::string("\x05\x01\x00\x01\xc0\x00\x02\x01\x00\x00", 10), State::Failed,
       ClientProtocol::kSocks5, "", 0, chose + std::string("\x05\x01\x00\x01\0\0\0\0\0\0", 10)},
      {"SOCKS4", std::string("\x04\x01\x00\x50\xc0\x00\x02\x01user\x00", 13), State::Ready, ClientProtocol::kSocks4,
       "192.0.2.1", 80, ""},
      {"SOCKS4a", std::string("\x04\x01\x01\xbb\x00\x00\x00\x01\x00" "example.org" "\x00", 21), State::Ready,
       ClientProtocol::kSocks4, "example.org", 443, ""},
      {"SOCKS4 BIND", std::string("\x04\x02\x00\x50\xc0\x00\x02\x01\x00", 9), State::Failed, ClientProtocol::kSocks4, "",
       0, std::string("\x00\x5b\0\0\0\0\0\0", 8)},
      {"SOCKS4 endless user", std::string("\x04\x01\x00\x50\xc0\x00\x02\x01", 8) + std::string(300, 'u'), State::Failed,
       ClientProtocol::kSocks4, "", 0, std::string("\x00\x5b\0\0\0\0\0\0", 8)},
  };
}

TEST(ClientRequestReader, EveryOpeningWholeAndCutAnywhere) {
  for (const Opening& o : Openings()) {
    SCOPED_TRACE(o.name);
    // Whole, then byte by byte: the same request, the same replies, the same rest.
    ClientRequestReader whole, bytewise;
    EXPECT_EQ(whole.Feed(o.bytes), o.state);
    std::string replies = whole.TakeReply(), bytewiseReplies;
    for (char c : o.bytes) {
      bytewise.Feed(std::string_view(&c, 1));
      bytewiseReplies += bytewise.TakeReply();
    }
    EXPECT_EQ(bytewise.Current(), o.state);
    EXPECT_EQ(replies, o.reply);
    EXPECT_EQ(bytewiseReplies, o.reply);
    if (o.state != State::Ready) continue;
    EXPECT_EQ(whole.Request().protocol, o.protocol);
    EXPECT_EQ(whole.Request().host, o.host);
    EXPECT_EQ(whole.Request().port, o.port);
    EXPECT_EQ(bytewise.Request().host, o.host);
    EXPECT_EQ(bytewise.Rest(), "");  // fed no further than the request's end
  }
  ClientRequestReader get;
  get.Feed("GET http://x/ HTTP/1.1\r\n\r\nbody");
  EXPECT_FALSE(get.Request().tunnel);
  EXPECT_EQ(get.Request().head, "GET http://x/ HTTP/1.1\r\n\r\n");
  EXPECT_EQ(get.Rest(), "body");  // the body follows the head on
  ClientRequestReader socks;
  socks.Feed(std::string("\x04\x01\x00\x50\xc0\x00\x02\x01\x00", 9) + "early");
  EXPECT_EQ(socks.Rest(), "early");  // a tunnel's first bytes, sent before the answer
  EXPECT_EQ(get.Feed("more"), State::Ready);  // read no further
  EXPECT_TRUE(get.Request().whole);
  for (const auto& [head, whole] : std::vector<std::pair<std::string, bool>>{
           {"Content-Length: 4\r\n\r\nbody", true}, {"Content-Length: 5\r\n\r\nbody", false},
           {"content-length:x\r\n\r\n", false}, {"Transfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n", false}}) {
    ClientRequestReader post;
    post.Feed("POST http://x/ HTTP/1.1\r\n" + head);
    EXPECT_EQ(post.Request().whole, whole) << head;  // may it be sent again to another upstream
  }
}

TEST(UpstreamRequest, ProxyFormToHttpOriginFormThroughSocksOneRequestPerConnection) {
  ClientRequestReader reader;
  reader.Feed("GET http://example.org:8080/a?b HTTP/1.1\r\nHost: example.org:8080\r\nProxy-Connection: keep-alive\r\n"
              "Connection: keep-alive\r\nProxy-Authorization: Basic eDp5\r\nAccept: */*\r\n\r\n");
  const ClientRequest& request = reader.Request();
  EXPECT_EQ(ForwardedHead(request, {"up", 3128, ProxyProtocol::kHttp, "a", ""}),
            "GET http://example.org:8080/a?b HTTP/1.1\r\nHost: example.org:8080\r\nAccept: */*\r\n"
            "Proxy-Authorization: Basic YTo=\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(ForwardedHead(request, {"up", 1080, ProxyProtocol::kSocks5, "a", "b"}),
            "GET /a?b HTTP/1.1\r\nHost: example.org:8080\r\nAccept: */*\r\nConnection: close\r\n\r\n");
  ClientRequestReader bare;
  bare.Feed("OPTIONS http://[2001:db8::1]:81 HTTP/1.0\n\n");
  EXPECT_EQ(ForwardedHead(bare.Request(), {"up", 1080, ProxyProtocol::kSocks4}),
            "OPTIONS / HTTP/1.0\r\nHost: [2001:db8::1]:81\r\nConnection: close\r\n\r\n");
  ClientRequestReader connect;
  connect.Feed("CONNECT example.org:443 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(UpstreamConnect(connect.Request(), {"up", 3128, ProxyProtocol::kHttp, "a", ""}),
            "CONNECT example.org:443 HTTP/1.1\r\nHost: example.org:443\r\nProxy-Authorization: Basic YTo=\r\n\r\n");
  EXPECT_EQ(TunnelReply(ClientProtocol::kHttp, false), HttpErrorAnswer(502));
  EXPECT_EQ(TunnelReply(ClientProtocol::kSocks5, true), std::string("\x05\x00\x00\x01\0\0\0\0\0\0", 10));
}

std::string Hosts(const std::vector<Upstream>& upstreams) {
  std::string hosts;
  for (const Upstream& u : upstreams) hosts += u.host.substr(u.host.rfind('.') + 1);
  return hosts;
}

TEST(UpstreamPool, FailedOnesArePassedOverAndThreeInARowMakeTheNextCurrent) {
  UpstreamPool pool;
  EXPECT_TRUE(pool.Choose(0).empty());
  const Upstream a{"192.0.2.1", 80}, b{"192.0.2.2", 80}, c{"192.0.2.3", 1080, ProxyProtocol::kSocks5}, d{"192.0.2.4", 80};
  pool.Set({a, b, c, d});
  EXPECT_EQ(Hosts(pool.Choose(0)), "123");  // at most three tries
  EXPECT_FALSE(pool.Failed(a, 0));
  EXPECT_EQ(Hosts(pool.Choose(1)), "234");  // passed over for 30 s, then tried again
  EXPECT_EQ(Hosts(pool.Choose(30000)), "123");
  EXPECT_FALSE(pool.Failed(a, 30000));
  pool.Succeeded(a);  // a success in between: not in a row
  EXPECT_FALSE(pool.Failed(a, 30000));
  EXPECT_FALSE(pool.Failed(a, 30000));
  EXPECT_TRUE(pool.Failed(a, 30000));
  EXPECT_EQ(pool.Current()->host, "192.0.2.2");
  EXPECT_EQ(Hosts(pool.Choose(30001)), "234");
  for (const Upstream& u : {b, c, d}) pool.Failed(u, 30001);
  EXPECT_EQ(Hosts(pool.Choose(30002)), "2");  // all failed lately: the current once more

  // Rotation: each connection starts at the next one.
  pool.Set({a, b, c, d});
  pool.SetRotation(true);
  std::string firsts;
  for (int i = 0; i < 5; ++i) firsts += Hosts(pool.Choose(0)).substr(0, 1);
  EXPECT_EQ(firsts, "12341");
}

}  // namespace
}  // namespace vantoip
