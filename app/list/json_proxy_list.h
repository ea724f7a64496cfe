// Proxy lists as JSON, read with nlohmann/json's SAX parser from the page's
// UTF-8 bytes: what came before a cut or a fault is kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "app/list/proxy_address.h"

namespace vantoip {

// The proxies of a JSON list, in order, at most `maxProxies`; an entry that
// states no protocol is of its source's (`sourceProtocol`), else HTTP, assumed. The forms public lists use:
// - arrays of entry texts ("1.2.3.4:80", "socks5://1.2.3.4:1080");
// - arrays of objects with "ip" or "host" (or "address", "server", "proxy"),
//   "port" as a number or text, "protocol" or "type" (a name or an array of
//   names), "country" or "country_code", "username" and "password"; any other
//   field, an exit address among them, is not the proxy's;
// - objects keyed by a protocol name ({"socks5": [...]}), and objects that
//   wrap the array ({"data": [...]}), at any depth;
// - JSON Lines: one such value a line.
// Bytes that are not UTF-8 read as "?": a cp1252 annotation costs no row.
std::vector<ProxyAddress> ReadJsonProxyList(std::string_view body, std::size_t maxProxies = SIZE_MAX,
                                            std::optional<ProxyProtocol> sourceProtocol = std::nullopt);

// The body starts (past blanks) as a JSON array or object does.
bool LooksLikeJson(std::string_view body);

}  // namespace vantoip
