#include "net/socks_handshake.h"

#include <utility>

namespace vantoip {
namespace {

constexpr char kNoAuthentication = 0x00;
constexpr char kUserPassword = 0x02;
constexpr unsigned char kNoAcceptableMethod = 0xFF;
constexpr char kConnect = 0x01;

void AppendPort(std::string& out, int port) {
  out += static_cast<char>(port >> 8 & 0xFF);
  out += static_cast<char>(port & 0xFF);
}

// A text of at most 255 bytes after its length, as SOCKS5 and RFC 1929 carry them.
void AppendShort(std::string& out, std::string_view text) {
  text = text.substr(0, 255);
  out += static_cast<char>(text.size());
  out.append(text);
}

// SOCKS5 reply codes: the destination refused, or could not be reached.
CheckOutcome Socks5Failure(unsigned char reply) {
  switch (reply) {
    case 0x02:  // not allowed by the rule set
    case 0x05: return CheckOutcome::Refused;
    case 0x03:  // network unreachable
    case 0x04: return CheckOutcome::Unreachable;
    default: return CheckOutcome::InvalidResponse;
  }
}

}  // namespace

SocksHandshake::SocksHandshake(ProxyProtocol protocol, SocksTarget target, std::string user, std::string password)
    : protocol_(protocol), target_(std::move(target)), user_(std::move(user)), password_(std::move(password)) {
  if (protocol_ == ProxyProtocol::kSocks4) {
    // VN 4, CONNECT, the port, the address (0.0.0.1 for 4a: the name follows), the user id.
    output_ = {0x04, kConnect};
    AppendPort(output_, target_.port);
    const std::uint32_t address = target_.ipv4.value_or(1);
    for (int shift = 24; shift >= 0; shift -= 8) output_ += static_cast<char>(address >> shift & 0xFF);
    output_ += user_;
    output_ += '\0';
    if (!target_.ipv4) output_ += target_.host + '\0';
    stage_ = Stage::Socks4Reply;
  } else {
    const bool login = !user_.empty();
    output_ = {0x05, static_cast<char>(login ? 2 : 1), kNoAuthentication};
    if (login) output_ += kUserPassword;
    stage_ = Stage::MethodReply;
  }
  needed_ = 2;
}

void SocksHandshake::SendConnect() {
  // VER 5, CONNECT, RSV, ATYP 3: a name, then the port.
  reply_.clear();
  output_ += std::string{0x05, kConnect, 0x00, 0x03};
  AppendShort(output_, target_.host);
  AppendPort(output_, target_.port);
  stage_ = Stage::ConnectReply;
  needed_ = 4;
}

CheckOutcome SocksHandshake::Feed(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size() && outcome_ == CheckOutcome::Checking; ++i) {
    answered_ = true;
    reply_ += bytes[i];
    if (reply_.size() < needed_) continue;
    Judge();
    if (outcome_ == CheckOutcome::Passed) tunnel_.assign(bytes.substr(i + 1));
  }
  return outcome_;
}

void SocksHandshake::Judge() {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(reply_[i]); };
  const auto next = [&](Stage stage, std::size_t needed) {
    reply_.clear();
    stage_ = stage;
    needed_ = needed;
  };
  switch (stage_) {
    case Stage::Socks4Reply:
      // VN 0 (4 from some servers), then CD; DSTPORT and DSTIP close the 8 bytes.
      if (byte(0) != 0x00 && byte(0) != 0x04) outcome_ = CheckOutcome::InvalidResponse;
      else if (byte(1) >= 0x5B && byte(1) <= 0x5D) outcome_ = CheckOutcome::Refused;
      else if (byte(1) != 0x5A) outcome_ = CheckOutcome::InvalidResponse;
      else if (reply_.size() < 8) needed_ = 8;
      else outcome_ = CheckOutcome::Passed;
      return;
    case Stage::MethodReply:
      if (byte(0) != 0x05) outcome_ = CheckOutcome::InvalidResponse;
      else if (byte(1) == kNoAcceptableMethod) outcome_ = CheckOutcome::AuthenticationRequired;
      else if (byte(1) == kNoAuthentication) SendConnect();
      else if (byte(1) == kUserPassword && !user_.empty()) {
        output_ += 0x01;  // RFC 1929's version
        AppendShort(output_, user_);
        AppendShort(output_, password_);
        next(Stage::LoginReply, 2);
      } else {
        outcome_ = CheckOutcome::InvalidResponse;  // a method not offered
      }
      return;
    case Stage::LoginReply:
      // Version 1 (5 from some servers), then 0 for success.
      if (byte(0) != 0x01 && byte(0) != 0x05) outcome_ = CheckOutcome::InvalidResponse;
      else if (byte(1) != 0x00) outcome_ = CheckOutcome::AuthenticationRequired;
      else SendConnect();
      return;
    case Stage::ConnectReply: {
      if (byte(0) != 0x05) {
        outcome_ = CheckOutcome::InvalidResponse;
        return;
      }
      if (byte(1) != 0x00) {
        outcome_ = Socks5Failure(byte(1));
        return;
      }
      // The bound address: IPv4, a name of the length that follows, or IPv6; then the port.
      std::size_t total = 0;
      switch (byte(3)) {
        case 0x01: total = 4 + 4 + 2; break;
        case 0x04: total = 4 + 16 + 2; break;
        case 0x03:
          if (reply_.size() < 5) {
            needed_ = 5;
            return;
          }
          total = 5 + byte(4) + 2;
          break;
        default: outcome_ = CheckOutcome::InvalidResponse; return;
      }
      if (reply_.size() < total) needed_ = total;
      else outcome_ = CheckOutcome::Passed;
      return;
    }
  }
}

CheckOutcome SocksHandshake::Close() {
  if (outcome_ == CheckOutcome::Checking) outcome_ = answered_ ? CheckOutcome::InvalidResponse : CheckOutcome::Refused;
  return outcome_;
}

}  // namespace vantoip
