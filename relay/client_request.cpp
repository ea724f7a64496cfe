#include "relay/client_request.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "runtime/text.h"

namespace vantoip {
namespace {

bool IsTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsHostChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == ':';
}

// "host:port", "[v6]:port", or a host alone with `defaultPort` (0: the port is required).
bool SplitAuthority(std::string_view authority, int defaultPort, std::string& host, int& port) {
  std::string_view name = authority, digits;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    name = authority.substr(1, close - 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after.front() != ':') return false;
    if (!after.empty()) digits = after.substr(1);
    if (name.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) return false;
  } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    name = authority.substr(0, colon);
    digits = authority.substr(colon + 1);
    if (name.find(':') != std::string_view::npos) return false;  // a bare IPv6 address is ambiguous
  }
  if (name.empty() || name.size() > 255 || !std::all_of(name.begin(), name.end(), IsHostChar)) return false;
  if (digits.empty() && (defaultPort == 0 || authority.back() == ':')) return false;
  port = defaultPort;
  if (!digits.empty()) {
    if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    port = std::stoi(std::string(digits));
  }
  if (port < 1 || port > 65535) return false;
  host = name;
  return true;
}

std::string Ipv6Text(const unsigned char* bytes) {
  std::string text;
  for (int i = 0; i < 16; i += 2) {
    char group[8];
    std::snprintf(group, sizeof group, "%s%x", i ? ":" : "", bytes[i] << 8 | bytes[i + 1]);
    text += group;
  }
  return text;
}

std::string Ipv4Text(const unsigned char* bytes) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

// Whether the request's body (by its Content-Length; any Transfer-Encoding
// leaves it open) is within the `have` bytes that came with the head.
bool BodyIn(std::string_view head, std::size_t have) {
  bool whole = true;
  for (std::size_t at = head.find('\n'); at != std::string_view::npos && at + 1 < head.size(); at = head.find('\n', at + 1)) {
    std::string_view line = head.substr(at + 1, head.find('\n', at + 1) - at - 1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string name = ToLowerText(line.substr(0, colon));
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.remove_suffix(1);
    if (name == "transfer-encoding") whole = false;
    if (name == "content-length") {
      const bool number = !value.empty() && value.size() <= 18 &&
                          std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
      whole = whole && number && std::stoull(std::string(value)) <= have;
    }
  }
  return whole;
}

// SOCKS5 replies (RFC 1928 section 6), bound to 0.0.0.0:0.
std::string Socks5Reply(char code) { return std::string{0x05, code, 0x00, 0x01, 0, 0, 0, 0, 0, 0}; }
std::string Socks4Reply(bool granted) { return std::string{0x00, static_cast<char>(granted ? 0x5A : 0x5B), 0, 0, 0, 0, 0, 0}; }

}  // namespace

ClientRequestReader::State ClientRequestReader::Feed(std::string_view bytes) {
  if (state_ != State::Reading) return state_;
  in_.append(bytes);  // a read at a time: bounded by the limit below and one read's buffer
  if (in_.empty()) return state_;
  // The very first byte says the protocol (SOCKS5's greeting, once read, is gone from in_).
  if (!started_) {
    const unsigned char first = static_cast<unsigned char>(in_[0]);
    request_.protocol = first == 0x05 ? ClientProtocol::kSocks5 : first == 0x04 ? ClientProtocol::kSocks4 : ClientProtocol::kHttp;
    started_ = true;
  }
  switch (request_.protocol) {
    case ClientProtocol::kSocks5: ReadSocks5(); break;
    case ClientProtocol::kSocks4: ReadSocks4(); break;
    default: ReadHttp(); break;
  }
  if (state_ == State::Reading && in_.size() > kMaxClientHeadBytes)
    Fail(request_.protocol == ClientProtocol::kHttp ? HttpErrorAnswer(400) : TunnelReply(request_.protocol, false));
  return state_;
}

void ClientRequestReader::ReadHttp() {
  std::size_t end = in_.find("\r\n\r\n");
  std::size_t used = end == std::string::npos ? std::string::npos : end + 4;
  if (const std::size_t bare = in_.find("\n\n"); bare != std::string::npos && bare + 2 < used) used = bare + 2;
  if (used == std::string::npos || used > kMaxClientHeadBytes) return;
  const std::string_view head(in_.data(), used);
  const std::string_view line = head.substr(0, head.find('\n'));
  const std::size_t space = line.find(' '), second = line.find(' ', space + 1);
  const std::string_view method = line.substr(0, space);
  const std::string_view target = space == std::string_view::npos ? "" : line.substr(space + 1, second - space - 1);
  std::string_view version = second == std::string_view::npos ? "" : line.substr(second + 1);
  if (!version.empty() && version.back() == '\r') version.remove_suffix(1);
  const bool http1 = version == "HTTP/1.1" || version == "HTTP/1.0";
  if (method.empty() || !std::all_of(method.begin(), method.end(), IsTokenChar) || !http1) return Fail(HttpErrorAnswer(400));
  if (method == "CONNECT") {
    request_.tunnel = true;
    if (!SplitAuthority(target, 0, request_.host, request_.port)) return Fail(HttpErrorAnswer(400));
    return Ready(used);
  }
  // Only absolute http addresses: a client that takes the relay for a server, or asks for https in the open, is refused.
  constexpr std::string_view kScheme = "http://";
  if (ToLowerText(target.substr(0, kScheme.size())) != kScheme) return Fail(HttpErrorAnswer(400));
  const std::string_view rest = target.substr(kScheme.size());
  const std::string_view authority = rest.substr(0, std::min(rest.find_first_of("/?#"), rest.size()));
  if (authority.find('@') != std::string_view::npos || !SplitAuthority(authority, 80, request_.host, request_.port))
    return Fail(HttpErrorAnswer(400));
  request_.head = std::string(head);
  Ready(used);
  request_.whole = BodyIn(head, rest_.size());
}

void ClientRequestReader::ReadSocks5() {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(in_[i]); };
  if (!greeted_) {
    if (in_.size() < 2 || in_.size() < 2u + byte(1)) return;
    const std::string_view methods(in_.data() + 2, byte(1));
    if (methods.find('\0') == std::string_view::npos) return Fail(std::string{0x05, static_cast<char>(0xFF)});
    reply_ += std::string{0x05, 0x00};
    in_.erase(0, 2 + byte(1));
    greeted_ = true;
  }
  // VER CMD RSV ATYP address port
  if (in_.size() < 5) return;
  if (byte(0) != 0x05 || byte(2) != 0x00) return Fail(Socks5Reply(0x01));
  std::size_t used = 0;
  switch (byte(3)) {
    case 0x01:
      if (in_.size() < 10) return;
      request_.host = Ipv4Text(reinterpret_cast<const unsigned char*>(in_.data() + 4));
      used = 10;
      break;
    case 0x03:
      if (byte(4) == 0) return Fail(Socks5Reply(0x01));
      if (in_.size() < 7u + byte(4)) return;
      request_.host = in_.substr(5, byte(4));
      if (!std::all_of(request_.host.begin(), request_.host.end(), IsHostChar)) return Fail(Socks5Reply(0x01));
      used = 7 + byte(4);
      break;
    case 0x04:
      if (in_.size() < 22) return;
      request_.host = Ipv6Text(reinterpret_cast<const unsigned char*>(in_.data() + 4));
      used = 22;
      break;
    default: return Fail(Socks5Reply(0x08));  // address type not supported
  }
  if (byte(1) != 0x01) return Fail(Socks5Reply(0x07));  // only CONNECT
  request_.port = byte(used - 2) << 8 | byte(used - 1);
  if (request_.port == 0) return Fail(Socks5Reply(0x01));
  request_.tunnel = true;
  Ready(used);
}

void ClientRequestReader::ReadSocks4() {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(in_[i]); };
  // VN CD DSTPORT DSTIP USERID NUL [name NUL, for 0.0.0.x]
  const std::size_t idEnd = in_.size() > 8 ? in_.find('\0', 8) : std::string::npos;
  // A user id or name of more than 255 bytes is refused, whether or not its end has come.
  if (idEnd == std::string::npos || idEnd > 8 + 255) {
    if (in_.size() > 8 + 255) Fail(Socks4Reply(false));
    return;
  }
  if (byte(1) != 0x01) return Fail(Socks4Reply(false));  // only CONNECT
  std::size_t used = idEnd + 1;
  const unsigned char* address = reinterpret_cast<const unsigned char*>(in_.data() + 4);
  if (address[0] == 0 && address[1] == 0 && address[2] == 0 && address[3] != 0) {
    const std::size_t nameEnd = in_.find('\0', used);
    if (nameEnd == std::string::npos || nameEnd - used > 255) {
      if (in_.size() - used > 255) Fail(Socks4Reply(false));
      return;
    }
    request_.host = in_.substr(used, nameEnd - used);
    if (request_.host.empty() || !std::all_of(request_.host.begin(), request_.host.end(), IsHostChar))
      return Fail(Socks4Reply(false));
    used = nameEnd + 1;
  } else {
    request_.host = Ipv4Text(address);
  }
  request_.port = byte(2) << 8 | byte(3);
  if (request_.port == 0) return Fail(Socks4Reply(false));
  request_.tunnel = true;
  Ready(used);
}

void ClientRequestReader::Ready(std::size_t used) {
  rest_ = in_.substr(used);
  in_.clear();
  state_ = State::Ready;
}

void ClientRequestReader::Fail(std::string reply) {
  reply_ += std::move(reply);
  in_.clear();
  state_ = State::Failed;
}

std::string TunnelReply(ClientProtocol protocol, bool opened) {
  switch (protocol) {
    case ClientProtocol::kSocks5: return Socks5Reply(opened ? 0x00 : 0x04);
    case ClientProtocol::kSocks4: return Socks4Reply(opened);
    default: return opened ? "HTTP/1.1 200 Connection established\r\n\r\n" : HttpErrorAnswer(502);
  }
}

std::string HttpErrorAnswer(int status) {
  const char* reason = status == 400 ? "Bad Request" : status == 503 ? "Service Unavailable" : "Bad Gateway";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

}  // namespace vantoip
