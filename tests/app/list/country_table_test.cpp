// The carried country table: lookups at range starts, ends and gaps, the
// special blocks, what is not an IPv4 address; a damaged table is refused.
#include "app/list/country_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantoip {
namespace {

const CountryTable& Table() {
  static const std::optional<CountryTable> table = CountryTable::Unpack(CountryTableBytes());
  return *table;
}

TEST(CountryTable, AddressesGetTheirCountryAndSpecialBlocksTheirWord) {
  ASSERT_TRUE(CountryTable::Unpack(CountryTableBytes()));
  EXPECT_GT(Table().Ranges(), 100000u);
  // Rows of the source: 1.0.0.0-1.0.0.255 AU, then 1.0.1.0 CN; 8.8.8.8 in a US row;
  // 5.249.168.0-5.249.175.255 in no row, between a DE row and a US row.
  EXPECT_EQ(Table().Location("1.0.0.0"), "澳大利亚");
  EXPECT_EQ(Table().Location("1.0.0.255"), "澳大利亚");
  EXPECT_EQ(Table().Location("1.0.1.0"), "中国");
  EXPECT_EQ(Table().Location("8.8.8.8"), "美国");
  EXPECT_EQ(Table().Location("5.249.167.255"), "德国");
  EXPECT_EQ(Table().Location("5.249.168.0"), "");
  EXPECT_EQ(Table().Location("5.249.175.255"), "");
  EXPECT_EQ(Table().Location("5.249.176.0"), "美国");
  for (const char* lan : {"10.0.0.1", "172.16.0.1", "172.31.255.255", "192.168.1.1", "127.0.0.1", "169.254.3.4",
                          "100.64.0.1"})
    EXPECT_EQ(Table().Location(lan), "局域网") << lan;
  for (const char* reserved : {"0.0.0.0", "192.0.2.5", "198.18.0.1", "203.0.113.9", "224.0.0.1", "255.255.255.255"})
    EXPECT_EQ(Table().Location(reserved), "保留地址") << reserved;
  EXPECT_EQ(Table().Location("172.32.0.1"), Table().Location("172.32.0.2"));  // just past 172.16/12: a country's
  for (const char* other : {"", "proxy.example", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "01234.1.1.1", "-1.2.3.4"})
    EXPECT_EQ(Table().Location(other), "") << other;
  // The country a list names for its proxy, by its code or English name, before the address's own.
  EXPECT_EQ(Table().NameOf("de"), "德国");
  EXPECT_EQ(LocationOf("8.8.8.8", "DE"), "德国");
  // Lists write names in UTF-8: "Côte d'Ivoire".
  for (const char* english : {"Germany", "germany", "Republic of Korea", "UK", "C\xC3\xB4te d'Ivoire", "Cote d'Ivoire"})
    EXPECT_NE(Table().NameOf(english), "") << english;
  EXPECT_EQ(LocationOf("8.8.8.8", "Germany"), "德国");
  EXPECT_EQ(Table().NameOf("UK"), Table().NameOf("GB"));
  EXPECT_EQ(LocationOf("8.8.8.8", "ZZ"), "美国");  // neither a code nor a name the table has: the address's
  EXPECT_EQ(LocationOf("8.8.8.8", "Germ"), "美国");
}

TEST(CountryTable, ADamagedTableIsRefusedWhole) {
  const std::span<const std::uint8_t> good = CountryTableBytes();
  std::vector<std::uint8_t> bytes(good.begin(), good.end());
  EXPECT_FALSE(CountryTable::Unpack(std::span(bytes).first(bytes.size() / 2)));  // cut
  EXPECT_FALSE(CountryTable::Unpack(std::span(bytes).first(12)));
  for (std::size_t at : {std::size_t{0}, std::size_t{20}, bytes.size() / 3, bytes.size() / 2, bytes.size() - 1}) {
    bytes[at] ^= 0x5A;
    EXPECT_FALSE(CountryTable::Unpack(bytes)) << "byte " << at;
    bytes[at] ^= 0x5A;
  }
  EXPECT_TRUE(CountryTable::Unpack(bytes));
}

}  // namespace
}  // namespace vantoip
