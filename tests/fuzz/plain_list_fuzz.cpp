// The plain-list reader over any bytes: every row is a sound address taken
// from the input in line order, and the row-page test agrees with a plain search.
// Input: the response body.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "app/list/plain_proxy_list.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const std::vector<ProxyAddress> rows = ReadPlainProxyList(body);
  FUZZ_CHECK(rows.size() <= static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n')) + 1);

  std::size_t from = 0;
  for (const ProxyAddress& row : rows) {
    FUZZ_CHECK(!row.host.empty() && row.host.size() <= 253);
    FUZZ_CHECK(row.host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
               std::string::npos);
    FUZZ_CHECK(!row.port.empty() && row.port.size() <= 5 && row.port.front() != '0');
    FUZZ_CHECK(row.port.find_first_not_of("0123456789") == std::string::npos && std::stoi(row.port) <= 65535);
    const std::size_t at = body.find(row.host + ":", from);
    FUZZ_CHECK(at != std::string_view::npos);
    from = at + row.host.size();
  }

  std::string lower(body);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  FUZZ_CHECK(MayBeRowPage(body) == (lower.find("<td") != std::string::npos));
  return 0;
}
