#include "app/switch/connection_options_win.h"

#include <gtest/gtest.h>

namespace vantoip {
namespace {

// Through the real WinINet of the test prefix, as far as it keeps the options:
// Wine 8 keeps the flags and the server; it accepts a bypass list and a script
// address but does not give them back.
TEST(ConnectionOptions, TheLanSettingsReadBackAsWrittenAndAreGivenBack) {
  WinInetConnectionOptions options;
  const std::optional<ConnectionSettings> before = options.Read("");
  ASSERT_TRUE(before);
  const ConnectionSettings ours{"", proxy_flag::kDirect | proxy_flag::kProxy, "127.0.0.1:3128", BypassList(""), ""};
  ASSERT_TRUE(options.Write(ours));
  const std::optional<ConnectionSettings> now = options.Read("");
  ASSERT_TRUE(now);
  EXPECT_TRUE(now->flags & proxy_flag::kProxy) << now->flags;
  EXPECT_EQ(now->proxyServer, "127.0.0.1:3128");
  ASSERT_TRUE(options.Write(*before));
  const std::optional<ConnectionSettings> after = options.Read("");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->proxyServer, before->proxyServer);
  EXPECT_EQ(after->flags & proxy_flag::kProxy, before->flags & proxy_flag::kProxy);
}

}  // namespace
}  // namespace vantoip
