// One proxy a list names: its address, its protocol and what else the list
// says of it; and how an address is found in the text of a list's entry.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "net/check_protocol.h"

namespace vantoip {

// "HTTP", "SOCKS4", "SOCKS5": the 协议 column's texts.
std::string_view ProtocolName(ProxyProtocol protocol);
// A protocol as lists name it, in any case: "http", "https" (an HTTP proxy
// that tunnels), "socks4", "socks4a", "socks5", "socks5h", also "socks" for 5;
// none for anything else.
std::optional<ProxyProtocol> ProtocolNamed(std::string_view name);

struct ProxyAddress {
  std::string host;  // an IPv4 address in its plain form (no padded octets), or a host name
  std::string port;  // 1 to 65535, decimal digits without leading zeros
  ProxyProtocol protocol = ProxyProtocol::kHttp;
  bool protocolStated = false;  // named by the list; else assumed, for a check to correct
  std::string user, password;   // credentials of the entry; never shown
  std::string country;          // the list's own: a two-letter code or an English name
  bool operator==(const ProxyAddress&) const = default;
};

// Which proxy a row is: its host (in any case), port and protocol. Two rows
// of one identity are the same proxy; the same host:port under two protocols
// is two.
std::string ProxyIdentity(std::string_view host, std::string_view port, ProxyProtocol protocol);

// The credentials as a cell's text: "user:password", each part
// percent-encoded as a URL's user information is; empty when there are none.
std::string CredentialsCell(std::string_view user, std::string_view password);
// The user and the password of such a cell's text.
std::pair<std::string, std::string> CredentialsOfCell(std::string_view cell);

// The host as a proxy's: an IPv4 address (octets 0-255, zero-padded ones read
// as the numbers they write) in its plain form, or a name of at least two
// dot-separated labels whose last is not all digits; none for anything else.
std::optional<std::string> ProxyHost(std::string_view text);
// The port's digits without leading zeros; none unless 1 to 65535.
std::optional<std::string> ProxyPort(std::string_view text);

// A host and a port given apart (a table's cells, CSV or JSON fields), when both are sound.
std::optional<ProxyAddress> AddressOf(std::string_view host, std::string_view port);

// The first address of an entry's text: "host:port" anywhere in it, not glued
// to other letters, digits or addresses, any annotation around it ignored
// ("🇺🇸 1.2.3.4:80 120ms", "1.2.3.4:80:US", "1.2.3.4:80|US|Ohio"); or
// "scheme://[user:password@]host:port" with a proxy scheme, which states the
// protocol (the credentials percent-decoded). An entry of another scheme ("ss://", "vmess://"...) names none.
std::optional<ProxyAddress> FirstAddressIn(std::string_view text);

}  // namespace vantoip
