// The judge's echo in both forms a judge answers in, and the level it shows:
// the user's own address anywhere, forwarding headers with another address or
// none, no proxy sign at all; and echoes that prove nothing.
#include "net/judge_echo.h"

#include <gtest/gtest.h>

#include <string>

namespace vantoip {
namespace {

constexpr char kToken[] = "vt-5f3a9c";
const std::optional<std::string> kOwn = std::string("203.0.113.7");

std::string Azenv(const std::string& lines) {
  return "<html><body><pre>\nREMOTE_ADDR = 198.51.100.20\nREQUEST_URI = /azenv.php?t=" + std::string(kToken) +
         "\nHTTP_HOST = judge.example\n" + lines + "</pre></body></html>\n";
}

Anonymity Level(const std::string& body, const std::optional<std::string>& own = kOwn) {
  const std::optional<JudgeEcho> echo = ReadJudgeEcho(body, kToken);
  return echo ? JudgeLevel(*echo, own) : Anonymity::kUnknown;
}

TEST(JudgeEcho, AzenvLinesGiveTheClientAddressAndTheHeaders) {
  const std::optional<JudgeEcho> echo = ReadJudgeEcho(Azenv("HTTP_X_FORWARDED_FOR = 203.0.113.7\n"), kToken);
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->clientAddress, "198.51.100.20");
  ASSERT_EQ(echo->headers.size(), 2u);
  EXPECT_EQ(echo->headers[1], (std::pair<std::string, std::string>{"x-forwarded-for", "203.0.113.7"}));

  EXPECT_EQ(Level(Azenv("")), Anonymity::kElite);
  EXPECT_EQ(Level(Azenv("HTTP_X_FORWARDED_FOR = 10.0.0.1, 203.0.113.7\n")), Anonymity::kTransparent);
  EXPECT_EQ(Level(Azenv("HTTP_FORWARDED = for=\"203.0.113.7:4711\";proto=http\n")), Anonymity::kTransparent);
  EXPECT_EQ(Level(Azenv("HTTP_X_SOMETHING = 203.0.113.7\n")), Anonymity::kTransparent);  // any header
  EXPECT_EQ(Level(Azenv("HTTP_HOST = 203.0.113.7:8080\n")), Anonymity::kElite);  // but the judge's own
  EXPECT_EQ(Level(Azenv("HTTP_X_FORWARDED_FOR = 192.0.2.55\n")), Anonymity::kAnonymous);  // another address
  EXPECT_EQ(Level(Azenv("HTTP_VIA = 1.1 squid\n")), Anonymity::kAnonymous);
  EXPECT_EQ(Level(Azenv("HTTP_PROXY_CONNECTION = keep-alive\n")), Anonymity::kAnonymous);
  // Without the user's own address a forwarded address counts as theirs.
  EXPECT_EQ(Level(Azenv("HTTP_X_REAL_IP = 192.0.2.55\n"), std::nullopt), Anonymity::kTransparent);
  EXPECT_EQ(Level(Azenv("HTTP_VIA = 1.1 squid\n"), std::nullopt), Anonymity::kAnonymous);
  EXPECT_EQ(Level(Azenv("HTTP_X_FORWARDED_FOR = unknown\n"), std::nullopt), Anonymity::kAnonymous);
  EXPECT_EQ(Level(Azenv(""), std::nullopt), Anonymity::kElite);
  // The judge saw the user's own address: nothing was hidden.
  EXPECT_EQ(Level(Azenv(""), std::string("198.51.100.20")), Anonymity::kTransparent);
}

TEST(JudgeEcho, HttpbinJsonGivesItsOriginsAndHeaders) {
  const std::string elite =
      R"({"args": {"t": "vt-5f3a9c"}, "headers": {"Host": "judge.example"}, "origin": "198.51.100.20"})";
  EXPECT_EQ(Level(elite), Anonymity::kElite);
  const std::string chain = R"({"args": {"t": "vt-5f3a9c"}, "origin": "203.0.113.7, 198.51.100.20"})";
  const std::optional<JudgeEcho> echo = ReadJudgeEcho(chain, kToken);
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->clientAddress, "198.51.100.20");
  EXPECT_EQ(Level(chain), Anonymity::kTransparent);
  EXPECT_EQ(Level(R"({"headers": {"Via": "1.1 proxy", "X-Token": "vt-5f3a9c"}, "origin": "2001:db8::5"})"),
            Anonymity::kAnonymous);
}

TEST(JudgeEcho, EchoesThatProveNothingAreUnknown) {
  EXPECT_EQ(Level("REMOTE_ADDR = 198.51.100.20\n"), Anonymity::kUnknown);  // no token: cached or made up
  EXPECT_EQ(Level(""), Anonymity::kUnknown);
  EXPECT_EQ(Level("<html>vt-5f3a9c Welcome</html>"), Anonymity::kUnknown);
  EXPECT_EQ(Level("REMOTE_ADDR = not-an-address\nQUERY = vt-5f3a9c\n"), Anonymity::kUnknown);
  EXPECT_EQ(Level(R"({"origin": "999.1.1.1", "t": "vt-5f3a9c"})"), Anonymity::kUnknown);
  EXPECT_EQ(Level(R"({"origin": ["198.51.100.20"], "t": "vt-5f3a9c")"), Anonymity::kUnknown);  // cut JSON
  // A huge echo is read as far as its first 64 KiB: a token past it proves nothing.
  EXPECT_EQ(Level("REMOTE_ADDR = 198.51.100.20\n" + std::string(kMaxEchoBytes, 'x') + kToken), Anonymity::kUnknown);
  EXPECT_EQ(AnonymityText(Anonymity::kElite), "高匿");
  EXPECT_EQ(AnonymityText(Anonymity::kUnknown), "?");
}

}  // namespace
}  // namespace vantoip
