// The URL and cookie routines: host, port and path of any URL, values picked
// out of header lines, and cookie lists merged.
// Input: 3 option bytes, then url, 0, stored cookies, 0, received cookies.
#include <algorithm>
#include <string>

#include "runtime/text_array.h"
#include "tests/fuzz/fuzz_input.h"
#include "web/cookies.h"
#include "web/header_text.h"
#include "web/url_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const fuzz::Options options(data, size, 3);
  auto fields = fuzz::Fields(data, size, 3);
  const std::string& url = fields[0];

  static_cast<void>(UrlHost(url, options.Bit(0, 0), options.Bit(0, 1)));
  static_cast<void>(UrlPort(url));
  const std::string path = UrlPath(url);
  FUZZ_CHECK(!path.empty() && path.front() == '/');

  // The text pieces as markers of each other, as the web request uses them on header lines.
  const std::optional<int> start = options.Bit(0, 2) ? std::optional(options.Integer(1)) : std::nullopt;
  const std::optional<bool> caseSensitive = options.Bit(0, 3) ? std::optional(options.Bit(0, 4)) : std::nullopt;
  const std::string between = TextBetween(url, fields[1], fields[2], start, caseSensitive);
  FUZZ_CHECK(between.size() <= url.size());
  const std::string value = HeaderValue(url);
  FUZZ_CHECK(value.size() < url.size() || value.empty());

  const std::string name = CookieName(fields[1]);
  FUZZ_CHECK(name.size() <= fields[1].size());
  const TextArray items = SplitText(fields[2], ";");
  if (options.Bit(2, 0) && !items.Empty()) FUZZ_CHECK(HasCookieNamed(items, CookieName(items[1])));

  std::string stored = fields[1], received = fields[2];
  const std::string merged = MergeCookies(stored, received);
  FUZZ_CHECK(merged == stored);
  // Nothing is made up: at most every item of both lists, each with "; " after it.
  const auto separators = std::count(fields[1].begin(), fields[1].end(), ';') +
                          std::count(fields[2].begin(), fields[2].end(), ';');
  FUZZ_CHECK(merged.size() <= fields[1].size() + fields[2].size() + 2 * (separators + 2));
  return 0;
}
