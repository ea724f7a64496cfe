// Decoder for raw LZMA streams (the LZMA1 format: a range coder over literal,
// match and repeated-match symbols with lc/lp/pb contexts). Portable; every
// failure of the input is a result, never a read outside the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantoip::skin {

struct LzmaProperties {
  unsigned lc = 3;  // literal context bits (0-8)
  unsigned lp = 0;  // literal position bits (0-4)
  unsigned pb = 2;  // position bits (0-4)
  std::uint32_t dictionarySize = 1u << 23;
};

// The five property bytes: (pb * 5 + lp) * 9 + lc, then the dictionary size,
// little-endian. Fewer than five bytes or a first byte above 224 give nullopt.
std::optional<LzmaProperties> ReadLzmaProperties(std::span<const std::uint8_t> bytes);

// Decodes `stream`. With `unpackedSize` the output has exactly that many bytes,
// followed by an end marker or not; without it the stream must end with the
// marker. Either way no more than `outputLimit` bytes are produced. A corrupt
// or truncated stream gives nullopt.
std::optional<std::vector<std::uint8_t>> DecodeLzma(const LzmaProperties& properties,
                                                    std::span<const std::uint8_t> stream,
                                                    std::optional<std::uint64_t> unpackedSize,
                                                    std::size_t outputLimit);

}  // namespace vantoip::skin
