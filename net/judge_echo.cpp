#include "net/judge_echo.h"

#include <algorithm>
#include <cctype>

#include <nlohmann/json.hpp>

#include "runtime/convert.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsIpv4(std::string_view text) { return ParseIpv4(text).has_value(); }

bool IsIpv6(std::string_view text) {
  const auto part = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; };
  return std::count(text.begin(), text.end(), ':') >= 2 && text.size() <= 45 &&
         std::all_of(text.begin(), text.end(), part);
}

bool IsKeyChar(char c) {
  return std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_';
}

bool IsAddress(std::string_view text) { return IsIpv4(text) || IsIpv6(text); }

// The addresses a header value names: "1.2.3.4, 5.6.7.8", "for=1.2.3.4;proto=http",
// "for=\"[2001:db8::1]:4711\"", "1.2.3.4:5678".
std::vector<std::string> AddressesIn(std::string_view value) {
  std::vector<std::string> found;
  std::size_t at = 0;
  while (at <= value.size()) {
    const std::size_t end = std::min(value.find_first_of(",; ", at), value.size());
    std::string_view item = Trim(value.substr(at, end - at));
    if (const std::size_t equals = item.find('='); equals != std::string_view::npos)
      item = Trim(item.substr(equals + 1));
    if (!item.empty() && item.front() == '[') item = item.substr(1, item.find(']') - 1);  // [v6]:port
    if (const std::size_t colon = item.find(':'); colon != std::string_view::npos && IsIpv4(item.substr(0, colon)))
      item = item.substr(0, colon);  // v4:port
    if (IsAddress(item)) found.emplace_back(item);
    at = end + 1;
  }
  return found;
}

// Headers a forwarding proxy adds with the address of the client it forwards for.
constexpr const char* kForwardingHeaders[] = {"x-forwarded-for", "forwarded",        "forwarded-for",
                                              "x-forwarded",     "x-real-ip",        "client-ip",
                                              "x-client-ip",     "x-originating-ip", "x-cluster-client-ip"};
// Headers that announce a proxy without an address of the client.
constexpr const char* kProxyHeaders[] = {"via", "proxy-connection", "x-proxy-id", "x-bluecoat-via", "proxy-agent",
                                         "x-proxy-connection"};

bool IsOneOf(const std::string& name, const auto& names) {
  return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
}

// "KEY = value" lines, markup around them dropped.
std::optional<JudgeEcho> ReadAzenv(std::string_view body) {
  JudgeEcho echo;
  bool any = false;
  std::size_t at = 0;
  while (at < body.size()) {
    std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    std::string line(body.substr(at, end - at));
    at = end + 1;
    for (std::size_t open; (open = line.find('<')) != std::string::npos;) {
      const std::size_t close = line.find('>', open);
      line.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
    }
    const std::size_t equals = line.find(" = ");
    if (equals == std::string::npos) continue;
    const std::string_view key = Trim(std::string_view(line).substr(0, equals));
    const std::string_view value = Trim(std::string_view(line).substr(equals + 3));
    if (key.empty() || !std::all_of(key.begin(), key.end(), IsKeyChar)) continue;
    any = true;
    if (key == "REMOTE_ADDR") echo.clientAddress = std::string(value);
    if (key.substr(0, 5) == "HTTP_") {
      std::string name = ToLowerText(key.substr(5));
      std::replace(name.begin(), name.end(), '_', '-');
      echo.headers.emplace_back(std::move(name), std::string(value));
    }
  }
  if (!any) return std::nullopt;
  return echo;
}

// {"origin": "a, b", "headers": {"Name": "value", ...}}: the judge's client is
// the last of the origin's addresses, those before it came forwarded.
std::optional<JudgeEcho> ReadHttpbin(std::string_view body) {
  const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  if (!json.is_object() || !json.contains("origin") || !json["origin"].is_string()) return std::nullopt;
  JudgeEcho echo;
  std::vector<std::string> origin = AddressesIn(json["origin"].get<std::string>());
  if (origin.empty()) return std::nullopt;
  echo.clientAddress = origin.back();
  origin.pop_back();
  if (const auto headers = json.find("headers"); headers != json.end() && headers->is_object())
    for (const auto& [name, value] : headers->items())
      if (value.is_string()) echo.headers.emplace_back(ToLowerText(name), value.get<std::string>());
  if (!origin.empty()) {
    std::string forwarded;
    for (const std::string& a : origin) forwarded += (forwarded.empty() ? "" : ", ") + a;
    echo.headers.emplace_back("x-forwarded-for", forwarded);
  }
  return echo;
}

}  // namespace

std::optional<JudgeEcho> ReadJudgeEcho(std::string_view body, std::string_view token) {
  body = body.substr(0, kMaxEchoBytes);
  if (token.empty() || body.find(token) == std::string_view::npos) return std::nullopt;
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  const bool json = first != std::string_view::npos && body[first] == '{';
  std::optional<JudgeEcho> echo = json ? ReadHttpbin(body) : ReadAzenv(body);
  if (!echo || !IsAddress(echo->clientAddress)) return std::nullopt;
  return echo;
}

Anonymity JudgeLevel(const JudgeEcho& echo, const std::optional<std::string>& ownAddress) {
  bool announced = false, forwardedAddress = false;
  for (const auto& [name, value] : echo.headers) {
    if (name == "host") continue;  // names the judge (its address, when reached by one), not the client
    const bool forwarding = IsOneOf(name, kForwardingHeaders);
    if (!forwarding && !IsOneOf(name, kProxyHeaders)) {
      if (ownAddress && value.find(*ownAddress) != std::string::npos) {
        const std::vector<std::string> named = AddressesIn(value);
        if (std::find(named.begin(), named.end(), *ownAddress) != named.end()) return Anonymity::kTransparent;
      }
      continue;
    }
    announced = true;
    const std::vector<std::string> named = AddressesIn(value);
    if (ownAddress && std::find(named.begin(), named.end(), *ownAddress) != named.end()) return Anonymity::kTransparent;
    forwardedAddress = forwardedAddress || (forwarding && !named.empty());
  }
  if (ownAddress && echo.clientAddress == *ownAddress) return Anonymity::kTransparent;
  if (!ownAddress && forwardedAddress) return Anonymity::kTransparent;
  return announced ? Anonymity::kAnonymous : Anonymity::kElite;
}

}  // namespace vantoip
