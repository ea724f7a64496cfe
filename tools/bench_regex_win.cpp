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
#include "tools/bench_report.h"

namespace {

using vantoip::RegexObject;

double ParseSeconds(int rows) {
  const std::string page = vantoip::test::GeneratedProxyPage(rows);
  vantoip::CallNativeCommand(vantoip::kCoInitialize, {0});
  const auto start = std::chrono::steady_clock::now();
  RegexObject regex;
  regex.Create(std::string(vantoip::ProxyRowPattern), page);
  const int n = regex.MatchCount();
  for (int i = 1; i <= n; ++i)
    for (int k = 1; k <= 5; ++k) regex.SubMatchText(i, k);
  regex.Destroy();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Report(("regex page parse, all groups, " + std::to_string(rows) + " rows").c_str(), seconds, "s");
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
  Report("regex page parse, 5,000 rows / 1,000 rows", ratio, "x", "<= 6");
  return ratio <= 6 ? 0 : 1;
}
