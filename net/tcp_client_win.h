// The TCP client control: a blocking connect; once connected, the socket
// reports incoming data and closing to the control's window, which hands the
// notifications back. Winsock stays out of this header: the window that owns
// a client never needs it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace vantoip {

class TcpClient {
 public:
  // Events of a connected socket reach `notifyWindow` as `notifyMessage`.
  TcpClient(HWND notifyWindow, UINT notifyMessage);
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  // Closes the previous connection, then connects a new socket to host:port
  // (port <= 0 means 1, above 65535 fails). Several threads may connect at once: each uses its
  // own socket and the last one to connect is kept.
  bool Connect(const std::string& host, int port);

  // Handles a notification of the kept socket: data is read and dropped, a
  // close by the peer closes it here too.
  void OnNotification(WPARAM socket, LPARAM event);

 private:
  struct Kept;  // the kept socket and its lock
  HWND notifyWindow_;
  UINT notifyMessage_;
  std::unique_ptr<Kept> kept_;
};

}  // namespace vantoip
