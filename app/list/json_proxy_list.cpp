#include "app/list/json_proxy_list.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "runtime/text.h"

namespace vantoip {
namespace {

using Json = nlohmann::json;

// What an object's key says its value is.
enum class Field { kOther, kHost, kPort, kProtocol, kCountry, kUser, kPassword };

Field FieldOf(std::string_view key) {
  static constexpr std::pair<std::string_view, Field> kFields[] = {
      {"ip", Field::kHost},           {"host", Field::kHost},         {"address", Field::kHost},
      {"ip_address", Field::kHost},   {"ipaddress", Field::kHost},    {"server", Field::kHost},
      {"proxy", Field::kHost},        {"addr", Field::kHost},         {"port", Field::kPort},
      {"protocol", Field::kProtocol}, {"protocols", Field::kProtocol}, {"type", Field::kProtocol},
      {"types", Field::kProtocol},    {"proxy_type", Field::kProtocol}, {"scheme", Field::kProtocol},
      {"country", Field::kCountry},   {"country_code", Field::kCountry}, {"countrycode", Field::kCountry},
      {"country_name", Field::kCountry}, {"username", Field::kUser},  {"user", Field::kUser},
      {"login", Field::kUser},        {"password", Field::kPassword}, {"pass", Field::kPassword},
  };
  for (const auto& [name, field] : kFields)
    if (key == name) return field;
  return Field::kOther;
}

// The length of the UTF-8 character that starts `text`; 0 when it is not one.
std::size_t Utf8Length(std::string_view text) {
  const unsigned char c = static_cast<unsigned char>(text[0]);
  const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4           ? 4
                                                                 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  return length;
}

// The text with every byte that is not part of a UTF-8 character as "?"
// (the parser refuses such a document from that byte on); none when it is
// UTF-8 already, so that no copy is made.
std::optional<std::string> AsUtf8(std::string_view text) {
  std::optional<std::string> fixed;
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {  // ASCII, by far the most of a list
      if (fixed) fixed->push_back(text[i]);
      ++i;
      continue;
    }
    const std::size_t length = Utf8Length(text.substr(i));
    if (length == 0 && !fixed) fixed.emplace(text.substr(0, i));
    if (fixed) fixed->append(length ? text.substr(i, length) : std::string_view("?"));
    i += length ? length : 1;
  }
  return fixed;
}

// Follows the document's values: entry texts in arrays, entry objects'
// fields, and the protocol a key names for what it holds.
class ProxySax final : public nlohmann::json_sax<Json> {
 public:
  ProxySax(std::vector<ProxyAddress>& rows, std::size_t max, std::optional<ProxyProtocol> sourceProtocol)
      : rows_(rows), max_(max), sourceProtocol_(sourceProtocol) {}

  bool null() override { return Going(); }
  bool boolean(bool) override { return Going(); }
  bool number_integer(number_integer_t value) override { return Number(std::to_string(value)); }
  bool number_unsigned(number_unsigned_t value) override { return Number(std::to_string(value)); }
  bool number_float(number_float_t, const string_t&) override { return Going(); }
  bool binary(binary_t&) override { return Going(); }
  bool string(string_t& value) override {
    if (stack_.empty()) return Going();
    Frame& top = stack_.back();
    if (!top.object) {
      if (top.names) {  // "protocols": ["socks5", ...]: the entry's own
        Frame& entry = stack_[stack_.size() - 2];
        if (!entry.protocol) entry.protocol = ProtocolNamed(value);
      } else if (std::optional<ProxyAddress> row = FirstAddressIn(value)) {
        Emit(std::move(*row), top.context);
      }
      return Going();
    }
    switch (top.field) {
      case Field::kHost: top.host = value; break;
      case Field::kPort: top.port = value; break;
      case Field::kProtocol:
        if (!top.protocol) top.protocol = ProtocolNamed(value);
        break;
      case Field::kCountry: top.country = value; break;
      case Field::kUser: top.user = value; break;
      case Field::kPassword: top.password = value; break;
      case Field::kOther: break;
    }
    return Going();
  }
  bool start_object(std::size_t) override { return Open(true); }
  bool start_array(std::size_t) override { return Open(false); }
  bool key(string_t& value) override {
    Frame& top = stack_.back();
    top.key = ToLowerText(value);
    top.field = FieldOf(top.key);
    return Going();
  }
  bool end_object() override {
    struct Pop {
      std::vector<Frame>& stack;
      ~Pop() { stack.pop_back(); }
    } pop{stack_};
    Frame& entry = stack_.back();
    if (entry.host.empty()) return Going();
    // "ip": "1.2.3.4:80", or the host and the port apart
    std::optional<ProxyAddress> row = entry.port.empty() ? FirstAddressIn(entry.host) : AddressOf(entry.host, entry.port);
    if (!row) return Going();
    if (!row->protocolStated && entry.protocol) {
      row->protocol = *entry.protocol;
      row->protocolStated = true;
    }
    if (row->user.empty()) {
      row->user = std::move(entry.user);
      row->password = std::move(entry.password);
    }
    row->country = std::move(entry.country);
    Emit(std::move(*row), entry.context);
    return Going();
  }
  bool end_array() override {
    stack_.pop_back();
    return Going();
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;  // a cut or a fault: what came before stands
  }

 private:
  struct Frame {
    bool object = false;
    bool names = false;  // an array of protocol names, an entry's own
    std::optional<ProxyProtocol> context;  // named by a key above: for the entries within
    std::string key;                       // the object's current key, in lower case
    Field field = Field::kOther;           // what it says its value is
    std::string host, port, country, user, password;
    std::optional<ProxyProtocol> protocol;  // the entry's own
  };

  bool Going() const { return rows_.size() < max_; }

  bool Open(bool object) {
    Frame frame;
    frame.object = object;
    if (!stack_.empty()) {
      const Frame& parent = stack_.back();
      frame.context = parent.context;
      if (parent.object) {
        if (const std::optional<ProxyProtocol> named = ProtocolNamed(parent.key)) frame.context = named;
        frame.names = !object && parent.field == Field::kProtocol;
      }
    }
    stack_.push_back(std::move(frame));
    return Going();
  }

  bool Number(std::string digits) {
    if (!stack_.empty() && stack_.back().object && stack_.back().field == Field::kPort)
      stack_.back().port = std::move(digits);
    return Going();
  }

  void Emit(ProxyAddress row, std::optional<ProxyProtocol> context) {
    if (!Going()) return;
    if (!row.protocolStated) {
      if (!context) context = sourceProtocol_;
      row.protocol = context.value_or(ProxyProtocol::kHttp);
      row.protocolStated = context.has_value();
    }
    rows_.push_back(std::move(row));
  }

  std::vector<ProxyAddress>& rows_;
  const std::size_t max_;
  const std::optional<ProxyProtocol> sourceProtocol_;
  std::vector<Frame> stack_;
};

void Parse(std::string_view text, ProxySax& sax) {
  Json::sax_parse(text.begin(), text.end(), &sax, nlohmann::detail::input_format_t::json, false);
}

// One complete JSON value a line, the first of several an object: JSON Lines.
bool IsJsonLines(std::string_view body) {
  const std::size_t end = body.find('\n');
  if (end == std::string_view::npos || body.find_first_not_of(" \t\r\n", end) == std::string_view::npos) return false;
  const std::string_view first = body.substr(0, end);
  const std::size_t start = first.find_first_not_of(" \t");
  return start != std::string_view::npos && first[start] == '{' && Json::accept(first);
}

}  // namespace

bool LooksLikeJson(std::string_view body) {
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && (body[first] == '[' || body[first] == '{');
}

std::vector<ProxyAddress> ReadJsonProxyList(std::string_view body, std::size_t maxProxies,
                                            std::optional<ProxyProtocol> sourceProtocol) {
  const std::optional<std::string> fixed = AsUtf8(body);
  if (fixed) body = *fixed;
  std::vector<ProxyAddress> rows;
  ProxySax sax(rows, maxProxies, sourceProtocol);
  if (!IsJsonLines(body)) {
    Parse(body, sax);
    return rows;
  }
  for (std::size_t at = 0; at < body.size() && rows.size() < maxProxies;) {
    std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    ProxySax line(rows, maxProxies, sourceProtocol);  // each line a document of its own
    Parse(body.substr(at, end - at), line);
    at = end + 1;
  }
  return rows;
}

}  // namespace vantoip
