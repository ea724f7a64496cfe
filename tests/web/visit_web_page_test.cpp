// The web request against a layer that records every call and plays back a
// scripted response.
#include "web/visit_web_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace vantoip {
namespace {

constexpr HttpHandle kRoot = 1, kConnection = 2, kRequest = 3;
const Text kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Tolq; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

class RecordingLayer final : public HttpLayer {
 public:
  // The script.
  int failingOpen = 0;  // 1 root, 2 connection, 3 request
  Text rawHeaderBlock = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n";
  ByteBlock body = {'a', 'b', 'c'};
  std::size_t bytesPerRead = 1024;
  bool endless = false;

  // What was seen.
  std::vector<std::string> calls;
  std::vector<HttpHandle> closed;
  Text agent, proxyList, host, verb, path, version, sentHeaders;
  std::optional<HttpAccess> access;
  std::int32_t port = -1;
  std::uint32_t flags = 0;
  std::optional<ByteBlock> sentBody;
  std::size_t largestReadBuffer = 0;

  HttpHandle Open(const Text& a, HttpAccess mode, const Text& list) override {
    calls.push_back("open");
    agent = a, access = mode, proxyList = list;
    return failingOpen == 1 ? 0 : kRoot;
  }
  HttpHandle Connect(HttpHandle root, const Text& h, std::int32_t p) override {
    calls.push_back("connect");
    EXPECT_EQ(root, kRoot);
    host = h, port = p;
    return failingOpen == 2 ? 0 : kConnection;
  }
  HttpHandle OpenRequest(HttpHandle connection, const Text& v, const Text& p, const Text& ver,
                         std::uint32_t f) override {
    calls.push_back("request");
    EXPECT_EQ(connection, kConnection);
    verb = v, path = p, version = ver, flags = f;
    return failingOpen == 3 ? 0 : kRequest;
  }
  void Send(HttpHandle request, const Text& headers, const ByteBlock* b) override {
    calls.push_back("send");
    EXPECT_EQ(request, kRequest);
    sentHeaders = headers;
    if (b) sentBody = *b;
  }
  std::uint32_t Read(HttpHandle request, ByteBlock& buffer) override {
    EXPECT_EQ(request, kRequest);
    largestReadBuffer = std::max(largestReadBuffer, buffer.size());
    std::size_t n = std::min(bytesPerRead, buffer.size());
    if (endless) {
      std::fill_n(buffer.begin(), n, std::uint8_t{'x'});
      return static_cast<std::uint32_t>(n);
    }
    n = std::min(n, body.size() - delivered_);
    std::copy_n(body.begin() + delivered_, n, buffer.begin());
    delivered_ += n;
    return static_cast<std::uint32_t>(n);
  }
  // As WinINet: a block that does not fit with its terminator leaves the buffer alone.
  void QueryRawHeaders(HttpHandle request, Text& buffer, std::uint32_t& length) override {
    calls.push_back("query");
    EXPECT_EQ(request, kRequest);
    EXPECT_EQ(length, buffer.size());
    if (rawHeaderBlock.size() + 1 > length) {
      length = static_cast<std::uint32_t>(rawHeaderBlock.size() + 1);
      return;
    }
    std::copy(rawHeaderBlock.begin(), rawHeaderBlock.end(), buffer.begin());
    buffer[rawHeaderBlock.size()] = '\0';
    length = static_cast<std::uint32_t>(rawHeaderBlock.size());
  }
  void Close(HttpHandle handle) override {
    calls.push_back("close");
    closed.push_back(handle);
  }

 private:
  std::size_t delivered_ = 0;
};

Text Bytes(const ByteBlock& b) { return Text(b.begin(), b.end()); }

TEST(VisitWebPage, PlainGetOpensSendsReadsAndClosesInOrder) {
  RecordingLayer layer;
  const ByteBlock body = VisitWebPage(layer, "http://Www.H.cn:8080/a?b");
  EXPECT_EQ(Bytes(body), "abc");
  EXPECT_EQ(layer.agent, kDefaultAgent);
  EXPECT_EQ(layer.access, HttpAccess::Direct);
  EXPECT_EQ(layer.proxyList, "");
  EXPECT_EQ(layer.host, "www.h.cn");
  EXPECT_EQ(layer.port, 8080);
  EXPECT_EQ(layer.verb, "GET");
  EXPECT_EQ(layer.path, "/a?b");
  EXPECT_EQ(layer.version, "HTTP/1.1");
  EXPECT_EQ(layer.flags, 0x80000000u | 0x10u | 0x80000u | 0x4000u);
  EXPECT_FALSE(layer.sentBody.has_value());  // the form without a body
  EXPECT_EQ(layer.largestReadBuffer, kReadChunkBytes);
  const std::vector<std::string> expected = {"open", "connect", "request", "send", "query", "close", "close", "close"};
  EXPECT_EQ(layer.calls, expected);
  EXPECT_EQ(layer.closed, (std::vector<HttpHandle>{kRequest, kConnection, kRoot}));
}

TEST(VisitWebPage, SecureAndRedirectFlags) {
  RecordingLayer layer;
  WebRequestOptions options;
  options.noRedirect = true;
  VisitWebPage(layer, "HTTPS://h.cn", options);
  EXPECT_EQ(layer.flags, 0x80000000u | 0x10u | 0x80000u | 0x200000u | 0x800000u);
  EXPECT_EQ(layer.port, 443);
  EXPECT_EQ(layer.path, "/");
}

TEST(VisitWebPage, NoDefaultWhereTheCallerHasTheLine) {
  RecordingLayer layer;
  Text headers = "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c", cookies = "k=v";
  WebRequestOptions options;
  options.headers = &headers;
  options.cookies = &cookies;
  VisitWebPage(layer, "h.cn", options);
  EXPECT_EQ(layer.sentHeaders, "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c\r\nCookie: k=v");
  EXPECT_EQ(headers, layer.sentHeaders);
}

TEST(VisitWebPage, AgentFromTheCallersUserAgentLine) {
  const auto agentFor = [](Text headers) {
    RecordingLayer layer;
    WebRequestOptions options;
    options.headers = &headers;
    VisitWebPage(layer, "h.cn", options);
    EXPECT_NE(FindText(layer.sentHeaders, "ser-Agent:", std::nullopt, true), -1);  // the line is sent too
    return layer.agent;
  };
  EXPECT_EQ(agentFor("User-Agent: X"), "X");
  EXPECT_EQ(agentFor("User-Agent: X\r\n"), "X");
  EXPECT_EQ(agentFor("Accept: a\r\nuser-agent:  Y 1.0 \r\nReferer: r"), "Y 1.0");
  // A last line without CR LF falls back to whatever follows the block's first ":".
  EXPECT_EQ(agentFor("Accept: a\r\nUser-Agent: Z"), "a\r\nUser-Agent: Z");
}

TEST(VisitWebPage, VerbAndBody) {
  struct Case {
    std::optional<std::int32_t> method;
    std::optional<Text> postText;
    ByteBlock postBytes;
    Text verb;
    std::optional<Text> sent;  // no value: the form without a body
  };
  const Case cases[] = {
      {std::nullopt, Text("ignored"), {}, "GET", std::nullopt},
      {1, std::nullopt, {}, "POST", Text()},                     // POST with a body of length 0
      {2, Text("x"), {}, "GET", Text("x")},                      // GET carrying a body
      {1, Text("text"), {'\0', 'b'}, "POST", Text("\0b", 2)},  // bytes win over text
      {0, Text("x"), {'b'}, "GET", std::nullopt},
  };
  for (const Case& c : cases) {
    RecordingLayer layer;
    ByteBlock postBytes = c.postBytes;
    WebRequestOptions options;
    options.method = c.method;
    options.postText = c.postText;
    options.postBytes = &postBytes;
    VisitWebPage(layer, "h.cn", options);
    EXPECT_EQ(layer.verb, c.verb);
    ASSERT_EQ(layer.sentBody.has_value(), c.sent.has_value()) << c.verb;
    if (c.sent) {
      EXPECT_EQ(Bytes(*layer.sentBody), *c.sent);
      EXPECT_EQ(Bytes(postBytes), *c.sent);  // the body used is written back
    } else {
      EXPECT_EQ(postBytes, c.postBytes);
    }
  }
}

TEST(VisitWebPage, ProxySuppliedEmptyDiffersFromOmitted) {
  RecordingLayer omitted, empty, given;
  VisitWebPage(omitted, "h.cn");
  EXPECT_EQ(omitted.access, HttpAccess::Direct);
  EXPECT_EQ(omitted.proxyList, "");
  WebRequestOptions options;
  options.proxy = "";
  VisitWebPage(empty, "h.cn", options);
  EXPECT_EQ(empty.access, HttpAccess::Proxy);
  EXPECT_EQ(empty.proxyList, "http=");
  options.proxy = "10.0.0.1:3128";
  VisitWebPage(given, "h.cn", options);
  EXPECT_EQ(given.access, HttpAccess::Proxy);
  EXPECT_EQ(given.proxyList, "http=10.0.0.1:3128");
}

TEST(VisitWebPage, AllSuppliedValuesMakeAProxyModeGetAndReceiveTheOutputs) {
  RecordingLayer layer;
  layer.rawHeaderBlock = "HTTP/1.1 200 OK\r\nSet-Cookie: s=1; path=/\r\n\r\n";
  WebRequestValues values;
  EXPECT_EQ(Bytes(VisitWebPage(layer, "h.cn", values.AllSupplied())), "abc");
  EXPECT_EQ(layer.access, HttpAccess::Proxy);
  EXPECT_EQ(layer.proxyList, "http=");
  EXPECT_EQ(layer.verb, "GET");
  EXPECT_FALSE(layer.sentBody.has_value());
  EXPECT_EQ(values.cookies, "s=1");
  EXPECT_EQ(values.newCookies, "s=1");
  EXPECT_EQ(values.rawHeaders, layer.rawHeaderBlock);
  EXPECT_EQ(values.location, layer.rawHeaderBlock);
  EXPECT_EQ(values.headers, layer.sentHeaders);
}

TEST(VisitWebPage, CookiesFromSetCookieLinesAreMerged) {
  RecordingLayer layer;
  layer.rawHeaderBlock =
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n"
      "Set-Cookie: c=3\r\nSet-Cookie: old=deleted; path=/\r\n\r\n";
  Text cookies = "old=9; keep=1", newCookies = "stale";
  WebRequestOptions options;
  options.cookies = &cookies;
  options.newCookies = &newCookies;
  VisitWebPage(layer, "h.cn", options);
  EXPECT_NE(FindText(layer.sentHeaders, "\r\nCookie: old=9; keep=1"), -1);
  // A line without ";" after the name contributes an empty item.
  EXPECT_EQ(newCookies, "a=1;b=2;;old=deleted");
  EXPECT_EQ(cookies, "a=1; b=2; ; keep=1");
}

TEST(VisitWebPage, LocationLineOrTheRawBlock) {
  const auto locationAfter = [](Text rawBlock, Text location) {
    RecordingLayer layer;
    layer.rawHeaderBlock = rawBlock;
    Text raw = "stale";
    WebRequestOptions options;
    options.location = &location;
    options.rawHeaders = &raw;
    VisitWebPage(layer, "h.cn", options);
    EXPECT_EQ(raw, rawBlock);
    return location;
  };
  const Text redirect = "HTTP/1.1 302 Found\r\nLocation: http://t.cn/next \r\n\r\n";
  EXPECT_EQ(locationAfter(redirect, ""), "http://t.cn/next");
  const Text two = "HTTP/1.1 200 OK\r\nLocation: /first\r\nContent-Location: /second\r\n\r\n";
  EXPECT_EQ(locationAfter(two, "given"), "/second");
  const Text plain = "HTTP/1.1 200 OK\r\n\r\n";
  EXPECT_EQ(locationAfter(plain, ""), plain);
  EXPECT_EQ(locationAfter(plain, "given"), "given");  // not cleared on entry
}

TEST(VisitWebPage, HeaderBlockThatDoesNotFitLeavesSpaces) {
  RecordingLayer layer;
  layer.rawHeaderBlock = "HTTP/1.1 200 OK\r\nX-Pad: " + Text(4980, 'p') + "\r\nLocation: /x\r\n\r\n";
  Text raw, location;
  WebRequestOptions options;
  options.rawHeaders = &raw;
  options.location = &location;
  EXPECT_EQ(Bytes(VisitWebPage(layer, "h.cn", options)), "abc");
  EXPECT_EQ(raw, Text(5000, ' '));
  EXPECT_EQ(location, Text(5000, ' '));
  // 4999 bytes and the terminator still fit.
  layer = RecordingLayer();
  layer.rawHeaderBlock = "HTTP/1.1 200 OK\r\n" + Text(4999 - 19, 'h') + "\r\n";
  ASSERT_EQ(layer.rawHeaderBlock.size(), 4999u);
  VisitWebPage(layer, "h.cn", options);
  EXPECT_EQ(raw, layer.rawHeaderBlock);
}

TEST(VisitWebPage, FailedOpenChangesNothingAndClosesWhatWasOpened) {
  const std::vector<std::vector<HttpHandle>> closes = {{0}, {0, kRoot}, {0, kConnection, kRoot}};
  for (int failing = 1; failing <= 3; ++failing) {
    RecordingLayer layer;
    layer.failingOpen = failing;
    Text cookies = "a=1 ", newCookies = "n", headers = "H: 1", location = "l", raw = "r";
    ByteBlock postBytes;
    WebRequestOptions options;
    options.method = 1;
    options.postText = "body";
    options.cookies = &cookies, options.newCookies = &newCookies, options.headers = &headers;
    options.location = &location, options.postBytes = &postBytes, options.rawHeaders = &raw;
    EXPECT_TRUE(VisitWebPage(layer, "h.cn", options).empty());
    EXPECT_EQ(layer.closed, closes[failing - 1]);
    EXPECT_EQ(std::count(layer.calls.begin(), layer.calls.end(), "send"), 0);
    EXPECT_EQ(cookies, "a=1 ");
    EXPECT_EQ(newCookies, "n");
    EXPECT_EQ(headers, "H: 1");
    EXPECT_EQ(location, "l");
    EXPECT_TRUE(postBytes.empty());
    EXPECT_EQ(raw, "r");
  }
}

TEST(VisitWebPage, BodyIsReadWhateverTheReadSizes) {
  RecordingLayer layer;
  layer.body.resize(300000);
  for (std::size_t i = 0; i < layer.body.size(); ++i) layer.body[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  layer.bytesPerRead = 999;
  EXPECT_EQ(VisitWebPage(layer, "h.cn"), layer.body);
}

TEST(VisitWebPage, EndlessBodyIsCutAtTheCap) {
  RecordingLayer layer;
  layer.endless = true;
  layer.bytesPerRead = 1000;  // the cap is not a multiple of the read size
  const ByteBlock body = VisitWebPage(layer, "h.cn");
  EXPECT_EQ(body.size(), kMaxBodyBytes);
  EXPECT_EQ(kMaxBodyBytes, std::size_t{64} << 20);
  EXPECT_EQ(body.back(), 'x');
  EXPECT_EQ(layer.closed, (std::vector<HttpHandle>{kRequest, kConnection, kRoot}));
}

}  // namespace
}  // namespace vantoip
