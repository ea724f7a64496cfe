// The TCP client control: a blocking connect; once connected, the socket
// reports incoming data and closing to the control's window.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <mutex>
#include <string>

namespace vantoip {

class TcpClient {
 public:
  // Events of a connected socket reach `notifyWindow` as `notifyMessage`.
  TcpClient(HWND notifyWindow, UINT notifyMessage) : notifyWindow_(notifyWindow), notifyMessage_(notifyMessage) {}
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
  void CloseCurrent();
  HWND notifyWindow_;
  UINT notifyMessage_;
  std::mutex mutex_;
  SOCKET current_ = INVALID_SOCKET;
};

// Starts Winsock once for the process.
void StartSockets();

}  // namespace vantoip
