#include "web/url_parts.h"

#include <gtest/gtest.h>

#include "web/header_text.h"

namespace vantoip {
namespace {

TEST(TextBetween, FindsTheFirstPairIgnoringCaseUnlessAsked) {
  EXPECT_EQ(TextBetween("Set-Cookie: a=1; path=/", "Set-Cookie:", ";"), " a=1");
  EXPECT_EQ(TextBetween("Set-Cookie: a=1", "Set-Cookie:", ";"), "");
  EXPECT_EQ(TextBetween("no start; here", "Set-Cookie:", ";"), "");
  EXPECT_EQ(TextBetween("SET-COOKIE: x;", "set-cookie:", ";"), " x");
  EXPECT_EQ(TextBetween("SET-COOKIE: x;", "set-cookie:", ";", std::nullopt, true), "");
  EXPECT_EQ(TextBetween("[a][b]", "[", "]", 3), "b");
  EXPECT_EQ(TextBetween("[a][b]", "[", "]", 0), "a");
  // The end marker is looked for after the start marker only.
  EXPECT_EQ(TextBetween(";x=1;", "x=", ";"), "1");
  EXPECT_EQ(TextBetween("<a>", "<a>", "<"), "");
}

TEST(TextBetween, MarkersSpellTheDoubleQuoteAsTheQuoteWord) {
  EXPECT_EQ(TextBetween("name=\"value\" rest", "=#引号", "#引号"), "value");
  EXPECT_EQ(TextBetween("say #引号hi#引号", "#", "#"), "引号hi");  // the text itself is not rewritten
}

TEST(TextBetween, StepsOverTwoByteCharacters) {
  // 0x81 0x5B is one character whose trail byte is '['; it must not count as a marker.
  EXPECT_EQ(TextBetween("\x81[x]", "[", "]"), "");
  EXPECT_EQ(TextBetween("\x81[x][y]", "[", "]"), "y");
}

TEST(HeaderValue, TakesEverythingAfterTheFirstColonTrimmed) {
  EXPECT_EQ(HeaderValue("Location: http://a:8/x "), "http://a:8/x");
  EXPECT_EQ(HeaderValue("Location:"), "");
  EXPECT_EQ(HeaderValue("no colon"), "");
  EXPECT_EQ(HeaderValue("X:\xA1\xA1v\xA1\xA1"), "v");  // full-width spaces trimmed too
}

TEST(UrlParts, SchemeAndHostCaseWithPortAndPath) {
  const std::string url = "HTTP://WwW.Example.COM:8080/A";
  EXPECT_EQ(UrlHost(url), "www.example.com");
  EXPECT_EQ(UrlHost(url, false, true), "www.example.com:8080");
  EXPECT_EQ(UrlPort(url), 8080);
  EXPECT_EQ(UrlPath(url), "/A");
}

TEST(UrlParts, UrlWithoutScheme) {
  EXPECT_EQ(UrlHost("host.cn/x"), "host.cn");
  EXPECT_EQ(UrlPort("host.cn/x"), 80);
  EXPECT_EQ(UrlPath("host.cn/x"), "/x");
  // A full address inside the query wins over the leading host.
  EXPECT_EQ(UrlHost("outer.cn/go?to=http://Inner.cn/page"), "inner.cn");
  // A query straight after the host stays part of it; the path is "/".
  EXPECT_EQ(UrlHost("host.cn?x=1"), "host.cn?x=1");
  EXPECT_EQ(UrlPath("host.cn?x=1"), "/");
}

TEST(UrlParts, PathsAndQueries) {
  EXPECT_EQ(UrlHost("http://h.cn:8080/a?b"), "h.cn");
  EXPECT_EQ(UrlPort("http://h.cn:8080/a?b"), 8080);
  EXPECT_EQ(UrlPath("http://h.cn:8080/a?b"), "/a?b");
  EXPECT_EQ(UrlPath("http://h.cn"), "/");
  EXPECT_EQ(UrlPath("http://h.cn/"), "/");
  EXPECT_EQ(UrlPath("http://H.cn/Dir/File.HTM?Q=1#F"), "/Dir/File.HTM?Q=1#F");
  EXPECT_EQ(UrlHost(""), "");
  EXPECT_EQ(UrlPath(""), "/");
}

TEST(UrlParts, LastTwoLabels) {
  EXPECT_EQ(UrlHost("http://a.b.example.com/x", true), "example.com");
  EXPECT_EQ(UrlHost("http://localhost/x", true), "localhost");
  EXPECT_EQ(UrlHost("http://a.b.example.com:81/x", true), "example.com");
  EXPECT_EQ(UrlHost("http://a.b.example.com:81/x", true, true), "example.com:81");
}

TEST(UrlParts, Ports) {
  EXPECT_EQ(UrlPort("https://secure.cn/x"), 443);
  EXPECT_EQ(UrlPort("HTTPS://secure.cn"), 443);
  EXPECT_EQ(UrlPort("https://secure.cn:/x"), 0);  // a bare ":" is the default port
  EXPECT_EQ(UrlPort("http://h.cn:abc/"), 0);
  EXPECT_EQ(UrlPort("h.cn:81"), 81);
  EXPECT_EQ(UrlHost("https://secure.cn:/x"), "secure.cn");
}

}  // namespace
}  // namespace vantoip
