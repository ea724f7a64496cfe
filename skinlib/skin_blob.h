// Stored skins: a container of records laid back to back, each a 32-bit 1, a
// 32-bit length N and N data bytes; the data is ".SHE", 00 03, the unpacked
// size (32-bit), five LZMA property bytes and the raw LZMA stream. Unpacked, a
// skin is 272 zero bytes followed by its description. Integers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "skinlib/lzma_decoder.h"

namespace vantoip::skin {

constexpr std::size_t kRecordHeaderSize = 8;
constexpr std::size_t kPackageHeaderSize = 15;
constexpr std::size_t kUnpackedPaddingSize = 272;

// Record `number` (from 1) of the container, header included; empty when the
// container has no such record or is damaged before it.
std::span<const std::uint8_t> SkinRecord(std::span<const std::uint8_t> container, int number);

struct SkinPackage {
  std::uint32_t unpackedSize = 0;
  LzmaProperties properties;
  std::span<const std::uint8_t> stream;
};

// The header fields of a record's data; nullopt when the signature, the
// version or the properties are wrong.
std::optional<SkinPackage> ReadSkinPackage(std::span<const std::uint8_t> data);

// The unpacked bytes of a record's data; nullopt for a damaged package or one
// that would unpack to more than `limit` bytes.
std::optional<std::vector<std::uint8_t>> UnpackSkin(std::span<const std::uint8_t> data, std::size_t limit);

}  // namespace vantoip::skin
