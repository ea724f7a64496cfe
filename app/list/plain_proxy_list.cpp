#include "app/list/plain_proxy_list.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "app/list/json_proxy_list.h"
#include "app/notepad_text.h"
#include "web/visit_web_page.h"

namespace vantoip {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

// A heading or header field that is one of `names` (lower case), in any case.
bool IsOneOf(std::string_view text, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (text.size() == std::strlen(name) && StartsWithNoCase(text, name)) return true;
  return false;
}

// The rows read so far, up to their limit.
class Rows {
 public:
  // `expected`: about how many rows there will be, so that they are not moved as they grow.
  // Entries that state no protocol are of the source's (`sourceProtocol`), else HTTP, assumed.
  Rows(std::size_t max, std::optional<ProxyProtocol> sourceProtocol, std::size_t expected)
      : max_(max), sourceProtocol_(sourceProtocol) {
    rows_.reserve(std::min(max, expected));
  }
  bool Full() const { return rows_.size() >= max_; }
  bool Add(std::optional<ProxyAddress> row) {
    if (!row || Full()) return false;
    if (!row->protocolStated) {
      row->protocol = sourceProtocol_.value_or(ProxyProtocol::kHttp);
      row->protocolStated = sourceProtocol_.has_value();
    }
    rows_.push_back(std::move(*row));
    return true;
  }
  std::vector<ProxyAddress> Take() { return std::move(rows_); }

 private:
  std::vector<ProxyAddress> rows_;
  const std::size_t max_;
  const std::optional<ProxyProtocol> sourceProtocol_;
};

// A line's comma-separated fields, blanks and quotes around each removed.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0; at <= line.size();) {
    std::size_t end = line.find(',', at);
    if (end == std::string_view::npos) end = line.size();
    std::string_view field = Trimmed(line.substr(at, end - at));
    if (field.size() >= 2 && (field.front() == '"' || field.front() == '\'') && field.back() == field.front())
      field = Trimmed(field.substr(1, field.size() - 2));
    fields.push_back(field);
    at = end + 1;
  }
  return fields;
}

// The columns a CSV header names; none when the line is no such header.
struct CsvColumns {
  int host = -1, port = -1, protocol = -1, country = -1;
};
std::optional<CsvColumns> CsvHeader(std::string_view line) {
  CsvColumns columns;
  const std::vector<std::string_view> fields = Fields(line);
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    if (IsOneOf(fields[i], {"ip", "host", "ip_address", "address", "proxy"})) columns.host = i;
    else if (IsOneOf(fields[i], {"port"})) columns.port = i;
    else if (IsOneOf(fields[i], {"protocol", "type", "protocols"})) columns.protocol = i;
    else if (IsOneOf(fields[i], {"country", "country_code", "countrycode"})) columns.country = i;
  }
  if (columns.host < 0) return std::nullopt;
  return columns;
}

void ReadCsvLine(std::string_view line, const CsvColumns& columns, Rows& rows) {
  const std::vector<std::string_view> fields = Fields(line);
  const auto field = [&](int i) { return i >= 0 && i < static_cast<int>(fields.size()) ? fields[i] : std::string_view(); };
  // "ip:port" in one column, or the host and the port apart
  std::optional<ProxyAddress> row =
      columns.port >= 0 ? AddressOf(field(columns.host), field(columns.port)) : FirstAddressIn(field(columns.host));
  if (!row) return;
  if (const std::optional<ProxyProtocol> protocol = ProtocolNamed(field(columns.protocol)); protocol && !row->protocolStated) {
    row->protocol = *protocol;
    row->protocolStated = true;
  }
  row->country = std::string(field(columns.country));
  rows.Add(std::move(row));
}

void ReadLines(std::string_view body, Rows& rows) {
  std::optional<CsvColumns> csv;
  bool first = true;
  while (!body.empty() && !rows.Full()) {
    const void* found = std::memchr(body.data(), '\n', body.size());
    const std::size_t length =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) - body.data()) : body.size();
    const std::string_view line = Trimmed(body.substr(0, length));
    body.remove_prefix(found ? length + 1 : length);
    if (line.empty() || line.front() == '#') continue;
    if (first && (csv = CsvHeader(line))) {
      first = false;
      continue;
    }
    first = false;
    if (csv) {
      ReadCsvLine(line, *csv, rows);
    } else if (!rows.Add(FirstAddressIn(line))) {
      const std::vector<std::string_view> fields = Fields(line);
      if (fields.size() >= 2) rows.Add(AddressOf(fields[0], fields[1]));
    }
  }
}

// Walks an HTML or XML page: its text between tags and line ends, outside
// comments, scripts and styles, each run by itself; and the cells of a
// table row, when none of them names an address, as a host and a port.
class HtmlReader {
 public:
  explicit HtmlReader(Rows& rows) : rows_(rows) {}

  void Read(std::string_view page) {
    std::size_t textStart = 0;
    for (std::size_t i = 0; i < page.size() && !rows_.Full(); ++i) {
      const std::string_view rest = page.substr(i);
      switch (state_) {
        case State::Text:
          if (page[i] == '\n') {
            Text(page.substr(textStart, i - textStart));
            textStart = i + 1;
          } else if (page[i] == '<') {
            Text(page.substr(textStart, i - textStart));
            OpenTag(rest);
            if (state_ == State::Comment) i += 3;
          }
          break;
        case State::Tag:
          if (page[i] == '>') {
            state_ = rawEnd_.empty() ? State::Text : State::RawText;
            textStart = i + 1;
          }
          break;
        case State::Comment:
          if (StartsWithNoCase(rest, "-->")) {
            state_ = State::Text;
            i += 2;
            textStart = i + 1;
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
    if (state_ == State::Text) Text(page.substr(textStart));
    RowEnd();
  }

 private:
  enum class State { Text, Tag, Comment, RawText };

  void OpenTag(std::string_view tag) {
    if (StartsWithNoCase(tag, "<!--")) {
      state_ = State::Comment;
      return;
    }
    state_ = State::Tag;
    rawEnd_ = IsTag(tag, "script") ? "</script" : IsTag(tag, "style") ? "</style" : "";
    // A row ends where the next begins, or the table does.
    if (IsTag(tag, "tr") || IsTag(tag, "/tr") || IsTag(tag, "/table")) RowEnd();
    if (IsTag(tag, "tr")) inRow_ = true;
    if (IsTag(tag, "table")) columns_ = {};
    if (inRow_ && (IsTag(tag, "td") || IsTag(tag, "th"))) cells_.push_back({{}, IsTag(tag, "th")});
  }
  static bool IsTag(std::string_view tag, std::string_view name) {
    return tag.size() > name.size() + 1 && StartsWithNoCase(tag.substr(1), name) && !IsLetter(tag[name.size() + 1]);
  }

  void Text(std::string_view text) {
    text = Trimmed(text);
    if (text.empty()) return;
    if (cells_.empty()) {
      rows_.Add(FirstAddressIn(text));  // outside a table's cells: a run of its own
      return;
    }
    std::string& cell = cells_.back().text;
    if (!cell.empty()) cell += ' ';
    cell.append(text);
  }

  // A table row: a cell's address, else a host cell and the port cell after
  // it; of the protocol and the country its table's columns name. A row of
  // headings tells which columns those are.
  void RowEnd() {
    const bool headings = !cells_.empty() && std::all_of(cells_.begin(), cells_.end(), [](const Cell& c) { return c.heading; });
    if (headings) {
      for (std::size_t k = 0; k < cells_.size(); ++k) {
        const std::string_view text = cells_[k].text;
        if (IsOneOf(text, {"version", "protocol", "type", "proxy type", "https"})) columns_.protocol = k;
        if (IsOneOf(text, {"code", "country code", "country_code"})) columns_.countryCode = k;
        if (IsOneOf(text, {"country", "country name"})) columns_.country = k;
      }
    } else if (!cells_.empty()) {
      std::optional<ProxyAddress> row;
      for (std::size_t k = 0; k < cells_.size() && !row; ++k) row = FirstAddressIn(cells_[k].text);
      for (std::size_t k = 0; !row && k + 1 < cells_.size(); ++k) row = AddressOf(cells_[k].text, cells_[k + 1].text);
      if (row && !row->protocolStated)
        if (const std::optional<ProxyProtocol> named = TableProtocol(CellAt(columns_.protocol))) {
          row->protocol = *named;
          row->protocolStated = true;
        }
      if (row) {
        row->country = CellAt(columns_.countryCode);
        if (row->country.empty()) row->country = CellAt(columns_.country);
      }
      rows_.Add(std::move(row));
    }
    cells_.clear();
    inRow_ = false;
  }
  std::string CellAt(std::optional<std::size_t> column) const {
    return column && *column < cells_.size() ? cells_[*column].text : std::string();
  }
  // "Socks4", "Socks5", "HTTP", "HTTPS"; an "Https" column's "yes" and "no" are HTTP proxies both.
  static std::optional<ProxyProtocol> TableProtocol(std::string_view text) {
    if (text.size() == 3 && StartsWithNoCase(text, "yes")) return ProxyProtocol::kHttp;
    if (text.size() == 2 && StartsWithNoCase(text, "no")) return ProxyProtocol::kHttp;
    return ProtocolNamed(text);
  }

  struct Cell {
    std::string text;  // its runs of text, a space between
    bool heading = false;
  };
  Rows& rows_;
  State state_ = State::Text;
  std::string_view rawEnd_;  // the end tag of the script or style element being read
  bool inRow_ = false;
  std::vector<Cell> cells_;  // of the current row
  struct Columns {
    std::optional<std::size_t> protocol, countryCode, country;
  };
  Columns columns_;  // of the current table, from its headings
};

// A page whose first character (past blanks) opens a tag is HTML or XML.
bool IsMarkup(std::string_view body) {
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && body[first] == '<';
}

}  // namespace

std::vector<ProxyAddress> ReadPlainProxyList(std::string_view body, std::size_t maxProxies,
                                             std::optional<ProxyProtocol> sourceProtocol) {
  // A JSON document keeps what came before a cut by itself; one that lists
  // nothing (not JSON after all: "[1.2.3.4:80]") is read as lines.
  if (const std::string_view unmarked = WithoutUtf8Bom(body); LooksLikeJson(unmarked))
    if (std::vector<ProxyAddress> rows = ReadJsonProxyList(unmarked, maxProxies, sourceProtocol); !rows.empty()) return rows;
  if (body.size() >= kMaxBodyBytes) body = body.substr(0, body.rfind('\n') + 1);  // cut: its last line goes
  body = WithoutUtf8Bom(body);
  // A row a line at most in a text list, and the shortest entry ("1.1.1.1:1")
  // has nine characters and its line end: room for that many is made at once.
  constexpr std::size_t kShortestLine = 10;
  const std::size_t lines = IsMarkup(body) ? 0 : static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n')) + 1;
  Rows rows(maxProxies, sourceProtocol, std::min(lines, body.size() / kShortestLine + 1));
  if (IsMarkup(body)) HtmlReader(rows).Read(body);
  else ReadLines(body, rows);
  return rows.Take();
}

bool MayBeRowPage(std::string_view body) {
  for (std::size_t i = body.find('<'); i != std::string_view::npos; i = body.find('<', i + 1))
    if (i + 2 < body.size() && Lower(body[i + 1]) == 't' && Lower(body[i + 2]) == 'd') return true;
  return false;
}

}  // namespace vantoip
