// Where an IPv4 address is: the country table the program carries (built by
// tools/update-country-table), unpacked once. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantoip {

// The packed table built into the program.
std::span<const std::uint8_t> CountryTableBytes();

class CountryTable {
 public:
  // The table from its packed bytes (an .lzma "alone" stream); none when the
  // bytes are damaged in any way: no wrong countries.
  static std::optional<CountryTable> Unpack(std::span<const std::uint8_t> packed);

  // 位置 for a host: the Chinese name of the country of an IPv4 address (GBK);
  // "局域网" for private, loopback, link-local and shared addresses, "保留地址"
  // for the other reserved ones; empty for a host name or an unknown range.
  std::string Location(std::string_view host) const;
  // The country's name of an address (host order), or empty.
  std::string_view CountryOf(std::uint32_t address) const;
  // The Chinese name (GBK) of a country a list names by its two-letter code or
  // an English name, in any case ("de", "Germany", "USA"); empty for one the table lacks.
  std::string_view NameOf(std::string_view country) const;
  std::size_t Ranges() const { return starts_.size(); }

 private:
  std::vector<std::uint32_t> starts_;  // ascending, the first 0
  std::vector<std::uint8_t> countries_;  // by range: an index of names_, or kNone
  std::vector<std::string> names_;
  std::vector<std::string> codes_;  // of names_, upper case
  std::vector<std::pair<std::string, std::size_t>> english_;  // lower-case English names and their index of names_, sorted
};

// 位置 for a host by the carried table: the country the list names for it (a
// code or an English name), else the host's (CountryTable::Location). The first call
// unpacks the table (tens of milliseconds), on whatever thread makes it.
// Empty for every host when the carried table is damaged.
std::string LocationOf(std::string_view host, std::string_view listCountry = {});

}  // namespace vantoip
