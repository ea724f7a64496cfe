#include "runtime/bytes.h"

#include <gtest/gtest.h>

#include "runtime/convert.h"
#include "tests/support/fatal_capture.h"

namespace vantoip {
namespace {

TEST(ByteBlocks, MissingAndEmptyAreTheSame) {
  EXPECT_TRUE(ConcatBytes({ByteBlock{}, ByteBlock{}}).empty());
  EXPECT_EQ(ConcatBytes({ByteBlock{1}, ByteBlock{}, ByteBlock{2, 3}}), (ByteBlock{1, 2, 3}));
  EXPECT_EQ(BytesLength(ByteBlock{}), 0);
  EXPECT_TRUE(ZeroBytes(0).empty());
  EXPECT_TRUE(ZeroBytes(-4).empty());
  EXPECT_EQ(ZeroBytes(3), (ByteBlock{0, 0, 0}));
  EXPECT_EQ(LeftBytes(ByteBlock{1, 2, 3}, 2), (ByteBlock{1, 2}));
  EXPECT_EQ(LeftBytes(ByteBlock{1, 2, 3}, 9), (ByteBlock{1, 2, 3}));
  EXPECT_TRUE(LeftBytes(ByteBlock{1}, 0).empty());
}

TEST(ToBytes, LaysValuesOutLittleEndian) {
  EXPECT_EQ(ToBytes(std::string("ab")), (ByteBlock{'a', 'b'}));
  EXPECT_TRUE(ToBytes(std::string()).empty());
  EXPECT_EQ(ToBytes(std::int32_t{0x01020304}), (ByteBlock{4, 3, 2, 1}));
  EXPECT_EQ(ToBytes(std::int16_t{-2}), (ByteBlock{0xFE, 0xFF}));
  EXPECT_EQ(ToBytes(std::uint8_t{7}), (ByteBlock{7}));
  EXPECT_EQ(ToBytes(true), (ByteBlock{1, 0, 0, 0}));
  EXPECT_EQ(ToBytes(1.0).size(), 8u);
  EXPECT_EQ(ToBytes(1.0f).size(), 4u);
  EXPECT_EQ(ToBytes(std::int64_t{1}).size(), 8u);
  EXPECT_EQ(ToBytes(DateTime{2}).size(), 8u);
  EXPECT_EQ(ToBytes(ByteBlock{9, 8}), (ByteBlock{9, 8}));
}

TEST(ReadBytesValue, ReadsEachKindAtAPosition) {
  ByteBlock block = ConcatBytes({ToBytes(std::int32_t{-5}), ToBytes(2.5), ToBytes(std::string("hi")),
                                 ByteBlock{0}, ToBytes(std::string("end"))});
  EXPECT_EQ(ValueAs<std::int32_t>(ReadBytesValue(block, kReadInteger)), -5);
  EXPECT_EQ(ValueAs<double>(ReadBytesValue(block, kReadDouble, 5)), 2.5);
  EXPECT_EQ(ValueAs<std::string>(ReadBytesValue(block, kReadText, 13)), "hi");
  EXPECT_EQ(ValueAs<std::string>(ReadBytesValue(block, kReadText, 16)), "end");
  EXPECT_EQ(ValueAs<std::uint8_t>(ReadBytesValue(block, kReadByte, 1)), 0xFB);
  EXPECT_EQ(ValueAs<bool>(ReadBytesValue(block, kReadLogical, 1)), true);
  // Past the end the missing high bytes read as zero.
  EXPECT_EQ(ValueAs<std::int32_t>(ReadBytesValue(ByteBlock{0x34, 0x12}, kReadInteger)), 0x1234);
  EXPECT_EQ(ValueAs<std::int32_t>(ReadBytesValue(ByteBlock{1}, kReadInteger, 10)), 0);
  EXPECT_EQ(ValueAs<std::int32_t>(ReadBytesValue(block, kReadInteger, 0)), 0);  // below 1: nothing read
  EXPECT_EQ(ValueAs<std::string>(ReadBytesValue(ByteBlock{'a', 'b'}, kReadText)), "ab");
}

TEST(ReadBytesValue, ByReferencePositionAdvancesAndEndsAtMinusOne) {
  ByteBlock block = ConcatBytes({ToBytes(std::string("ab")), ByteBlock{0}, ToBytes(std::int16_t{7})});
  int position = 1;
  EXPECT_EQ(ValueAs<std::string>(ReadBytesValueAdvancing(block, kReadText, position)), "ab");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(ValueAs<std::int16_t>(ReadBytesValueAdvancing(block, kReadShort, position)), 7);
  EXPECT_EQ(position, -1);
  position = 0;
  ReadBytesValueAdvancing(block, kReadShort, position);
  EXPECT_EQ(position, 0);
}

TEST(ReadBytesValue, BadKindAndWrongTargetKindAreFatal) {
  const auto badKind = test::CatchFatal([] { ReadBytesValue(ByteBlock{1}, 11); });
  EXPECT_EQ(badKind.text, "运行时出错!\r\n\r\n错误信息：“欲取出数据的类型”参数值无效\r\n");
  EXPECT_EQ(test::CatchFatal([] { ReadBytesValue(ByteBlock{1}, 0); }).code, 0);
  const auto mismatch = test::CatchFatal([] { (void)ValueAs<std::string>(ReadBytesValue(ByteBlock{1}, kReadByte)); });
  EXPECT_EQ(mismatch.text, "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n");
}

}  // namespace
}  // namespace vantoip
