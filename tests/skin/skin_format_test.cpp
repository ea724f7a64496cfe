#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/skin_data.h"
#include "skinlib/skin_blob.h"
#include "skinlib/skin_description.h"

namespace vantoip::skin {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(std::span<const std::uint8_t> b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t{b[3]} << 24);
}

TEST(StoredSkins, AreThirtyThreeRecordsThatUnpackToTheirStatedSize) {
  const auto container = StoredSkins();
  std::size_t total = 0;
  for (int n = 1; n <= 33; ++n) {
    const auto record = SkinRecord(container, n);
    ASSERT_GT(record.size(), kRecordHeaderSize + kPackageHeaderSize) << n;
    EXPECT_EQ(Le32(record), 1u);
    EXPECT_EQ(Le32(record.subspan(4)), record.size() - kRecordHeaderSize);
    const auto data = record.subspan(kRecordHeaderSize);
    const Bytes head(data.begin(), data.begin() + 6);
    EXPECT_EQ(head, (Bytes{'.', 'S', 'H', 'E', 0, 3})) << n;
    EXPECT_EQ(Bytes(data.begin() + 10, data.begin() + 15), (Bytes{0x5D, 0x00, 0x00, 0x80, 0x00})) << n;

    const auto unpacked = UnpackSkin(data, kMaxUnpackedSkin);
    ASSERT_TRUE(unpacked) << n;
    EXPECT_EQ(unpacked->size(), Le32(data.subspan(6))) << n;
    EXPECT_TRUE(std::all_of(unpacked->begin(), unpacked->begin() + kUnpackedPaddingSize,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(LoadSkin(data)) << n;
    total += record.size();
  }
  EXPECT_EQ(total, container.size());  // nothing after the last record
  EXPECT_TRUE(SkinRecord(container, 0).empty());
  EXPECT_TRUE(SkinRecord(container, 34).empty());
}

TEST(StoredSkins, DifferFromEachOther) {
  std::vector<Rgb> windows, buttons;
  for (int n = 1; n <= 33; ++n) {
    const auto skin = LoadSkin(SkinRecord(StoredSkins(), n).subspan(kRecordHeaderSize));
    ASSERT_TRUE(skin);
    windows.push_back(skin->windowBottom);
    buttons.push_back(skin->button[kButtonHot].bottom);
  }
  for (std::size_t i = 0; i < windows.size(); ++i)
    for (std::size_t j = i + 1; j < windows.size(); ++j)
      EXPECT_FALSE(windows[i] == windows[j] && buttons[i] == buttons[j]) << i + 1 << " and " << j + 1;
}

TEST(SkinRecord, StopsAtDamagedHeaders) {
  Bytes container;
  auto add = [&](std::uint32_t marker, std::uint32_t length, std::size_t actual) {
    for (std::uint32_t v : {marker, length})
      for (int i = 0; i < 4; ++i) container.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    container.insert(container.end(), actual, 0xAB);
  };
  add(1, 3, 3);
  add(2, 1, 1);  // wrong marker
  EXPECT_EQ(SkinRecord(container, 1).size(), 11u);
  EXPECT_TRUE(SkinRecord(container, 2).empty());

  container.clear();
  add(1, 2, 2);
  add(1, 100, 5);  // length past the end
  EXPECT_EQ(SkinRecord(container, 1).size(), 10u);
  EXPECT_TRUE(SkinRecord(container, 2).empty());
  EXPECT_TRUE(SkinRecord(std::span(container).first(7), 1).empty());
}

TEST(SkinPackage, ChecksSignatureVersionAndProperties) {
  const auto record = SkinRecord(StoredSkins(), 13);
  const Bytes good(record.begin() + kRecordHeaderSize, record.end());
  ASSERT_TRUE(ReadSkinPackage(good));
  EXPECT_EQ(ReadSkinPackage(good)->stream.size(), good.size() - kPackageHeaderSize);
  for (std::size_t at : {0u, 3u, 5u, 10u}) {
    Bytes bad = good;
    bad[at] = 0xFF;
    EXPECT_FALSE(ReadSkinPackage(bad)) << at;
  }
  EXPECT_FALSE(ReadSkinPackage(std::span(good).first(14)));

  Bytes wrongSize = good;
  wrongSize[6] ^= 1;  // the stream does not unpack to that size
  EXPECT_FALSE(UnpackSkin(wrongSize, kMaxUnpackedSkin));
  EXPECT_FALSE(UnpackSkin(good, 100));  // more than the caller accepts
}

class SkinText : public ::testing::Test {
 protected:
  // The description of stored skin 13 as text.
  void SetUp() override {
    const auto record = SkinRecord(StoredSkins(), 13);
    const auto unpacked = UnpackSkin(record.subspan(kRecordHeaderSize), kMaxUnpackedSkin).value();
    text_.assign(unpacked.begin() + kUnpackedPaddingSize, unpacked.end());
  }
  static std::optional<Skin> Parse(const std::string& text, std::uint8_t paddingByte = 0) {
    Bytes unpacked(kUnpackedPaddingSize, 0);
    unpacked[100] = paddingByte;
    unpacked.insert(unpacked.end(), text.begin(), text.end());
    return ParseSkinDescription(unpacked);
  }
  std::string Replaced(const std::string& from, const std::string& to) const {
    std::string t = text_;
    const auto at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return t.replace(at, from.size(), to);
  }
  std::string text_;
};

TEST_F(SkinText, ParsesEveryKey) {
  const auto skin = Parse(text_);
  ASSERT_TRUE(skin);
  const auto edited = Parse(Replaced("\nbutton.hot.top #", "\nbutton.hot.top #0a0b0c\nignored #"));
  ASSERT_TRUE(edited);
  EXPECT_EQ(edited->button[kButtonHot].top, (Rgb{0x0a, 0x0b, 0x0c}));
  std::string crlf;
  for (char c : text_) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(Parse(crlf + "a.later.version.key 5\n"));
}

TEST_F(SkinText, RejectsMissingKeysBadValuesAndDirtyPadding) {
  EXPECT_FALSE(Parse(text_, 1));
  EXPECT_FALSE(Parse(Replaced("vantoip-skin 1", "vantoip-skin 2")));
  EXPECT_FALSE(Parse(Replaced("\nframe ", "\nframe.missing ")));
  EXPECT_FALSE(Parse(Replaced("\nwindow.top #", "\nwindow.top #zz")));
  EXPECT_FALSE(Parse(Replaced("\npanel.radius ", "\npanel.radius 99")));
  EXPECT_FALSE(Parse(Replaced("\npattern.kind ", "\npattern.kind spirals")));
  EXPECT_FALSE(Parse(Replaced("\nfocus ", "\nfocus")));
  EXPECT_FALSE(Parse(""));
}

}  // namespace
}  // namespace vantoip::skin
