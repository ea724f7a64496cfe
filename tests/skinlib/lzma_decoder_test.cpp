#include "skinlib/lzma_decoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace vantoip::skin {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};
constexpr std::size_t kLimit = 1u << 24;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return {std::istreambuf_iterator<char>(in), {}};
}

// A case made by make_lzma_vectors.py: original bytes and a .lzma file
// (properties, 64-bit size or all ones, raw stream).
struct Vector {
  std::string name;
  Bytes original;
  LzmaProperties properties;
  std::optional<std::uint64_t> size;
  Bytes stream;
};

Vector Load(const std::string& name) {
  const std::string base = "lzma_vectors/" + name;
  const Bytes file = ReadFile(base + ".lzma");
  Vector v{name, ReadFile(base + ".bin")};
  if (file.size() < 13) {
    ADD_FAILURE() << name << ": no header";
    return v;
  }
  v.properties = ReadLzmaProperties(std::span(file).first(5)).value();
  std::uint64_t size = 0;
  for (int i = 7; i >= 0; --i) size = (size << 8) | file[5 + i];
  if (size != kUnknownSize) v.size = size;
  v.stream.assign(file.begin() + 13, file.end());
  return v;
}

std::vector<std::string> Manifest() {
  std::ifstream in("lzma_vectors/manifest.txt");
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

std::optional<Bytes> Decode(const Vector& v, std::span<const std::uint8_t> stream) {
  return DecodeLzma(v.properties, stream, v.size, kLimit);
}

TEST(LzmaProperties, SplitsTheFirstByteAndReadsTheDictionary) {
  const std::uint8_t bytes[] = {0x5D, 0x00, 0x00, 0x80, 0x00};
  const auto p = ReadLzmaProperties(bytes);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->lc, 3u);
  EXPECT_EQ(p->lp, 0u);
  EXPECT_EQ(p->pb, 2u);
  EXPECT_EQ(p->dictionarySize, 8u << 20);

  const std::uint8_t tiny[] = {(4 * 5 + 4) * 9 + 8, 1, 0, 0, 0};
  const auto q = ReadLzmaProperties(tiny);
  ASSERT_TRUE(q);
  EXPECT_EQ(q->lc, 8u);
  EXPECT_EQ(q->lp, 4u);
  EXPECT_EQ(q->pb, 4u);
  EXPECT_EQ(q->dictionarySize, 4096u);  // smaller dictionaries count as 4 KiB

  const std::uint8_t invalid[] = {225, 0, 0, 0x80, 0};
  EXPECT_FALSE(ReadLzmaProperties(invalid));
  EXPECT_FALSE(ReadLzmaProperties(std::span(bytes).first(4)));
}

// Streams from xz, Python's lzma and liblzma's encoder without end marker;
// random, text, zero and mixed data; several lc/lp/pb.
TEST(LzmaDecoder, RoundTripsStreamsOfTheReferenceEncoder) {
  const auto names = Manifest();
  ASSERT_GE(names.size(), 40u);
  for (const std::string& name : names) {
    const Vector v = Load(name);
    const auto out = Decode(v, v.stream);
    ASSERT_TRUE(out) << name;
    EXPECT_EQ(*out, v.original) << name;
  }
}

TEST(LzmaDecoder, RejectsEveryTruncation) {
  for (const char* name : {"text1000-nomarker", "random5000-marker", "mixed60000-nomarker", "one-xz"}) {
    const Vector v = Load(name);
    const std::size_t step = std::max<std::size_t>(1, v.stream.size() / 300);
    for (std::size_t cut = 0; cut < v.stream.size(); cut += step)
      EXPECT_FALSE(Decode(v, std::span(v.stream).first(cut))) << name << " cut at " << cut;
    EXPECT_FALSE(Decode(v, std::span(v.stream).first(v.stream.size() - 1))) << name;
  }
}

TEST(LzmaDecoder, SurvivesDamagedBytes) {
  std::mt19937 rng(7);
  for (const char* name : {"text200000-nomarker", "mixed60000-marker", "zeros300000-xz", "random5000-nomarker"}) {
    const Vector v = Load(name);
    for (int round = 0; round < 150; ++round) {
      Bytes damaged = v.stream;
      const int flips = 1 + round % 4;
      for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
      const auto out = Decode(v, damaged);
      if (out && v.size) {
        EXPECT_EQ(out->size(), *v.size) << name;  // a lucky stream still honours the size
      }
      if (out) {
        EXPECT_LE(out->size(), kLimit);
      }
    }
  }
}

TEST(LzmaDecoder, RejectsInconsistentHeadersAndLimits) {
  const Vector text = Load("text200000-nomarker");
  Vector v = text;
  v.stream[0] = 1;  // the range coder's first byte is always zero
  EXPECT_FALSE(Decode(v, v.stream));

  v = text;
  v.properties.dictionarySize = 4096;  // the stream reaches further back than that
  EXPECT_FALSE(Decode(v, v.stream));

  v = text;
  v.size = *text.size - 1;  // data continues past the stated size
  EXPECT_FALSE(Decode(v, v.stream));
  v.size = *text.size + 1;  // the stream ends early
  EXPECT_FALSE(Decode(v, v.stream));

  const Vector marked = Load("text200000-marker");
  EXPECT_FALSE(DecodeLzma(marked.properties, marked.stream, std::nullopt, marked.original.size() - 1));
  EXPECT_TRUE(DecodeLzma(marked.properties, marked.stream, std::nullopt, marked.original.size()));
  EXPECT_FALSE(DecodeLzma(text.properties, text.stream, text.size, *text.size - 1));  // size above the limit

  const Vector unmarked = Load("text1000-nomarker");
  EXPECT_FALSE(DecodeLzma(unmarked.properties, unmarked.stream, std::nullopt, kLimit));  // needs its marker

  LzmaProperties bad = text.properties;
  bad.lc = 9;
  EXPECT_FALSE(DecodeLzma(bad, text.stream, text.size, kLimit));
}

TEST(LzmaDecoder, SurvivesRandomInput) {
  std::mt19937 rng(11);
  LzmaProperties p;
  for (int round = 0; round < 400; ++round) {
    Bytes noise(5 + rng() % 2000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    noise[0] = 0;
    const std::uint64_t size = rng() % 100000;
    const auto sized = DecodeLzma(p, noise, size, kLimit);
    if (sized) {
      EXPECT_EQ(sized->size(), size);
    }
    const auto open = DecodeLzma(p, noise, std::nullopt, 1u << 16);
    if (open) {
      EXPECT_LE(open->size(), 1u << 16);
    }
  }
}

}  // namespace
}  // namespace vantoip::skin
