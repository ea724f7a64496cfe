#include "net/check_protocol.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace vantoip {
namespace {

// Longer header or chunk-size lines are refused, as servers refuse them in requests.
constexpr std::size_t kMaxLineBytes = 8 * 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHostChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

// Bytes that may stand in a request line unescaped.
bool IsPathChar(char c) { return c > 0x20 && c < 0x7F; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

struct UrlParts {
  std::string host;
  int port = 0;
  std::string path;
};

// A plain "<scheme>://host[:port][/path]" address; false for anything else.
bool ParseUrl(std::string_view url, std::string_view scheme, int defaultPort, UrlParts& page) {
  const std::string prefix = std::string(scheme) + "://";
  if (Lower(url.substr(0, prefix.size())) != prefix) return false;
  url.remove_prefix(prefix.size());
  const std::size_t hostEnd = std::min(url.find_first_of("/?#"), url.size());
  std::string_view authority = url.substr(0, hostEnd), rest = url.substr(hostEnd);
  int port = defaultPort;
  if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    const std::string_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), IsDigit)) return false;
    port = std::stoi(std::string(digits));
    if (port < 1 || port > 65535) return false;
    authority = authority.substr(0, colon);
  }
  if (authority.empty() || !std::all_of(authority.begin(), authority.end(), IsHostChar)) return false;
  rest = rest.substr(0, rest.find('#'));
  if (!std::all_of(rest.begin(), rest.end(), IsPathChar)) return false;
  page.host = authority;
  page.port = port;
  page.path = rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest);
  return true;
}

bool ParseHttpUrl(std::string_view url, CheckPage& page) {
  UrlParts parts;
  if (!ParseUrl(url, "http", 80, parts)) return false;
  page.host = parts.host, page.port = parts.port, page.path = parts.path;
  return true;
}

bool ParseHttpsUrl(std::string_view url, HttpsPage& page) {
  UrlParts parts;
  if (!ParseUrl(url, "https", 443, parts)) return false;
  page.host = parts.host, page.port = parts.port, page.path = parts.path;
  return true;
}

std::string HostAndPort(const std::string& host, int port, int defaultPort) {
  return port == defaultPort ? host : host + ":" + std::to_string(port);
}

// A status from 100 to 599; nothing for any other text.
std::optional<int> StatusFrom(const char* text) {
  if (!text || std::strlen(text) != 3 || !std::all_of(text, text + 3, IsDigit)) return std::nullopt;
  const int status = std::atoi(text);
  if (status < 100 || status > 599) return std::nullopt;
  return status;
}

}  // namespace

bool HasTime(const CheckResult& result) {
  switch (result.outcome) {
    case CheckOutcome::Passed:
    case CheckOutcome::PassedHttpOnly:
    case CheckOutcome::HttpsFailed:
    case CheckOutcome::CertificateError: return true;
    default: return false;
  }
}

bool IsPass(const CheckResult& result) { return HasTime(result) && result.outcome != CheckOutcome::CertificateError; }

std::string CheckResultText(const CheckResult& result) {
  switch (result.outcome) {
    case CheckOutcome::NotChecked: return "";
    case CheckOutcome::Checking: return "检测中…";
    case CheckOutcome::Passed: return std::to_string(result.milliseconds) + " ms";
    case CheckOutcome::PassedHttpOnly: return std::to_string(result.milliseconds) + " ms 仅HTTP";
    case CheckOutcome::HttpsFailed: return std::to_string(result.milliseconds) + " ms HTTPS失败";
    case CheckOutcome::CertificateError: return std::to_string(result.milliseconds) + " ms 证书错误";
    case CheckOutcome::TimedOut: return "超时";
    case CheckOutcome::Refused: return "拒绝";
    case CheckOutcome::Unresolved: return "无法解析";
    case CheckOutcome::Unreachable: return "网络不可达";
    case CheckOutcome::WrongContent: return "内容错误";
    case CheckOutcome::InvalidResponse: return "无效响应";
    case CheckOutcome::AuthenticationRequired: return "需要认证";
  }
  return "";
}

std::string_view AnonymityText(Anonymity level) {
  switch (level) {
    case Anonymity::kTransparent: return "透明";
    case Anonymity::kAnonymous: return "匿名";
    case Anonymity::kElite: return "高匿";
    default: return "?";
  }
}

CheckPage CheckPageFrom(const char* url, const char* text) {
  CheckPage page;
  if (!url || !*url || !ParseHttpUrl(url, page)) ParseHttpUrl(kDefaultCheckUrl, page);
  page.expectedBody = text && *text ? text : kDefaultCheckText;
  page.https = HttpsPageFrom(nullptr, nullptr);
  page.judges = JudgesFrom(nullptr);
  return page;
}

HttpsPage HttpsPageFrom(const char* url, const char* status) {
  HttpsPage page;
  const bool named = url && *url && ParseHttpsUrl(url, page);
  if (!named) ParseHttpsUrl(kDefaultHttpsUrl, page);
  page.status = StatusFrom(status).value_or(named ? 200 : kDefaultHttpsStatus);
  return page;
}

std::vector<JudgePage> JudgesFrom(const char* url) {
  UrlParts parts;
  if (url && *url && ParseUrl(url, "http", 80, parts)) return {{parts.host, parts.port, parts.path}};
  std::vector<JudgePage> judges;
  for (const char* standard : kDefaultJudgeUrls) {
    ParseUrl(standard, "http", 80, parts);
    judges.push_back({parts.host, parts.port, parts.path});
  }
  return judges;
}

bool IsPlainUrl(std::string_view url, std::string_view scheme) {
  UrlParts parts;
  return ParseUrl(url, scheme, 0, parts);
}

std::string TargetText(const CheckJob& job) {
  return (job.protocol == ProxyProtocol::kSocks4 ? kSocksTargetPrefix : "") + job.host + ":" + std::to_string(job.port);
}

std::string ProxyGetRequest(const CheckPage& page, std::string_view authorization) {
  const std::string host = HostAndPort(page.host, page.port, 80);
  return "GET http://" + host + page.path + " HTTP/1.1\r\nHost: " + host + "\r\n" + std::string(authorization) +
         "Connection: close\r\n\r\n";
}

std::string ProxyConnectRequest(const CheckPage& page, std::string_view authorization) {
  const std::string target = page.https.host + ":" + std::to_string(page.https.port);
  return "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n" + std::string(authorization) + "\r\n";
}

std::string TunnelGetRequest(const CheckPage& page) {
  return "GET " + page.path + " HTTP/1.1\r\nHost: " + HostAndPort(page.host, page.port, 80) +
         "\r\nConnection: close\r\n\r\n";
}

std::string JudgeRequest(const JudgePage& judge, std::string_view token, bool proxyForm,
                         std::string_view authorization) {
  const std::string host = HostAndPort(judge.host, judge.port, 80);
  const std::string target = (proxyForm ? "http://" + host : "") + judge.path +
                             (judge.path.find('?') == std::string::npos ? "?" : "&") + "vantoip=" + std::string(token);
  return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nX-Vantoip-Token: " + std::string(token) + "\r\n" +
         std::string(proxyForm ? authorization : "") + "Connection: close\r\n\r\n";
}

std::string ProxyAuthorization(std::string_view user, std::string_view password) {
  if (user.empty()) return {};
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string plain = std::string(user) + ":" + std::string(password);
  std::string encoded;
  for (std::size_t i = 0; i < plain.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, plain.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = group << 8 | (k < n ? static_cast<unsigned char>(plain[i + k]) : 0);
    for (std::size_t k = 0; k < 4; ++k) encoded += k <= n ? kAlphabet[group >> (18 - 6 * k) & 63] : '=';
  }
  return "Proxy-Authorization: Basic " + encoded + "\r\n";
}

std::string HttpsGetRequest(const CheckPage& page) {
  return "GET " + page.https.path + " HTTP/1.1\r\nHost: " + HostAndPort(page.https.host, page.https.port, 443) +
         "\r\nConnection: close\r\n\r\n";
}

StatusLineReader::State StatusLineReader::Feed(char c) {
  if (state_ != State::Reading) return state_;
  // RFC 9112: "HTTP/" digit "." digit, a space, three digits, then the reason
  // after a space (or the line's end at once, which servers do send).
  constexpr std::string_view kShape = "HTTP/9.9 999";
  const std::size_t at = seen_++;
  if (at < kShape.size()) {
    const bool fits = kShape[at] == '9' ? IsDigit(c) : c == kShape[at];
    if (!fits) state_ = State::Invalid;
    else if (at >= kShape.size() - 3) status_ = status_ * 10 + (c - '0');
  } else {
    state_ = c == ' ' || c == '\r' || c == '\n' ? State::Known : State::Invalid;
  }
  return state_;
}

ResponseClassifier::ResponseClassifier(std::string expectedBody) : expected_(std::move(expectedBody)) {}

ResponseClassifier ResponseClassifier::Keeping() {
  ResponseClassifier keeping({});
  keeping.keep_ = true;
  return keeping;
}

CheckOutcome ResponseClassifier::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (outcome_ != CheckOutcome::Checking) break;
    ++seen_;
    FeedByte(c);
    if (outcome_ == CheckOutcome::Checking && seen_ == kMaxAnswerBytes) outcome_ = Unfinished();
  }
  return outcome_;
}

CheckOutcome ResponseClassifier::Close() {
  if (outcome_ != CheckOutcome::Checking) return outcome_;
  if (seen_ == 0) outcome_ = CheckOutcome::Refused;
  else if (stage_ == Stage::CloseBody) outcome_ = BodyComplete();
  else outcome_ = Unfinished();
  return outcome_;
}

CheckOutcome ResponseClassifier::Unfinished() const {
  return http_ || statusLine_.LooksLikeHttp() ? CheckOutcome::WrongContent : CheckOutcome::InvalidResponse;
}

void ResponseClassifier::FeedByte(char c) {
  switch (stage_) {
    case Stage::StatusLine:
      if (statusLine_.Current() == StatusLineReader::State::Reading) {
        const StatusLineReader::State state = statusLine_.Feed(c);
        if (state == StatusLineReader::State::Invalid) {
          outcome_ = http_ ? CheckOutcome::WrongContent : CheckOutcome::InvalidResponse;
          return;
        }
        const int status = statusLine_.Status();
        const bool interim = status >= 100 && status < 200 && status != 101;
        if (state == StatusLineReader::State::Known && status != 200 && !interim) {
          outcome_ = CheckOutcome::WrongContent;
          return;
        }
      }
      if (c == '\n') stage_ = Stage::Headers;  // the reason phrase is skipped
      return;
    case Stage::Headers:
      if (AddToLine(c)) line_.empty() ? HeadEnd() : HeaderLine();
      return;
    case Stage::LengthBody:
      BodyByte(c);
      if (outcome_ == CheckOutcome::Checking && --length_ == 0) outcome_ = CheckOutcome::Passed;
      return;
    case Stage::CloseBody:
      BodyByte(c);
      return;
    case Stage::ChunkSize:
      if (AddToLine(c)) ChunkSizeLine();
      return;
    case Stage::ChunkData:
      BodyByte(c);
      if (--length_ == 0) stage_ = Stage::ChunkDataEnd;
      return;
    case Stage::ChunkDataEnd:  // CR LF (or a bare LF) after the chunk's bytes
      if (c == '\n') stage_ = Stage::ChunkSize, line_.clear();
      else if (c != '\r' || !line_.empty()) outcome_ = CheckOutcome::WrongContent;
      else line_ = "\r";
      return;
  }
}

bool ResponseClassifier::AddToLine(char c) {
  if (c != '\n') {
    line_ += c;
    if (line_.size() > kMaxLineBytes) outcome_ = CheckOutcome::WrongContent;
    return false;
  }
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  return true;
}

void ResponseClassifier::HeaderLine() {
  const std::size_t colon = line_.find(':');
  const std::string name = Lower(Trim(std::string_view(line_).substr(0, colon)));
  const std::string_view value = colon == std::string::npos ? "" : Trim(std::string_view(line_).substr(colon + 1));
  if (name == "content-length") {
    // A second, different length (or none that is a number) leaves the body's end unknown.
    const bool number = !value.empty() && value.size() <= 18 && std::all_of(value.begin(), value.end(), IsDigit);
    const std::uint64_t length = number ? std::stoull(std::string(value)) : 0;
    if (!number || (lengthKnown_ && length != length_)) badLength_ = true;
    lengthKnown_ = true;
    length_ = length;
  } else if (name == "transfer-encoding") {
    // Chunked only when it is the last coding; then it overrides any length.
    const std::size_t comma = value.rfind(',');
    transferEncoding_ = true;
    chunked_ = Lower(Trim(comma == std::string_view::npos ? value : value.substr(comma + 1))) == "chunked";
  }
  line_.clear();
}

void ResponseClassifier::HeadEnd() {
  const int status = statusLine_.Status();
  if (status != 200) {  // an interim answer (100 Continue): the real one follows
    http_ = true;
    statusLine_ = StatusLineReader();
    stage_ = Stage::StatusLine;
    transferEncoding_ = chunked_ = lengthKnown_ = badLength_ = false;
    return;
  }
  if (transferEncoding_) {
    stage_ = chunked_ ? Stage::ChunkSize : Stage::CloseBody;
  } else if (lengthKnown_) {
    if (badLength_ || (!keep_ && length_ != expected_.size())) outcome_ = CheckOutcome::WrongContent;
    else if (length_ == 0) outcome_ = CheckOutcome::Passed;
    else stage_ = Stage::LengthBody;
  } else {
    stage_ = Stage::CloseBody;
  }
}

void ResponseClassifier::ChunkSizeLine() {
  std::string_view size = Trim(std::string_view(line_).substr(0, line_.find(';')));
  const bool hex = !size.empty() && size.size() <= 15 &&
                   std::all_of(size.begin(), size.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  if (!hex) {
    outcome_ = CheckOutcome::WrongContent;
    return;
  }
  length_ = std::stoull(std::string(size), nullptr, 16);
  line_.clear();
  if (length_ == 0) {  // the last chunk: the body is complete
    outcome_ = BodyComplete();
  } else if (!keep_ && length_ > expected_.size() - bodyMatched_) {
    outcome_ = CheckOutcome::WrongContent;
  } else {
    stage_ = Stage::ChunkData;
  }
}

CheckOutcome ResponseClassifier::BodyComplete() const {
  return keep_ || bodyMatched_ == expected_.size() ? CheckOutcome::Passed : CheckOutcome::WrongContent;
}

void ResponseClassifier::BodyByte(char c) {
  if (keep_) body_ += c;
  else if (bodyMatched_ == expected_.size() || c != expected_[bodyMatched_]) outcome_ = CheckOutcome::WrongContent;
  else ++bodyMatched_;
}

CheckOutcome ConnectClassifier::Feed(std::string_view bytes) {
  tunnel_ = {};
  for (std::size_t i = 0; i < bytes.size() && outcome_ == CheckOutcome::Checking; ++i) {
    const char c = bytes[i];
    const StatusLineReader::State state = statusLine_.Feed(c);
    const int status = statusLine_.Status();
    if (state == StatusLineReader::State::Invalid) {
      outcome_ = CheckOutcome::InvalidResponse;
    } else if (state == StatusLineReader::State::Known && (status < 200 || status > 299)) {
      outcome_ = CheckOutcome::WrongContent;
    } else if (c == '\n') {
      if (++lineEnds_ == 2 && state == StatusLineReader::State::Known) {
        outcome_ = CheckOutcome::Passed;
        tunnel_ = bytes.substr(i + 1);
      }
    } else if (c != '\r') {
      lineEnds_ = 0;
    }
    if (outcome_ == CheckOutcome::Checking && ++seen_ == kMaxAnswerBytes) outcome_ = CheckOutcome::InvalidResponse;
  }
  return outcome_;
}

CheckOutcome HttpsAnswerClassifier::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (outcome_ != CheckOutcome::Checking) break;
    const StatusLineReader::State state = statusLine_.Feed(c);
    if (state == StatusLineReader::State::Invalid) outcome_ = CheckOutcome::HttpsFailed;
    else if (state == StatusLineReader::State::Known)
      outcome_ = statusLine_.Status() == expected_ ? CheckOutcome::Passed : CheckOutcome::HttpsFailed;
  }
  return outcome_;
}

}  // namespace vantoip
