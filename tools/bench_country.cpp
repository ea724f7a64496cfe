// The country table's cost: unpacking the carried table (once, on a worker in
// the program) and looking addresses up. Built natively and for Windows:
// `tools/bench` runs both, the Windows one under Wine. Exits with 1 below 10
// million lookups a second or over 100 ms to unpack.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "app/list/country_table.h"
#include "tools/bench_report.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main() {
#ifdef _WIN32
  const char* where = "Wine";
#else
  const char* where = "native";
#endif
  double unpack = 1e9;
  std::optional<vantoip::CountryTable> table;
  for (int i = 0; i < 3; ++i) {  // the best of three
    const auto start = Clock::now();
    table = vantoip::CountryTable::Unpack(vantoip::CountryTableBytes());
    unpack = std::min(unpack, SecondsSince(start));
  }
  if (!table) return 1;
  std::uint32_t address = 12345;
  long long found = 0;
  long long lookups = 0;
  const auto start = Clock::now();
  double seconds = 0;
  while (seconds < 0.5) {
    for (int i = 0; i < 100000; ++i) {
      address = address * 1664525u + 1013904223u;  // addresses all over the range
      found += !table->CountryOf(address).empty();
    }
    lookups += 100000;
    seconds = SecondsSince(start);
  }
  char figure[96];
  std::snprintf(figure, sizeof figure, "country table, unpack (%s)", where);
  Report(figure, unpack * 1000, "ms", "<= 100");
  std::snprintf(figure, sizeof figure, "country table, lookups (%s)", where);
  Report(figure, lookups / seconds / 1e6, "M/s", ">= 10");
  std::snprintf(figure, sizeof figure, "country table, random addresses with a country (%s)", where);
  Report(figure, 100.0 * found / lookups, "%");
  return unpack <= 0.1 && lookups / seconds >= 10e6 ? 0 : 1;
}
