#include "app/switch/proxy_settings.h"

#include <algorithm>
#include <cstdio>

#include "runtime/text.h"

namespace vantoip {
namespace {

// The first version kept the registry's texts in GBK and no proxy of ours.
constexpr std::string_view kFirstVersionLine = "vantoip proxy settings 1";
constexpr std::string_view kVersionLine = "vantoip proxy settings 2";
constexpr std::string_view kEndKey = "end";

// FNV-1a, 64 bits: enough to tell a damaged file from a whole one.
std::uint64_t Hash(std::string_view text) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ull;
  return h;
}

std::string HashText(std::string_view text) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Hash(text)));
  return hex;
}

std::string Escaped(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if (c < 0x20 || c >= 0x7F || c == '%' || c == '=') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Unescaped(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '%') {
      out += value[i];
      continue;
    }
    if (i + 2 >= value.size()) return std::nullopt;
    const int high = HexDigit(value[i + 1]), low = HexDigit(value[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return out;
}

std::optional<std::uint32_t> Number(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  if (n > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(n);
}

void Line(std::string& out, std::string_view key, std::string_view value) {
  out.append(key).append("=").append(Escaped(value)).append("\n");
}

}  // namespace

std::string SnapshotText(const ProxySnapshot& snapshot) {
  const UserProxySettings& s = snapshot.user;
  std::string out(kVersionLine);
  out += '\n';
  if (!snapshot.ours.empty()) Line(out, "Ours", snapshot.ours);
  if (s.gbkRegistryTexts) Line(out, "RegistryTexts", "GBK");  // carried over from a first-version file
  if (s.proxyServer) Line(out, "ProxyServer", *s.proxyServer);
  if (s.proxyEnable) Line(out, "ProxyEnable", std::to_string(*s.proxyEnable));
  if (s.proxyOverride) Line(out, "ProxyOverride", *s.proxyOverride);
  if (s.autoConfigUrl) Line(out, "AutoConfigURL", *s.autoConfigUrl);
  for (const ConnectionSettings& c : s.connections) {
    Line(out, "connection", c.name);  // starts a connection's lines
    Line(out, "flags", std::to_string(c.flags));
    Line(out, "server", c.proxyServer);
    Line(out, "bypass", c.bypass);
    Line(out, "autoconfig", c.autoConfigUrl);
  }
  Line(out, kEndKey, HashText(out));
  return out;
}

std::optional<ProxySnapshot> ReadSnapshot(std::string_view text) {
  const std::size_t firstLine = text.find('\n');
  if (firstLine == std::string_view::npos) return std::nullopt;
  const std::string_view version = text.substr(0, firstLine);
  if (version != kVersionLine && version != kFirstVersionLine) return std::nullopt;
  ProxySnapshot snapshot;
  UserProxySettings& s = snapshot.user;
  s.gbkRegistryTexts = version == kFirstVersionLine;
  std::size_t at = firstLine + 1;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;  // cut inside a line
    const std::string_view line = text.substr(at, end - at);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, equals);
    const std::optional<std::string> value = Unescaped(line.substr(equals + 1));
    if (!value) return std::nullopt;
    if (key == kEndKey) {
      if (*value != HashText(text.substr(0, at)) || end + 1 != text.size()) return std::nullopt;
      return snapshot;
    }
    ConnectionSettings* c = s.connections.empty() ? nullptr : &s.connections.back();
    if (key == "Ours") snapshot.ours = *value;
    else if (key == "RegistryTexts" && *value == "GBK") s.gbkRegistryTexts = true;
    else if (key == "ProxyServer") s.proxyServer = *value;
    else if (key == "ProxyEnable" && Number(*value)) s.proxyEnable = Number(*value);
    else if (key == "ProxyOverride") s.proxyOverride = *value;
    else if (key == "AutoConfigURL") s.autoConfigUrl = *value;
    else if (key == "connection") s.connections.push_back({*value});
    else if (key == "flags" && c && Number(*value)) c->flags = *Number(*value);
    else if (key == "server" && c) c->proxyServer = *value;
    else if (key == "bypass" && c) c->bypass = *value;
    else if (key == "autoconfig" && c) c->autoConfigUrl = *value;
    else return std::nullopt;
    at = end + 1;
  }
  return std::nullopt;  // no end line: cut
}

std::string BypassList(std::string_view userBypass) {
  std::vector<std::string> entries = {"<local>", "127.*", "10.*"};
  for (int i = 16; i <= 31; ++i) entries.push_back("172." + std::to_string(i) + ".*");
  for (const char* e : {"192.168.*", "169.254.*", "www.msftconnecttest.com"}) entries.emplace_back(e);
  std::size_t at = 0;
  while (at <= userBypass.size()) {
    std::size_t end = userBypass.find_first_of("; \t\r\n", at);
    if (end == std::string_view::npos) end = userBypass.size();
    const std::string_view entry = userBypass.substr(at, end - at);
    const std::string lower = ToLowerText(entry);
    const bool known =
        std::any_of(entries.begin(), entries.end(), [&](const std::string& e) { return ToLowerText(e) == lower; });
    if (!entry.empty() && !known && entry.find('/') == std::string_view::npos) entries.emplace_back(entry);
    at = end + 1;
  }
  return JoinText(entries, ";");
}

}  // namespace vantoip
