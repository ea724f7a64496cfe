// The TCP client control, as the delay test uses it, against a listener on
// 127.0.0.1 port 1: a target without a port is measured there.
#include "net/tcp_client_win.h"

#include <gtest/gtest.h>

#include <climits>

#include "net/socket_win.h"

namespace vantoip {
namespace {

constexpr UINT kNotification = WM_APP;

// A listener on 127.0.0.1:`port`; empty when the port cannot be had.
Socket ListenOnLoopback(u_short port) {
  Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (!s || bind(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(s.Get(), SOMAXCONN) != 0)
    return {};
  return s;
}

class TcpClientOnPortOne : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartWinsock());
    listener_ = ListenOnLoopback(1);
    if (!listener_) GTEST_SKIP() << "127.0.0.1 port 1 cannot be bound here (it needs root and a free port)";
  }

  // Takes a connection that reached the listener within `milliseconds`.
  bool Accepted(int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_.Get(), &readable);
    timeval wait{milliseconds / 1000, milliseconds % 1000 * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    return static_cast<bool>(Socket(accept(listener_.Get(), nullptr, nullptr)));
  }

  // The client's socket events go to a window nobody reads here.
  WindowHandle window_{CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)};
  TcpClient client_{window_.Get(), kNotification};
  Socket listener_;
};

TEST_F(TcpClientOnPortOne, TakesAPortOfZeroOrBelowAsPortOne) {
  for (int port : {0, -1, INT_MIN}) {
    EXPECT_TRUE(client_.Connect("127.0.0.1", port)) << port;
    EXPECT_TRUE(Accepted(2000)) << port;
  }
}

TEST_F(TcpClientOnPortOne, FailsWithoutConnectingAbovePort65535) {
  // 65537 and 65536 * 2 + 1 would land on port 1 if they wrapped around.
  for (int port : {65536, 65537, 131073, INT_MAX}) EXPECT_FALSE(client_.Connect("127.0.0.1", port)) << port;
  EXPECT_FALSE(Accepted(500));
}

}  // namespace
}  // namespace vantoip
