// The list reader over any bytes (lines, CSV, HTML, JSON): every row is a
// sound address in its plain form, a line alone gives its first address, and the row-page test
// agrees with a plain search.
// Input: the response body.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "app/list/json_proxy_list.h"
#include "app/notepad_text.h"
#include "app/list/plain_proxy_list.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const std::vector<ProxyAddress> rows = ReadPlainProxyList(body);
  // Every row stands for an entry of its own, of five bytes at least ("a.bc:1" less one).
  FUZZ_CHECK(rows.size() * 5 <= body.size() + 1);
  for (const ProxyAddress& row : rows) {
    // Every row is a sound address in its plain form, whatever the list wrote.
    FUZZ_CHECK(ProxyHost(row.host) == row.host);
    FUZZ_CHECK(ProxyPort(row.port) == row.port);
    FUZZ_CHECK(row.host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
               std::string::npos);
    FUZZ_CHECK(row.protocolStated || row.protocol == ProxyProtocol::kHttp);
  }
  // One line alone gives at most its first address, the same as in the whole
  // (a JSON document's keys may say more of it).
  const std::string_view firstLine = body.substr(0, body.find('\n'));
  if (!firstLine.empty() && firstLine.find('<') == std::string_view::npos && body.find('<') == std::string_view::npos &&
      firstLine.find(',') == std::string_view::npos && !LooksLikeJson(WithoutUtf8Bom(body))) {
    const std::optional<ProxyAddress> first = FirstAddressIn(firstLine);
    const std::vector<ProxyAddress> alone = ReadPlainProxyList(firstLine);
    FUZZ_CHECK(alone.size() <= 1);
    const std::size_t text = firstLine.find_first_not_of(" \t\r");
    if (first && text != std::string_view::npos && firstLine[text] != '#' && !firstLine.starts_with("\xEF\xBB\xBF"))
      FUZZ_CHECK(alone.size() == 1 && alone[0] == *first);
  }

  std::string lower(body);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  FUZZ_CHECK(MayBeRowPage(body) == (lower.find("<td") != std::string::npos));
  return 0;
}
