// The text-list reader's speed natively: plain lists of 5,000 and 100,000
// lines as list publishers serve them (exits with 1 below 50 MB/s), and
// 200,000 entries of each format it reads (exits with 1 when one parse
// takes over 0.5 s).
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/list/plain_proxy_list.h"
#include "tools/bench_report.h"

namespace {

constexpr double kMinMegabytesPerSecond = 50;
constexpr double kMaxSecondsFor200000 = 0.5;

// The i-th address (from 1): 10.x.y.z and a port.
std::string Host(int i) {
  return "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
}
std::string Port(int i) { return std::to_string(1024 + i % 60000); }

// `lines` entries, each written by `entry`, between a head and a tail.
std::string Generated(int lines, const std::function<std::string(int)>& entry, const std::string& head = "",
                      const std::string& tail = "") {
  std::string list = head;
  for (int i = 1; i <= lines; ++i) list += entry(i);
  return list + tail;
}

// Parses `list` again and again for half a second; its speed, and false when
// it gave other than `lines` rows.
bool Measure(const std::string& figure, const std::string& list, int lines) {
  std::size_t rows = 0, bytes = 0, runs = 0;
  const auto start = std::chrono::steady_clock::now();
  double seconds = 0;
  while (seconds < 0.5) {  // long enough for the clock, whatever the list's size
    rows = vantoip::ReadPlainProxyList(list).size();
    bytes += list.size();
    ++runs;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double speed = bytes / seconds / 1e6;
  Report(figure.c_str(), speed, "MB/s", lines == 200000 ? "" : ">= 50");
  if (rows != static_cast<std::size_t>(lines)) {
    std::printf("%s: expected %d rows, read %zu\n", figure.c_str(), lines, rows);
    return false;
  }
  if (lines == 200000) {
    const double each = seconds / static_cast<double>(runs);
    Report((figure + ", one parse").c_str(), each * 1000, "ms", "<= 500");
    return each <= kMaxSecondsFor200000;
  }
  return speed >= kMinMegabytesPerSecond;
}

}  // namespace

int main() {
  bool ok = true;
  const auto measure = [&](const std::string& figure, const std::string& list, int lines) {
    ok = Measure(figure, list, lines) && ok;
  };
  // Every tenth in the http:// form with a trailing field.
  const auto plain = [](int i) {
    return i % 10 ? Host(i) + ":" + Port(i) + "\r\n" : "http://" + Host(i) + ":" + Port(i) + " elite\r\n";
  };
  measure("plain list parse, 5000 lines (native)", Generated(5000, plain), 5000);
  measure("plain list parse, 100000 lines (native)", Generated(100000, plain), 100000);
  const int n = 200000;
  measure("200000 annotated lines (native)", Generated(n, [](int i) {
            return "\xF0\x9F\x87\xBA\xF0\x9F\x87\xB8 " + Host(i) + ":" + Port(i) + ":US 120ms Comcast\n";
          }), n);
  measure("200000 scheme:// lines (native)", Generated(n, [](int i) {
            return (i % 2 ? "socks5://" : "http://user:pw@") + Host(i) + ":" + Port(i) + "\n";
          }), n);
  measure("200000 CSV rows with a header (native)", Generated(n, [](int i) {
            return Host(i) + "," + Port(i) + ",socks4,US\r\n";
          }, "ip,port,protocol,country\r\n"), n);
  measure("200000 HTML table rows (native)", Generated(n, [](int i) {
            return "<tr><td>" + Host(i) + "</td><td>" + Port(i) + "</td><td>US</td></tr>\n";
          }, "<html><body><table>\n", "</table></body></html>\n"), n);
  const auto jsonEntry = [](int i) {
    return std::string(i > 1 ? "," : "") + "{\"ip\":\"" + Host(i) + "\",\"port\":" + Port(i) +
           ",\"protocol\":\"socks5\",\"country\":\"US\",\"exit_ip\":\"9.9.9.9\"}\n";
  };
  measure("200000 JSON objects (native)", Generated(n, jsonEntry, "{\"data\":[", "]}"), n);
  measure("200000 JSON texts (native)", Generated(n, [](int i) {
            return std::string(i > 1 ? "," : "") + "\"" + Host(i) + ":" + Port(i) + "\"";
          }, "[", "]"), n);
  return ok ? 0 : 1;
}
