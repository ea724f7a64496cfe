#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/fatal_capture.h"

namespace vantoip {
namespace {

TEST(ToText, FormatsEveryKind) {
  EXPECT_EQ(ToText(203.0), "203");
  EXPECT_EQ(ToText(0.5), "0.5");
  EXPECT_EQ(ToText(1.0 / 3), "0.3333333333333");
  EXPECT_EQ(ToText(0.1f), "0.1");
  EXPECT_EQ(ToText(std::int32_t{-47}), "-47");
  EXPECT_EQ(ToText(std::int16_t{-3}), "-3");
  EXPECT_EQ(ToText(std::uint8_t{200}), "200");
  EXPECT_EQ(ToText(std::int64_t{-9000000000}), "-9000000000");
  EXPECT_EQ(ToText(true), "真");
  EXPECT_EQ(ToText(false), "假");
  EXPECT_EQ(ToText(std::string("文字")), "文字");
  EXPECT_EQ(ToText(ByteBlock{'a', 'b', 0, 'c'}), "ab");
  EXPECT_EQ(ToText(ByteBlock{'a', 'b'}), "ab");
  EXPECT_EQ(ToText(ByteBlock{}), "");
  EXPECT_EQ(ToText(-2147483648.0), "-2147483648");
}

TEST(ToText, DateTimeShowsOnlyTheTimePartsThatMatter) {
  // 2026-12-08 is 46364 days after 1899-12-30.
  EXPECT_EQ(ToText(DateTime{46364}), "2026年12月8日");
  EXPECT_EQ(ToText(DateTime{46364 + 13.0 / 24}), "2026年12月8日13时");
  EXPECT_EQ(ToText(DateTime{46364 + (13 * 60 + 5) / 1440.0}), "2026年12月8日13时5分");
  EXPECT_EQ(ToText(DateTime{46364 + 7.0 / 86400}), "2026年12月8日0时0分7秒");
  EXPECT_EQ(ToText(DateTime{0}), "1899年12月30日");
  EXPECT_EQ(ToText(DateTime{60}), "1900年2月28日");
  EXPECT_EQ(ToText(DateTime{61}), "1900年3月1日");
}

TEST(ToText, DateTimeOutsideTheCalendarRangeReadsAsItsNearerEnd) {
  // Any eight bytes read as a date-time must convert without overflow.
  EXPECT_EQ(ToText(DateTime{1e300}), "9999年12月31日23时59分59秒");
  EXPECT_EQ(ToText(DateTime{std::numeric_limits<double>::infinity()}), "9999年12月31日23时59分59秒");
  EXPECT_EQ(ToText(DateTime{-1e300}), "100年1月1日");
  EXPECT_EQ(ToText(DateTime{std::nan("")}), "1899年12月30日");
  EXPECT_EQ(ToText(DateTime{2958465}), "9999年12月31日");
}

TEST(ToNumber, ReadsCDecimalsAndFullWidthForms) {
  EXPECT_EQ(ToInteger(std::string("\xA3\xB1\xA3\xB2")), 12);  // full-width "１２"
  EXPECT_EQ(ToNumber(std::string("\xA3\xAD\xA3\xB3\xA3\xAE\xA3\xB5")), -3.5);  // "－３．５"
  EXPECT_EQ(ToInteger(std::string("\xA1\xA1 42x")), 42);  // full-width space skipped as white space
  EXPECT_EQ(ToNumber(std::string("  8080")), 8080);
  EXPECT_EQ(ToNumber(std::string("1.5e3ms")), 1500);
  EXPECT_EQ(ToNumber(std::string("1e")), 1);
  EXPECT_EQ(ToNumber(std::string(".5")), 0.5);
  EXPECT_EQ(ToNumber(std::string("-.")), 0);
  EXPECT_EQ(ToNumber(std::string("abc")), 0);
  EXPECT_EQ(ToNumber(std::string("")), 0);
  EXPECT_EQ(ToNumber(std::string("0x10")), 0);  // decimal only
  EXPECT_EQ(ToInteger(std::string("12.9")), 12);
  EXPECT_EQ(ToInteger(std::string("-7")), -7);
  EXPECT_EQ(ToInteger(std::string("99999999999")), std::numeric_limits<std::int32_t>::max());
  EXPECT_TRUE(std::isinf(ToNumber(std::string("1e999"))));
}

TEST(ToInteger, TruncatesTowardZeroAndConvertsOtherKinds) {
  EXPECT_EQ(ToInteger(2.9), 2);
  EXPECT_EQ(ToInteger(-2.9), -2);
  EXPECT_EQ(ToInteger(2.9f), 2);
  EXPECT_EQ(ToInteger(true), 1);
  EXPECT_EQ(ToInteger(std::uint8_t{255}), 255);
  EXPECT_EQ(ToInteger(std::int16_t{-5}), -5);
  EXPECT_EQ(ToInteger(DateTime{5}), 0);
  EXPECT_EQ(ToInteger(ByteBlock{'7'}), 0);
  EXPECT_EQ(ToNumber(false), 0);
  EXPECT_EQ(ToNumber(std::int32_t{-9}), -9);
  EXPECT_EQ(ToInteger(std::nan("")), 0);
  EXPECT_EQ(ToInteger(1e20), std::numeric_limits<std::int32_t>::max());
}

TEST(Arithmetic, TruncationHexRemainderAndOr) {
  EXPECT_EQ(TruncateToInteger(-2.7), -2);
  EXPECT_EQ(TruncateToInteger(2.7), 2);
  EXPECT_EQ(TruncateToInteger(4294967296.5), 4294967296);
  EXPECT_EQ(HexText(255), "FF");
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(-1), "FFFFFFFF");
  EXPECT_EQ(Remainder({7.5, 2}), 1.5);
  EXPECT_EQ(Remainder({-7, 3}), -1);
  EXPECT_EQ(Remainder({100, 30, 6}), 4);
  EXPECT_EQ(BitOr({static_cast<std::int32_t>(0x80000000), 0x10, 0x80000}), static_cast<std::int32_t>(0x80080010));
  EXPECT_EQ(BitOr({42}), 42);
}

TEST(Arithmetic, RemainderByZeroIsFatal) {
  const auto e = test::CatchFatal([] { Remainder({5, 2, 0}); });
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.text, "运行时出错!\r\n\r\n错误信息：不能求余数于零\r\n");
}

}  // namespace
}  // namespace vantoip
