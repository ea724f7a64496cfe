// The web request over the real WinINet (through the native command table),
// against loopback servers started by the tests.
#include "web/wininet_layer_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/text_array.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/loopback_listener_win.h"

namespace vantoip {
namespace {

using test::LoopbackHttpServer;
using test::ReceivedRequest;
using test::Response;
using test::SimpleResponse;

const Text kDefaultBlock =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

Text Bytes(const ByteBlock& b) { return Text(b.begin(), b.end()); }

// Every in/out and out argument supplied; the in-arguments set by the test.
struct Visit {
  WebRequestOptions options;
  Text cookies, newCookies, headers, location, rawHeaders;
  ByteBlock postBytes;

  ByteBlock Run(const Text& url) {
    options.cookies = &cookies, options.newCookies = &newCookies, options.headers = &headers;
    options.location = &location, options.postBytes = &postBytes, options.rawHeaders = &rawHeaders;
    return VisitWebPage(url, options);
  }
};

// The header lines of a received request, without the request line.
std::vector<Text> HeaderLines(const ReceivedRequest& request) {
  const TextArray lines = SplitText(request.head, "\r\n");
  return std::vector<Text>(lines.begin() + 1, lines.end());
}

bool HasLine(const ReceivedRequest& request, const Text& line) {
  const std::vector<Text> lines = HeaderLines(request);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// True when the lines of `block` arrived in this order (other lines may lie between).
bool ArrivedInOrder(const ReceivedRequest& request, const Text& block) {
  const std::vector<Text> lines = HeaderLines(request);
  auto at = lines.begin();
  for (const Text& wanted : SplitText(block, "\r\n")) {
    at = std::find(at, lines.end(), wanted);
    if (at == lines.end()) return false;
  }
  return true;
}

Response Hello(const ReceivedRequest&) { return SimpleResponse("HTTP/1.1 200 OK", "", "hello"); }

TEST(WinInetRequest, DefaultHeaderBlockAndAgent) {
  LoopbackHttpServer server(Hello);
  Visit visit;
  const Text url = server.Url("/page?q=1");
  EXPECT_EQ(Bytes(visit.Run(url)), "hello");
  EXPECT_EQ(visit.headers, "Referer: " + url + "\r\n" + kDefaultBlock);
  ASSERT_EQ(server.Requests().size(), 1u);
  const ReceivedRequest request = server.Requests()[0];
  EXPECT_EQ(request.RequestLine(), "GET /page?q=1 HTTP/1.1");
  // The block closes the request's header: nothing added or left after it.
  EXPECT_EQ(RightText(request.head, TextLength(visit.headers) + 4), visit.headers + "\r\n\r\n") << request.head;
  EXPECT_TRUE(HasLine(request,
                      "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Tolq; .NET CLR 2.0.50727; "
                      ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)"))
      << request.head;
  EXPECT_EQ(visit.rawHeaders, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(visit.location, visit.rawHeaders);

  visit.headers.clear();
  visit.cookies = "a=1; b=2";
  visit.Run(url);
  EXPECT_EQ(visit.headers, "Referer: " + url + "\r\n" + kDefaultBlock + "\r\nCookie: a=1; b=2");
  EXPECT_TRUE(ArrivedInOrder(server.Requests()[1], visit.headers)) << server.Requests()[1].head;
}

TEST(WinInetRequest, CallerHeaderLines) {
  LoopbackHttpServer server(Hello);
  const Text url = server.Url("/");
  Visit given;
  given.headers = "Accept: text/html";
  given.Run(url);
  EXPECT_TRUE(HasLine(server.Requests()[0], "Accept: text/html"));
  EXPECT_FALSE(HasLine(server.Requests()[0], "Accept: */*"));

  Visit lower;
  lower.headers = "accept: text/html";
  lower.Run(url);
  EXPECT_NE(FindText(lower.headers, "\r\nAccept: */*"), -1);  // the lower-case line did not count
  // WinINet keeps one line per header name: the later one.
  EXPECT_TRUE(HasLine(server.Requests()[1], "Accept: */*")) << server.Requests()[1].head;

  Visit ended;
  ended.headers = "X-First: 1\r\n";
  ended.Run(url);
  EXPECT_EQ(ended.headers, "X-First: 1\r\n\r\nReferer: " + url + "\r\n" + kDefaultBlock);
  // The empty line does not end the request's header: the defaults still arrive as headers.
  EXPECT_TRUE(ArrivedInOrder(server.Requests()[2], "X-First: 1\r\nReferer: " + url + "\r\n" + kDefaultBlock))
      << server.Requests()[2].head;
  EXPECT_EQ(server.Requests()[2].body, "");
}

// Which agent is chosen from the caller's block is checked against the recording
// layer; here: whatever WinINet merges, exactly the caller's agent arrives.
TEST(WinInetRequest, CallersUserAgentIsTheOnlyAgentThatArrives) {
  LoopbackHttpServer server(Hello);
  for (const Text headers : {"User-Agent: X", "User-Agent: X\r\n", "Accept: a\r\nUser-Agent: X\r\nX-B: b"}) {
    Visit visit;
    visit.headers = headers;
    visit.Run(server.Url("/"));
    const ReceivedRequest request = server.Requests().back();
    EXPECT_TRUE(HasLine(request, "User-Agent: X")) << request.head;
    EXPECT_EQ(request.head.find("User-Agent:", request.head.find("User-Agent:") + 1), std::string::npos)
        << request.head;
  }
}

Response Echo(const ReceivedRequest& request) {
  return SimpleResponse("HTTP/1.1 200 OK", "", request.RequestLine() + "|" + request.body);
}

TEST(WinInetRequest, VerbAndBody) {
  LoopbackHttpServer server(Echo);
  const Text url = server.Url("/form");
  Visit get;
  get.options.postText = "ignored";
  EXPECT_EQ(Bytes(get.Run(url)), "GET /form HTTP/1.1|");
  EXPECT_TRUE(get.postBytes.empty());

  Visit post;
  post.options.method = 1;
  post.options.postText = "q=%D6%D0&r=2";
  EXPECT_EQ(Bytes(post.Run(url)), "POST /form HTTP/1.1|q=%D6%D0&r=2");
  EXPECT_EQ(Bytes(post.postBytes), "q=%D6%D0&r=2");
  EXPECT_TRUE(HasLine(server.Requests()[1], "Content-Length: 12")) << server.Requests()[1].head;

  Visit emptyPost;
  emptyPost.options.method = 1;
  EXPECT_EQ(Bytes(emptyPost.Run(url)), "POST /form HTTP/1.1|");
  EXPECT_TRUE(HasLine(server.Requests()[2], "Content-Length: 0")) << server.Requests()[2].head;

  Visit getWithBody;
  getWithBody.options.method = 2;
  getWithBody.postBytes = {'b', '\0', 'y'};
  getWithBody.options.postText = "not used";
  EXPECT_EQ(Bytes(getWithBody.Run(url)), Text("GET /form HTTP/1.1|b\0y", 22));
}

TEST(WinInetRequest, SetCookieLinesAreMerged) {
  LoopbackHttpServer server([](const ReceivedRequest& request) {
    if (request.RequestLine() == "GET /login HTTP/1.1")
      return SimpleResponse("HTTP/1.1 200 OK", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n", "in");
    return SimpleResponse("HTTP/1.1 200 OK", "Set-Cookie: a=deleted; path=/\r\n", "out");
  });
  Visit visit;
  visit.cookies = "old=7; b=1";
  visit.Run(server.Url("/login"));
  EXPECT_EQ(visit.newCookies, "a=1;b=2");
  EXPECT_EQ(visit.cookies, "a=1; b=2; old=7");
  EXPECT_TRUE(HasLine(server.Requests()[0], "Cookie: old=7; b=1")) << server.Requests()[0].head;

  visit.headers.clear();
  visit.Run(server.Url("/logout"));
  EXPECT_TRUE(HasLine(server.Requests()[1], "Cookie: a=1; b=2; old=7")) << server.Requests()[1].head;
  EXPECT_EQ(visit.newCookies, "a=deleted");
  EXPECT_EQ(visit.cookies, "b=2; old=7");
}

TEST(WinInetRequest, RedirectFollowedOrReported) {
  LoopbackHttpServer server([](const ReceivedRequest& request) {
    if (request.RequestLine() == "GET /old HTTP/1.1")
      return SimpleResponse("HTTP/1.1 302 Found", "Location: /new\r\n", "moved");
    return SimpleResponse("HTTP/1.1 200 OK", "", "arrived");
  });
  Visit stay;
  stay.options.noRedirect = true;
  EXPECT_EQ(Bytes(stay.Run(server.Url("/old"))), "moved");
  EXPECT_EQ(stay.location, "/new");
  EXPECT_EQ(LeftText(stay.rawHeaders, 18), "HTTP/1.1 302 Found");
  EXPECT_EQ(server.Requests().size(), 1u);

  Visit follow;
  EXPECT_EQ(Bytes(follow.Run(server.Url("/old"))), "arrived");
  EXPECT_EQ(server.Requests().back().RequestLine(), "GET /new HTTP/1.1");
  EXPECT_EQ(LeftText(follow.rawHeaders, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(follow.location, follow.rawHeaders);
}

TEST(WinInetRequest, HeaderBlockOver5000BytesStillGivesTheBody) {
  // Several lines: WinINet cuts a single header line at about 4 KB.
  const Text padding = "X-Pad: " + Text(2000, 'p') + "\r\n";
  LoopbackHttpServer server([&](const ReceivedRequest&) {
    return SimpleResponse("HTTP/1.1 200 OK", padding + padding + padding + "Set-Cookie: s=1; path=/\r\n", "body");
  });
  Visit visit;
  EXPECT_EQ(Bytes(visit.Run(server.Url("/"))), "body");
  EXPECT_EQ(visit.rawHeaders, Text(5000, ' '));
  EXPECT_EQ(visit.location, Text(5000, ' '));
  EXPECT_EQ(visit.newCookies, "");
}

// Bytes of every value, zeros included, in a pattern that does not repeat every 256.
Text BinaryBody(std::size_t size) {
  Text body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return body;
}

TEST(WinInetRequest, BinaryChunkedAndSlowBodies) {
  const Text binary = BinaryBody(300001);
  const Text slow = BinaryBody(5000);
  LoopbackHttpServer server([&](const ReceivedRequest& request) -> Response {
    const Text line = request.RequestLine();
    if (line == "GET /binary HTTP/1.1") return SimpleResponse("HTTP/1.1 200 OK", "", binary);
    if (line == "GET /chunked HTTP/1.1")
      return {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"},
              {"5\r\nfirst\r\n", 30},
              {"7D0\r\n" + Text(2000, 'm') + "\r\n", 30},
              {"1\r\n!\r\n0\r\n\r\n", 30}};
    // Without a length: read until the server closes, arriving in small late pieces.
    Response pieces = {{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"}};
    for (std::size_t at = 0; at < slow.size(); at += 700) pieces.push_back({slow.substr(at, 700), 40});
    return pieces;
  });
  Visit visit;
  EXPECT_EQ(Bytes(visit.Run(server.Url("/binary"))), binary);
  EXPECT_EQ(Bytes(visit.Run(server.Url("/chunked"))), "first" + Text(2000, 'm') + "!");
  EXPECT_EQ(Bytes(visit.Run(server.Url("/slow"))), slow);
}

TEST(WinInetRequest, RefusedConnectionGivesAnEmptyBodyAndBlankHeaders) {
  // WinINet connects only when the request is sent, so the request opens and
  // the send fails: the outputs become blank.
  Visit visit;
  visit.cookies = "a=1";
  visit.newCookies = "stale";
  const Text url = "http://127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()) + "/x";
  EXPECT_TRUE(visit.Run(url).empty());
  EXPECT_EQ(visit.headers, "Referer: " + url + "\r\n" + kDefaultBlock + "\r\nCookie: a=1");
  EXPECT_EQ(TrimText(ReplaceText(visit.rawHeaders, "\r\n", "")), "") << visit.rawHeaders;
  EXPECT_EQ(visit.location, visit.rawHeaders);
  EXPECT_EQ(visit.newCookies, "");
  EXPECT_EQ(visit.cookies, "a=1");
}

TEST(WinInetRequest, RequestThatCannotBeOpenedChangesNoArgument) {
  Visit visit;
  visit.cookies = "a=1 ", visit.newCookies = "n", visit.headers = "H: 1", visit.location = "l", visit.rawHeaders = "r";
  visit.options.method = 1;
  visit.options.postText = "p";
  EXPECT_TRUE(visit.Run("http:///nohost").empty());  // no host: the connection cannot be opened
  EXPECT_EQ(visit.cookies, "a=1 ");
  EXPECT_EQ(visit.newCookies, "n");
  EXPECT_EQ(visit.headers, "H: 1");
  EXPECT_EQ(visit.location, "l");
  EXPECT_EQ(visit.rawHeaders, "r");
  EXPECT_TRUE(visit.postBytes.empty());
}

TEST(WinInetRequest, ProxyModes) {
  LoopbackHttpServer proxy([](const ReceivedRequest& request) {
    return SimpleResponse("HTTP/1.1 200 OK", "", "via proxy: " + request.RequestLine());
  });
  LoopbackHttpServer origin(Hello);
  // The target port is closed: only the proxy can answer.
  const Text target = "http://127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()) + "/x?y=1";
  Visit viaProxy;
  viaProxy.options.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  EXPECT_EQ(Bytes(viaProxy.Run(target)), "via proxy: GET " + target + " HTTP/1.1");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_TRUE(ArrivedInOrder(proxy.Requests()[0], viaProxy.headers));

  // "http=" names no server: WinINet fetches directly, as a list fetch with
  // every argument supplied empty needs.
  WebRequestValues values;
  EXPECT_EQ(Bytes(VisitWebPage(origin.Url("/list"), values.AllSupplied())), "hello");
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0].RequestLine(), "GET /list HTTP/1.1");
  EXPECT_EQ(proxy.Requests().size(), 1u);
}

}  // namespace
}  // namespace vantoip
