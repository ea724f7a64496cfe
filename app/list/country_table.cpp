#include "app/list/country_table.h"

#include <cctype>

#include <algorithm>
#include <cstring>

#include "runtime/convert.h"
#include "runtime/text.h"
#include "skinlib/lzma_decoder.h"

namespace vantoip {
namespace {

constexpr std::uint8_t kNone = 255;
constexpr std::size_t kMaxUnpacked = 16u << 20;

struct Range {
  std::uint32_t first, last;
  const char* name;
};

// Special-purpose blocks (RFC 6890 and its kin): the list's own words for them.
constexpr Range kSpecial[] = {
    {0x0A000000, 0x0AFFFFFF, "局域网"},  // 10/8
    {0x64400000, 0x647FFFFF, "局域网"},  // 100.64/10, shared by carriers
    {0x7F000000, 0x7FFFFFFF, "局域网"},  // 127/8 loopback
    {0xA9FE0000, 0xA9FEFFFF, "局域网"},  // 169.254/16 link-local
    {0xAC100000, 0xAC1FFFFF, "局域网"},  // 172.16/12
    {0xC0A80000, 0xC0A8FFFF, "局域网"},  // 192.168/16
    {0x00000000, 0x00FFFFFF, "保留地址"},  // 0/8
    {0xC0000000, 0xC00000FF, "保留地址"},  // 192.0.0/24
    {0xC0000200, 0xC00002FF, "保留地址"},  // 192.0.2/24 documentation
    {0xC6120000, 0xC613FFFF, "保留地址"},  // 198.18/15 benchmarking
    {0xC6336400, 0xC63364FF, "保留地址"},  // 198.51.100/24 documentation
    {0xCB007100, 0xCB0071FF, "保留地址"},  // 203.0.113/24 documentation
    {0xE0000000, 0xFFFFFFFF, "保留地址"},  // multicast, 240/4 and broadcast
};

// Reads little-endian numbers from the table, never past its end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Take(std::size_t n, const std::uint8_t*& at) {
    if (bytes_.size() - offset_ < n) return false;
    at = bytes_.data() + offset_;
    offset_ += n;
    return true;
  }
  template <class T>
  bool Number(T& value) {
    const std::uint8_t* at = nullptr;
    if (!Take(sizeof(T), at)) return false;
    value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) value = static_cast<T>(value << 8 | at[i]);
    return true;
  }
  std::size_t Left() const { return bytes_.size() - offset_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

std::uint32_t Fnv1a(std::span<const std::uint8_t> bytes) {
  std::uint32_t h = 0x811C9DC5;
  for (std::uint8_t b : bytes) h = (h ^ b) * 0x01000193;
  return h;
}

}  // namespace

std::optional<CountryTable> CountryTable::Unpack(std::span<const std::uint8_t> packed) {
  // An .lzma "alone" stream: five property bytes, the unpacked size (all ones: unknown), the stream.
  constexpr std::size_t kHeader = 13;
  if (packed.size() < kHeader) return std::nullopt;
  const std::optional<skin::LzmaProperties> properties = skin::ReadLzmaProperties(packed.first(5));
  std::uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = size << 8 | packed[5 + i];
  if (!properties || (size != ~std::uint64_t{0} && size > kMaxUnpacked)) return std::nullopt;
  const std::optional<std::vector<std::uint8_t>> table =
      skin::DecodeLzma(*properties, packed.subspan(kHeader),
                       size == ~std::uint64_t{0} ? std::nullopt : std::optional<std::uint64_t>(size), kMaxUnpacked);
  if (!table || table->size() < 14) return std::nullopt;
  const std::span<const std::uint8_t> body(table->data(), table->size() - 4);
  Reader check(std::span<const std::uint8_t>(table->data() + body.size(), 4));
  std::uint32_t hash = 0;
  if (!check.Number(hash) || hash != Fnv1a(body) || std::memcmp(body.data(), "VCT2", 4) != 0) return std::nullopt;

  Reader in(body.subspan(4));
  std::uint32_t ranges = 0;
  std::uint16_t countries = 0;
  if (!in.Number(ranges) || !in.Number(countries) || countries >= kNone || ranges == 0) return std::nullopt;
  CountryTable result;
  for (std::uint16_t i = 0; i < countries; ++i) {
    const std::uint8_t *code = nullptr, *length = nullptr, *name = nullptr;
    if (!in.Take(2, code) || !in.Take(1, length) || !in.Take(*length, name)) return std::nullopt;
    result.names_.emplace_back(reinterpret_cast<const char*>(name), *length);
    result.codes_.emplace_back(reinterpret_cast<const char*>(code), 2);
    const std::uint8_t* aliases = nullptr;
    if (!in.Take(1, aliases)) return std::nullopt;
    for (std::uint8_t k = 0; k < *aliases; ++k) {
      const std::uint8_t* english = nullptr;
      if (!in.Take(1, length) || !in.Take(*length, english)) return std::nullopt;
      result.english_.emplace_back(ToLowerText(std::string_view(reinterpret_cast<const char*>(english), *length)), i);
    }
  }
  std::sort(result.english_.begin(), result.english_.end());
  if (in.Left() != std::size_t{ranges} * 5) return std::nullopt;
  result.starts_.resize(ranges);
  for (std::uint32_t& start : result.starts_) in.Number(start);
  const std::uint8_t* indexes = nullptr;
  in.Take(ranges, indexes);
  result.countries_.assign(indexes, indexes + ranges);
  if (result.starts_.front() != 0 || !std::is_sorted(result.starts_.begin(), result.starts_.end(), std::less_equal<>()) ||
      std::any_of(result.countries_.begin(), result.countries_.end(),
                  [&](std::uint8_t c) { return c != kNone && c >= countries; }))
    return std::nullopt;
  return result;
}

std::string_view CountryTable::CountryOf(std::uint32_t address) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), address);
  if (after == starts_.begin()) return {};
  const std::uint8_t country = countries_[static_cast<std::size_t>(after - starts_.begin()) - 1];
  return country == kNone ? std::string_view() : std::string_view(names_[country]);
}

std::string_view CountryTable::NameOf(std::string_view country) const {
  if (country.size() == 2) {
    const std::string upper = {static_cast<char>(std::toupper(static_cast<unsigned char>(country[0]))),
                               static_cast<char>(std::toupper(static_cast<unsigned char>(country[1])))};
    if (const auto it = std::find(codes_.begin(), codes_.end(), upper); it != codes_.end())
      return names_[it - codes_.begin()];
  }
  const std::string lower = ToLowerText(country);
  const auto it = std::lower_bound(english_.begin(), english_.end(), lower,
                                   [](const auto& entry, const std::string& key) { return entry.first < key; });
  return it != english_.end() && it->first == lower ? std::string_view(names_[it->second]) : std::string_view();
}

std::string LocationOf(std::string_view host, std::string_view listCountry) {
  static const std::optional<CountryTable> table = CountryTable::Unpack(CountryTableBytes());
  if (!table) return {};
  if (const std::string_view named = table->NameOf(listCountry); !named.empty()) return std::string(named);
  return table->Location(host);
}

std::string CountryTable::Location(std::string_view host) const {
  const std::optional<std::uint32_t> address = ParseIpv4(host);
  if (!address) return {};
  for (const Range& special : kSpecial)
    if (*address >= special.first && *address <= special.last) return special.name;
  return std::string(CountryOf(*address));
}

}  // namespace vantoip
