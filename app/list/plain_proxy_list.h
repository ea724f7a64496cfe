// Plain proxy lists: one host:port a line, as most list publishers serve them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantoip {

struct ProxyAddress {
  std::string host;  // IPv4 address or host name, as written
  std::string port;  // 1 to 65535, decimal digits without leading zeros
  bool operator==(const ProxyAddress&) const = default;
};

// The proxies of a plain list, in line order, at most `maxProxies`. A line is
// "host:port" or "http://host:port" (scheme in any case), with spaces or tabs
// around it and optionally more fields after a space, tab or comma; LF or
// CR LF ends it. The host is an IPv4 address or a name with at least one dot.
// Blank lines, "#" comments and every line that does not fit are skipped, and
// in an HTML page every line with markup on it or inside a tag, comment,
// script or style. A body of the request's full size whose last line has no
// line end was cut there: that line is skipped too.
std::vector<ProxyAddress> ReadPlainProxyList(std::string_view body, std::size_t maxProxies = SIZE_MAX);

// False when the body cannot hold a table row ("<td" in any case), so that
// the row pattern need not run over it.
bool MayBeRowPage(std::string_view body);

// The text after a leading UTF-8 byte order mark.
std::string_view WithoutUtf8Bom(std::string_view text);

}  // namespace vantoip
