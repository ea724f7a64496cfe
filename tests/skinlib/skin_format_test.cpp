#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <string>

#include "skinlib/skin_blob.h"
#include "skinlib/skin_data.h"
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

// Every value of a skin, flattened: colours as 0xRRGGBB, then the measures.
std::vector<int> Fields(const Skin& s) {
  std::vector<int> f;
  const auto colour = [&](Rgb c) { f.push_back(c.r << 16 | c.g << 8 | c.b); };
  const auto look = [&](const Look& l) {
    for (Rgb c : {l.top, l.bottom, l.border, l.text}) colour(c);
  };
  for (Rgb c : {s.windowTop, s.windowBottom, s.patternColour, s.labelText, s.transparentText, s.focus, s.frame})
    colour(c);
  for (const Look& l : s.button) look(l);
  for (const Look& l : s.header) look(l);
  for (const Look& l : s.tab) look(l);
  for (Rgb c : {s.panel.top, s.panel.bottom, s.panel.border}) colour(c);  // a panel has no text
  look(s.caption);
  for (int n : {static_cast<int>(s.pattern), s.patternAlpha, s.patternSpacing, s.panelRadius, s.buttonRadius})
    f.push_back(n);
  return f;
}

TEST_F(SkinText, ParsesEveryKey) {
  const auto skin = Parse(text_);
  ASSERT_TRUE(skin);
  const std::vector<int> original = Fields(*skin);
  // Each key line, given another value, changes exactly one value of the skin to it.
  std::size_t lineStart = text_.find('\n') + 1, keys = 0;
  while (lineStart < text_.size()) {
    const std::size_t lineEnd = text_.find('\n', lineStart);
    const std::string line = text_.substr(lineStart, lineEnd - lineStart);
    const std::size_t space = line.find(' ');
    const std::string key = line.substr(0, space), value = line.substr(space + 1);
    std::string other;
    int expected = 0;
    if (value[0] == '#') {
      const int old = std::stoi(value.substr(1), nullptr, 16);
      expected = old == 0x0a0b0c ? 0x0c0b0a : 0x0a0b0c;
      char hex[8];
      std::snprintf(hex, sizeof hex, "#%06x", expected);
      other = hex;
    } else if (key == "pattern.kind") {
      other = value == "grid" ? "dots" : "grid";
      expected = static_cast<int>(value == "grid" ? Pattern::Dots : Pattern::Grid);
    } else {
      expected = std::stoi(value) == 3 ? 4 : 3;  // within every measure's range
      other = std::to_string(expected);
    }
    std::string edited = text_;
    edited.replace(lineStart + space + 1, value.size(), other);
    const auto changed = Parse(edited);
    ASSERT_TRUE(changed) << line;
    const std::vector<int> now = Fields(*changed);
    int differing = 0;
    for (std::size_t i = 0; i < now.size(); ++i)
      if (now[i] != original[i]) {
        ++differing;
        EXPECT_EQ(now[i], expected) << key;
      }
    EXPECT_EQ(differing, 1) << key;
    ++keys;
    lineStart = lineEnd == std::string::npos ? text_.size() : lineEnd + 1;
  }
  EXPECT_EQ(keys, original.size());  // one key per value

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
