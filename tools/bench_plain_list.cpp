// The plain-list reader's speed natively, on generated lists of 5,000 and
// 100,000 lines as list publishers serve them. Exits with 1 below 50 MB/s.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/list/plain_proxy_list.h"
#include "tools/bench_report.h"

namespace {

constexpr double kMinMegabytesPerSecond = 50;

// Line i (from 1): 10.x.y.z:port, every tenth in the http:// form with a trailing field.
std::string GeneratedList(int lines) {
  std::string list;
  for (int i = 1; i <= lines; ++i) {
    const std::string address = "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                                std::to_string(i % 256) + ":" + std::to_string(1024 + i % 60000);
    list += i % 10 ? address + "\r\n" : "http://" + address + " elite\r\n";
  }
  return list;
}

bool MeasureMegabytesPerSecond(int lines) {
  const std::string list = GeneratedList(lines);
  std::size_t rows = 0, bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  double seconds = 0;
  while (seconds < 0.5) {  // long enough for the clock, whatever the list's size
    rows = vantoip::ReadPlainProxyList(list).size();
    bytes += list.size();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double speed = bytes / seconds / 1e6;
  Report(("plain list parse, " + std::to_string(lines) + " lines (native)").c_str(), speed, "MB/s", ">= 50");
  if (rows != static_cast<std::size_t>(lines)) {
    std::printf("expected %d rows, read %zu\n", lines, rows);
    return false;
  }
  return speed >= kMinMegabytesPerSecond;
}

}  // namespace

int main() {
  const bool small = MeasureMegabytesPerSecond(5000);
  const bool large = MeasureMegabytesPerSecond(100000);
  return small && large ? 0 : 1;
}
