// Proxy lists as text: JSON (json_proxy_list.h), one entry a line (plain,
// annotated, YAML, CSV with or without a header), or an HTML or XML page
// whose text or table cells name them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/list/proxy_address.h"

namespace vantoip {

// The proxies of a text list, in order, at most `maxProxies`; an entry that
// states no protocol is of its source's (`sourceProtocol`), else HTTP, assumed.
// - A body that starts as a JSON array or object is JSON, when it lists any.
// - A line gives the first address in it (FirstAddressIn); a line without one
//   gives "host,port" from its first two comma-separated fields. LF or CR LF
//   ends it; blank lines and "#" comments are skipped.
// - A first line that names its columns ("ip,port,protocol,country", with
//   "host" for "ip", "type" for "protocol", "country_code" for "country")
//   makes a CSV list: each line's fields are taken from those columns.
// - A page that starts with a tag is HTML or XML: only its text counts, never
//   a tag, a comment, a script or a style. Each run of text between tags
//   gives the first address in it; a table row whose cells name none gives a
//   cell that is a host and the next cell that is a port. Headings name the
//   protocol column ("Version", "Https") and the country's ("Code", "Country").
// A body of the request's full size was cut: its last line (or run of text)
// is skipped.
std::vector<ProxyAddress> ReadPlainProxyList(std::string_view body, std::size_t maxProxies = SIZE_MAX,
                                             std::optional<ProxyProtocol> sourceProtocol = std::nullopt);

// False when the body cannot hold a table row ("<td" in any case), so that
// the row pattern need not run over it.
bool MayBeRowPage(std::string_view body);

}  // namespace vantoip
