#include "app/list/proxy_address.h"

#include <cstring>

#include "runtime/convert.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

constexpr std::size_t kMaxHostNameLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHostChar(char c) { return IsLetter(c) || IsDigit(c) || c == '.' || c == '-'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// What may stand right before a host or right after a port: blanks, the
// punctuation lists put between fields, and any byte of a non-ASCII character
// (a flag, a country's name). Anything else glues the address to a word.
bool Separates(char c) {
  return IsBlank(c) || static_cast<unsigned char>(c) >= 0x80 || (c != '\0' && std::strchr(",;|\"'()[]{}<>=:#&", c));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Dot-separated labels of letters, digits and inner hyphens, at least two of
// them: a one-word "host" is a setting of a script or config file
// ("timeout:5000", "localhost:8080"), never a public proxy. No top-level
// domain is numeric: a name of digits and dots is an IPv4 address or nothing,
// and one whose last label is digits is an address with a stray word before it.
bool IsHostName(std::string_view host) {
  if (host.empty() || host.size() > kMaxHostNameLength) return false;
  std::size_t labelStart = 0;
  bool lastHasLetter = false;
  for (std::size_t i = 0; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == '.') {
      const std::size_t length = i - labelStart;
      if (length == 0 || length > kMaxLabelLength) return false;
      if (host[labelStart] == '-' || host[i - 1] == '-') return false;
      if (i == host.size()) return labelStart > 0 && lastHasLetter;
      labelStart = i + 1;
      lastHasLetter = false;
    } else if (IsLetter(host[i]) || host[i] == '-') {
      lastHasLetter = lastHasLetter || IsLetter(host[i]);
    } else if (!IsDigit(host[i])) {
      return false;
    }
  }
  return false;
}

// The scheme that ends right before `at` ("...http://" with `at` after the
// slashes); empty when there is none or it is glued to a word before it.
std::string_view SchemeBefore(std::string_view text, std::size_t at) {
  if (at < 3 || text.substr(at - 3, 3) != "://") return {};
  std::size_t start = at - 3;
  while (start > 0 && (IsLetter(text[start - 1]) || IsDigit(text[start - 1]) || text[start - 1] == '+')) --start;
  if (start > 0 && !Separates(text[start - 1])) return {};
  return text.substr(start, at - 3 - start);
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  c = Lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) {
      plain += text[i];
      continue;
    }
    plain += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return plain;
}

std::string PercentEncoded(std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsLetter(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

}  // namespace

std::string ProxyIdentity(std::string_view host, std::string_view port, ProxyProtocol protocol) {
  return ToLowerText(host) + ":" + std::string(port) + " " + std::string(ProtocolName(protocol));
}

std::string CredentialsCell(std::string_view user, std::string_view password) {
  if (user.empty() && password.empty()) return {};
  return PercentEncoded(user) + ":" + PercentEncoded(password);
}

std::pair<std::string, std::string> CredentialsOfCell(std::string_view cell) {
  const std::size_t colon = cell.find(':');
  if (colon == std::string_view::npos) return {PercentDecoded(cell), {}};
  return {PercentDecoded(cell.substr(0, colon)), PercentDecoded(cell.substr(colon + 1))};
}

std::string_view ProtocolName(ProxyProtocol protocol) {
  switch (protocol) {
    case ProxyProtocol::kSocks4: return "SOCKS4";
    case ProxyProtocol::kSocks5: return "SOCKS5";
    default: return "HTTP";
  }
}

std::optional<ProxyProtocol> ProtocolNamed(std::string_view name) {
  for (const char* http : {"http", "https"})
    if (EqualsNoCase(name, http)) return ProxyProtocol::kHttp;
  for (const char* socks4 : {"socks4", "socks4a"})
    if (EqualsNoCase(name, socks4)) return ProxyProtocol::kSocks4;
  for (const char* socks5 : {"socks5", "socks5h", "socks"})
    if (EqualsNoCase(name, socks5)) return ProxyProtocol::kSocks5;
  return std::nullopt;
}

std::optional<std::string> ProxyHost(std::string_view text) {
  if (const std::optional<std::uint32_t> address = ParseIpv4(text)) {
    bool padded = false;
    for (std::size_t i = 0; i + 1 < text.size() && !padded; ++i)
      padded = text[i] == '0' && (i == 0 || text[i - 1] == '.') && IsDigit(text[i + 1]);
    if (!padded) return std::string(text);
    return std::to_string(*address >> 24) + "." + std::to_string(*address >> 16 & 255) + "." +
           std::to_string(*address >> 8 & 255) + "." + std::to_string(*address & 255);
  }
  if (IsHostName(text)) return std::string(text);
  return std::nullopt;
}

std::optional<std::string> ProxyPort(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (char c : text)
    if (!IsDigit(c)) return std::nullopt;
  while (!text.empty() && text.front() == '0') text.remove_prefix(1);
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  if (value > 65535) return std::nullopt;
  return std::string(text);
}

std::optional<ProxyAddress> AddressOf(std::string_view host, std::string_view port) {
  std::optional<std::string> h = ProxyHost(host), p = ProxyPort(port);
  if (!h || !p) return std::nullopt;
  return ProxyAddress{std::move(*h), std::move(*p)};
}

std::optional<ProxyAddress> FirstAddressIn(std::string_view text) {
  for (std::size_t colon = text.find(':'); colon != std::string_view::npos; colon = text.find(':', colon + 1)) {
    std::size_t start = colon, end = colon + 1;
    while (start > 0 && IsHostChar(text[start - 1])) --start;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (start == colon || end == colon + 1 || (end < text.size() && !Separates(text[end]))) continue;
    ProxyAddress found;
    std::string_view scheme;
    if (start > 0 && text[start - 1] == '@') {
      // user:password@ after the scheme, or after a blank
      std::size_t infoStart = start - 1;
      while (infoStart > 0 && !IsBlank(text[infoStart - 1]) && text[infoStart - 1] != '/') --infoStart;
      const std::string_view userinfo = text.substr(infoStart, start - 1 - infoStart);
      const std::size_t split = userinfo.find(':');
      found.user = PercentDecoded(userinfo.substr(0, split));
      if (split != std::string_view::npos) found.password = PercentDecoded(userinfo.substr(split + 1));
      scheme = SchemeBefore(text, infoStart);
      if (scheme.empty() && infoStart > 0 && !IsBlank(text[infoStart - 1])) continue;
    } else if (start > 0 && text[start - 1] == '/') {
      scheme = SchemeBefore(text, start);
      if (scheme.empty()) continue;  // a path in a web address, not a proxy
    } else if (start > 0 && !Separates(text[start - 1])) {
      continue;  // glued to the word before it
    }
    if (!scheme.empty()) {
      const std::optional<ProxyProtocol> protocol = ProtocolNamed(scheme);
      if (!protocol) return std::nullopt;  // another kind of server ("ss://", "vmess://"...)
      found.protocol = *protocol;
      found.protocolStated = true;
    }
    const std::optional<ProxyAddress> address =
        AddressOf(text.substr(start, colon - start), text.substr(colon + 1, end - colon - 1));
    if (!address) continue;
    found.host = std::move(address->host);
    found.port = std::move(address->port);
    return found;
  }
  return std::nullopt;
}

}  // namespace vantoip
