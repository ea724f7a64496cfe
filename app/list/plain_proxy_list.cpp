#include "app/list/plain_proxy_list.h"

#include <cstring>
#include <optional>

#include "web/visit_web_page.h"

namespace vantoip {
namespace {

constexpr std::size_t kMaxHostNameLength = 253;
constexpr std::size_t kMaxLabelLength = 63;
constexpr std::string_view kScheme = "http://";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

std::string_view Trimmed(std::string_view line) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!line.empty() && blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && blank(line.back())) line.remove_suffix(1);
  return line;
}

bool StartsWithScheme(std::string_view line) {
  if (line.size() < kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i)
    if (Lower(line[i]) != kScheme[i]) return false;
  return true;
}

// Four decimal parts 0-255. A part with a leading zero is refused: some
// readers take it as octal, so the address it means is not certain.
bool IsIpv4Address(std::string_view host) {
  int parts = 0;
  std::size_t i = 0;
  while (true) {
    const std::size_t start = i;
    int value = 0;
    while (i < host.size() && IsDigit(host[i]) && i - start < 3) value = value * 10 + (host[i++] - '0');
    const std::size_t digits = i - start;
    if (digits == 0 || value > 255 || (digits > 1 && host[start] == '0')) return false;
    if (++parts == 4) return i == host.size();
    if (i == host.size() || host[i] != '.') return false;
    ++i;
  }
}

// Dot-separated labels of letters, digits and inner hyphens, at least two of
// them: a one-word "host" is a setting of a script or config file
// ("timeout:5000", "localhost:8080"), never a public proxy. A name of digits
// and dots alone is an IPv4 address or nothing (no top-level domain is numeric).
bool IsValidHost(std::string_view host) {
  if (host.empty() || host.size() > kMaxHostNameLength) return false;
  bool numeric = true;
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == '.') {
      const std::size_t length = i - labelStart;
      if (length == 0 || length > kMaxLabelLength) return false;
      if (host[labelStart] == '-' || host[i - 1] == '-') return false;
      labelStart = i + 1;
    } else if (IsLetter(host[i]) || host[i] == '-') {
      numeric = false;
    } else if (!IsDigit(host[i])) {
      return false;
    }
  }
  return numeric ? IsIpv4Address(host) : host.find('.') != std::string_view::npos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

// Follows an HTML page line by line: only a line wholly in the page's text (no
// tag, comment, script or style on it or around it) may name a proxy, as in a
// list served inside <pre>. A login page's script names none.
class HtmlLines {
 public:
  bool IsText(std::string_view line) {
    bool text = state_ == State::Text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const std::string_view rest = line.substr(i);
      switch (state_) {
        case State::Text:
          if (line[i] == '>') text = false;
          if (line[i] != '<') break;
          text = false;
          if (StartsWithNoCase(rest, "<!--")) {
            state_ = State::Comment;
            i += 3;
          } else {
            rawEnd_ = StartsWithNoCase(rest, "<script") ? "</script" : StartsWithNoCase(rest, "<style") ? "</style" : "";
            state_ = State::Tag;
          }
          break;
        case State::Tag:
          if (line[i] == '>') state_ = rawEnd_.empty() ? State::Text : State::RawText;
          break;
        case State::Comment:
          if (StartsWithNoCase(rest, "-->")) {
            state_ = State::Text;
            i += 2;
          }
          break;
        case State::RawText:
          if (StartsWithNoCase(rest, rawEnd_)) {
            rawEnd_ = "";
            state_ = State::Tag;
          }
          break;
      }
    }
    return text && state_ == State::Text;
  }

 private:
  enum class State { Text, Tag, Comment, RawText };
  State state_ = State::Text;
  std::string_view rawEnd_;  // the end tag of the script or style element being read
};

// A page whose first character (past blanks) opens a tag is HTML.
bool IsHtml(std::string_view body) {
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && body[first] == '<';
}

// The port's digits without leading zeros; nothing unless 1 to 65535.
std::optional<std::string_view> PortDigits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (char c : text)
    if (!IsDigit(c)) return std::nullopt;
  while (!text.empty() && text.front() == '0') text.remove_prefix(1);
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  if (value > 65535) return std::nullopt;
  return text;
}

void ReadLine(std::string_view line, std::vector<ProxyAddress>& out) {
  line = Trimmed(line);
  if (line.empty() || line.front() == '#') return;
  if (StartsWithScheme(line)) line.remove_prefix(kScheme.size());
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view host = line.substr(0, colon);
  std::string_view rest = line.substr(colon + 1);
  rest = rest.substr(0, rest.find_first_of(" \t,"));  // further fields are not ours
  const std::optional<std::string_view> port = PortDigits(rest);
  if (!port || !IsValidHost(host)) return;
  out.push_back({std::string(host), std::string(*port)});
}

}  // namespace

std::vector<ProxyAddress> ReadPlainProxyList(std::string_view body, std::size_t maxProxies) {
  const bool cutAtLimit = body.size() >= kMaxBodyBytes;
  body = WithoutUtf8Bom(body);
  std::optional<HtmlLines> html;
  if (IsHtml(body)) html.emplace();
  std::vector<ProxyAddress> proxies;
  while (!body.empty() && proxies.size() < maxProxies) {
    const void* found = std::memchr(body.data(), '\n', body.size());
    const std::size_t length =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) - body.data()) : body.size();
    const std::string_view line = body.substr(0, length);
    if ((found || !cutAtLimit) && (!html || html->IsText(line))) ReadLine(line, proxies);
    body.remove_prefix(found ? length + 1 : length);
  }
  return proxies;
}

bool MayBeRowPage(std::string_view body) {
  for (std::size_t i = body.find('<'); i != std::string_view::npos; i = body.find('<', i + 1))
    if (i + 2 < body.size() && Lower(body[i + 1]) == 't' && Lower(body[i + 2]) == 'd') return true;
  return false;
}

std::string_view WithoutUtf8Bom(std::string_view text) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  return text;
}

}  // namespace vantoip
