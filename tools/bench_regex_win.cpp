// Times a whole page parse as the proxy-list worker does it: Create, MatchCount
// and all five groups of every match, on pages of 100, 1,000 and 5,000 rows.
// Exits with 1 when 5,000 rows take more than six times the 1,000-row time.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "regex/proxy_row_pattern.h"
#include "regex/regex_object_win.h"
#include "runtime/native_commands_win.h"
#include "tests/support/proxy_page.h"

namespace {

using vantoip::RegexObject;

double ParseSeconds(int rows) {
  const std::string page = vantoip::test::GeneratedProxyPage(rows);
  vantoip::CallNativeCommand(vantoip::kCoInitialize, {0});
  const auto start = std::chrono::steady_clock::now();
  RegexObject regex;
  regex.Create(std::string(vantoip::ProxyRowPattern), page);
  const int n = regex.MatchCount();
  std::size_t bytes = 0;
  for (int i = 1; i <= n; ++i)
    for (int k = 1; k <= 5; ++k) bytes += regex.SubMatchText(i, k).size();
  regex.Destroy();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%5d rows: %5d matches, %7zu group bytes, %8.3f s\n", rows, n, bytes, seconds);
  if (n != rows) {
    std::printf("expected %d matches\n", rows);
    std::exit(2);
  }
  return seconds;
}

}  // namespace

int main() {
  ParseSeconds(100);
  const double thousand = ParseSeconds(1000);
  const double fiveThousand = ParseSeconds(5000);
  const double ratio = fiveThousand / thousand;
  std::printf("5,000 rows / 1,000 rows: %.2f (limit 6)\n", ratio);
  return ratio <= 6 ? 0 : 1;
}
