// 1,000 tunnels through the relay at once. This process is the program's
// side: the relay on its thread and a window on the main one, as in the
// program; a second process of this benchmark (`--tunnels`) holds the
// clients and an echoing CONNECT proxy as the relay's upstream, so that what
// this process gains is the relay's own. Each tunnel is opened and carries an
// echo, then all stay open while the memory is read, then each carries one
// more. Prints the tunnels carried (all), the memory above the idle relay
// (at most 64 MiB) and the window's slowest answer meanwhile (at most 50 ms).
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "relay/relay_engine_win.h"
#include "tools/bench_process_win.h"
#include "tools/bench_report.h"
#include "tools/bench_sockets_win.h"
#include "tools/window_probe_win.h"

namespace {

using vantoip::Socket;

constexpr int kTunnels = 1000;
constexpr char kPing[] = "ping";

// The upstream: answers each CONNECT with 200, then echoes. One thread for
// every connection, by polling.
void EchoProxy(Socket listener) {
  struct Peer {
    Socket socket;
    std::string head;
    bool open = false;
  };
  std::vector<Peer> peers;
  std::vector<WSAPOLLFD> polled;
  for (;;) {
    polled.assign(1, {listener.Get(), POLLRDNORM, 0});
    for (const Peer& p : peers) polled.push_back({p.socket.Get(), POLLRDNORM, 0});
    if (WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), -1) <= 0) return;
    for (std::size_t i = polled.size(); i-- > 1;) {
      if (!polled[i].revents) continue;
      Peer& p = peers[i - 1];
      char buffer[4096];
      const int n = recv(p.socket.Get(), buffer, sizeof buffer, 0);
      if (n <= 0) {
        peers.erase(peers.begin() + static_cast<std::ptrdiff_t>(i - 1));
      } else if (p.open) {
        send(p.socket.Get(), buffer, n, 0);
      } else if ((p.head += std::string(buffer, n)).find("\r\n\r\n") != std::string::npos) {
        p.open = bench::SendAll(p.socket.Get(), "HTTP/1.1 200 Connection established\r\n\r\n");
      }
    }
    if (polled[0].revents) peers.push_back({Socket(accept(listener.Get(), nullptr, nullptr))});
  }
}

bool Echoes(const Socket& s) {
  char back[sizeof kPing - 1];
  return s && bench::SendAll(s.Get(), kPing) && recv(s.Get(), back, sizeof back, MSG_WAITALL) == sizeof back &&
         std::memcmp(back, kPing, sizeof back) == 0;
}

// The second process: the tunnels through the relay at `relayPort` to the
// echoing upstream it serves at `upstreamPort`. Says "open N" when they are
// open, waits for a line, says "done N" after the second echo.
int Tunnels(int relayPort, int upstreamPort) {
  Socket listener = bench::Listener(upstreamPort);
  if (!listener) return 1;
  std::thread(EchoProxy, std::move(listener)).detach();
  std::vector<Socket> tunnels;
  int carried = 0;
  for (int i = 0; i < kTunnels; ++i) {
    tunnels.push_back(bench::Tunnel(relayPort, 9));
    carried += Echoes(tunnels.back());
  }
  std::cout << "open " << carried << std::endl;
  std::string line;
  std::getline(std::cin, line);
  carried = 0;
  for (const Socket& s : tunnels) carried += Echoes(s);
  std::cout << "done " << carried << std::endl;
  ExitProcess(0);  // the upstream's thread waits in its poll
}

// The second process with pipes for its words and for the line it waits for.
struct Child {
  PROCESS_INFORMATION process{};
  HANDLE words = nullptr, line = nullptr;

  bool Start(int relayPort, int upstreamPort) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childOut = nullptr, childIn = nullptr;
    if (!CreatePipe(&words, &childOut, &inherit, 0) || !CreatePipe(&childIn, &line, &inherit, 0)) return false;
    SetHandleInformation(words, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(line, HANDLE_FLAG_INHERIT, 0);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --tunnels " + std::to_wstring(relayPort) + L" " + std::to_wstring(upstreamPort);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(childOut);
    CloseHandle(childIn);
    return started;
  }
  // The number after `word` in the child's next line; -1 when none came.
  int Said(const char* word) {
    std::string text;
    char c;
    DWORD read = 0;
    while (ReadFile(words, &c, 1, &read, nullptr) && read == 1 && c != '\n') text += c;
    return text.rfind(word, 0) == 0 ? std::atoi(text.c_str() + std::strlen(word)) : -1;
  }
  void Go() {
    DWORD written = 0;
    WriteFile(line, "\n", 1, &written, nullptr);
  }
  ~Child() {
    if (process.hProcess) {
      WaitForSingleObject(process.hProcess, 10000);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
    if (words) CloseHandle(words);
    if (line) CloseHandle(line);
  }
};

}  // namespace

int main(int argc, char** argv) {
  vantoip::StartWinsock();
  if (argc == 4 && std::string(argv[1]) == "--tunnels") return Tunnels(std::atoi(argv[2]), std::atoi(argv[3]));

  int upstreamPort = 0;
  bench::Listener(upstreamPort);  // a free port for the second process's upstream, free again at once
  vantoip::UpstreamPool pool;
  vantoip::RelayEngine relay(pool);
  if (!relay.Start()) return 1;
  pool.Set({{"127.0.0.1", upstreamPort}});
  const HWND window = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                      nullptr, nullptr, nullptr);
  const double idle = PrivateMegabytes();

  Child child;
  if (!window || !child.Start(relay.Port(), upstreamPort)) return 1;
  WindowProbe probe(window);
  std::atomic<int> opened{-1}, done{-1}, connections{0};
  std::atomic<double> grown{0};
  std::atomic<bool> finished{false};
  std::thread talk([&] {
    opened = child.Said("open ");
    connections = relay.Counters().connections;
    grown = PrivateMegabytes() - idle;
    child.Go();
    done = child.Said("done ");
    finished = true;
  });
  probe.PumpUntil([&] { return finished.load(); }, 300);
  probe.Stop();
  talk.join();

  Report("relay, 1,000 tunnels at once: carried, opening", opened, "", "1000");
  Report("relay, 1,000 tunnels at once: carried, all open", done, "", "1000");
  Report("relay, 1,000 tunnels at once: client connections", connections, "");
  Report("relay, 1,000 tunnels at once: memory above the idle relay", grown, "MiB", "<= 64");
  Report("relay, 1,000 tunnels at once: the window's slowest answer", probe.WorstMilliseconds(), "ms", "<= 50");
  const bool ok = opened == kTunnels && done == kTunnels && grown <= 64 && probe.WorstMilliseconds() <= 50;
  std::fflush(stdout);
  ExitProcess(ok ? 0 : 1);
}
